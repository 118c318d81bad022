#pragma once

#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace kestrane {

// A small window that tells how far a long step has come. It appears only once the step has
// run for half a second, centred over the main window and kept in front of it, takes no input,
// and goes when the step finishes, a failing one included. The step runs on the user-interface
// thread: from its first report on, the windows paint, and input to any of them is dropped rather
// than held back, so nothing typed or clicked during the step is acted on, then or after.
class ProgressWindow : public QWidget, public Progress
{
    Q_OBJECT

public:
    ProgressWindow();

    // The window whose steps it reports, which it belongs to; the main window is made after the
    // services that hold this one.
    void belongTo(QWidget* window);

    void report(const std::string& text, std::uint64_t done, std::uint64_t total) override;
    void finish() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void letWindowsPaint();

    QLabel* m_text;
    QProgressBar* m_bar;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sincePaint;
    QPointer<QWidget> m_owner;
};

} // namespace kestrane
