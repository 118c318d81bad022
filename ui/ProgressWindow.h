#pragma once

#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace kestrane {

// A small window that tells how far a long step has come. It appears only once the step has
// run for half a second, takes no input, and goes when the step finishes. The step runs on the
// user-interface thread, so each update lets the window paint itself and nothing else through.
class ProgressWindow : public QWidget, public Progress
{
    Q_OBJECT

public:
    ProgressWindow();

    void report(const std::string& text, std::uint64_t done, std::uint64_t total) override;
    void finish() override;

private:
    QLabel* m_text;
    QProgressBar* m_bar;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sincePaint;
};

} // namespace kestrane
