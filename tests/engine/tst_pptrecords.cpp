// Each record family renders exactly the bytes the format expects.
#include "engine/ppt/Document.h"
#include "engine/ppt/Drawing.h"
#include "engine/ppt/PictureStore.h"
#include "engine/ppt/TextStyles.h"
#include "tests/support/TestPictures.h"

#include <QTest>

using namespace kestrane::presentation;
using namespace kestrane::presentation::ppt;
using kestrane::testing::md4Of;
using kestrane::testing::MemoryPicture;
using kestrane::testing::noisePicture;

namespace {

QByteArray hexOf(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()))
        .toHex(' ');
}

QByteArray hexOf(const Digest& digest)
{
    return QByteArray(reinterpret_cast<const char*>(digest.data()), 16).toHex();
}

std::uint32_t u32At(const Bytes& bytes, std::size_t offset)
{
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

std::uint16_t u16At(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

} // namespace

class TestPptRecords : public QObject
{
    Q_OBJECT

private slots:
    void digestReadsInChunks();
    void anchor_data();
    void anchor();
    void textMasterStyle_data();
    void textMasterStyle();
    void persistDirectorySplitsLongRuns_data();
    void persistDirectorySplitsLongRuns();
    void shapeIdClusters();
    void shapeIdsSpanClustersForCrowdedSlides();
    void nextFreeShapeId_data();
    void nextFreeShapeId();
    void blipHeaderAndEntry_data();
    void blipHeaderAndEntry();
    void containerLengthIsSumOfChildren();
    void currentUserPointsAtTheEdit();
};

void TestPptRecords::digestReadsInChunks()
{
    // Larger than the chunk, not a multiple of it.
    const auto picture = noisePicture(3 * 1000 * 1000 + 7, 1);
    QCOMPARE(hexOf(picture->digest()), hexOf(md4Of(QByteArray::fromStdString(picture->bytes()))));
}

void TestPptRecords::anchor_data()
{
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QByteArray>("record");
    // Whole points: top, left, right, bottom in master units (8 per point)
    QTest::newRow("36 18 288 216") << 36.0 << 18.0 << 288.0 << 216.0
                                   << QByteArray("00 00 10 f0 08 00 00 00 "
                                                 "90 00 20 01 20 0a 50 07");
    QTest::newRow("default placement, negative top")
        << 55.0 << -60.0 << 612.0 << 792.0 << QByteArray("00 00 10 f0 08 00 00 00 20 fe b8 01 d8 14 e0 16");
    // Fractions and rounding (half away from zero)
    QTest::newRow("72.5") << 72.5 << 72.5 << 0.0 << 0.0
                          << QByteArray("00 00 10 f0 08 00 00 00 44 02 44 02 44 02 44 02");
    QTest::newRow("sixteenth rounds up")
        << 0.0625 << -0.0625 << 0.0 << 0.0 << QByteArray("00 00 10 f0 08 00 00 00 ff ff 01 00 01 00 ff ff");
    // The ends of the 16-bit range
    QTest::newRow("extremes") << -4096.0 << -4096.0 << 8191.875 << 8191.875
                              << QByteArray("00 00 10 f0 08 00 00 00 00 80 00 80 ff 7f ff 7f");
}

void TestPptRecords::anchor()
{
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QByteArray, record);
    QCOMPARE(hexOf(clientAnchor(anchorOf({left, top, width, height}))), record);
}

void TestPptRecords::textMasterStyle_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("levels");
    QTest::addColumn<int>("alignment"); // -1: no full level
    QTest::addColumn<int>("fontSize");
    QTest::newRow("title") << 0 << 62 << 1 << 1 << 44;
    QTest::newRow("body") << 1 << 110 << 5 << 0 << 32;
    QTest::newRow("notes") << 2 << 110 << 5 << 0 << 12;
    QTest::newRow("other") << 4 << 110 << 5 << 0 << 18;
    QTest::newRow("centre body") << 5 << 12 << 1 << -1 << 0;
    QTest::newRow("centre title") << 6 << 12 << 1 << -1 << 0;
    QTest::newRow("half body") << 7 << 12 << 1 << -1 << 0;
    QTest::newRow("quarter body") << 8 << 12 << 1 << -1 << 0;
}

