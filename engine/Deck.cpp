#include "engine/Deck.h"

#include <cmath>

namespace kestrane::presentation {

std::int64_t toUnits(double points, std::int64_t unitsPerPoint)
{
    return static_cast<std::int64_t>(std::round(points * static_cast<double>(unitsPerPoint)));
}

} // namespace kestrane::presentation
