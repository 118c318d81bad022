#include "engine/pptx/PptxUnits.h"

#include <cmath>

namespace kestrane::presentation {

namespace {

bool fitsEmu(double points, std::int64_t lowest)
{
    if (!std::isfinite(points) || std::fabs(points) > largestPlacement)
        return false;
    const std::int64_t emu = toEmu(points);
    return emu >= lowest && emu <= maxEmuCoordinate;
}

} // namespace

std::int64_t toEmu(double points)
{
    return toUnits(points, emuPerPoint);
}

bool fitsEmuOffset(double points)
{
    return fitsEmu(points, minEmuCoordinate);
}

bool fitsEmuExtent(double points)
{
    // A negative size is refused even when it would round to zero EMU.
    return !(points < 0) && fitsEmu(points, 0) && (points == 0 || toEmu(points) > 0);
}

PictureTransform pictureTransform(const PictureBox& box, Orientation orientation)
{
    const UprightTurn turn = uprightTurn(orientation);
    return {unturnedFrame({toEmu(box.left), toEmu(box.top), toEmu(box.width), toEmu(box.height)}, turn),
            turn};
}

} // namespace kestrane::presentation
