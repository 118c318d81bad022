// Whole .ppt files through every reader at hand: libgsf and our own record walker (structure,
// identifiers, geometry, picture bytes), Apache POI (slide count, page size, each picture's anchor
// and bytes) and, for decks of pictures it can decode, LibreOffice (pages, order, frame geometry);
// and that our walker notices damage.
#include "base/Error.h"
#include "engine/ppt/PptWriter.h"
#include "tests/support/LibreOfficeReader.h"
#include "tests/support/PptReadBack.h"
#include "tests/support/PptReader.h"
#include "tests/support/Sinks.h"
#include "tests/support/TestPictures.h"

#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <map>

using namespace kestrane;
using namespace kestrane::presentation;
using namespace kestrane::testing;

namespace {

using PicturePtr = std::shared_ptr<const Picture>;

Deck deckOf(const std::vector<std::vector<PlacedPicture>>& slides)
{
    Deck deck;
    for (const auto& pictures : slides)
        deck.slides.push_back({pictures});
    return deck;
}

// One picture per slide, all at the same place.
Deck sameBoxDeck(const std::vector<PicturePtr>& pictures, PictureBox box)
{
    Deck deck;
    for (const PicturePtr& picture : pictures)
        deck.slides.push_back({{{picture, box}}});
    return deck;
}

ByteVector writeToMemory(const Deck& deck)
{
    MemorySink sink;
    writePpt(deck, sink);
    return sink.bytes();
}

// What our own reader must find in every file, whatever it holds.
void verifyDeck(const Deck& deck, const ByteVector& bytes)
{
    // Compound file version 3, 512-byte sectors, PowerPoint's class id on the root.
    QVERIFY(bytes.size() >= 512);
    QCOMPARE(bytes[0x1A], std::uint8_t(3));
    QCOMPARE(bytes[0x1E], std::uint8_t(9));
    QCOMPARE(bytes[0x20], std::uint8_t(6));

    const PptFile file = readPpt(bytes);
    QVERIFY2(file.problems.empty(), file.problemText().c_str());
    const std::array<std::uint8_t, 16> classId{0x10, 0x8D, 0x81, 0x64, 0x9B, 0x4F, 0xCF, 0x11,
                                               0x86, 0xEA, 0x00, 0xAA, 0x00, 0xB9, 0x29, 0xE8};
    QCOMPARE(file.classId, classId);
    QCOMPARE(file.streams.count("Pictures"), std::size_t(file.pictures.empty() ? 0 : 1));

    // Geometry, picture kinds, bytes and identifiers, as the round trips check them too.
    verifyOwnRead(file, expectedSlides(deck));
    if (QTest::currentTestFailed())
        return;
    for (std::size_t s = 0; s < file.slides.size(); ++s) {
        const PptSlide& slide = file.slides[s];
        QCOMPARE(slide.slideId, std::uint32_t(256 + s));
        QCOMPARE(slide.persistId, std::uint32_t(3 + s));
        QCOMPARE(slide.drawingId, std::uint32_t(2 + s));
    }
    // Each picture once in 25 bytes of record, and nothing else.
    std::size_t stored = 0;
    for (const PptPictureEntry& entry : file.pictures)
        stored += entry.bytes.size() + 25;
    QCOMPARE(file.pictures.empty() ? 0 : file.streams.at("Pictures").size(), stored);
}

// What LibreOffice should show: every picture where the deck places it.
std::vector<std::vector<ExpectedPicture>> expectedPictures(const Deck& deck)
{
    std::vector<std::vector<ExpectedPicture>> slides;
    for (const SlideContent& slide : deck.slides) {
        auto& pictures = slides.emplace_back();
        for (const PlacedPicture& placed : slide.pictures)
            pictures.push_back(
                {placed.box.left, placed.box.top, placed.box.width, placed.box.height,
                 placed.picture->format() == PictureFormat::Bmp ? QByteArray() : pptBytes(*placed.picture)});
    }
    return slides;
}

struct NamedDeck
{
    QString name;
    Deck deck;
    bool libreOffice; // every picture decodable, and a shape the round-trip suite does not cover
    QString file;
    ByteVector bytes;
};

} // namespace

class TestPptWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decks_data();
    void decks();
    void largestDeck();
    void gifKeepsItsPixels_data();
    void gifKeepsItsPixels();
    void readerCatchesDamage_data();
    void readerCatchesDamage();

private:
    std::shared_ptr<MemoryPicture> m_jpeg, m_png;
    QTemporaryDir m_dir;
    std::vector<NamedDeck> m_decks;
    std::map<QString, PoiResult> m_poi;
    std::map<QString, OdpDocument> m_libreOffice;
};

