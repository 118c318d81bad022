#include "engine/Orientation.h"

namespace kestrane::presentation {

namespace {

// Floor division by two, so that a negative odd difference rounds the same way as a positive one.
std::int64_t halfDown(std::int64_t value)
{
    return value >= 0 ? value / 2 : -((1 - value) / 2);
}

} // namespace

Orientation orientationFromTag(std::uint32_t value)
{
    return value >= 1 && value <= 8 ? static_cast<Orientation>(value) : Orientation::TopLeft;
}

UprightTurn uprightTurn(Orientation orientation)
{
    switch (orientation) {
    case Orientation::TopLeft:
        break;
    case Orientation::TopRight:
        return {0, true, false};
    case Orientation::BottomRight:
        return {180, false, false};
    case Orientation::BottomLeft:
        return {0, false, true};
    case Orientation::LeftTop:
        return {270, true, false};
    case Orientation::RightTop:
        return {90, false, false};
    case Orientation::RightBottom:
        return {90, true, false};
    case Orientation::LeftBottom:
        return {270, false, false};
    }
    return {};
}

UnitBox unturnedFrame(const UnitBox& visual, const UprightTurn& turn)
{
    if (!turn.swapsSides())
        return visual;
    return {visual.left + halfDown(visual.width - visual.height),
            visual.top + halfDown(visual.height - visual.width), visual.height, visual.width};
}

} // namespace kestrane::presentation
