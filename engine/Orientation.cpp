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
    // In the order of the tag's values, 1 to 8.
    static constexpr UprightTurn turns[] = {
        {0, false, false},  {0, true, false},   {180, false, false}, {0, false, true},
        {270, true, false}, {90, false, false}, {90, true, false},   {270, false, false},
    };
    return turns[static_cast<int>(orientation) - 1];
}

UnitBox unturnedFrame(const UnitBox& visual, const UprightTurn& turn)
{
    if (!turn.swapsSides())
        return visual;
    return {visual.left + halfDown(visual.width - visual.height),
            visual.top + halfDown(visual.height - visual.width), visual.height, visual.width};
}

} // namespace kestrane::presentation
