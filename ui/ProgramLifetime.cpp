#include "ui/ProgramLifetime.h"

#include <QApplication>
#include <QEvent>
#include <algorithm>

namespace kestrane {

ProgramLifetime::ProgramLifetime(QWidget& mainWindow, std::function<void()> end)
    : m_mainWindow(&mainWindow), m_end(std::move(end))
{
    // This rule replaces Qt's, which overlooks a window that is hidden rather than closed.
    QApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(this);
    connect(&mainWindow, &QObject::destroyed, this, &ProgramLifetime::scheduleCheck);
}

bool ProgramLifetime::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow())
        scheduleCheck();
    return false;
}

void ProgramLifetime::scheduleCheck()
{
    // Judged after the current event, when a window being closed has finished hiding.
    QMetaObject::invokeMethod(this, &ProgramLifetime::check, Qt::QueuedConnection);
}

void ProgramLifetime::check()
{
    if (m_ended || m_mainWindow)
        return;
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (std::any_of(windows.begin(), windows.end(),
                    [](const QWidget* window) { return window->isVisible(); }))
        return;
    m_ended = true;
    m_end();
}

} // namespace kestrane
