#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// The picture placement as the user types it: four texts in points, read the same way by the
// checks, the settings and the presentation engine.

enum class PlacementField
{
    Width,
    Height,
    Left,
    Top,
};

// The four placement texts in the order of the fields: width, height, left, top.
struct PlacementTexts
{
    std::string width;
    std::string height;
    std::string left;
    std::string top;

    bool operator==(const PlacementTexts&) const = default;
};

// Grammar: the whole text is one number: an optional sign (+ or -), digits with an optional
// decimal point '.' (digits on at least one side of it), and an optional exponent (e or E, an
// optional sign, digits). No blanks, no thousands separators, no hexadecimal, no inf or nan,
// whatever the user's locale. A number too large for a finite double is not a number.
std::optional<double> parseNumber(std::string_view text);

inline bool isNumeric(std::string_view text)
{
    return parseNumber(text).has_value();
}

// Width and height: both numeric and both greater than zero.
bool ValidDimensions(std::string_view width, std::string_view height);

// Left and top: both numeric, any value.
bool ValidPosition(std::string_view left, std::string_view top);

} // namespace kestrane