void TestPptRecords::textMasterStyle()
{
    QFETCH(int, type);
    QFETCH(int, length);
    QFETCH(int, levels);
    QFETCH(int, alignment);
    QFETCH(int, fontSize);
    const Bytes record = ppt::textMasterStyle(static_cast<TextType>(type));
    QCOMPARE(record.size(), std::size_t(8 + length));
    QCOMPARE(u16At(record, 0), std::uint16_t(type << 4));
    QCOMPARE(u16At(record, 2), std::uint16_t(TextMasterStyleAtom));
    QCOMPARE(u32At(record, 4), std::uint32_t(length));
    QCOMPARE(u16At(record, 8), std::uint16_t(levels));
    if (alignment < 0) {
        QCOMPARE(hexOf(Bytes(record.begin() + 10, record.end())),
                 QByteArray("00 00 00 00 00 00 00 00 00 00"));
        return;
    }
    QCOMPARE(u32At(record, 10), 0x003FFDFFu);
    QCOMPARE(u16At(record, 10 + 4 + 12), std::uint16_t(alignment));
    QCOMPARE(u32At(record, 10 + 38), 0x00EFFFFFu);
    QCOMPARE(u16At(record, 10 + 38 + 14), std::uint16_t(fontSize));
    for (int level = 1; level < levels; ++level) {
        const std::size_t at = 10 + 60 + 12 * (level - 1);
        QCOMPARE(u32At(record, at), 0x00000500u);
        QCOMPARE(u16At(record, at + 4), std::uint16_t(288 * level));
        QCOMPARE(u32At(record, at + 8), 0u);
    }
}

void TestPptRecords::persistDirectorySplitsLongRuns_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<quint32>>("heads"); // persistId | count << 20 per entry
    QTest::newRow("empty deck") << 2 << QList<quint32>{1 | 2u << 20};
    QTest::newRow("largest deck") << 4095 << QList<quint32>{1 | 4095u << 20};
    QTest::newRow("one more") << 4096 << QList<quint32>{1 | 4095u << 20, 4096 | 1u << 20};
}

void TestPptRecords::persistDirectorySplitsLongRuns()
{
    QFETCH(int, count);
    QFETCH(QList<quint32>, heads);
    std::vector<std::uint32_t> offsets(count);
    for (int i = 0; i < count; ++i)
        offsets[i] = 1000u + 16u * i;
    const Bytes record = persistDirectory(offsets);
    QCOMPARE(u16At(record, 2), std::uint16_t(PersistDirectoryAtom));
    QCOMPARE(record.size(), std::size_t(8 + 4 * (heads.size() + count)));
    std::size_t at = 8;
    int id = 1;
    for (quint32 head : heads) {
        QCOMPARE(u32At(record, at), head);
        at += 4;
        for (quint32 i = 0; i < head >> 20; ++i, at += 4, ++id)
            QCOMPARE(u32At(record, at), offsets[id - 1]);
    }
}

void TestPptRecords::shapeIdClusters()
{
    const ShapeIds ids({masterShapeCount, slideShapeCount(1), slideShapeCount(0)});
    QCOMPARE(ids.drawing(0).firstShapeId, 1024u);
    QCOMPARE(ids.drawing(0).lastShapeId(), 1030u);
    QCOMPARE(ids.drawing(1).firstShapeId, 2048u);
    QCOMPARE(ids.drawing(1).lastShapeId(), 2050u);
    QCOMPARE(ids.drawing(2).drawingId, 3u);
    QCOMPARE(ids.drawing(2).lastShapeId(), 3073u);
    // the next free id, clusters + 1, shapes without the groups, drawings, then (drawing, ids used)
    // per cluster
    QCOMPARE(hexOf(ids.groupBlock()), QByteArray("00 00 06 f0 28 00 00 00 02 0c 00 00 04 00 00 00 "
                                                 "09 00 00 00 03 00 00 00 01 00 00 00 07 00 00 00 "
                                                 "02 00 00 00 03 00 00 00 03 00 00 00 02 00 00 00"));
}

void TestPptRecords::shapeIdsSpanClustersForCrowdedSlides()
{
    const ShapeIds ids({masterShapeCount, 1500, 1024, 1});
    QCOMPARE(ids.drawing(1).firstShapeId, 2048u);
    QCOMPARE(ids.drawing(1).lastShapeId(), 3547u);
    QCOMPARE(ids.drawing(2).firstShapeId, 4096u); // clusters 2 and 3 belong to drawing 2
    QCOMPARE(ids.drawing(3).firstShapeId, 5120u);
    QCOMPARE(ids.nextFreeShapeId(), 5121u);
    const Bytes block = ids.groupBlock();
    QCOMPARE(u32At(block, 12), 6u); // five clusters
    const QList<std::pair<quint32, quint32>> expected{{1, 7}, {2, 1024}, {2, 476}, {3, 1024}, {4, 1}};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(u32At(block, 24 + 8 * i), expected[i].first);
        QCOMPARE(u32At(block, 28 + 8 * i), expected[i].second);
    }
}

