#include "platform/Drives.h"
#include "platform/IniSettingsStore.h"
#include "platform/ProgramEnd.h"
#include "tests/support/Fakes.h"
#include "tests/support/WindowChecks.h"
#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/HelpDialog.h"
#include "ui/SelectAllLineEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <tuple>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

std::unique_ptr<Form1> startedForm(FakeServices& fakes)
{
    auto form = std::make_unique<Form1>(fakes.services());
    form->start();
    if (!QTest::qWaitForWindowActive(form.get()))
        qWarning("the main window did not become active");
    return form;
}

void setFields(Form1& form, const QStringList& texts)
{
    form.Text1->setText(texts[0]);
    form.Text2->setText(texts[1]);
    form.Text3->setText(texts[2]);
    form.Text4->setText(texts[3]);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void startsWithTheStoredValuesAndTheFirstFieldSelected()
    {
        FakeServices fakes;
        fakes.settings.values["Settings/DefaultWidth"] = "100.50";
        auto form = startedForm(fakes);
        QCOMPARE(form->windowTitle(), QString("Kestrane"));
        QCOMPARE(form->Text1->text(), QString("100.50"));
        QCOMPARE(form->Text2->text(), QString("792"));
        QCOMPARE(form->Text3->text(), QString("55"));
        QCOMPARE(form->Text4->text(), QString("-60"));
        QCOMPARE(QApplication::focusWidget(), form->Text1);
        QCOMPARE(form->Text1->selectedText(), QString("100.50"));
        QVERIFY(fakes.messageBox.texts.empty());

        QDir().mkpath(KESTRANE_SCREENSHOTS);
        QVERIFY(form->grab().save(KESTRANE_SCREENSHOTS "/Form1.png"));
    }

    void tabVisitsFieldsThenButtonsSelectingEachField()
    {
        FakeServices fakes;
        auto form = startedForm(fakes);
        form->Text3->clear();
        const QList<QWidget*> order{form->Text2,    form->Text3,    form->Text4, form->Command1,
                                    form->Command3, form->Command2, form->Text1};
        for (QWidget* expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected);
            if (auto* field = qobject_cast<QLineEdit*>(expected)) {
                QCOMPARE(field->selectedText(), field->text());
                QCOMPARE(field->cursorPosition(),
                         static_cast<int>(field->text().size()) * field->hasSelectedText());
            }
        }
        // The emptied field was entered with an empty selection at the start.
        QCOMPARE(form->Text3->cursorPosition(), 0);
        QVERIFY(!form->Text3->hasSelectedText());
    }

    void aClickIntoAFieldSelectsItsWholeText()
    {
        FakeServices fakes;
        auto form = startedForm(fakes);
        form->Text4->setText("-60");
        QTest::mouseClick(form->Text4, Qt::LeftButton, {}, QPoint(3, form->Text4->height() / 2));
        QCOMPARE(QApplication::focusWidget(), form->Text4);
        QCOMPARE(form->Text4->selectedText(), QString("-60"));
        // Once the field has the focus, a click places the cursor as usual.
        QTest::mouseClick(form->Text4, Qt::LeftButton, {}, QPoint(3, form->Text4->height() / 2));
        QVERIFY(!form->Text4->hasSelectedText());
    }

    void aFieldIsSelectedWholeOnlyWhenEntered_data()
    {
        QTest::addColumn<Qt::FocusReason>("reason");
        QTest::addColumn<bool>("selectsAll");

        // entered: typing replaces the text
        QTest::newRow("Tab") << Qt::TabFocusReason << true;
        QTest::newRow("Shift+Tab") << Qt::BacktabFocusReason << true;
        QTest::newRow("mouse click") << Qt::MouseFocusReason << true;
        // back from elsewhere: caret and selection as they were
        QTest::newRow("its own menu closed") << Qt::PopupFocusReason << false;
        QTest::newRow("another window left") << Qt::ActiveWindowFocusReason << false;
        QTest::newRow("menu bar") << Qt::MenuBarFocusReason << false;
        QTest::newRow("set by the program") << Qt::OtherFocusReason << false;
    }

    void aFieldIsSelectedWholeOnlyWhenEntered()
    {
        QFETCH(Qt::FocusReason, reason);
        QFETCH(bool, selectsAll);
        FakeServices fakes;
        auto form = startedForm(fakes);
        form->Text2->setText("123456");
        form->Text2->setSelection(2, 2);
        QFocusEvent focusIn(QEvent::FocusIn, reason);
        QApplication::sendEvent(form->Text2, &focusIn);
        QCOMPARE(form->Text2->selectedText(), QString(selectsAll ? "123456" : "34"));
    }

    // Each row names the control that has the focus, in the main window, the chooser or About.
    void returnAndEnterPressOnlyTheFocusedButton_data()
    {
        QTest::addColumn<bool>("pressed");
        QTest::newRow("main: a field") << false;
        QTest::newRow("main: convert") << true;
        QTest::newRow("main: About") << true;
        QTest::newRow("main: Exit") << true;
        QTest::newRow("chooser: directories") << false;
        QTest::newRow("chooser: drives") << false;
        QTest::newRow("chooser: Select") << true;
        QTest::newRow("chooser: Cancel") << true;
        QTest::newRow("About: the link") << true;
        QTest::newRow("About: OK") << true;
    }

    // No button is a default or cancel button: Return and Enter press a button only while it has
    // the focus, and Escape none.
    void returnAndEnterPressOnlyTheFocusedButton()
    {
        QFETCH(bool, pressed);
        FakeServices fakes;
        auto form = startedForm(fakes);
        // Convert then stops at its first check.
        form->Text1->clear();
        Form2 chooser(*form, fakes.services(), systemDrives);
        HelpDialog about(fakes.services());
        const QMap<QString, QWidget*> controls{
            {"main: a field", form->Text4},         {"main: convert", form->Command1},
            {"main: About", form->Command3},        {"main: Exit", form->Command2},
            {"chooser: directories", chooser.Dir1}, {"chooser: drives", chooser.Drive1},
            {"chooser: Select", chooser.Command1},  {"chooser: Cancel", chooser.Command2},
            {"About: the link", about.Command1},    {"About: OK", about.OKButton}};
        QWidget* focused = controls.value(QString::fromLatin1(QTest::currentDataTag()));
        focused->window()->show();
        focused->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(focused->window()));
        focused->setFocus();
        QCOMPARE(QApplication::focusWidget(), focused);
        QList<QObject*> clicked;
        for (QWidget* window : QList<QWidget*>{form.get(), &chooser, &about})
            for (QPushButton* button : window->findChildren<QPushButton*>())
                connect(button, &QPushButton::clicked, this, [&clicked, button] { clicked << button; });

        QTest::keyClick(focused, Qt::Key_Escape);
        QVERIFY(focused->isVisible());
        QTest::keyClick(focused, Qt::Key_Return);
        QTest::keyClick(focused, Qt::Key_Enter);
        const QList<QObject*> expected = pressed ? QList<QObject*>{focused, focused} : QList<QObject*>();
        QCOMPARE(clicked, expected);
        // The About dialog the main window opened.
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* opened = qobject_cast<HelpDialog*>(window); opened && opened != &about)
                opened->close();
    }

    void exitSavesEachValidPairAndEnds_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("stored");

        QTest::newRow("invalid size")
            << QStringList{"0", "792", "10", "20"} << QStringList{"612", "792", "10", "20"};
        QTest::newRow("invalid position")
            << QStringList{"300", "400", "", "20"} << QStringList{"300", "400", "55", "-60"};
        QTest::newRow("all invalid") << QStringList{"a", "b", "c", "d"}
                                     << QStringList{"612", "792", "55", "-60"};
        QTest::newRow("typed texts kept")
            << QStringList{"55.50", "1e3", "+7", "15.5"} << QStringList{"55.50", "1e3", "+7", "15.5"};
    }

    void exitSavesEachValidPairAndEnds()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, stored);
        FakeServices fakes;
        auto form = startedForm(fakes);
        setFields(*form, fields);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(fakes.programEnd.statuses, std::vector<int>{0});
        QVERIFY(fakes.messageBox.texts.empty());
        const QStringList actual{QString::fromStdString(fakes.settings.value("DefaultWidth")),
                                 QString::fromStdString(fakes.settings.value("DefaultHeight")),
                                 QString::fromStdString(fakes.settings.value("DefaultX")),
                                 QString::fromStdString(fakes.settings.value("DefaultY"))};
        QCOMPARE(actual, stored);
    }

    void closingThroughTheFrameSavesNothing()
    {
        FakeServices fakes;
        auto form = startedForm(fakes);
        const auto storedAtStart = fakes.settings.values;
        setFields(*form, {"1", "2", "3", "4"});
        QVERIFY(form->close());
        QCOMPARE(fakes.settings.values, storedAtStart);
        QVERIFY(fakes.programEnd.statuses.empty());
    }

    void everyCaptionFitsItsControl()
    {
        FakeServices fakes;
        auto form = startedForm(fakes);
        const auto labels = form->findChildren<QLabel*>();
        QCOMPARE(labels.size(), 7);
        verifyCaptionsFit(*form);
        for (const QLineEdit* field : form->findChildren<QLineEdit*>())
            QVERIFY(field->height() >= field->minimumSizeHint().height());
    }

    void theDesignIsScaledAsAWholeAndResizingMovesNothing()
    {
        FakeServices fakes;
        auto form = startedForm(fakes);
        // One factor for everything: the client area keeps the designed proportions, and the
        // rows and columns of the design stay lined up.
        QVERIFY(qAbs(form->width() * 2160.0 / (form->height() * 5175.0) - 1.0) < 0.02);
        QCOMPARE(form->Text1->x(), form->Text3->x());
        QCOMPARE(form->Text2->x(), form->Text4->x());
        QCOMPARE(form->Text1->y(), form->Text2->y());
        QVERIFY(form->Command1->geometry().right() < form->Command3->x());
        QVERIFY(form->Command3->geometry().right() < form->Command2->x());
        QCOMPARE(form->Command2->geometry().right() + 1, form->Text2->geometry().right() + 1);

        const QRect before = form->Command2->geometry();
        form->resize(form->width() * 2, form->height() * 2);
        QCOMPARE(form->Command2->geometry(), before);
    }

    // What a screen reader says for each control: a field its caption, a list what it lists, a
    // button its text.
    void everyControlIsNamedToScreenReaders()
    {
        FakeServices fakes;
        auto form = startedForm(fakes);
        Form2 chooser(*form, fakes.services(), systemDrives);
        HelpDialog about(fakes.services());
        const std::vector<std::tuple<QWidget*, QAccessible::Text, QString>> texts{
            {form->Text1, QAccessible::Name, "Width:"},
            {form->Text2, QAccessible::Name, "Height:"},
            {form->Text3, QAccessible::Name, "X:"},
            {form->Text4, QAccessible::Name, "Y:"},
            {form->Command1, QAccessible::Name, "Select image directory and create PPT"},
            {form->Command3, QAccessible::Name, "About"},
            {form->Command2, QAccessible::Name, "Exit"},
            {chooser.Dir1, QAccessible::Name, "Directories"},
            {chooser.Drive1, QAccessible::Description, "Drives"},
            {chooser.Command1, QAccessible::Name, "Select"},
            {chooser.Command2, QAccessible::Name, "Cancel"},
            {about.Command1, QAccessible::Name, "Visit the Norvale Website for More Information"},
            {about.OKButton, QAccessible::Name, "OK"},
        };
        for (const auto& [control, kind, text] : texts)
            QCOMPARE(QAccessible::queryAccessibleInterface(control)->text(kind), text);
    }

    // The real program end, in a child process: the store is on disk when the process is gone.
    void exitEndsTheProcessWithTheStoreWritten()
    {
        QTemporaryDir folder;
        QProcess child;
        child.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        child.start(QCoreApplication::applicationFilePath(), {"--exit-child", folder.path()});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        IniSettingsStore store(folder.path());
        QCOMPARE(store.Read("Kestrane", "Settings", "DefaultWidth", 0), std::string("640"));
        QCOMPARE(store.Read("Kestrane", "Settings", "DefaultY", 0), std::string("-60"));
    }
};

// The child of exitEndsTheProcessWithTheStoreWritten: the main window on a real store and the
// real program end; returning from the click would be the fault.
static int exitChild(int argc, char* argv[])
{
    QApplication application(argc, argv);
    IniSettingsStore settings(QString::fromLocal8Bit(argv[2]));
    FakeServices fakes;
    ProcessExit programEnd;
    Form1 form({settings, fakes.messageBox, programEnd, fakes.shell, fakes.saveDialog, fakes.objects,
                fakes.progress});
    form.start();
    form.Text1->setText("640");
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    return 99;
}

int main(int argc, char* argv[])
{
    if (argc == 3 && QByteArray(argv[1]) == "--exit-child")
        return exitChild(argc, argv);
    QApplication application(argc, argv);
    TestForm1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form1.moc"
