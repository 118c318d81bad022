#include "engine/Deck.h"
#include "engine/Engine.h"
#include "tests/support/LibreOfficeReader.h"
#include "tests/support/PptReadBack.h"
#include "tests/support/TestPictures.h"
#include "tests/support/ZipReader.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <map>
#include <stdexcept>

using namespace kestrane;
using testing::TestImage;

namespace {

// Each writer as LibreOffice sees it: the unit it rounds to, and whether LibreOffice hands the
// picture bytes back exactly or with bytes appended (its .ppt import does; Apache POI and our own
// reader compare those bytes exactly).
struct Format
{
    QString name;
    QString suffix;
    std::int64_t unitsPerPoint;
    bool exactPictureBytes;
};

const QList<Format> formats = {
    {QStringLiteral("pptx"), QStringLiteral(".pptx"), 12700, true},
    {QStringLiteral("ppt"), QStringLiteral(".ppt"), 8, false},
};

struct Case
{
    QString name;
    QList<TestImage> pictures;
    QStringList placement;
};

const QList<Case> cases = {
    {QStringLiteral("every kind"),
     {TestImage::Baseline, TestImage::Progressive, TestImage::Grey, TestImage::Cmyk, TestImage::Png,
      TestImage::Gif, TestImage::Bmp, TestImage::Tiff},
     {QStringLiteral("55"), QStringLiteral("-60"), QStringLiteral("612"), QStringLiteral("792")}},
    {QStringLiteral("fractions"),
     {TestImage::Baseline, TestImage::Png},
     {QStringLiteral("72.5"), QStringLiteral("0.25"), QStringLiteral("100.125"), QStringLiteral("33.3")}},
    {QStringLiteral("negative"),
     {TestImage::Png, TestImage::Progressive},
     {QStringLiteral("-100"), QStringLiteral("-0.5"), QStringLiteral("1"), QStringLiteral("540")}},
    {QStringLiteral("order of twelve"),
     QList<TestImage>(12, TestImage::Baseline),
     {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("720"), QStringLiteral("540")}},
    {QStringLiteral("no pictures"),
     {},
     {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("1")}},
};

// The format Apache POI reads too.
const Format& ppt = formats[1];

// A phone's eight orientations, each photo on its own slide in this box, which is neither square
// nor the pictures' shape: each must fill it exactly, upright.
const QStringList uprightPlacement{QStringLiteral("100"), QStringLiteral("60"), QStringLiteral("200"),
                                   QStringLiteral("300")};

// What the engine's clock says during every save.
const auto savedAt = std::chrono::sys_days{std::chrono::year(2026) / 12 / 7} + std::chrono::hours(19) +
                     std::chrono::minutes(50) + std::chrono::seconds(26);

double heldPoints(const QString& points, std::int64_t unitsPerPoint)
{
    return double(presentation::toUnits(points.toDouble(), unitsPerPoint)) / double(unitsPerPoint);
}

// One picture per slide, every one at the typed placement.
testing::ExpectedSlides expectedSlides(const Case& testCase, const QList<QByteArray>& sources)
{
    const QStringList& p = testCase.placement;
    const presentation::PictureBox box{p[0].toDouble(), p[1].toDouble(), p[2].toDouble(), p[3].toDouble()};
    testing::ExpectedSlides slides;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        const presentation::PictureFormat format = testing::pictureFormat(testCase.pictures[i]);
        slides.push_back({testing::expectedFrame(box, format, testing::pptBytes(format, sources[i]),
                                                 QStringLiteral("image%1.jpg").arg(i + 1))});
    }
    return slides;
}

} // namespace

