#pragma once

#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace kestrane {

// A small window that tells how far a long step has come. It appears only once the step has
// run for half a second, centred over the main window, takes no input, and goes when the step
// finishes, a failing one included. The step runs on the
// user-interface thread, so each update lets the window paint itself and nothing else through.
class ProgressWindow : public QWidget, public Progress
{
    Q_OBJECT

public:
    ProgressWindow();

    // The window it appears over; the main window is made after the services that hold this one.
    void centreOver(QWidget* window);

    void report(const std::string& text, std::uint64_t done, std::uint64_t total) override;
    void finish() override;

private:
    QLabel* m_text;
    QProgressBar* m_bar;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sincePaint;
    QPointer<QWidget> m_over;
};

} // namespace kestrane