// Every deck is written once and read by all readers, each reader in one run for all files.
void TestPptWriter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    std::shared_ptr<MemoryPicture> jpeg2, cmykJpeg, gif, bmp, tiff;
    try {
        m_jpeg = testPicture(TestImage::Baseline, 1);
        jpeg2 = testPicture(TestImage::Progressive, 2);
        cmykJpeg = testPicture(TestImage::Cmyk, 3);
        m_png = testPicture(TestImage::Png, 4);
        gif = testPicture(TestImage::Gif, 5);
        bmp = testPicture(TestImage::Bmp, 6);
        tiff = testPicture(TestImage::Tiff, 7);
    } catch (const std::exception& error) {
        QFAIL(error.what());
    }
    const auto jpeg = m_jpeg;
    const auto png = m_png;
    auto add = [this](const QString& name, Deck deck, bool libreOffice = false) {
        m_decks.push_back({name, std::move(deck), libreOffice, {}, {}});
    };

    // Sizes
    add("no slides", {});
    add("one slide", sameBoxDeck({jpeg}, {36, 18, 288, 216}));
    add("blank slide", deckOf({{}}));
    Deck noisy;
    for (int i = 0; i < 300; ++i)
        noisy.slides.push_back({{{i % 2 ? jpeg : noisePicture(2000 + i, i), {i * 0.5, -i * 0.25, 100, 80}}}});
    add("300 slides, 150 pictures", noisy);
    Deck decodable;
    for (int i = 0; i < 300; ++i)
        decodable.slides.push_back({{{i % 3 == 0   ? png
                                      : i % 3 == 1 ? jpeg
                                                   : jpeg2,
                                      {i * 0.5, i * 0.25, 100.0 + i, 80}}}});
    add("300 slides, 3 pictures", decodable, true);
    // Formats and geometry
    add("every format", deckOf({{{jpeg, {55, -60, 612, 792}}},
                                {{cmykJpeg, {72.5, 10.125, 300.25, 200}}},
                                {{png, {-100, -4096, 4000, 8191.875}}},
                                {{jpeg2, {0, 0, 720, 540}}},
                                {{gif, {10, 20, 30, 40}}},
                                {{bmp, {-10, -20, 300, 400}}},
                                {{tiff, {0.125, 0.25, 100, 50}}}}));
    add("several pictures on a slide",
        deckOf({{{jpeg, {0, 0, 100, 100}}, {png, {100, 0, 100, 100}}, {cmykJpeg, {200, 10, 50, 40}}},
                {{jpeg2, {10, 10, 10, 10}}, {gif, {20, 30, 40, 50}}, {bmp, {300, 20, 100, 80}}},
                {{tiff, {50, 60, 70, 80}}}}),
        true);
    // Shared pictures: one entry, counted per frame; a copy of the bytes is the same entry too
    const auto copy = std::make_shared<MemoryPicture>("Kopie \xC3\xA4 \xF0\x9F\x93\xB7.jpg",
                                                      PictureFormat::Jpeg, jpeg->bytes());
    add("shared and copied pictures",
        deckOf({{{jpeg, {1, 2, 30, 40}}},
                {{copy, {5, 6, 70, 80}}},
                {{png, {1, 2, 3, 4}}},
                {{jpeg, {9, 10, 110, 120}}}}),
        true);
    add("picture over 20 MB",
        deckOf({{{png, {0, 0, 72, 72}}}, {{noisePicture(21 * 1000 * 1000 + 3, 99), {10, 20, 300, 200}}}}));
    // More shapes than one identifier cluster holds
    Deck crowded = sameBoxDeck({png}, {0, 0, 10, 10});
    for (int i = 0; i < 1100; ++i)
        crowded.slides[0].pictures.push_back({i % 3 ? png : jpeg, {i * 0.5, 0, 10, 10}});
    crowded.slides.push_back({{{jpeg2, {0, 0, 10, 10}}}});
    add("1100 pictures on a slide", crowded);

    QStringList all;
    QStringList forLibreOffice;
    for (std::size_t i = 0; i < m_decks.size(); ++i) {
        NamedDeck& named = m_decks[i];
        named.bytes = writeToMemory(named.deck);
        named.file = m_dir.filePath(QStringLiteral("deck%1.ppt").arg(i));
        writeFileBytes(named.file, QByteArray(reinterpret_cast<const char*>(named.bytes.data()),
                                              qsizetype(named.bytes.size())));
        all << named.file;
        if (named.libreOffice)
            forLibreOffice << named.file;
    }
    try {
        PoiRun poi(all); // runs while LibreOffice does
        const std::vector<OdpDocument> documents = readWithLibreOffice(forLibreOffice);
        m_poi = poi.results();
        for (qsizetype i = 0; i < forLibreOffice.size(); ++i)
            m_libreOffice[forLibreOffice[i]] = documents[std::size_t(i)];
    } catch (const std::exception& error) {
        QFAIL(error.what());
    }
}

void TestPptWriter::decks_data()
{
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < m_decks.size(); ++i)
        QTest::newRow(qPrintable(m_decks[i].name)) << int(i);
}

void TestPptWriter::decks()
{
    QFETCH(int, index);
    const NamedDeck& named = m_decks[std::size_t(index)];
    verifyDeck(named.deck, named.bytes);
    if (QTest::currentTestFailed())
        return;
    const auto poi = m_poi.find(named.file);
    QVERIFY(poi != m_poi.end());
    verifyPoiRead(poi->second, expectedSlides(named.deck), named.deck.savedAt);
    if (QTest::currentTestFailed() || !named.libreOffice)
        return;
    const auto libreOffice = m_libreOffice.find(named.file);
    QVERIFY(libreOffice != m_libreOffice.end());
    verifyLibreOfficeRead(libreOffice->second, expectedPictures(named.deck), 0.01, true);
}

