#include "base/Error.h"
#include "platform/FatalError.h"
#include "tests/support/Fakes.h"
#include "tests/support/WindowChecks.h"
#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <memory>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

// A folder tree with the working directory in "images", restored when the tree goes.
struct WorkingTree
{
    WorkingTree()
    {
        root = QDir(folder.path()).canonicalPath();
        for (const char* sub : {"images/Beta", "images/alpha", "images/Gamma/deep", "drive/photos"})
            QDir(root).mkpath(sub);
        QFile(root + "/file.txt").open(QIODevice::WriteOnly);
        images = root + "/images";
        QDir::setCurrent(images);
    }
    ~WorkingTree() { QDir::setCurrent(previous); }

    QString previous = QDir::currentPath();
    QTemporaryDir folder;
    QString root;
    QString images;
};

Form2* shownChooser()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* chooser = qobject_cast<Form2*>(window); chooser && chooser->isVisible())
            return chooser;
    return nullptr;
}

// Shows the chooser as the conversion will and acts on it while it is up. Hides it should the
// action not end its display, so a failing test cannot hang.
void whileShown(Form1& form1, const std::function<void(Form2&)>& act)
{
    bool acted = false;
    QTimer::singleShot(0, [&] {
        Form2* chooser = shownChooser();
        if (!chooser)
            return;
        QVERIFY(QTest::qWaitForWindowExposed(chooser));
        acted = true;
        act(*chooser);
        if (shownChooser() == chooser) {
            chooser->hide();
            QFAIL("the chooser is still shown");
        }
    });
    form1.showForm2();
    QVERIFY2(acted, "the chooser was not shown");
}

// A machine whose drives are these, every time they are read.
DriveSource drivesOf(std::vector<std::string> drives)
{
    return [drives] { return drives; };
}

int rowOf(const DirectoryList& list, const QString& text)
{
    for (int row = 0; row < list.count(); ++row)
        if (list.item(row)->text() == text)
            return row;
    return -1;
}

void clickEntry(DirectoryList& list, const QString& text)
{
    const QPoint centre = list.visualItemRect(list.item(rowOf(list, text))).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
}

void doubleClickEntry(DirectoryList& list, const QString& text)
{
    const QPoint centre = list.visualItemRect(list.item(rowOf(list, text))).center();
    // As a real double click arrives: press, release, double click, release.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, centre);
}

