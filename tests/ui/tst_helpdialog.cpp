#include "tests/support/Fakes.h"
#include "tests/support/WindowChecks.h"
#include "ui/Form1.h"
#include "ui/HelpDialog.h"
#include "ui/ProgramLifetime.h"
#include "ui/SelectAllLineEdit.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include <xcb/xcb.h>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

QList<HelpDialog*> helpDialogs()
{
    QList<HelpDialog*> dialogs;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<HelpDialog*>(window))
            dialogs.append(dialog);
    return dialogs;
}

HelpDialog* pressAbout(Form1& form)
{
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    const auto dialogs = helpDialogs();
    return dialogs.size() == 1 ? dialogs.front() : nullptr;
}

// The names of the types in the window's _NET_WM_WINDOW_TYPE, as the window manager reads them
// from the X server.
QStringList x11WindowTypes(const QWidget& window)
{
    xcb_connection_t* connection = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto reply = [](auto* pointer) {
        return std::unique_ptr<std::remove_pointer_t<decltype(pointer)>, decltype(&std::free)>(pointer,
                                                                                               &std::free);
    };
    const QByteArray name("_NET_WM_WINDOW_TYPE");
    const auto property = reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, true, name.size(), name.data()), nullptr));
    if (!property)
        return {};
    const auto value =
        reply(xcb_get_property_reply(connection,
                                     xcb_get_property(connection, false, xcb_window_t(window.winId()),
                                                      property->atom, XCB_ATOM_ATOM, 0, 32),
                                     nullptr));
    if (!value)
        return {};
    QStringList types;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(value.get()));
    for (int i = 0; i < xcb_get_property_value_length(value.get()) / int(sizeof(xcb_atom_t)); ++i) {
        const auto atomName =
            reply(xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atoms[i]), nullptr));
        if (atomName)
            types.append(QString::fromLatin1(xcb_get_atom_name_name(atomName.get()),
                                             xcb_get_atom_name_name_length(atomName.get())));
    }
    return types;
}

// A main window that is destroyed when closed through its frame, as in the program.
Form1* startedForm(FakeServices& fakes)
{
    auto* form = new Form1(fakes.services());
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->start();
    return form;
}

} // namespace

class TestHelpDialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget* window : QApplication::topLevelWidgets())
            windows.append(window);
        for (const QPointer<QWidget>& window : windows)
            delete window.data();
    }

    void looksAsDesigned()
    {
        FakeServices fakes;
        Form1* form = startedForm(fakes);
        HelpDialog* dialog = pressAbout(*form);
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->windowTitle(), QString("About Kestrane"));
        QCOMPARE(dialog->Label1->text(), QString("Norvale JPEG to PowerPoint Conversion Utility, v.1.0"));
        QCOMPARE(dialog->Command1->text(), QString("Visit the Norvale Website for More Information"));
        QCOMPARE(dialog->OKButton->text(), QString("OK"));
        QCOMPARE(dialog->Label1->palette().color(QPalette::WindowText), QColor(0, 0, 192));
        QVERIFY(dialog->Label1->font().bold() && dialog->Label1->font().italic());
        QCOMPARE(dialog->Label1->font().pointSizeF(), 13.5);
        QVERIFY(dialog->Label1->alignment() & Qt::AlignHCenter);
        // The title takes two lines and each line fits.
        const QFontMetrics metrics = dialog->Label1->fontMetrics();
        const QRect text = metrics.boundingRect(dialog->Label1->contentsRect(),
                                                Qt::TextWordWrap | Qt::AlignHCenter, dialog->Label1->text());
        QCOMPARE(text.height(), 2 * metrics.lineSpacing() - metrics.leading());
        QVERIFY(text.height() <= dialog->Label1->height());
        verifyCaptionsFit(*dialog);
        // A fixed frame: no minimize, no maximize, not resizable.
        const Qt::WindowFlags flags = dialog->windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint) && !(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(dialog->geometry().topLeft(), QPoint(184, 250));

        QDir().mkpath(KESTRANE_SCREENSHOTS);
        QVERIFY(dialog->grab().save(KESTRANE_SCREENSHOTS "/HelpDialog.png"));
    }

    void isAToolWindowOffTheTaskbar()
    {
        FakeServices fakes;
        Form1* form = startedForm(fakes);
        HelpDialog* dialog = pressAbout(*form);
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->windowType(), Qt::Tool);
        QCOMPARE(dialog->windowHandle()->type(), Qt::Tool);
        // On X11 the window manager takes the first type listed; taskbars leave utility windows out.
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            QCOMPARE(x11WindowTypes(*dialog).value(0), QString("_NET_WM_WINDOW_TYPE_UTILITY"));
    }

    void theTitleIsInItsOwnFaceAndTheButtonsInTheDefaultOne()
    {
        FakeServices fakes;
        Form1* form = startedForm(fakes);
        HelpDialog* dialog = pressAbout(*form);
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QFont title = dialog->Label1->font();
        QCOMPARE(title.family(), QString("MS Sans Serif"));
        // Where that face is missing, the closest sans-serif face draws the title.
        const QString drawnIn = QFontDatabase::hasFamily(title.family())
                                    ? title.family()
                                    : QFontInfo(QFont(QStringLiteral("sans-serif"))).family();
        QCOMPARE(dialog->Label1->fontInfo().family(), drawnIn);
        QVERIFY(dialog->Label1->fontInfo().bold() && dialog->Label1->fontInfo().italic());
        for (const QPushButton* button : {dialog->Command1, dialog->OKButton})
            QCOMPARE(button->font(), QApplication::font(button));
    }

    void opensWithTheFocusOnOkAndTabsToTheLink()
    {
        FakeServices fakes;
        Form1* form = startedForm(fakes);
        HelpDialog* dialog = pressAbout(*form);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::focusWidget(), dialog->OKButton);
        QTest::keyClick(dialog->OKButton, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog->Command1);
        QTest::keyClick(dialog->Command1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog->OKButton);
    }

    void aSecondPressBringsTheSameDialogForwardAndTheMainWindowStaysUsable()
    {
        FakeServices fakes;
        Form1* form = startedForm(fakes);
        HelpDialog* first = pressAbout(*form);
        QVERIFY(first);
        QVERIFY(QTest::qWaitForWindowActive(first));
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        HelpDialog* second = pressAbout(*form);
        QCOMPARE(second, first);
        QVERIFY(QTest::qWaitForWindowActive(first));
        QVERIFY(!QApplication::activeModalWidget());

        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::mouseClick(form->Text1, Qt::LeftButton);
        QTest::keyClicks(form->Text1, "300");
        QCOMPARE(form->Text1->text(), QString("300"));
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(fakes.programEnd.statuses, std::vector<int>{0});
        QCOMPARE(fakes.settings.value("DefaultWidth"), std::string("300"));
    }

    void theLinkOpensTheToolsPageAndHides_data()
    {
        QTest::addColumn<bool>("browserStarted");
        QTest::newRow("browser started") << true;
        QTest::newRow("no browser") << false;
    }

    void theLinkOpensTheToolsPageAndHides()
    {
        QFETCH(bool, browserStarted);
        FakeServices fakes;
        fakes.shell.nextAnswer = browserStarted;
        Form1* form = startedForm(fakes);
        HelpDialog* dialog = pressAbout(*form);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(fakes.shell.addresses,
                 std::vector<std::string>{"http://www.norvale.example/education/dl/tools/"});
        QVERIFY(!dialog->isVisible());
        QCOMPARE(helpDialogs(), QList<HelpDialog*>{dialog});
        QVERIFY(fakes.messageBox.texts.empty());
        QVERIFY(fakes.programEnd.statuses.empty());
    }

    void hiddenItReopensWhereItWasClosedItReturnsToItsPlace()
    {
        FakeServices fakes;
        Form1* form = startedForm(fakes);
        HelpDialog* dialog = pressAbout(*form);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        dialog->move(300, 320);
        QTRY_COMPARE(dialog->pos(), QPoint(300, 320));
        QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(pressAbout(*form), dialog);
        QTRY_COMPARE(dialog->pos(), QPoint(300, 320));

        QPointer<HelpDialog> closed = dialog;
        QVERIFY(dialog->close());
        QTRY_VERIFY(!closed);
        HelpDialog* fresh = pressAbout(*form);
        QVERIFY(fresh);
        QVERIFY(QTest::qWaitForWindowExposed(fresh));
        QCOMPARE(fresh->geometry().topLeft(), QPoint(184, 250));
    }

    void withTheMainWindowGoneTheDialogDecidesWhenTheProgramEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("closed through its frame") << "close";
        QTest::newRow("hidden with OK") << "ok";
        QTest::newRow("hidden by the link") << "link";
    }

    void withTheMainWindowGoneTheDialogDecidesWhenTheProgramEnds()
    {
        QFETCH(QString, how);
        FakeServices fakes;
        Form1* form = startedForm(fakes);
        int ends = 0;
        ProgramLifetime lifetime(*form, [&ends] { ++ends; });
        QPointer<HelpDialog> dialog = pressAbout(*form);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        QVERIFY(form->close());
        QTest::qWait(50);
        QCOMPARE(ends, 0);
        QVERIFY(dialog->isVisible());
        // Still usable: its buttons work with the main window gone.
        if (how == "close")
            QVERIFY(dialog->close());
        else
            QTest::mouseClick(how == "ok" ? dialog->OKButton : dialog->Command1, Qt::LeftButton);
        QTRY_COMPARE(ends, 1);
        QVERIFY(fakes.settings.calls.size() == 8);
    }
};

QTEST_MAIN(TestHelpDialog)
#include "tst_helpdialog.moc"
