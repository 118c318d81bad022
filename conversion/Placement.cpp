#include "conversion/Placement.h"

#include "platform/NumericText.h"

namespace kestrane {

bool ValidDimensions(std::string_view width, std::string_view height)
{
    const auto w = parseNumber(width);
    const auto h = parseNumber(height);
    return w && h && *w > 0.0 && *h > 0.0;
}

bool ValidPosition(std::string_view left, std::string_view top)
{
    const bool leftNumeric = isNumeric(left);
    const bool topNumeric = isNumeric(top);
    return leftNumeric && topNumeric;
}

} // namespace kestrane
