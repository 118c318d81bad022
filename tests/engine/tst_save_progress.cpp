#include "base/Error.h"
#include "engine/Engine.h"
#include "tests/support/TestPictures.h"
#include "ui/EngineObjectFactory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <utility>
#include <vector>

using namespace kestrane;

namespace {

using Report = std::pair<std::uint64_t, std::uint64_t>;

} // namespace

// A save tells how far it has come: the bytes written against the size of its pictures, every few
// megabytes, growing, and last exactly at the total.
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
        // 15 MiB and more report while the pictures are copied, not only at the end.
        QVERIFY2(reports.size() >= 4, QByteArray::number(qulonglong(reports.size())));
        QCOMPARE(reports.back(), Report(m_total, m_total));
        for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
            QCOMPARE(reports[i].second, m_total);
            QVERIFY(reports[i].first < m_total);
            if (i > 0)
                QVERIFY(reports[i].first > reports[i - 1].first);
        }
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
            QVERIFY(report.first < m_total);
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
        const std::string total = std::to_string(m_total);
        QCOMPARE(progress.updates.back(), "Saving " + total + "/" + total);
        for (const std::string& update : progress.updates)
            QVERIFY2(update.starts_with("Saving "), update.c_str());
        application->Quit();
    }
};

QTEST_APPLESS_MAIN(TestSaveProgress)
#include "tst_save_progress.moc"
