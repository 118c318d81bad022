#include "ui/ProgressWindow.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

using namespace kestrane;

class TestProgressWindow : public QObject
{
    Q_OBJECT

private slots:
    void aShortStepShowsNothing()
    {
        ProgressWindow window;
        window.update("Pictures added", 1, 0);
        window.update("Pictures added", 2, 0);
        QVERIFY(!window.isVisible());
        window.finish();
        QVERIFY(!window.isVisible());
    }

    void aLongStepShowsHowFarItHasComeAndGoesWhenDone()
    {
        ProgressWindow window;
        window.update("Pictures added", 1, 0);
        QTest::qWait(600);
        window.update("Pictures added", 120, 0);
        QVERIFY(window.isVisible());
        QVERIFY(window.testAttribute(Qt::WA_TransparentForMouseEvents));
        QVERIFY(window.windowFlags() & Qt::WindowDoesNotAcceptFocus);
        const QLabel* text = window.findChild<QLabel*>();
        QCOMPARE(text->text(), QString("Pictures added: 120"));
        QCOMPARE(window.findChild<QProgressBar*>()->maximum(), 0);

        QTest::qWait(60);
        window.update("Saving", 50, 200);
        QCOMPARE(text->text(), QString("Saving: 25%"));
        QCOMPARE(window.findChild<QProgressBar*>()->value(), 250);
        QDir().mkpath(KESTRANE_SCREENSHOTS);
        QVERIFY(window.grab().save(KESTRANE_SCREENSHOTS "/ProgressWindow.png"));

        window.finish();
        QVERIFY(!window.isVisible());
        // The next step starts its own half second.
        window.update("Saving", 1, 200);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(TestProgressWindow)
#include "tst_progresswindow.moc"
