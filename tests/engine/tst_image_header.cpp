#include "engine/ImageHeader.h"

#include <QTest>
#include <cstring>
#include <zlib.h>

using kestrane::presentation::ImageKind;
using kestrane::presentation::probeImage;

Q_DECLARE_METATYPE(ImageKind)

namespace {

QByteArray segment(unsigned char marker, const QByteArray& payload)
{
    QByteArray bytes("\xFF");
    bytes.append(char(marker));
    const int length = int(payload.size()) + 2;
    bytes.append(char(length >> 8)).append(char(length & 0xFF));
    return bytes + payload;
}

// A frame header: precision 8, height 30, width 40, the given components.
QByteArray frame(unsigned char marker, int components, int width = 40)
{
    QByteArray payload;
    payload.append(char(8))
        .append(char(0))
        .append(char(30))
        .append(char(width >> 8))
        .append(char(width & 0xFF));
    payload.append(char(components));
    for (int c = 0; c < components; ++c)
        payload.append(char(c + 1)).append(char(0x11)).append(char(0));
    return segment(marker, payload);
}

const QByteArray soi("\xFF\xD8", 2);
const QByteArray app0 = segment(0xE0, QByteArray("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
const QByteArray scan = segment(0xDA, QByteArray(8, '\0')) + QByteArray(64, '\x55');

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (24 - 8 * i));
    return b;
}

QByteArray png(quint32 width, int depth, int colourType, bool goodCrc = true)
{
    QByteArray chunk = "IHDR" + be32(width) + be32(30);
    chunk.append(char(depth)).append(char(colourType)).append(char(0)).append(char(0)).append(char(0));
    quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size())));
    if (!goodCrc)
        crc ^= 1;
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + be32(13) + chunk + be32(crc) + QByteArray(40, '\x11');
}

ImageKind probe(const QByteArray& bytes)
{
    const auto read = [&bytes](std::uint64_t offset, unsigned char* buffer,
                               std::size_t length) -> std::size_t {
        if (offset >= std::uint64_t(bytes.size()))
            return 0;
        const std::size_t n = std::min<std::size_t>(length, std::size_t(bytes.size()) - std::size_t(offset));
        std::memcpy(buffer, bytes.constData() + offset, n);
        return n;
    };
    return probeImage(read, std::uint64_t(bytes.size()));
}

} // namespace

