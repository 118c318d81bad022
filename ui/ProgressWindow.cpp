#include "ui/ProgressWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace kestrane {

namespace {

constexpr qint64 showAfterMs = 500;
constexpr qint64 repaintEveryMs = 50;
constexpr int barSteps = 1000;

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

void ProgressWindow::centreOver(QWidget* window)
{
    m_over = window;
}

void ProgressWindow::report(const std::string& text, std::uint64_t done, std::uint64_t total)
{
    // A step's first report is the one it makes as it starts.
    if (!m_sinceStart.isValid())
        m_sinceStart.start();
    if (m_sinceStart.elapsed() < showAfterMs)
        return;
    if (m_sincePaint.isValid() && m_sincePaint.elapsed() < repaintEveryMs)
        return;
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
        show();
        // Placed once shown, when its frame is known; the window system draws it only later.
        if (m_over)
            move(m_over->frameGeometry().center() - QRect(QPoint(), frameGeometry().size()).center());
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sincePaint.start();
}

void ProgressWindow::finish()
{
    m_sinceStart.invalidate();
    m_sincePaint.invalidate();
    hide();
}

} // namespace kestrane
