#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWindow>

namespace kestrane {

namespace {

constexpr qint64 showAfterMs = 500;
constexpr qint64 repaintEveryMs = 50;
constexpr int barSteps = 1000;

bool isUserInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    // A close control clicked in a window's frame.
    case QEvent::Close:
        return event->spontaneous();
    default:
        return false;
    }
}

} // namespace

ProgressWindow::ProgressWindow() : m_text(new QLabel(this)), m_bar(new QProgressBar(this))
{
    // It only reports: it takes neither the focus nor clicks, and has no close control.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowDoesNotAcceptFocus);
    setWindowTitle(QStringLiteral("Creating the presentation"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    m_text->setMinimumWidth(m_text->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 40);
}

void ProgressWindow::belongTo(QWidget* window)
{
    m_owner = window;
}

void ProgressWindow::report(const std::string& text, std::uint64_t done, std::uint64_t total)
{
    // A step's first report is the one it makes as it starts.
    if (!m_sinceStart.isValid()) {
        m_sinceStart.start();
        qApp->installEventFilter(this);
    } else if (m_sincePaint.elapsed() < repaintEveryMs) {
        return;
    }
    if (m_sinceStart.elapsed() >= showAfterMs) {
        m_text->setText(QString::fromStdString(text) + QStringLiteral(": ") + QString::number(done));
        if (total == 0) {
            m_bar->setRange(0, 0);
        } else {
            m_bar->setRange(0, barSteps);
            m_bar->setValue(static_cast<int>(done * barSteps / total));
            m_text->setText(QString::fromStdString(text) + QStringLiteral(": ") +
                            QString::number(done * 100 / total) + QStringLiteral("%"));
        }
        if (!isVisible()) {
            // Owned by the window, not by a widget parent: the window system then keeps it in front
            // of that window, while the window's end does not end this one, which others hold.
            if (m_owner && m_owner->windowHandle()) {
                create();
                windowHandle()->setTransientParent(m_owner->windowHandle());
            }
            show();
            // Placed once shown, when its frame is known; the window system draws it only later.
            if (m_owner)
                move(m_owner->frameGeometry().center() - QRect(QPoint(), frameGeometry().size()).center());
        }
    }
    letWindowsPaint();
}

void ProgressWindow::finish()
{
    hide();
    if (m_sinceStart.isValid()) {
        // Input that came during the step, and has not yet been dropped, is dropped now.
        letWindowsPaint();
        qApp->removeEventFilter(this);
    }
    m_sinceStart.invalidate();
    m_sincePaint.invalidate();
}

bool ProgressWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (!isUserInput(event))
        return QWidget::eventFilter(watched, event);
    event->ignore();
    return true;
}

void ProgressWindow::letWindowsPaint()
{
    // Every event, input included, so that input is taken from the window system and dropped
    // by the filter; excluding it would only hold it back until the step ends.
    QCoreApplication::processEvents();
    m_sincePaint.start();
}

} // namespace kestrane
