// Whole .ppt files read back through libgsf and our own record walker: structure, geometry and
// picture bytes, and that the walker notices damage.
#include "base/Error.h"
#include "engine/ppt/PptWriter.h"
#include "tests/support/PptReadBack.h"
#include "tests/support/PptReader.h"
#include "tests/support/Sinks.h"
#include "tests/support/TestPictures.h"

#include <QTest>
#include <functional>

using namespace kestrane;
using namespace kestrane::presentation;
using namespace kestrane::testing;

Q_DECLARE_METATYPE(std::function<Deck()>)

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

// The checks every deck must pass, whatever it holds.
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
}

} // namespace

class TestPptWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decks_data();
    void decks();
    void largestDeck();
    void pictureOverTwentyMegabytes();
    void writerRefusesWhatDoesNotFit();
    void readerCatchesDamage_data();
    void readerCatchesDamage();

private:
    struct Pictures
    {
        std::shared_ptr<MemoryPicture> jpeg, jpeg2, cmykJpeg, png;
    } m_pictures;
};

void TestPptWriter::initTestCase()
{
    try {
        m_pictures = {testPicture(TestImage::Baseline, 1), testPicture(TestImage::Progressive, 2),
                      testPicture(TestImage::Cmyk, 3), testPicture(TestImage::Png, 4)};
    } catch (const std::exception& error) {
        QFAIL(error.what());
    }
}

void TestPptWriter::decks_data()
{
    QTest::addColumn<std::function<Deck()>>("make");
    const Pictures f = m_pictures;
    // Sizes
    QTest::newRow("no slides") << std::function<Deck()>([] { return Deck{}; });
    QTest::newRow("one slide") << std::function<Deck()>([f] {
        return sameBoxDeck({f.jpeg}, {36, 18, 288, 216});
    });
    QTest::newRow("blank slide") << std::function<Deck()>([] { return deckOf({{}}); });
    QTest::newRow("300 slides") << std::function<Deck()>([f] {
        Deck deck;
        for (int i = 0; i < 300; ++i)
            deck.slides.push_back(
                {{{i % 2 ? f.jpeg : noisePicture(2000 + i, i), {i * 0.5, -i * 0.25, 100, 80}}}});
        return deck;
    });
    // Formats and geometry
    QTest::newRow("every format") << std::function<Deck()>([f] {
        return deckOf({{{f.jpeg, {55, -60, 612, 792}}},
                       {{f.cmykJpeg, {72.5, 10.125, 300.25, 200}}},
                       {{f.png, {-100, -4096, 4000, 8191.875}}},
                       {{f.jpeg2, {0, 0, 720, 540}}}});
    });
    QTest::newRow("several pictures on a slide") << std::function<Deck()>([f] {
        return deckOf(
            {{{f.jpeg, {0, 0, 100, 100}}, {f.png, {100, 0, 100, 100}}, {f.cmykJpeg, {200, 0, 1, 1}}},
             {{f.jpeg2, {10, 10, 10, 10}}}});
    });
    // Shared pictures: one entry, counted per frame
    QTest::newRow("picture on every slide") << std::function<Deck()>([f] {
        return sameBoxDeck({f.jpeg, f.png, f.jpeg, f.jpeg}, {1, 2, 3, 4});
    });
    QTest::newRow("same bytes in two pictures") << std::function<Deck()>([f] {
        const auto copy = std::make_shared<MemoryPicture>("copy.jpg", PictureFormat::Jpeg, f.jpeg->bytes());
        return sameBoxDeck({f.jpeg, copy, f.png}, {1, 2, 3, 4});
    });
    // Pictures held whole until their digest is known, wrapping round the room for them, between
    // pictures too big to hold and copies whose digest is known before
    QTest::newRow("small, big and shared pictures") << std::function<Deck()>([f] {
        const auto big = noisePicture(7 * 1024 * 1024, 11);
        return sameBoxDeck({noisePicture(200000, 12), big, f.jpeg, noisePicture(3 * 1024 * 1024, 13),
                            noisePicture(5 * 1024 * 1024 + 1, 14), f.jpeg, big,
                            noisePicture(6 * 1024 * 1024, 15), noisePicture(6 * 1024 * 1024 + 1, 16),
                            noisePicture(100, 17)},
                           {1, 2, 3, 4});
    });
    // More shapes than one identifier cluster holds
    QTest::newRow("1100 pictures on a slide") << std::function<Deck()>([f] {
        Deck deck = sameBoxDeck({f.png}, {0, 0, 10, 10});
        for (int i = 0; i < 1100; ++i)
            deck.slides[0].pictures.push_back({i % 3 ? f.png : f.jpeg, {i * 0.5, 0, 10, 10}});
        deck.slides.push_back({{{f.jpeg2, {0, 0, 10, 10}}}});
        return deck;
    });
}

void TestPptWriter::decks()
{
    QFETCH(std::function<Deck()>, make);
    const Deck deck = make();
    verifyDeck(deck, writeToMemory(deck));
}

void TestPptWriter::largestDeck()
{
    Deck deck = sameBoxDeck({}, {});
    for (int i = 0; i < 4093; ++i)
        deck.slides.push_back({{{m_pictures.png, {i % 700 * 1.0, 0, 20, 20}}}});
    verifyDeck(deck, writeToMemory(deck));
}

void TestPptWriter::pictureOverTwentyMegabytes()
{
    const auto big = noisePicture(21 * 1000 * 1000 + 3, 99);
    const Deck deck = deckOf({{{m_pictures.jpeg, {0, 0, 10, 10}}}, {{big, {5, 5, 700, 500}}}});
    const ByteVector bytes = writeToMemory(deck);
    verifyDeck(deck, bytes);
    QCOMPARE(readPpt(bytes).streams.at("Pictures").size(), m_pictures.jpeg->size() + big->size() + 2 * 25);
}

// The writer checks the limits itself, before writing a byte.
void TestPptWriter::writerRefusesWhatDoesNotFit()
{
    Deck deck;
    deck.slides.resize(4094);
    MemorySink sink;
    QVERIFY_THROWS_EXCEPTION(Error, writePpt(deck, sink));
    QVERIFY(sink.bytes().empty());
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
    const Deck deck = sameBoxDeck({m_pictures.jpeg, m_pictures.png}, {1, 2, 3, 4});
    const PptFile clean = readPpt(writeToMemory(deck));
    QVERIFY2(clean.problems.empty(), clean.problemText().c_str());
    auto streams = clean.streams;
    damage(streams, clean);
    const PptFile damaged = readPptStreams(streams);
    QVERIFY2(QString::fromStdString(damaged.problemText()).contains(problem), damaged.problemText().c_str());
}

QTEST_APPLESS_MAIN(TestPptWriter)
#include "tst_pptwriter.moc"