void TestPptRecords::nextFreeShapeId_data()
{
    QTest::addColumn<qulonglong>("slideShapes");
    QTest::addColumn<bool>("fits");
    // The master owns cluster 1, the slide starts at 2048; ids, and the next free one, stay below
    // 0x03FFD7FF.
    QTest::newRow("last id allowed") << qulonglong(0x03FFD7FD - 2048 + 1) << true;
    QTest::newRow("one past") << qulonglong(0x03FFD7FE - 2048 + 1) << false;
}

void TestPptRecords::nextFreeShapeId()
{
    QFETCH(qulonglong, slideShapes);
    QFETCH(bool, fits);
    QCOMPARE(ShapeIds({masterShapeCount, slideShapes}).nextFreeShapeId() < shapeIdLimit, fits);
}

void TestPptRecords::blipHeaderAndEntry_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("header");      // record header of the BLIP
    QTest::addColumn<QByteArray>("entryHeader"); // record header and blip types of the entry
    QTest::newRow("jpeg") << int(PictureFormat::Jpeg) << QByteArray("a0 46 1d f0 75 00 00 00")
                          << QByteArray("52 00 07 f0 24 00 00 00 05 05");
    QTest::newRow("cmyk jpeg") << int(PictureFormat::CmykJpeg) << QByteArray("20 6e 1d f0 75 00 00 00")
                               << QByteArray("22 01 07 f0 24 00 00 00 12 12");
    QTest::newRow("png") << int(PictureFormat::Png) << QByteArray("00 6e 1e f0 75 00 00 00")
                         << QByteArray("62 00 07 f0 24 00 00 00 06 06");
    // A BMP is stored without its file header, as a DIB
    QTest::newRow("bmp") << int(PictureFormat::Bmp) << QByteArray("80 7a 1f f0 75 00 00 00")
                         << QByteArray("72 00 07 f0 24 00 00 00 07 07");
    QTest::newRow("tiff") << int(PictureFormat::Tiff) << QByteArray("40 6e 29 f0 75 00 00 00")
                          << QByteArray("12 01 07 f0 24 00 00 00 11 11");
}

void TestPptRecords::blipHeaderAndEntry()
{
    QFETCH(int, format);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, entryHeader);
    MemoryPicture picture("p", static_cast<PictureFormat>(format), std::string(100, 0x5A));
    const Digest digest = md4Of(QByteArray::fromStdString(picture.bytes()));
    const StoredPicture stored{&picture, 3, 4242};

    const Bytes blip = blipHeader(stored);
    QCOMPARE(blip.size(), std::size_t(25));
    QCOMPARE(hexOf(Bytes(blip.begin(), blip.begin() + 8)), header);
    QCOMPARE(hexOf(Bytes(blip.begin() + 8, blip.begin() + 24)), hexOf(Bytes(digest.begin(), digest.end())));
    QCOMPARE(blip[24], std::uint8_t(0xFF));

    const Bytes entry = pictureEntry(stored);
    QCOMPARE(entry.size(), std::size_t(44));
    QCOMPARE(hexOf(Bytes(entry.begin(), entry.begin() + 10)), entryHeader);
    QCOMPARE(hexOf(Bytes(entry.begin() + 10, entry.begin() + 26)),
             hexOf(Bytes(digest.begin(), digest.end())));
    QCOMPARE(u16At(entry, 26), std::uint16_t(0xFF));
    QCOMPARE(u32At(entry, 28), 125u); // the whole BLIP record
    QCOMPARE(u32At(entry, 32), 3u);
    QCOMPARE(u32At(entry, 36), 4242u);
    QCOMPARE(u32At(entry, 40), 0u);
}

void TestPptRecords::containerLengthIsSumOfChildren()
{
    const Bytes record =
        container(Drawing, 0, {atom(FDG, 0, 5, Bytes(8, 1)), container(SpgrContainer, 0, {})});
    QCOMPARE(hexOf(record),
             QByteArray("0f 00 0c 04 18 00 00 00 50 00 08 f0 08 00 00 00 01 01 01 01 01 01 01 01 "
                        "0f 00 03 f0 00 00 00 00"));
}

void TestPptRecords::currentUserPointsAtTheEdit()
{
    const Bytes stream = currentUser(0x12345678);
    const std::size_t name = 8; // "Kestrane"
    QCOMPARE(stream.size(), 8 + 24 + name + 2 * name);
    QCOMPARE(hexOf(Bytes(stream.begin(), stream.begin() + 20)),
             QByteArray("00 00 f6 0f 20 00 00 00 14 00 00 00 5f c0 91 e3 78 56 34 12"));
    QCOMPARE(u16At(stream, 20), std::uint16_t(name));
    QCOMPARE(u16At(stream, 22), std::uint16_t(0x03F4));
    QCOMPARE(u32At(stream, 28 + name), 8u);
}

QTEST_APPLESS_MAIN(TestPptRecords)
#include "tst_pptrecords.moc"
