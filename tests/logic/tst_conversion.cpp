#include "base/Error.h"
#include "conversion/ConversionRun.h"
#include "conversion/SlideBuilder.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

// The main window as the run sees it: four texts and a chooser that answers as preset.
class FakeWindow : public ConversionWindow
{
public:
    std::string fieldText(PlacementField field) override
    {
        reads.push_back(field);
        return fields.at(static_cast<std::size_t>(field));
    }
    std::string imageDirectory() override { return imagedir; }
    void setImageDirectory(const std::string& directory) override { imagedir = directory; }
    void showDirectoryChooser() override
    {
        ++choosersShown;
        imagedirWhenShown = imagedir;
        imagedir = chooserAnswer;
    }

    std::vector<std::string> fields{"612", "792", "55", "-60"};
    std::vector<PlacementField> reads;
    std::string imagedir = "left over";
    std::string imagedirWhenShown;
    std::string chooserAnswer;
    int choosersShown = 0;
};

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

std::vector<std::string> slideAndPictureCalls(const std::vector<std::string>& log)
{
    std::vector<std::string> calls;
    for (const std::string& entry : log)
        if (entry.find("Slides.Add") != std::string::npos || entry.find("AddPicture") != std::string::npos)
            calls.push_back(entry);
    return calls;
}

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT

private slots:
    void invalidFieldsShowOneMessageAndDoNothingElse_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");

        QTest::newRow("both pairs invalid")
            << QStringList{"0", "", "x", ""} << "Invalid dimensions specified.";
        QTest::newRow("zero width") << QStringList{"0", "792", "55", "-60"}
                                    << "Invalid dimensions specified.";
        QTest::newRow("negative height")
            << QStringList{"612", "-1", "55", "-60"} << "Invalid dimensions specified.";
        QTest::newRow("empty top") << QStringList{"612", "792", "55", ""} << "Invalid position specified.";
        QTest::newRow("letter left") << QStringList{"612", "792", "x", "1"} << "Invalid position specified.";
    }

    void invalidFieldsShowOneMessageAndDoNothingElse()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        FakeServices fakes;
        FakeWindow window;
        for (int i = 0; i < 4; ++i)
            window.fields[static_cast<std::size_t>(i)] = fields[i].toStdString();
        ConversionRun(window, fakes.services()).run();
        QCOMPARE(fakes.messageBox.texts, std::vector<std::string>{message.toStdString()});
        QVERIFY(fakes.settings.calls.empty());
        QCOMPARE(window.choosersShown, 0);
        QCOMPARE(window.imagedir, std::string("left over"));
        QVERIFY(fakes.objects.log.empty());
    }

    void aCancelledChooserLeavesTheValuesSavedAndStartsNothing()
    {
        FakeServices fakes;
        FakeWindow window;
        window.fields = {"55.50", "1e3", "-2.5", "15.5"};
        ConversionRun(window, fakes.services()).run();
        QCOMPARE(window.choosersShown, 1);
        QCOMPARE(window.imagedirWhenShown, std::string());
        QCOMPARE(fakes.settings.value("DefaultWidth"), std::string("55.50"));
        QCOMPARE(fakes.settings.value("DefaultHeight"), std::string("1e3"));
        QCOMPARE(fakes.settings.value("DefaultX"), std::string("-2.5"));
        QCOMPARE(fakes.settings.value("DefaultY"), std::string("15.5"));
        QVERIFY(fakes.objects.log.empty());
        QVERIFY(fakes.saveDialog.startedFrom.empty());
        QVERIFY(fakes.messageBox.texts.empty());
    }

    void aDirectoryWithoutImage1StillAsksForANameAndSaves()
    {
        QTemporaryDir folder;
        touch(folder.filePath("image2.jpg"));
        FakeServices fakes;
        fakes.saveDialog.nextFileName = "/tmp/empty.ppt";
        FakeWindow window;
        window.chooserAnswer = folder.path().toStdString();
        ConversionRun(window, fakes.services()).run();
        const std::string dir = folder.path().toStdString();
        const std::vector<std::string> expected{
            "CreatePresentationApplication",
            "app1.Presentations.Add",
            "CreateFileSystemObject",
            "FileExists(" + dir + "/image1.jpg)=false",
            "ReleaseFileSystemObject",
            "app1.SaveAs(/tmp/empty.ppt)",
            "app1.Quit",
        };
        QCOMPARE(fakes.objects.log, expected);
        QCOMPARE(fakes.saveDialog.startedFrom, std::vector<std::string>{""});
    }

    void aCancelledSaveWritesNothingAndStillQuits()
    {
        QTemporaryDir folder;
        touch(folder.filePath("image1.jpg"));
        FakeServices fakes;
        fakes.saveDialog.setFileName("from an earlier run");
        FakeWindow window;
        window.chooserAnswer = folder.path().toStdString();
        ConversionRun(window, fakes.services()).run();
        QCOMPARE(fakes.saveDialog.startedFrom, std::vector<std::string>{""});
        QCOMPARE(fakes.objects.log.back(), std::string("app1.Quit"));
        for (const std::string& entry : fakes.objects.log)
            QVERIFY2(entry.find("SaveAs") == std::string::npos, entry.c_str());
    }

    void picturesFollowTheNumbersUpToTheFirstGap_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("inserted");

        QTest::newRow("gap after two") << QStringList{"image1.jpg", "image2.jpg", "image4.jpg"}
                                       << QStringList{"image1.jpg", "image2.jpg"};
        QTest::newRow("no leading zeros") << QStringList{"image01.jpg", "image2.jpg"} << QStringList{};
        QTest::newRow("only .jpg") << QStringList{"image1.jpeg", "image1.jpg.png"} << QStringList{};
        QTest::newRow("ten and more") << QStringList{"image1.jpg", "image2.jpg",  "image3.jpg",  "image4.jpg",
                                                     "image5.jpg", "image6.jpg",  "image7.jpg",  "image8.jpg",
                                                     "image9.jpg", "image10.jpg", "image11.jpg", "other.jpg"}
                                      << QStringList{"image1.jpg", "image2.jpg",  "image3.jpg", "image4.jpg",
                                                     "image5.jpg", "image6.jpg",  "image7.jpg", "image8.jpg",
                                                     "image9.jpg", "image10.jpg", "image11.jpg"};
        // letter case does not matter; the exact name wins, then the first in byte order
        QTest::newRow("camera names")
            << QStringList{"IMAGE1.JPG", "Image2.Jpg"} << QStringList{"IMAGE1.JPG", "Image2.Jpg"};
        QTest::newRow("exact name first")
            << QStringList{"IMAGE1.JPG", "image1.jpg", "Image1.jpg"} << QStringList{"image1.jpg"};
        QTest::newRow("byte order") << QStringList{"image1.JPG", "IMAGE1.jpg", "Image1.jpg"}
                                    << QStringList{"IMAGE1.jpg"};
        // a folder or a dangling link answers as no file
        QTest::newRow("a folder") << QStringList{"image1.jpg/"} << QStringList{};
        QTest::newRow("a dangling link") << QStringList{"image1.jpg -> gone.jpg"} << QStringList{};
        QTest::newRow("a folder under the name")
            << QStringList{"image1.jpg/", "IMAGE1.JPG/", "Image1.JPG"} << QStringList{"Image1.JPG"};
    }

    void picturesFollowTheNumbersUpToTheFirstGap()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, inserted);
        QTemporaryDir folder;
        for (const QString& name : files) {
            const QStringList link = name.split(" -> ");
            if (link.size() == 2)
                QVERIFY(QFile::link(link[1], folder.filePath(link[0])));
            else if (name.endsWith('/'))
                QVERIFY(QDir(folder.path()).mkdir(name));
            else
                touch(folder.filePath(name));
        }
        FakeServices fakes;
        FakeWindow window;
        window.chooserAnswer = folder.path().toStdString();
        ConversionRun(window, fakes.services()).run();

        std::vector<std::string> expected;
        for (int n = 1; n <= inserted.size(); ++n) {
            expected.push_back("app1.Slides.Add(" + std::to_string(n) + ",12)");
            expected.push_back("app1.AddPicture(" + folder.path().toStdString() + "/" +
                               inserted[n - 1].toStdString() + ",0,-1,55,-60,612,792)");
        }
        QCOMPARE(slideAndPictureCalls(fakes.objects.log), expected);
        // Probed up to the first missing number, and not one further.
        const std::string lastProbe = "FileExists(" + folder.path().toStdString() + "/image" +
                                      std::to_string(inserted.size() + 1) + ".jpg)=false";
        QCOMPARE(fakes.objects.log.at(fakes.objects.log.size() - 3), lastProbe);
        // The step reports its start, then each picture added.
        std::vector<std::string> reports{"Pictures added 0/0"};
        for (int n = 1; n <= inserted.size(); ++n)
            reports.push_back("Pictures added " + std::to_string(n) + "/0");
        QCOMPARE(fakes.progress.updates, reports);
        QCOMPARE(fakes.progress.finishes, 1);
    }

    // A folder of thousands of pictures must not be read once per number: what it holds is read
    // at the first name not found as given, and only once.
    void theFolderIsListedOnceAConversion()
    {
        QTemporaryDir folder;
        touch(folder.filePath("IMAGE1.JPG"));
        FakeServices fakes;
        FakeWindow window;
        window.chooserAnswer = folder.path().toStdString();
        fakes.objects.onAddPicture = [&folder](const std::string&) { touch(folder.filePath("IMAGE2.JPG")); };
        ConversionRun(window, fakes.services()).run();
        QCOMPARE(slideAndPictureCalls(fakes.objects.log).size(), std::size_t(2));
    }

    void theSlideStepReportsItsStartBeforeTheFirstPicture()
    {
        QTemporaryDir folder;
        touch(folder.filePath("image1.jpg"));
        FakeServices fakes;
        FakeWindow window;
        window.chooserAnswer = folder.path().toStdString();
        std::vector<std::string> reportsBeforePicture;
        fakes.objects.onAddPicture = [&](const std::string&) {
            reportsBeforePicture = fakes.progress.updates;
        };
        ConversionRun(window, fakes.services()).run();
        QCOMPARE(reportsBeforePicture, std::vector<std::string>{"Pictures added 0/0"});
    }

    void placementTextsReachTheApplicationAsTypedAndAsTheyStandAtEachPicture()
    {
        QTemporaryDir folder;
        touch(folder.filePath("image1.jpg"));
        touch(folder.filePath("image2.jpg"));
        FakeServices fakes;
        FakeWindow window;
        window.fields = {"55.50", "+72.5", "-0", "1e1"};
        window.chooserAnswer = folder.path().toStdString();
        // A field that changes while the slides are built is read afresh for the next picture.
        fakes.objects.onAddPicture = [&window](const std::string&) { window.fields[0] = "100"; };
        ConversionRun run(window, fakes.services());
        window.reads.clear();
        run.run();
        const std::string dir = folder.path().toStdString();
        const std::vector<std::string> expected{
            "app1.Slides.Add(1,12)", "app1.AddPicture(" + dir + "/image1.jpg,0,-1,-0,1e1,55.50,+72.5)",
            "app1.Slides.Add(2,12)", "app1.AddPicture(" + dir + "/image2.jpg,0,-1,-0,1e1,100,+72.5)"};
        QCOMPARE(slideAndPictureCalls(fakes.objects.log), expected);
        // Each picture reads left, top, width, height, in that order.
        const std::vector<PlacementField> perPicture{PlacementField::Left, PlacementField::Top,
                                                     PlacementField::Width, PlacementField::Height};
        QVERIFY(std::search(window.reads.begin(), window.reads.end(), perPicture.begin(), perPicture.end()) !=
                window.reads.end());
        QCOMPARE(fakes.settings.value("DefaultWidth"), std::string("55.50"));
        QCOMPARE(fakes.settings.value("DefaultHeight"), std::string("+72.5"));
    }

    void eachPressStartsANewApplicationAndPresentation()
    {
        QTemporaryDir folder;
        FakeServices fakes;
        FakeWindow window;
        window.chooserAnswer = folder.path().toStdString();
        ConversionRun run(window, fakes.services());
        run.run();
        const auto firstApp = run.app;
        const auto firstPres = run.pres;
        run.run();
        QVERIFY(run.app && run.app != firstApp);
        QVERIFY(run.pres && run.pres != firstPres);
        QCOMPARE(std::count(fakes.objects.log.begin(), fakes.objects.log.end(), "app2.Presentations.Add"), 1);
        QCOMPARE(std::count(fakes.objects.log.begin(), fakes.objects.log.end(), "app2.Quit"), 1);
    }

    void aFailureStopsTheRunWithoutQuittingAndEndsItsProgressStep_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("saveDialogShown");
        QTest::newRow("slide builder") << "image2.jpg" << false;
        QTest::newRow("save") << "never.ppt" << true;
    }

    void aFailureStopsTheRunWithoutQuittingAndEndsItsProgressStep()
    {
        QFETCH(QString, failing);
        QFETCH(bool, saveDialogShown);
        QTemporaryDir folder;
        touch(folder.filePath("image1.jpg"));
        touch(folder.filePath("image2.jpg"));
        FakeServices fakes;
        fakes.saveDialog.nextFileName = "/tmp/never.ppt";
        FakeWindow window;
        window.chooserAnswer = folder.path().toStdString();
        const auto failAt = [&failing](const std::string& fileName) {
            if (fileName.ends_with(failing.toStdString()))
                throw Error(ErrorCode::PictureCorrupt, fileName);
        };
        fakes.objects.onAddPicture = failAt;
        fakes.objects.onSaveAs = failAt;
        ConversionRun run(window, fakes.services());
        QVERIFY_THROWS_EXCEPTION(Error, run.run());
        if (!saveDialogShown)
            QCOMPARE(fakes.objects.log.back(), std::string("ReleaseFileSystemObject"));
        QCOMPARE(!fakes.saveDialog.startedFrom.empty(), saveDialogShown);
        QCOMPARE(std::count(fakes.objects.log.begin(), fakes.objects.log.end(), "app1.Quit"), 0);
        // Building and saving are a step each; the failing one is ended too.
        QCOMPARE(fakes.progress.finishes, saveDialogShown ? 2 : 1);
    }

    // A folder the user may not search is not one without pictures: the run stops with the
    // system's reason before the Save-As dialog, so no empty deck is saved.
    void aFolderThatCannotBeSearchedStopsTheRunBeforeTheSave()
    {
        QTemporaryDir folder;
        touch(folder.filePath("image1.jpg"));
        QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner));
        const ChildOutcome outcome = runInChild(
            [&folder] {
                FakeServices fakes;
                fakes.saveDialog.nextFileName = "/tmp/never.ppt";
                FakeWindow window;
                window.chooserAnswer = folder.path().toStdString();
                ConversionRun(window, fakes.services()).run();
            },
            Privileges::Drop);
        QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner));
        QCOMPARE(outcome.errorNumber, static_cast<int>(ErrorCode::DirectoryUnreadable));
        QVERIFY2(outcome.description.ends_with(": " + folder.path().toStdString() + " (Permission denied)"),
                 outcome.description.c_str());
    }

    void imagePathsAlwaysWriteTheSeparator_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<qulonglong>("number");
        QTest::addColumn<QString>("path");

        QTest::newRow("plain") << "/home/ann/photos" << 1ULL << "/home/ann/photos/image1.jpg";
        QTest::newRow("root doubles it") << "/" << 12ULL << "//image12.jpg";
        QTest::newRow("large number")
            << "/d" << 18446744073709551615ULL << "/d/image18446744073709551615.jpg";
    }

    void imagePathsAlwaysWriteTheSeparator()
    {
        QFETCH(QString, directory);
        QFETCH(qulonglong, number);
        QFETCH(QString, path);
        QCOMPARE(QString::fromStdString(imagePath(directory.toStdString(), number)), path);
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
