#include "tests/support/TestPictures.h"
#include "ui/EngineObjectFactory.h"
#include "ui/ProgressWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

using namespace kestrane;

namespace {

// Passes the reports on to the window and notes whether it shows after each. The first report
// is held up for more than the half second, as by a disk slow to take the first bytes.
class SlowAfterTheFirstReport : public Progress
{
public:
    explicit SlowAfterTheFirstReport(ProgressWindow& window) : m_window(window) {}

    void report(const std::string& text, std::uint64_t done, std::uint64_t total) override
    {
        m_window.report(text, done, total);
        reports.push_back(text + " " + std::to_string(done) + "/" + std::to_string(total) +
                          (m_window.isVisible() ? " shown" : " hidden"));
        if (reports.size() == 1)
            QTest::qSleep(600);
    }
    void finish() override { m_window.finish(); }

    std::vector<std::string> reports;

private:
    ProgressWindow& m_window;
};

// A main window that counts how often it was painted.
class PaintCounting : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

} // namespace

class TestProgressWindow : public QObject
{
    Q_OBJECT

private slots:
    void aShortStepShowsNothing()
    {
        ProgressWindow window;
        window.report("Pictures added", 1, 0);
        window.report("Pictures added", 2, 0);
        QVERIFY(!window.isVisible());
        window.finish();
        QVERIFY(!window.isVisible());
    }

    void aLongStepShowsHowFarItHasComeAndGoesWhenDone()
    {
        QWidget mainWindow;
        mainWindow.setWindowTitle("Kestrane");
        mainWindow.setGeometry(300, 200, 500, 400);
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
        ProgressWindow window;
        window.centreOver(&mainWindow);
        window.report("Pictures added", 1, 0);
        QTest::qWait(600);
        window.report("Pictures added", 120, 0);
        QVERIFY(window.isVisible());
        QVERIFY((window.frameGeometry().center() - mainWindow.frameGeometry().center()).manhattanLength() <=
                2);
        QVERIFY(window.windowTitle() != mainWindow.windowTitle());
        QVERIFY(window.testAttribute(Qt::WA_TransparentForMouseEvents));
        QVERIFY(window.windowFlags() & Qt::WindowDoesNotAcceptFocus);
        const QLabel* text = window.findChild<QLabel*>();
        QCOMPARE(text->text(), QString("Pictures added: 120"));
        QCOMPARE(window.findChild<QProgressBar*>()->maximum(), 0);

        QTest::qWait(60);
        window.report("Saving", 50, 200);
        QCOMPARE(text->text(), QString("Saving: 25%"));
        QCOMPARE(window.findChild<QProgressBar*>()->value(), 250);
        QDir().mkpath(KESTRANE_SCREENSHOTS);
        QVERIFY(window.grab().save(KESTRANE_SCREENSHOTS "/ProgressWindow.png"));

        window.finish();
        QVERIFY(!window.isVisible());
        // The next step starts its own half second.
        window.report("Saving", 1, 200);
        QVERIFY(!window.isVisible());
    }

    // From a step's first report on the windows paint, and what is clicked or typed in them is
    // dropped, during the step and after it; then they take input again.
    void duringAStepTheWindowsPaintAndDropInput()
    {
        PaintCounting mainWindow;
        auto* about = new QPushButton("About", &mainWindow);
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
        QSignalSpy clicks(about, &QPushButton::clicked);
        ProgressWindow window;
        window.centreOver(&mainWindow);
        const int paintsBefore = mainWindow.paints;
        mainWindow.update();
        window.report("Pictures added", 0, 0);
        QVERIFY(mainWindow.paints > paintsBefore);

        QTest::mouseClick(about, Qt::LeftButton);
        about->setFocus();
        QTest::keyClick(about, Qt::Key_Space);
        window.report("Pictures added", 1, 0);
        window.finish();
        QCoreApplication::processEvents();
        QCOMPARE(clicks.count(), 0);

        QTest::mouseClick(about, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
    }

    // A small save reports no bytes on the way, only its start and its end; when it takes half a
    // second, the window shows by the end.
    void aSlowSmallSaveShows()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray jpeg = testing::noiseJpeg(1021, 1);
        QFile picture(dir.filePath("image1.jpg"));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        QCOMPARE(picture.write(jpeg), qint64(jpeg.size()));
        picture.close();

        ProgressWindow window;
        SlowAfterTheFirstReport progress(window);
        EngineObjectFactory factory(progress);
        const auto application = factory.CreatePresentationApplication();
        const auto presentation = application->Presentations().Add();
        presentation->Slides()
            .Add(1, automation::ppLayoutBlank)
            ->Shapes()
            .AddPicture(picture.fileName().toStdString(), automation::msoFalse, automation::msoTrue, "55",
                        "-60", "612", "792");
        presentation->SaveAs(dir.filePath("deck.pptx").toStdString());
        application->Quit();

        // The total counts the picture twice when its digest was left to the save.
        QVERIFY(!progress.reports.empty());
        const std::string& first = progress.reports.front();
        const std::string total = first.substr(9, first.find(' ', 9) - 9);
        QVERIFY2(total == std::to_string(jpeg.size()) || total == std::to_string(2 * jpeg.size()),
                 first.c_str());
        QCOMPARE(progress.reports, (std::vector<std::string>{"Saving 0/" + total + " hidden",
                                                             "Saving " + total + "/" + total + " shown"}));
    }
};

QTEST_MAIN(TestProgressWindow)
#include "tst_progresswindow.moc"
