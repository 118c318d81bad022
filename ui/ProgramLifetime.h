#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace kestrane {

// Ends the program once its main window no longer exists and no visible window remains.
// Qt's own rule reacts only to a window being closed, so a window that is merely hidden after
// the main window has gone would keep the program running with nothing on the screen.
class ProgramLifetime : public QObject
{
    Q_OBJECT

public:
    // `end` is called once, from the event loop, when the program is to end.
    ProgramLifetime(QWidget& mainWindow, std::function<void()> end);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleCheck();
    void check();

    QPointer<QWidget> m_mainWindow;
    std::function<void()> m_end;
    bool m_ended = false;
};

} // namespace kestrane