class TestRoundTrip : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::map<QString, QList<QByteArray>> m_sources;
    std::map<QString, testing::OdpDocument> m_imported;
    std::map<QString, testing::PoiResult> m_poi;                     // by file
    std::map<QString, std::vector<testing::RenderedPage>> m_upright; // by format

    static QString key(const Format& format, const Case& testCase)
    {
        return format.name + u' ' + testCase.name;
    }

    QString deckFile(const Format& format, const Case& testCase) const
    {
        return m_dir.filePath(QStringLiteral("deck %1 %2%3").arg(testCase.name, format.name, format.suffix));
    }

    // Pictures live in a folder whose name is not ASCII; each case's pictures differ from all others.
    QList<QByteArray> makePictures(const Case& testCase, int& variant)
    {
        const QString folder = m_dir.filePath(
            QString::fromUtf8("Bilder \xC3\xA4\xC3\xB6\xC3\xBC \xE5\x86\x99 ") + testCase.name);
        QDir().mkpath(folder);
        QList<QByteArray> bytes;
        for (qsizetype i = 0; i < testCase.pictures.size(); ++i)
            bytes << testing::makeTestImage(folder + QStringLiteral("/image%1.jpg").arg(i + 1),
                                            testCase.pictures[i], ++variant);
        return bytes;
    }

    QString uprightFile(const Format& format) const
    {
        return m_dir.filePath(QStringLiteral("upright %1%2").arg(format.name, format.suffix));
    }

    void save(const Case& testCase, const QString& target)
    {
        save(m_dir.filePath(QString::fromUtf8("Bilder \xC3\xA4\xC3\xB6\xC3\xBC \xE5\x86\x99 ") +
                            testCase.name),
             int(testCase.pictures.size()), testCase.placement, target);
    }

    void save(const QString& folder, int pictures, const QStringList& p, const QString& target)
    {
        auto app = presentation::startApplication({}, [] { return savedAt; });
        auto pres = app->Presentations().Add();
        for (int n = 1; n <= pictures; ++n) {
            const std::string file = (folder + QStringLiteral("/image%1.jpg").arg(n)).toStdString();
            pres->Slides()
                .Add(n, automation::ppLayoutBlank)
                ->Shapes()
                .AddPicture(file, automation::msoFalse, automation::msoTrue, p[0].toStdString(),
                            p[1].toStdString(), p[2].toStdString(), p[3].toStdString());
        }
        pres->SaveAs(target.toStdString());
        app->Quit();
    }

