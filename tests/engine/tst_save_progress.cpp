#include "base/Error.h"
#include "engine/DigestQueue.h"
#include "engine/Engine.h"
#include "engine/SaveDeck.h"
#include "tests/support/MemoryPicture.h"
#include "tests/support/TestPictures.h"
#include "ui/EngineObjectFactory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <utility>
#include <vector>

using namespace kestrane;

namespace {

using Report = std::pair<std::uint64_t, std::uint64_t>;

} // namespace

// A save tells how far it has come: the digests it still had to take and the bytes written against
// the size of those and of its pictures, every few megabytes, growing, and last exactly at the
// total.
class TestSaveProgress : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_pictures;
    std::uint64_t m_total = 0;

    // A presentation with a slide for every picture.
    std::shared_ptr<automation::Presentation> deck(automation::Application& application)
    {
        auto presentation = application.Presentations().Add();
        for (int i = 0; i < m_pictures.size(); ++i)
            presentation->Slides()
                .Add(i + 1, automation::ppLayoutBlank)
                ->Shapes()
                .AddPicture(m_pictures[i].toStdString(), automation::msoFalse, automation::msoTrue, "55",
                            "-60", "612", "792");
        return presentation;
    }

    static std::shared_ptr<automation::Application> recordingApplication(std::vector<Report>& reports)
    {
        return presentation::startApplication(
            [&reports](std::uint64_t done, std::uint64_t total) { reports.emplace_back(done, total); });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Three of them take several reports to copy; the small one ends the deck.
        const std::vector<qsizetype> sizes{5 << 20, 5 << 20, 5 << 20, 100000};
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const QString path = m_dir.filePath(QStringLiteral("image%1.jpg").arg(i + 1));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(testing::noiseJpeg(sizes[i], std::uint32_t(i))), sizes[i]);
            m_pictures << path;
            m_total += std::uint64_t(sizes[i]);
        }
    }

    void reportsWhileSaving_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("pptx") << QStringLiteral(".pptx");
        QTest::newRow("ppt") << QStringLiteral(".ppt");
    }

    void reportsWhileSaving()
    {
        QFETCH(QString, suffix);
        std::vector<Report> reports;
        const auto application = recordingApplication(reports);
        deck(*application)->SaveAs(m_dir.filePath(QStringLiteral("deck") + suffix).toStdString());
        application->Quit();
        // 15 MiB and more report while the pictures are copied, not only at the end. The total
        // counts the digests the engine's digest thread had not taken yet, too.
        QVERIFY2(reports.size() >= 4, QByteArray::number(qulonglong(reports.size())));
        const std::uint64_t total = reports.back().first;
        QVERIFY(total >= m_total && total <= 2 * m_total);
        QCOMPARE(reports.back(), Report(total, total));
        for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
            QCOMPARE(reports[i].second, total);
            QVERIFY(reports[i].first < total);
            if (i > 0)
                QVERIFY(reports[i].first > reports[i - 1].first);
        }
    }

    void countsDigestsLeftToTheSave_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("digests");
        for (const char* suffix : {".pptx", ".ppt"}) {
            QTest::addRow("%s: digests known", suffix) << QString(suffix) << "taken";
            QTest::addRow("%s: digests left to the save", suffix) << QString(suffix) << "left";
        }
        // Bitmaps: a .ppt stores a form of its own, whose digest the queue takes as well.
        QTest::newRow(".ppt: bitmaps' digests taken by the digest queue") << ".ppt"
                                                                          << "queued";
    }

    // Digests not taken yet are taken first and counted, so that the progress moves while they are
    // read; until they are known, a copy of a picture counts as stored as well.
    void countsDigestsLeftToTheSave()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, digests);
        constexpr std::uint64_t size = 5 << 20;
        std::vector<std::shared_ptr<testing::MemoryPicture>> pictures;
        for (std::uint32_t seed : {1, 2, 2}) {
            pictures.push_back(digests == "queued" ? std::make_shared<testing::MemoryPicture>(
                                                         "noise.bmp", presentation::PictureFormat::Bmp,
                                                         testing::noise(size, seed).toStdString())
                                                   : testing::noisePicture(size, seed));
            pictures.back()->makePptForm();
        }
        presentation::DigestQueue queue;
        presentation::Deck deck;
        for (const auto& picture : pictures) {
            if (digests == "taken")
                picture->digest();
            if (digests == "queued")
                queue.add(picture);
            deck.slides.push_back({{{picture, {1, 2, 3, 4}}}});
        }
        if (digests == "queued")
            for (const auto& picture : pictures)
                QTRY_VERIFY(picture->pptForm().digested());
        std::vector<Report> reports;
        presentation::saveDeck(
            deck, m_dir.filePath(QStringLiteral("digests") + suffix).toStdString(),
            [&reports](std::uint64_t done, std::uint64_t total) { reports.emplace_back(done, total); });
        const std::uint64_t stored = suffix == ".ppt" ? pictures[0]->pptForm().size() : size;
        const bool digested = digests != "left";
        const std::uint64_t total = digested ? 2 * stored : 6 * stored;
        QCOMPARE(reports.front(), Report(0, total));
        QCOMPARE(reports.back(), Report(total, total));
        const bool reportedBetweenDigests =
            std::find(reports.begin(), reports.end(), Report(stored, total)) != reports.end();
        QCOMPARE(reportedBetweenDigests, !digested);
    }

    void noEndAfterAFailure_data() { reportsWhileSaving_data(); }

    // A picture rewritten after it was added makes the save fail, while it is digested or copied:
    // whether its digest was taken before the change is up to the engine's digest thread.
    void noEndAfterAFailure()
    {
        QFETCH(QString, suffix);
        std::vector<Report> reports;
        const auto application = recordingApplication(reports);
        const auto presentation = deck(*application);
        const QByteArray original = testing::noiseJpeg(100000, 3);
        QFile file(m_pictures.back());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(original.left(50000)), qint64(50000));
        file.close();
        try {
            presentation->SaveAs(m_dir.filePath(QStringLiteral("failed") + suffix).toStdString());
            QFAIL("the changed picture went unnoticed");
        } catch (const Error& error) {
            QCOMPARE(error.code(), ErrorCode::PictureChanged);
        }
        application->Quit();
        for (const Report& report : reports)
            QVERIFY(report.first < report.second);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(original), qint64(original.size()));
    }

    // The object factory's engine shows its saves as "Saving".
    void factoryReportsSaves()
    {
        struct RecordingProgress : Progress
        {
            std::vector<std::string> updates;
            void report(const std::string& text, std::uint64_t done, std::uint64_t total) override
            {
                updates.push_back(text + " " + std::to_string(done) + "/" + std::to_string(total));
            }
            void finish() override {}
        } progress;
        EngineObjectFactory factory(progress);
        const auto application = factory.CreatePresentationApplication();
        const auto presentation = deck(*application);

        presentation->SaveAs(m_dir.filePath(QStringLiteral("factory.pptx")).toStdString());
        QVERIFY(progress.updates.size() >= 2);
        for (const std::string& update : progress.updates)
            QVERIFY2(update.starts_with("Saving "), update.c_str());
        application->Quit();
    }
};

QTEST_APPLESS_MAIN(TestSaveProgress)
#include "tst_save_progress.moc"
