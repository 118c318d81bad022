// Readers nobody here wrote must read every .ppt the writer makes: Apache POI (slide count, page
// size, each picture's anchor and bytes) and LibreOffice (pages, order, frame geometry) for the
// decks the format-independent round trips in tests/engine do not make.
#include "engine/ppt/PptWriter.h"
#include "tests/support/LibreOfficeReader.h"
#include "tests/support/PptReadBack.h"
#include "tests/support/Sinks.h"
#include "tests/support/TestPictures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <map>

using namespace kestrane::presentation;
using namespace kestrane::testing;

namespace {

struct NamedDeck
{
    QString name;
    Deck deck;
    bool libreOffice; // decodable pictures, and a shape the round-trip suite does not cover
};

double toCentimetres(double points)
{
    return points * 2.54 / 72;
}

} // namespace

class TestPptReaders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void apachePoi_data();
    void apachePoi();
    void libreOffice_data();
    void libreOffice();

private:
    void deckRows(bool libreOfficeOnly);

    QTemporaryDir m_dir;
    std::vector<NamedDeck> m_decks;
    std::map<QString, PoiResult> m_poi;
    std::map<QString, OdpDocument> m_libreOffice;
};

void TestPptReaders::initTestCase()
{
    QVERIFY(m_dir.isValid());
    std::shared_ptr<MemoryPicture> jpeg, jpeg2, cmykJpeg, png;
    try {
        jpeg = testPicture(TestImage::Baseline, 1);
        jpeg2 = testPicture(TestImage::Progressive, 2);
        cmykJpeg = testPicture(TestImage::Cmyk, 3);
        png = testPicture(TestImage::Png, 4);
    } catch (const std::exception& error) {
        QFAIL(error.what());
    }

    auto add = [this](const QString& name, std::vector<std::vector<PlacedPicture>> slides, bool libreOffice) {
        Deck deck;
        for (auto& pictures : slides)
            deck.slides.push_back({std::move(pictures)});
        m_decks.push_back({name, std::move(deck), libreOffice});
    };
    // Sizes (LibreOffice sees empty and one-slide decks in the round-trip suite; it cannot decode noise)
    add("empty", {}, false);
    add("one", {{{jpeg, {36, 18, 288, 216}}}}, false);
    std::vector<std::vector<PlacedPicture>> many;
    for (int i = 0; i < 300; ++i)
        many.push_back({{i % 3 == 0 ? png : i % 3 == 1 ? jpeg : jpeg2, {i * 0.5, i * 0.25, 100.0 + i, 80}}});
    add("many", many, true);
    add("big", {{{png, {0, 0, 72, 72}}}, {{noisePicture(21 * 1000 * 1000, 3), {10, 20, 300, 200}}}}, false);
    // Formats, negative and fractional geometry, order; several frames per drawing, one shared entry
    add("formats",
        {{{jpeg, {55, -60, 612, 792}}},
         {{cmykJpeg, {72.5, 10.125, 300.25, 200}}},
         {{png, {-100, -50, 400, 300.5}}},
         {{jpeg2, {0, 0, 720, 540}}}},
        false);
    add("several", {{{jpeg, {0, 0, 100, 100}}, {png, {100, 0, 100, 100}}, {cmykJpeg, {200, 10, 50, 40}}}},
        true);
    const auto copy = std::make_shared<MemoryPicture>("copy.jpg", PictureFormat::Jpeg, jpeg->bytes());
    add("shared", {{{jpeg, {1, 2, 30, 40}}}, {{copy, {5, 6, 70, 80}}}, {{jpeg, {9, 10, 110, 120}}}}, true);

    QStringList all;
    QStringList forLibreOffice;
    for (const NamedDeck& named : m_decks) {
        const QString path = m_dir.filePath(named.name + ".ppt");
        MemorySink sink;
        writePpt(named.deck, sink);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(reinterpret_cast<const char*>(sink.bytes().data()), qint64(sink.bytes().size())),
                 qint64(sink.bytes().size()));
        all << path;
        if (named.libreOffice)
            forLibreOffice << path;
    }

    try {
        PoiRun poi(all); // runs while LibreOffice does
        const std::vector<OdpDocument> documents = readWithLibreOffice(forLibreOffice);
        m_poi = poi.results();
        for (int i = 0; i < forLibreOffice.size(); ++i)
            m_libreOffice[forLibreOffice[i]] = documents[i];
    } catch (const std::exception& error) {
        QFAIL(error.what());
    }
}

void TestPptReaders::deckRows(bool libreOfficeOnly)
{
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < m_decks.size(); ++i)
        if (m_decks[i].libreOffice || !libreOfficeOnly)
            QTest::newRow(qPrintable(m_decks[i].name)) << int(i);
}

void TestPptReaders::apachePoi_data()
{
    deckRows(false);
}

void TestPptReaders::apachePoi()
{
    QFETCH(int, index);
    const NamedDeck& named = m_decks[index];
    const auto found = m_poi.find(m_dir.filePath(named.name + ".ppt"));
    QVERIFY(found != m_poi.end());
    verifyPoiRead(found->second, expectedSlides(named.deck));
}

void TestPptReaders::libreOffice_data()
{
    deckRows(true);
}

void TestPptReaders::libreOffice()
{
    QFETCH(int, index);
    const NamedDeck& named = m_decks[index];
    const auto found = m_libreOffice.find(m_dir.filePath(named.name + ".ppt"));
    QVERIFY(found != m_libreOffice.end());
    const OdpDocument& document = found->second;
    QCOMPARE(document.pages.size(), named.deck.slides.size());
    for (std::size_t s = 0; s < named.deck.slides.size(); ++s) {
        const auto& placed = named.deck.slides[s].pictures;
        const auto& frames = document.pages[s].frames;
        QCOMPARE(frames.size(), placed.size());
        for (std::size_t p = 0; p < placed.size(); ++p) {
            const PictureBox& box = placed[p].box;
            const OdpFrame& frame = frames[p];
            const QByteArray label = QByteArray("slide ") + QByteArray::number(qulonglong(s + 1));
            QVERIFY2(qAbs(frame.x - toCentimetres(box.left)) <= 0.01, label);
            QVERIFY2(qAbs(frame.y - toCentimetres(box.top)) <= 0.01, label);
            QVERIFY2(qAbs(frame.width - toCentimetres(box.width)) <= 0.01, label);
            QVERIFY2(qAbs(frame.height - toCentimetres(box.height)) <= 0.01, label);
            // LibreOffice's import hands pictures back with bytes of the next record appended.
            QVERIFY2(frame.image.startsWith(pictureBytes(*placed[p].picture)), label);
        }
    }
}

QTEST_GUILESS_MAIN(TestPptReaders)
#include "tst_pptreaders.moc"