// The user opens Gamma, highlights "deep" in it, and cancels.
void leaveInGammaAtDeep(Form1& form1)
{
    whileShown(form1, [&](Form2& chooser) {
        doubleClickEntry(*chooser.Dir1, "Gamma");
        clickEntry(*chooser.Dir1, "deep");
        QTest::mouseClick(chooser.Command2, Qt::LeftButton);
    });
}
} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void anUntouchedSelectChoosesTheWorkingDirectory()
    {
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        QPointer<Form2> chooser;
        whileShown(form1, [&](Form2& shown) {
            chooser = &shown;
            QVERIFY(!shown.parentWidget());
            QCOMPARE(shown.windowModality(), Qt::ApplicationModal);
            QCOMPARE(QApplication::activeModalWidget(), &shown);
            QCOMPARE(shown.Dir1->path(), tree.images);
            QTest::mouseClick(shown.Command1, Qt::LeftButton);
        });
        QCOMPARE(form1.imagedir, tree.images);
        // Hidden, not destroyed.
        QVERIFY(chooser && !chooser->isVisible());
        QVERIFY(fakes.messageBox.texts.empty());
    }

    void selectChoosesTheHighlightedEntry_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("chosen");

        QTest::newRow("a single-clicked subdirectory") << "click Gamma"
                                                       << "@/Gamma";
        QTest::newRow("the highlighted parent") << "click parent"
                                                << "@/..";
        QTest::newRow("the root entry") << "click /"
                                        << "/";
        QTest::newRow("down arrow") << "Down"
                                    << "@/alpha";
        QTest::newRow("two down, one up") << "Down Down Up"
                                          << "@/alpha";
        QTest::newRow("up arrow") << "Up"
                                  << "@/..";
        QTest::newRow("opened, then nothing highlighted") << "open Gamma"
                                                          << "@/Gamma";
        QTest::newRow("opened, then a subdirectory") << "open Gamma, click deep"
                                                     << "@/Gamma/deep";
        QTest::newRow("opened, then its parent") << "open Gamma, Up"
                                                 << "@";
        QTest::newRow("the parent opened, then its first subdirectory") << "open parent, Down"
                                                                        << "@/../drive";
        QTest::newRow("down the tree by keyboard") << "Down Down Down Return Down"
                                                   << "@/Gamma/deep";
    }

    void selectChoosesTheHighlightedEntry()
    {
        QFETCH(QString, action);
        QFETCH(QString, chosen);
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        whileShown(form1, [&](Form2& chooser) {
            DirectoryList& list = *chooser.Dir1;
            const QString parentName = QFileInfo(tree.root).fileName();
            for (const QString& step : action.split(", ")) {
                if (step.startsWith("click "))
                    clickEntry(list, step.mid(6) == "parent" ? parentName : step.mid(6));
                else if (step.startsWith("open "))
                    doubleClickEntry(list, step.mid(5) == "parent" ? parentName : step.mid(5));
                else
                    for (const QString& key : step.split(' '))
                        QTest::keyClick(&list, key == "Up"       ? Qt::Key_Up
                                               : key == "Return" ? Qt::Key_Return
                                                                 : Qt::Key_Down);
            }
            QTest::mouseClick(chooser.Command1, Qt::LeftButton);
        });
        QCOMPARE(form1.imagedir, QDir::cleanPath(chosen.replace('@', tree.images)));
    }

    void cancelAndTheFrameLeaveImagedirEmpty_data()
    {
        QTest::addColumn<bool>("throughFrame");
        QTest::newRow("Cancel") << false;
        QTest::newRow("the frame's close control") << true;
    }

    void cancelAndTheFrameLeaveImagedirEmpty()
    {
        QFETCH(bool, throughFrame);
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        QPointer<Form2> chooser;
        whileShown(form1, [&](Form2& shown) {
            chooser = &shown;
            clickEntry(*shown.Dir1, "Beta");
            if (throughFrame)
                QVERIFY(shown.close());
            else
                QTest::mouseClick(shown.Command2, Qt::LeftButton);
        });
        QVERIFY(form1.imagedir.isEmpty());
        if (throughFrame)
            QTRY_VERIFY(chooser.isNull());
        else
            QVERIFY(chooser && !chooser->isVisible());
    }

    void aHiddenChooserReopensAsLeftAClosedOneAfresh()
    {
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        leaveInGammaAtDeep(form1);
        // Working directory moved on meanwhile: a kept chooser does not follow it.
        QDir::setCurrent(tree.root);
        QPointer<Form2> kept;
        whileShown(form1, [&](Form2& chooser) {
            kept = &chooser;
            QCOMPARE(chooser.Dir1->path(), tree.images + "/Gamma");
            QCOMPARE(chooser.Dir1->item(chooser.Dir1->highlightedIndex())->text(), QString("deep"));
            QVERIFY(chooser.close());
        });
        QTRY_VERIFY(kept.isNull());
        whileShown(form1, [&](Form2& chooser) {
            QCOMPARE(chooser.Dir1->path(), tree.root);
            QCOMPARE(chooser.Dir1->pathAt(chooser.Dir1->highlightedIndex()), tree.root);
            QCOMPARE(chooser.Drive1->drive(), QString("/"));
            QTest::mouseClick(chooser.Command1, Qt::LeftButton);
        });
        QCOMPARE(form1.imagedir, tree.root);
    }

    void aHiddenChooserReadsItsFolderAfresh_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("highlighted");

        QTest::newRow("a folder made") << "make new" << QStringList{"deep", "new", "other"} << "deep";
        QTest::newRow("a folder removed") << "remove other" << QStringList{"deep"} << "deep";
        QTest::newRow("the highlighted folder removed") << "remove deep" << QStringList{"other"} << "Gamma";
    }

    // Made or removed while the chooser was hidden; the highlight stays where it still can.
    void aHiddenChooserReadsItsFolderAfresh()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, listed);
        QFETCH(QString, highlighted);
        WorkingTree tree;
        QVERIFY(QDir(tree.images).mkpath("Gamma/other"));
        FakeServices fakes;
        Form1 form1(fakes.services());
        leaveInGammaAtDeep(form1);
        const QString folder = tree.images + "/Gamma/" + change.section(' ', 1);
        QVERIFY(change.startsWith("make") ? QDir().mkdir(folder) : QDir().rmdir(folder));
        whileShown(form1, [&](Form2& chooser) {
            const DirectoryList& list = *chooser.Dir1;
            QCOMPARE(list.path(), tree.images + "/Gamma");
            QStringList shown;
            for (int row = rowOf(list, "Gamma") + 1; row < list.count(); ++row)
                shown << list.item(row)->text();
            QCOMPARE(shown, listed);
            QCOMPARE(list.item(list.highlightedIndex())->text(), highlighted);
            QTest::mouseClick(chooser.Command2, Qt::LeftButton);
        });
    }

    void aHiddenChooserKeepsItsDrive()
    {
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        Form2 chooser(form1, fakes.services(), drivesOf({"/", (tree.root + "/drive").toStdString()}));
        QTimer::singleShot(0, [&] {
            chooser.Drive1->setCurrentIndex(1);
            QTest::mouseClick(chooser.Command2, Qt::LeftButton);
        });
        chooser.showModal();
        QTimer::singleShot(0, [&] { QTest::mouseClick(chooser.Command1, Qt::LeftButton); });
        chooser.showModal();
        QCOMPARE(chooser.Drive1->drive(), tree.root + "/drive");
        QCOMPARE(form1.imagedir, tree.root + "/drive");
    }

    void theChooserStartsAtTheWorkingDirectoryAndItsDrive_data()
    {
        QTest::addColumn<QString>("workingDirectory");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("drive");

        QTest::newRow("on the root drive") << "@/images"
                                           << "@/images"
                                           << "/";
        QTest::newRow("at a mount point") << "@/drive"
                                          << "@/drive"
                                          << "@/drive";
        QTest::newRow("below a mount point") << "@/drive/photos"
                                             << "@/drive/photos"
                                             << "@/drive";
        QTest::newRow("removed: the home folder instead") << "@/removed"
                                                          << "~"
                                                          << "/";
    }

    void theChooserStartsAtTheWorkingDirectoryAndItsDrive()
    {
        QFETCH(QString, workingDirectory);
        QFETCH(QString, opened);
        QFETCH(QString, drive);
        WorkingTree tree;
        workingDirectory.replace('@', tree.root);
        QVERIFY(QDir().mkpath(workingDirectory));
        QVERIFY(QDir::setCurrent(workingDirectory));
        if (workingDirectory.endsWith("/removed"))
            QVERIFY(QDir().rmdir(workingDirectory));
        FakeServices fakes;
        Form1 form1(fakes.services());
        Form2 chooser(form1, fakes.services(), drivesOf({"/", (tree.root + "/drive").toStdString()}));
        QCOMPARE(chooser.Dir1->path(), opened == "~" ? QDir::homePath() : opened.replace('@', tree.root));
        QCOMPARE(chooser.Drive1->drive(), drive.replace('@', tree.root));
        QVERIFY(fakes.messageBox.texts.empty());
    }

    void theDrivesAreReadAfreshEachTimeTheChooserIsShown()
    {
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        const std::string drive = (tree.root + "/drive").toStdString();
        const std::string stick = (tree.root + "/stick").toStdString();
        std::vector<std::string> mounted{"/", drive};
        Form2 chooser(form1, fakes.services(), [&mounted] { return mounted; });
        QStringList seen;
        const auto cancelNoting = [&] {
            QTimer::singleShot(0, [&] {
                seen << QString::number(chooser.Drive1->count()) + " " + chooser.Drive1->drive() + " " +
                            chooser.Dir1->path();
                QTest::mouseClick(chooser.Command2, Qt::LeftButton);
            });
            chooser.showModal();
        };
        chooser.Drive1->setCurrentIndex(1);
        chooser.Dir1->setPath(QFile::encodeName(tree.root + "/drive/photos"));
        // A stick plugged in: offered, and the drive and folder the user left are kept.
        mounted = {"/", drive, stick};
        cancelNoting();
        // The drive gone, its folder still there (as when unmounted): the folder's drive instead.
        mounted = {"/", stick};
        cancelNoting();
        // The folder gone with its medium: back at the working directory.
        QVERIFY(QDir(tree.root + "/drive").removeRecursively());
        cancelNoting();
        QCOMPARE(seen, (QStringList{"3 @/drive @/drive/photos", "2 / @/drive/photos", "2 / @/images"})
                           .replaceInStrings("@", tree.root));
        QVERIFY(fakes.messageBox.texts.empty());
    }

    void pickingADriveOpensItHighlighted()
    {
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        Form2 chooser(form1, fakes.services(), drivesOf({"/", (tree.root + "/drive").toStdString()}));
        QCOMPARE(chooser.Drive1->count(), 2);
        QCOMPARE(chooser.Drive1->drive(), QString("/"));

        chooser.Drive1->setCurrentIndex(1);
        QCOMPARE(chooser.Dir1->path(), tree.root + "/drive");
        QCOMPARE(chooser.Dir1->pathAt(chooser.Dir1->highlightedIndex()), tree.root + "/drive");

        chooser.Drive1->setCurrentIndex(0);
        QCOMPARE(chooser.Dir1->path(), QString("/"));
        QCOMPARE(chooser.Dir1->highlightedIndex(), 0);
        QTest::mouseClick(chooser.Command1, Qt::LeftButton);
        QCOMPARE(form1.imagedir, QString("/"));
        QVERIFY(fakes.messageBox.texts.empty());
    }

    void aDriveThatCannotBeOpenedIsFatal_data()
    {
        QTest::addColumn<QString>("drive");
        QTest::addColumn<int>("osError");

        QTest::newRow("vanished medium") << "@/unplugged" << ENOENT;
        QTest::newRow("not a directory") << "@/file.txt" << ENOTDIR;
    }

    void aDriveThatCannotBeOpenedIsFatal()
    {
        QFETCH(QString, drive);
        QFETCH(int, osError);
        WorkingTree tree;
        drive.replace('@', tree.root);
        FakeServices fakes;
        Form1 form1(fakes.services());
        Form2 chooser(form1, fakes.services(), drivesOf({"/", drive.toStdString()}));
        chooser.Drive1->setCurrentIndex(1);
        const std::string expected =
            reportText(Error(ErrorCode::DriveUnavailable, drive.toStdString(), osError));
        QCOMPARE(fakes.messageBox.texts, std::vector<std::string>{expected});
        QCOMPARE(fakes.programEnd.statuses, std::vector<int>{fatalExitStatus});
        QVERIFY(QString::fromStdString(expected).startsWith("Error 501"));
    }

    void aFolderThatCannotBeOpenedLeavesTheListAsItWas_data()
    {
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("double click") << false;
        QTest::newRow("Return") << true;
    }

    // Gone since it was listed; a folder the user may not read fails to open the same way.
    void aFolderThatCannotBeOpenedLeavesTheListAsItWas()
    {
        QFETCH(bool, byKeyboard);
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        Form2 chooser(form1, fakes.services(), drivesOf({"/"}));
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        clickEntry(*chooser.Dir1, "Beta");
        const int highlighted = chooser.Dir1->highlightedIndex();
        const int entries = chooser.Dir1->count();
        QVERIFY(QDir(tree.images).rmdir("Beta"));
        if (byKeyboard)
            QTest::keyClick(chooser.Dir1, Qt::Key_Return);
        else
            doubleClickEntry(*chooser.Dir1, "Beta");
        QCOMPARE(chooser.Dir1->path(), tree.images);
        QCOMPARE(chooser.Dir1->count(), entries);
        QCOMPARE(chooser.Dir1->highlightedIndex(), highlighted);
        QVERIFY(chooser.isVisible());
        QVERIFY(fakes.messageBox.texts.empty());
        QVERIFY(fakes.programEnd.statuses.empty());
    }

    void theDesignIsKeptAtTheFontsScale()
    {
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        whileShown(form1, [&](Form2& chooser) {
            QCOMPARE(chooser.windowTitle(), QString("Select the Image Directory"));
            // One factor for everything: the client area keeps the designed proportions.
            QVERIFY(qAbs(chooser.width() * 3690.0 / (chooser.height() * 4680.0) - 1.0) < 0.02);
            const QRect list = chooser.Dir1->geometry();
            const QRect drives = chooser.Drive1->geometry();
            QCOMPARE(drives.left(), list.left());
            QCOMPARE(drives.right(), list.right());
            QVERIFY(list.bottom() < drives.top());
            QVERIFY(drives.bottom() < chooser.Command1->y());
            QCOMPARE(chooser.Command2->x(), list.left());
            QCOMPARE(chooser.Command1->geometry().right(), list.right());
            QCOMPARE(chooser.Command1->y(), chooser.Command2->y());
            QVERIFY(chooser.Drive1->height() >= chooser.Drive1->minimumSizeHint().height());
            verifyCaptionsFit(chooser);
            QCOMPARE(chooser.Command1->text(), QString("Select"));
            QCOMPARE(chooser.Command2->text(), QString("Cancel"));

            QDir().mkpath(KESTRANE_SCREENSHOTS);
            QVERIFY(chooser.grab().save(KESTRANE_SCREENSHOTS "/Form2.png"));
            QTest::mouseClick(chooser.Command2, Qt::LeftButton);
        });
    }

    void tabVisitsTheListsThenSelectThenCancel()
    {
        WorkingTree tree;
        FakeServices fakes;
        Form1 form1(fakes.services());
        whileShown(form1, [&](Form2& chooser) {
            chooser.Dir1->setFocus();
            for (QWidget* expected :
                 QList<QWidget*>{chooser.Drive1, chooser.Command1, chooser.Command2, chooser.Dir1}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), expected);
            }
            QTest::mouseClick(chooser.Command2, Qt::LeftButton);
        });
    }

    void theChooserGoesWithTheMainWindow()
    {
        WorkingTree tree;
        FakeServices fakes;
        auto form1 = std::make_unique<Form1>(fakes.services());
        QPointer<Form2> chooser;
        whileShown(*form1, [&](Form2& shown) {
            chooser = &shown;
            QTest::mouseClick(shown.Command2, Qt::LeftButton);
        });
        QVERIFY(chooser);
        form1.reset();
        QVERIFY(chooser.isNull());
    }
};

QTEST_MAIN(TestForm2)

#include "tst_form2.moc"
