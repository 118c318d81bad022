#include "ui/DesignLayout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <cmath>

namespace kestrane {

namespace {

// Text is laid out at fractions of a pixel; the whole advance, rounded up, is what it covers.
int textWidth(const QWidget* control, const QString& text)
{
    return static_cast<int>(std::ceil(QFontMetricsF(control->font(), control).horizontalAdvance(text)));
}

int buttonPadding(const QAbstractButton* button)
{
    const QStyle* style = button->style();
    return style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
}

} // namespace

DesignLayout::DesignLayout(int clientWidthTwips, int clientHeightTwips)
    : m_clientTwips(clientWidthTwips, clientHeightTwips)
{
}

void DesignLayout::add(QWidget* control, int left, int top, int width, int height)
{
    m_controls.push_back({control, QRect(left, top, width, height)});
}

QSize DesignLayout::neededSize(const QWidget* control)
{
    const QFontMetrics metrics = control->fontMetrics();
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        if (label->wordWrap()) {
            // A wrapping label needs its longest word on a line and all its lines in height.
            int widest = 0;
            for (const QString& word : label->text().split(' ', Qt::SkipEmptyParts))
                widest = std::max(widest, textWidth(label, word));
            return {widest, label->heightForWidth(label->width())};
        }
        return {textWidth(label, label->text()), metrics.height()};
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        const int padding = buttonPadding(button);
        return {textWidth(button, button->text()) + padding, metrics.height() + padding};
    }
    if (const auto* field = qobject_cast<const QLineEdit*>(control))
        return {0, field->minimumSizeHint().height()};
    if (const auto* dropDown = qobject_cast<const QComboBox*>(control))
        return {0, dropDown->minimumSizeHint().height()};
    return {0, 0};
}

int DesignLayout::toPixels(int twips, double factor) const
{
    return static_cast<int>(std::lround(twips * factor / twipsPerPixel));
}

double DesignLayout::apply(QWidget* window)
{
    // The design's margin: its controls start this far from the left edge, and no caption comes
    // closer than that to the right edge, though a box may reach it.
    int margin = m_clientTwips.width();
    for (const Placed& placed : m_controls)
        margin = std::min(margin, placed.twips.left());
    double factor = 1.0;
    for (const Placed& placed : m_controls) {
        // Wrapping labels are judged after placement; their height depends on their width.
        const auto* label = qobject_cast<const QLabel*>(placed.control);
        if (label && label->wordWrap())
            continue;
        const QSize needed = neededSize(placed.control);
        const int room = std::min(placed.twips.width(), m_clientTwips.width() - margin - placed.twips.left());
        factor = std::max(factor, needed.width() * twipsPerPixel / room);
        factor = std::max(factor, needed.height() * twipsPerPixel / placed.twips.height());
    }
    for (bool settled = false; !settled;) {
        for (const Placed& placed : m_controls)
            placed.control->setGeometry(
                toPixels(placed.twips.left(), factor), toPixels(placed.twips.top(), factor),
                toPixels(placed.twips.width(), factor), toPixels(placed.twips.height(), factor));
        settled = true;
        for (const Placed& placed : m_controls) {
            const auto* label = qobject_cast<const QLabel*>(placed.control);
            if (!label || !label->wordWrap())
                continue;
            const QSize needed = neededSize(label);
            if (needed.width() > label->width() || needed.height() > label->height()) {
                factor *= 1.05;
                settled = false;
            }
        }
    }
    window->resize(toPixels(m_clientTwips.width(), factor), toPixels(m_clientTwips.height(), factor));
    return factor;
}

} // namespace kestrane
