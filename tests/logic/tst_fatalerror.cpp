#include "base/Error.h"
#include "platform/FatalError.h"
#include "tests/support/Fakes.h"

#include <QTest>
#include <stdexcept>

using namespace kestrane;
using namespace kestrane::testing;

class TestFatalError : public QObject
{
    Q_OBJECT

private slots:
    void aHandlerThatSucceedsReportsNothing()
    {
        RecordingMessageBox messageBox;
        RecordingProgramEnd programEnd;
        bool ran = false;
        runReportingFailures(messageBox, programEnd, [&] { ran = true; });
        QVERIFY(ran);
        QVERIFY(messageBox.texts.empty());
        QVERIFY(programEnd.statuses.empty());
    }

    void aFailureIsReportedWithItsNumberAndEndsTheProgram()
    {
        RecordingMessageBox messageBox;
        RecordingProgramEnd programEnd;
        int stepsDone = 0;
        runReportingFailures(messageBox, programEnd, [&] {
            ++stepsDone;
            throw Error(ErrorCode::PictureCorrupt, "/photos/image3.jpg");
        });
        QCOMPARE(stepsDone, 1);
        QCOMPARE(messageBox.texts,
                 std::vector<std::string>{"Error 305\n\nThe picture file is damaged: /photos/image3.jpg"});
        QCOMPARE(programEnd.statuses, std::vector<int>{fatalExitStatus});
        QVERIFY(fatalExitStatus != 0);
    }

    void anUnforeseenFailureStillGetsANumber()
    {
        RecordingMessageBox messageBox;
        RecordingProgramEnd programEnd;
        runReportingFailures(messageBox, programEnd, [] { throw std::runtime_error("boom"); });
        QCOMPARE(messageBox.texts, std::vector<std::string>{"Error 999\n\nUnexpected failure: boom"});
        QCOMPARE(programEnd.statuses, std::vector<int>{fatalExitStatus});
    }

    void descriptionsCarryTheOperatingSystemsWords()
    {
        const Error error(ErrorCode::SaveFailed, "/tmp/deck.ppt", ENOSPC);
        QCOMPARE(error.number(), 401);
        QCOMPARE(error.description(),
                 std::string("The presentation could not be saved: /tmp/deck.ppt (No space left on device)"));
    }
};

QTEST_GUILESS_MAIN(TestFatalError)
#include "tst_fatalerror.moc"
