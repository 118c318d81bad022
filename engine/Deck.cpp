#include "engine/Deck.h"

#include "base/Error.h"
#include "base/Placement.h"

#include <cmath>

namespace kestrane::presentation {

namespace {

double readOne(const char* what, const std::string& text, bool isSize)
{
    const std::string context = std::string(what) + " \"" + text + "\"";
    const auto value = parseNumber(text);
    if (!value)
        throw Error(ErrorCode::PlacementNotNumeric, context);
    // A negative size is refused even when it would round to zero.
    if (std::fabs(*value) > largestPlacement || (isSize && *value < 0))
        throw Error(ErrorCode::PlacementOutOfRange, context);
    return *value;
}

} // namespace

std::int64_t toUnits(double points, std::int64_t unitsPerPoint)
{
    return static_cast<std::int64_t>(std::round(points * static_cast<double>(unitsPerPoint)));
}

PictureBox readPlacement(const std::string& left, const std::string& top, const std::string& width,
                         const std::string& height)
{
    PictureBox box;
    box.left = readOne("Left", left, false);
    box.top = readOne("Top", top, false);
    box.width = readOne("Width", width, true);
    box.height = readOne("Height", height, true);
    return box;
}

} // namespace kestrane::presentation
