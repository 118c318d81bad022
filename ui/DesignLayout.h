#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace kestrane {

// Places a window's controls as designed in twips (15 to a pixel at 96 dots per inch), all
// scaled by one factor: the smallest that lets every caption fit at the window's font, within
// its control and within the design's margins. The arrangement stays as designed; nothing is
// clipped.
class DesignLayout
{
public:
    static constexpr double twipsPerPixel = 15.0;

    DesignLayout(int clientWidthTwips, int clientHeightTwips);

    void add(QWidget* control, int left, int top, int width, int height);

    // Sizes the window's client area and places every control; returns the factor used.
    double apply(QWidget* window);

    // Width and height a control needs to show its whole caption at its font.
    static QSize neededSize(const QWidget* control);

private:
    struct Placed
    {
        QWidget* control;
        QRect twips;
    };

    int toPixels(int twips, double factor) const;

    QSize m_clientTwips;
    std::vector<Placed> m_controls;
};

} // namespace kestrane