class TestImageHeader : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ImageKind>("kind");

        // JPEG frames of every kind the engine accepts
        QTest::newRow("baseline") << soi + app0 + frame(0xC0, 3) + scan << ImageKind::Jpeg;
        QTest::newRow("extended") << soi + frame(0xC1, 3) + scan << ImageKind::Jpeg;
        QTest::newRow("progressive") << soi + app0 + frame(0xC2, 3) + scan << ImageKind::Jpeg;
        QTest::newRow("greyscale") << soi + frame(0xC0, 1) + scan << ImageKind::Jpeg;
        QTest::newRow("cmyk") << soi + app0 + segment(0xEE, "Adobe\0\144\0\0\0\0\2") + frame(0xC0, 4) + scan
                              << ImageKind::CmykJpeg;
        QTest::newRow("tables before frame") << soi + segment(0xDB, QByteArray(65, '\1')) +
                                                    segment(0xC4, QByteArray(20, '\0')) + frame(0xC0, 3)
                                             << ImageKind::Jpeg;
        QTest::newRow("fill bytes") << soi + QByteArray(5, '\xFF') + frame(0xC0, 3).mid(1) << ImageKind::Jpeg;
        QTest::newRow("large metadata") << soi + segment(0xE1, QByteArray(65000, 'x')) +
                                               segment(0xE2, QByteArray(65000, 'y')) + frame(0xC2, 3)
                                        << ImageKind::Jpeg;

        // PNG
        QTest::newRow("png rgb") << png(40, 8, 2) << ImageKind::Png;
        QTest::newRow("png palette") << png(40, 4, 3) << ImageKind::Png;
        QTest::newRow("png grey 16") << png(40, 16, 0) << ImageKind::Png;

        // nothing at all
        QTest::newRow("empty") << QByteArray() << ImageKind::Empty;

        // other formats and text
        QTest::newRow("gif") << QByteArray("GIF89a\x28\0\x1e\0\0\0\0", 13) << ImageKind::NotAnImage;
        QTest::newRow("text") << QByteArray("this is not a picture\n") << ImageKind::NotAnImage;
        QTest::newRow("bmp") << QByteArray("BM\x36\0\0\0\0\0", 8) << ImageKind::NotAnImage;
        QTest::newRow("jpeg marker not at start") << QByteArray(" \xFF\xD8\xFF", 4) << ImageKind::NotAnImage;
        QTest::newRow("png signature broken late")
            << QByteArray("\x89PNG\r\n\x1A\x0B", 8) + QByteArray(30, 'a') << ImageKind::NotAnImage;

        // damaged JPEG
        QTest::newRow("one byte of a jpeg") << QByteArray("\xFF", 1) << ImageKind::Damaged;
        QTest::newRow("start only") << soi << ImageKind::Damaged;
        QTest::newRow("scan before frame") << soi + app0 + scan << ImageKind::Damaged;
        QTest::newRow("end before frame") << soi + QByteArray("\xFF\xD9", 2) << ImageKind::Damaged;
        QTest::newRow("second start") << soi + soi + frame(0xC0, 3) << ImageKind::Damaged;
        QTest::newRow("garbage after start") << soi + QByteArray("abcdefgh") << ImageKind::Damaged;
        QTest::newRow("segment length below 2")
            << soi + QByteArray("\xFF\xE0\0\1", 4) + frame(0xC0, 3) << ImageKind::Damaged;
        QTest::newRow("segment past end")
            << soi + QByteArray("\xFF\xE0\x7F\xFF", 4) + QByteArray(100, 'x') << ImageKind::Damaged;
        QTest::newRow("two components") << soi + frame(0xC0, 2) << ImageKind::Damaged;
        QTest::newRow("zero components") << soi + frame(0xC0, 0) << ImageKind::Damaged;
        QTest::newRow("zero width") << soi + frame(0xC0, 3, 0) << ImageKind::Damaged;
        QTest::newRow("frame length wrong")
            << soi + segment(0xC0, QByteArray("\x08\0\x1e\0\x28\3", 6)) << ImageKind::Damaged;
        QTest::newRow("endless fill") << soi + QByteArray(1000, '\xFF') << ImageKind::Damaged;
        QTest::newRow("many tiny segments")
            << soi + QByteArray(5000, 'x').replace("x", "\xFF\xFE\0\2") + frame(0xC0, 3)
            << ImageKind::Damaged;

        // damaged PNG
        QTest::newRow("png signature only") << QByteArray("\x89PNG\r\n\x1A\n", 8) << ImageKind::Damaged;
        QTest::newRow("png prefix") << QByteArray("\x89PN", 3) << ImageKind::Damaged;
        QTest::newRow("png bad crc") << png(40, 8, 2, false) << ImageKind::Damaged;
        QTest::newRow("png zero width") << png(0, 8, 2) << ImageKind::Damaged;
        QTest::newRow("png huge width") << png(0x80000000u, 8, 2) << ImageKind::Damaged;
        QTest::newRow("png bad depth") << png(40, 3, 2) << ImageKind::Damaged;
        QTest::newRow("png bad colour type") << png(40, 8, 5) << ImageKind::Damaged;
        QTest::newRow("png first chunk not IHDR")
            << png(40, 8, 2).replace("IHDR", "IDAT") << ImageKind::Damaged;
    }

    void kinds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ImageKind, kind);
        QCOMPARE(probe(bytes), kind);
    }

    // Every cut through a valid header leaves a damaged file, never a crash or a false accept.
    void truncatedHeaders_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("jpeg") << soi + app0 + frame(0xC0, 3);
        QTest::newRow("png") << png(40, 8, 2).left(33);
    }

    void truncatedHeaders()
    {
        QFETCH(QByteArray, header);
        for (qsizetype length = 1; length < header.size(); ++length)
            QVERIFY2(probe(header.left(length)) == ImageKind::Damaged, qPrintable(QString::number(length)));
        QVERIFY(probe(header) != ImageKind::Damaged);
    }
};

QTEST_APPLESS_MAIN(TestImageHeader)
#include "tst_image_header.moc"