void TestPptWriter::largestDeck()
{
    Deck deck;
    for (int i = 0; i < 4093; ++i)
        deck.slides.push_back({{{m_png, {i % 700 * 1.0, 0, 20, 20}}}});
    verifyDeck(deck, writeToMemory(deck));
}

void TestPptWriter::gifKeepsItsPixels_data()
{
    QTest::addColumn<int>("variant");
    QTest::newRow("interlaced") << 5;
    QTest::newRow("rows in order") << 6;
}

// The PNG a .ppt holds for a GIF shows the GIF's first frame, transparent corner included.
void TestPptWriter::gifKeepsItsPixels()
{
    QFETCH(int, variant);
    try {
        const auto gif = testPicture(TestImage::Gif, variant);
        const QByteArray png = pptBytes(*gif);
        QVERIFY(png.startsWith("\x89PNG") && png.contains("tRNS"));
        writeFileBytes(m_dir.filePath("converted.gif"), QByteArray::fromStdString(gif->bytes()));
        writeFileBytes(m_dir.filePath("converted.png"), png);
        const QByteArray pixels = rgbaPixels(m_dir.filePath("converted.gif[0]"));
        QCOMPARE(pixels.size(), qsizetype(4 * (40 + variant) * (30 + variant % 7)));
        QCOMPARE(pixels[3], '\0');
        QVERIFY(rgbaPixels(m_dir.filePath("converted.png")) == pixels);
    } catch (const std::exception& error) {
        QFAIL(error.what());
    }
}

using Damage = std::function<void(std::map<std::string, ByteVector>&, const PptFile&)>;
Q_DECLARE_METATYPE(Damage)

namespace {

const PptRecord* findRecord(const std::vector<PptRecord>& records, std::uint16_t type)
{
    for (const PptRecord& record : records) {
        if (record.type == type)
            return &record;
        if (const PptRecord* inner = findRecord(record.children, type))
            return inner;
    }
    return nullptr;
}

void addTo(ByteVector& bytes, std::size_t offset, std::uint8_t delta)
{
    bytes.at(offset) = static_cast<std::uint8_t>(bytes.at(offset) + delta);
}

} // namespace

// The walker is what the structural checks rest on: each kind of damage must show.
void TestPptWriter::readerCatchesDamage_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QString>("problem");
    const char* document = "PowerPoint Document";
    QTest::newRow("container too long")
        << Damage([=](auto& streams, const PptFile&) { addTo(streams[document], 4, 8); }) << "overruns";
    QTest::newRow("atom one byte longer") << Damage([=](auto& streams, const PptFile& file) {
        addTo(streams[document], findRecord(file.records, 0x03E9)->offset + 4, 1);
    }) << "overruns";
    QTest::newRow("persist offset off by 8") << Damage([=](auto& streams, const PptFile& file) {
        addTo(streams[document], findRecord(file.records, 0x1772)->offset + 8 + 8, 8);
    }) << "persist id 2 does not resolve";
    QTest::newRow("current user misses the edit")
        << Damage([](auto& streams, const PptFile&) { addTo(streams["Current User"], 16, 1); })
        << "does not point at a user edit";
    QTest::newRow("entry offset moved") << Damage([=](auto& streams, const PptFile& file) {
        addTo(streams[document], findRecord(file.records, 0xF007)->offset + 8 + 28, 1);
    }) << "is not a BLIP record";
    QTest::newRow("entry use count") << Damage([=](auto& streams, const PptFile& file) {
        addTo(streams[document], findRecord(file.records, 0xF007)->offset + 8 + 24, 1);
    }) << "uses, frames show it";
    QTest::newRow("BLIP identifier") << Damage([](auto& streams, const PptFile&) {
        addTo(streams["Pictures"], 8, 1);
    }) << "identifier differs";
    QTest::newRow("picture index past the end") << Damage([=](auto& streams, const PptFile& file) {
        const auto slide = std::find_if(file.records.begin(), file.records.end(),
                                        [](const PptRecord& record) { return record.type == 0x03EE; });
        const PptRecord* options = findRecord(slide->children, 0xF00B);
        addTo(streams[document], options->offset + 8 + 6 + 2, 9); // of the first picture frame
    }) << "out of range";
}

void TestPptWriter::readerCatchesDamage()
{
    QFETCH(Damage, damage);
    QFETCH(QString, problem);
    const Deck deck = sameBoxDeck({m_jpeg, m_png}, {1, 2, 3, 4});
    const PptFile clean = readPpt(writeToMemory(deck));
    QVERIFY2(clean.problems.empty(), clean.problemText().c_str());
    auto streams = clean.streams;
    damage(streams, clean);
    const PptFile damaged = readPptStreams(streams);
    QVERIFY2(QString::fromStdString(damaged.problemText()).contains(problem), damaged.problemText().c_str());
}

QTEST_GUILESS_MAIN(TestPptWriter)
#include "tst_pptwriter.moc"
