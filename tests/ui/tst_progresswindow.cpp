#include "tests/support/TestPictures.h"
#include "ui/EngineObjectFactory.h"
#include "ui/ProgressWindow.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

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

// The X server the windows are on, as the window manager sees it.
class X11Display
{
public:
    X11Display()
        : m_connection(qApp->nativeInterface<QNativeInterface::QX11Application>()->connection()),
          m_root(xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root)
    {
    }

    ~X11Display()
    {
        if (m_probe != XCB_NONE)
            xcb_destroy_window(m_connection, m_probe);
    }

    // Whether a window manager answers from its event loop: it takes the screen before it sets
    // up, and a window shown in between may never be managed. Asks again at every call until a
    // window of ours, never shown, has the frame extents asked for.
    bool answers()
    {
        if (m_probe == XCB_NONE) {
            m_probe = xcb_generate_id(m_connection);
            xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_probe, m_root, 0, 0, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        }
        const auto extents = reply(
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, false, m_probe, atom("_NET_FRAME_EXTENTS"),
                                                    XCB_ATOM_CARDINAL, 0, 4),
                                   nullptr));
        if (extents && xcb_get_property_value_length(extents.get()) > 0)
            return true;
        xcb_client_message_event_t request{};
        request.response_type = XCB_CLIENT_MESSAGE;
        request.format = 32;
        request.window = m_probe;
        request.type = atom("_NET_REQUEST_FRAME_EXTENTS");
        xcb_send_event(m_connection, false, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&request));
        xcb_flush(m_connection);
        return false;
    }

    // Whether a window manager holds the screen, as ICCCM has it announce.
    bool managed() const
    {
        const auto owner = reply(xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, atom("WM_S0")), nullptr));
        return owner && owner->owner != XCB_NONE;
    }

    // The windows the window manager manages, bottom to top.
    std::vector<xcb_window_t> stacking() const
    {
        const auto list = reply(xcb_get_property_reply(m_connection,
                                                       xcb_get_property(m_connection, false, m_root,
                                                                        atom("_NET_CLIENT_LIST_STACKING"),
                                                                        XCB_ATOM_WINDOW, 0, 4096),
                                                       nullptr));
        if (!list)
            return {};
        const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
        return {windows, windows + xcb_get_property_value_length(list.get()) / int(sizeof(xcb_window_t))};
    }

    // A click of the first button at `at` through the X server, as from the mouse: the window
    // manager sees it before the window does.
    void click(QPoint at) const
    {
        xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, at.x(), at.y(), 0);
        xcb_test_fake_input(m_connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, m_root, 0, 0, 0);
        xcb_test_fake_input(m_connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, m_root, 0, 0, 0);
        xcb_flush(m_connection);
    }

private:
    // xcb allocates its replies with malloc.
    template <typename T>
    static std::unique_ptr<T, decltype(&std::free)> reply(T* pointer)
    {
        return {pointer, &std::free};
    }

    xcb_atom_t atom(const char* name) const
    {
        const auto interned = reply(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, false, std::strlen(name), name), nullptr));
        return interned ? interned->atom : XCB_NONE;
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_window_t m_probe = XCB_NONE;
};

// Counts the mouse presses that reach a window, before anything else can drop them.
class PressCounter : public QObject
{
public:
    explicit PressCounter(QWindow* window) : m_window(window) {}

    int presses = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }

private:
    QWindow* m_window;
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
        window.belongTo(&mainWindow);
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
        window.belongTo(&mainWindow);
        const int paintsBefore = mainWindow.paints;
        mainWindow.update();
        window.report("Pictures added", 0, 0);
        QVERIFY(mainWindow.paints > paintsBefore);

        QTest::mouseClick(about, Qt::LeftButton);
        about->setFocus();
        QTest::keyClick(about, Qt::Key_Space);
        window.report("Pictures added", 1, 0);
        // A click still waiting to be handled as the step ends.
        const QPointF centre = about->rect().center();
        QCoreApplication::postEvent(about, new QMouseEvent(QEvent::MouseButtonPress, centre,
                                                           about->mapToGlobal(centre), Qt::LeftButton,
                                                           Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(about, new QMouseEvent(QEvent::MouseButtonRelease, centre,
                                                           about->mapToGlobal(centre), Qt::LeftButton,
                                                           Qt::NoButton, Qt::NoModifier));
        window.finish();
        QCoreApplication::processEvents();
        QCOMPARE(clicks.count(), 0);

        QTest::mouseClick(about, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
    }

    // The window belongs to the main window: under a window manager, on the X server, a click on
    // the main window during a step raises it and leaves the progress window in front of it.
    void staysInFrontOfTheMainWindow()
    {
        const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
        QProcess windowManager;
        std::optional<X11Display> display;
        if (x11) {
            display.emplace();
            windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
            QVERIFY2(windowManager.waitForStarted(), qPrintable("openbox: " + windowManager.errorString()));
            QTRY_VERIFY_WITH_TIMEOUT(display->answers(), 10000);
        }
        QWidget mainWindow;
        mainWindow.setWindowTitle("Kestrane");
        mainWindow.setGeometry(300, 200, 500, 400);
        mainWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
        ProgressWindow window;
        window.belongTo(&mainWindow);
        window.report("Saving", 0, 100);
        QTest::qWait(600);
        window.report("Saving", 50, 100);
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowHandle()->transientParent(), mainWindow.windowHandle());

        if (x11) {
            const auto main = xcb_window_t(mainWindow.winId());
            const auto progress = xcb_window_t(window.winId());
            const auto inFront = [&] {
                const std::vector<xcb_window_t> order = display->stacking();
                const auto below = std::find(order.begin(), order.end(), main);
                return below != order.end() && std::find(below, order.end(), progress) != order.end();
            };
            QTRY_VERIFY(inFront());
            // The window manager raises the main window before it lets the click through to it.
            PressCounter counter(mainWindow.windowHandle());
            qApp->installEventFilter(&counter);
            display->click(mainWindow.mapToGlobal(QPoint(10, 10)));
            QTRY_VERIFY(counter.presses > 0);
            qApp->removeEventFilter(&counter);
            QVERIFY(inFront());
            QDir().mkpath(KESTRANE_SCREENSHOTS);
            const QRect shown = mainWindow.frameGeometry().united(window.frameGeometry());
            QVERIFY(QGuiApplication::primaryScreen()
                        ->grabWindow(0, shown.x(), shown.y(), shown.width(), shown.height())
                        .save(KESTRANE_SCREENSHOTS "/ProgressWindowInFront.png"));
        }
        window.finish();
        if (x11) {
            windowManager.terminate();
            QVERIFY(windowManager.waitForFinished());
            QTRY_VERIFY(!display->managed());
        }
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