private slots:
    // Every deck of every format goes through one LibreOffice run, every .ppt through one Apache
    // POI run alongside it. The .ppt writer's own suite reads its files with our own reader.
    void initTestCase()
    {
        try {
            int variant = 0;
            QStringList files;
            QStringList pptFiles;
            QStringList keys;
            for (const Case& testCase : cases) {
                const QList<QByteArray> sources = makePictures(testCase, variant);
                for (const Format& format : formats) {
                    const QString file = deckFile(format, testCase);
                    save(testCase, file);
                    files << file;
                    if (&format == &ppt)
                        pptFiles << file;
                    keys << key(format, testCase);
                    m_sources[keys.back()] = sources;
                }
            }
            // Phone photos, the tags in both byte orders.
            const QString photos = m_dir.filePath(QStringLiteral("Fotos"));
            QDir().mkpath(photos);
            for (int orientation = 1; orientation <= 8; ++orientation)
                testing::makeOrientedPhoto(photos + QStringLiteral("/image%1.jpg").arg(orientation),
                                           orientation, orientation % 2 == 0);
            QStringList uprightFiles;
            for (const Format& format : formats) {
                uprightFiles << uprightFile(format);
                save(photos, 8, uprightPlacement, uprightFiles.back());
            }
            pptFiles << uprightFile(ppt);
            testing::PoiRun poi(pptFiles);
            const auto documents = testing::readWithLibreOffice(files);
            for (qsizetype i = 0; i < keys.size(); ++i)
                m_imported[keys[i]] = documents[std::size_t(i)];
            const auto rendered = testing::renderWithLibreOffice(uprightFiles);
            for (qsizetype f = 0; f < formats.size(); ++f)
                m_upright[formats[f].name] = rendered[std::size_t(f)];
            m_poi = poi.results();
        } catch (const std::exception& error) {
            QFAIL(error.what());
        }
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("formatIndex");
        QTest::addColumn<int>("caseIndex");
        for (qsizetype f = 0; f < formats.size(); ++f) {
            for (qsizetype c = 0; c < cases.size(); ++c)
                QTest::newRow(qPrintable(key(formats[f], cases[c]))) << int(f) << int(c);
        }
    }

    // Slide count and order, each picture's position and size, and its bytes as embedded; for a
    // .ppt also as Apache POI reads them, with the anchors in master units and the kinds.
    void roundTrip()
    {
        QFETCH(int, formatIndex);
        QFETCH(int, caseIndex);
        const Format& format = formats[formatIndex];
        const Case& testCase = cases[caseIndex];
        const QList<QByteArray>& sources = m_sources.at(key(format, testCase));
        const QStringList& p = testCase.placement;
        // Each edge as the format holds it; LibreOffice keeps 1/100 mm and can lose one in each of
        // two conversions (a size of 100.125 pt comes back as 3.531 cm, not 3.532).
        std::vector<std::vector<testing::ExpectedPicture>> slides;
        for (qsizetype i = 0; i < sources.size(); ++i) {
            const presentation::PictureFormat kind = testing::pictureFormat(testCase.pictures[i]);
            const QByteArray bytes = &format != &ppt ? sources[i]
                                     : kind == presentation::PictureFormat::Bmp
                                         ? QByteArray()
                                         : testing::pptBytes(kind, sources[i]);
            slides.push_back(
                {{heldPoints(p[0], format.unitsPerPoint), heldPoints(p[1], format.unitsPerPoint),
                  heldPoints(p[2], format.unitsPerPoint), heldPoints(p[3], format.unitsPerPoint), bytes}});
        }
        testing::verifyLibreOfficeRead(m_imported.at(key(format, testCase)), slides, 0.00201,
                                       !format.exactPictureBytes);
        if (QTest::currentTestFailed() || &format != &ppt)
            return;
        const auto poi = m_poi.find(deckFile(ppt, testCase));
        QVERIFY(poi != m_poi.end());
        testing::verifyPoiRead(poi->second, expectedSlides(testCase, sources), savedAt);
    }

    void uprightInTypedBox_data()
    {
        QTest::addColumn<int>("formatIndex");
        QTest::addColumn<int>("orientation");
        // How the .ppt holds each: degrees clockwise, mirrored left to right, top to bottom
        QTest::addColumn<QList<double>>("pptTurn");
        const QList<QList<double>> pptTurns{{0, 0, 0},  {0, 1, 0},  {180, 0, 0}, {0, 0, 1},
                                            {90, 1, 0}, {90, 0, 0}, {270, 1, 0}, {270, 0, 0}};
        for (qsizetype f = 0; f < formats.size(); ++f) {
            for (int o = 1; o <= 8; ++o)
                QTest::addRow("%s %d", qPrintable(formats[f].name), o) << int(f) << o << pptTurns[o - 1];
        }
    }

    // Each photo, whatever its EXIF orientation, shows upright and fills the typed box as
    // LibreOffice draws it: each quarter's colour (red, green, blue, black in reading order) near
    // its corner of the box and at its middle, the white slide just outside each side. Apache POI
    // reads the .ppt's anchor as the typed box, with the turn and mirrors the format calls for.
    void uprightInTypedBox()
    {
        QFETCH(int, formatIndex);
        QFETCH(int, orientation);
        QFETCH(QList<double>, pptTurn);
        const auto& pages = m_upright.at(formats[formatIndex].name);
        QCOMPARE(pages.size(), std::size_t(8));
        const testing::RenderedPage& page = pages[std::size_t(orientation - 1)];
        QCOMPARE((QList<int>{page.width, page.height}), (QList<int>{720, 540}));
        const int left = 100, top = 60, width = 200, height = 300;
        // Stops at the first colour that is wrong.
        auto expect = [&page](int x, int y, std::array<int, 3> colour) {
            if (QTest::currentTestFailed())
                return;
            const std::array<int, 3> found = page.pixel(x, y);
            const QString at =
                QStringLiteral("%1, %2: %3 %4 %5").arg(x).arg(y).arg(found[0]).arg(found[1]).arg(found[2]);
            for (int c = 0; c < 3; ++c)
                QVERIFY2(qAbs(found[c] - colour[c]) <= 80, qPrintable(at));
        };
        const std::array<int, 3> quarters[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
        for (int q = 0; q < 4; ++q) {
            const int right = q % 2, lower = q / 2;
            expect(right ? left + width - 5 : left + 4, lower ? top + height - 5 : top + 4, quarters[q]);
            expect(left + (1 + 2 * right) * width / 4, top + (1 + 2 * lower) * height / 4, quarters[q]);
        }
        for (const auto& [x, y] : {std::pair{left - 4, top + height / 2},
                                   {left + width + 3, top + height / 2},
                                   {left + width / 2, top - 4},
                                   {left + width / 2, top + height + 3}})
            expect(x, y, {255, 255, 255});
        if (QTest::currentTestFailed() || &formats[formatIndex] != &ppt)
            return;
        const testing::PoiResult& read = m_poi.at(uprightFile(ppt));
        QVERIFY2(read.error.isEmpty() && read.pictures.size() == 8, qPrintable(read.error));
        const testing::PoiPicture& picture = read.pictures[std::size_t(orientation - 1)];
        QCOMPARE((QList<double>{picture.x, picture.y, picture.width, picture.height, picture.rotation,
                                double(picture.flipH), double(picture.flipV)}),
                 (QList<double>{left, top, width, height} + pptTurn));
    }

    // The .pptx records the save time, and no author.
    void pptxCoreProperties()
    {
        const QByteArray core =
            testing::readZipFile(deckFile(formats[0], cases[0])).at(QStringLiteral("docProps/core.xml")).data;
        QVERIFY(core.contains("<dcterms:created xsi:type=\"dcterms:W3CDTF\">2026-12-07T19:50:26Z<"));
        QVERIFY(core.contains("<dcterms:modified xsi:type=\"dcterms:W3CDTF\">2026-12-07T19:50:26Z<"));
        QVERIFY(!core.contains("creator"));
    }
};

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
