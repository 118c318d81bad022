#include "tests/support/Fakes.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/ProgramLifetime.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace kestrane;
using namespace kestrane::testing;

class TestProgramLifetime : public QObject
{
    Q_OBJECT

private slots:
    void endsWhenTheMainWindowGoesAndNothingIsVisible()
    {
        auto main = std::make_unique<QWidget>();
        main->show();
        int ends = 0;
        ProgramLifetime lifetime(*main, [&] { ++ends; });
        QWidget hiddenWindow;
        hiddenWindow.show();
        hiddenWindow.hide();
        QTest::qWait(10);
        QCOMPARE(ends, 0);
        main.reset();
        QTRY_COMPARE(ends, 1);
        // Once only.
        hiddenWindow.show();
        hiddenWindow.hide();
        QTest::qWait(10);
        QCOMPARE(ends, 1);
    }

    void aVisibleWindowKeepsTheProgramUntilItIsHidden()
    {
        auto main = std::make_unique<QWidget>();
        main->show();
        int ends = 0;
        ProgramLifetime lifetime(*main, [&] { ++ends; });
        QWidget other;
        other.show();
        main.reset();
        QTest::qWait(10);
        QCOMPARE(ends, 0);
        other.hide();
        QTRY_COMPARE(ends, 1);
    }

    void hidingEveryWindowWhileTheMainWindowExistsEndsNothing()
    {
        QWidget main;
        main.show();
        int ends = 0;
        ProgramLifetime lifetime(main, [&] { ++ends; });
        main.hide();
        QTest::qWait(10);
        QCOMPARE(ends, 0);
    }

    // The program's own set-up in a child process, which must end by itself.
    void theProgramEndsWithNoVisibleWindowLeft_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("output");

        QTest::newRow("main window closed") << "close"
                                            << "";
        QTest::newRow("chooser hidden, then main window closed") << "chooser"
                                                                 << "chosen\n";
        QTest::newRow("another window hidden after the main window closed") << "other"
                                                                            << "still running\n";
    }

    void theProgramEndsWithNoVisibleWindowLeft()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, output);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--lifetime-child", scenario});
        const bool finished = child.waitForFinished(20000);
        if (!finished) {
            child.kill();
            child.waitForFinished();
        }
        QVERIFY2(finished, "the program kept running");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), output);
        QCOMPARE(child.exitCode(), 0);
    }
};

// The child of theProgramEndsWithNoVisibleWindowLeft: the main window set up as the program
// does it, then one scenario; the process must end by itself once it has run.
static int lifetimeChild(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QByteArray scenario = argv[2];
    FakeServices fakes;
    auto* form1 = new Form1(fakes.services());
    form1->setAttribute(Qt::WA_DeleteOnClose);
    ProgramLifetime lifetime(*form1, [] { QCoreApplication::quit(); });
    form1->start();

    QWidget other;
    QTimer::singleShot(0, [&] {
        if (scenario == "chooser") {
            QTimer::singleShot(0, [] {
                for (QWidget* window : QApplication::topLevelWidgets())
                    if (auto* chooser = qobject_cast<Form2*>(window))
                        QTest::mouseClick(chooser->Command1, Qt::LeftButton);
            });
            form1->showForm2();
            if (!form1->imagedir.isEmpty())
                std::printf("chosen\n");
        }
        if (scenario == "other") {
            other.show();
            QTimer::singleShot(500, [&] {
                std::printf("still running\n");
                std::fflush(stdout);
                other.hide();
            });
        }
        form1->close();
    });
    const int status = QApplication::exec();
    std::fflush(stdout);
    return fakes.messageBox.texts.empty() && fakes.programEnd.statuses.empty() ? status : 98;
}

int main(int argc, char* argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--lifetime-child")
        return lifetimeChild(argc, argv);
    QApplication application(argc, argv);
    TestProgramLifetime test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lifetime.moc"
