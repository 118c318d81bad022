#pragma once

#include <string_view>

namespace kestrane {

// Width and height: both numeric and both greater than zero.
bool ValidDimensions(std::string_view width, std::string_view height);

// Left and top: both numeric, any value.
bool ValidPosition(std::string_view left, std::string_view top);

} // namespace kestrane
