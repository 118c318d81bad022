#pragma once

#include <optional>
#include <string_view>

namespace kestrane {

// The platform's conversion of a typed text to a number, shared by the placement checks and
// the presentation engine so both read a text the same way.
//
// Grammar: the whole text is one number: an optional sign (+ or -), digits with an optional
// decimal point '.' (digits on at least one side of it), and an optional exponent (e or E, an
// optional sign, digits). No blanks, no thousands separators, no hexadecimal, no inf or nan,
// whatever the user's locale. A number too large for a finite double is not a number.
std::optional<double> parseNumber(std::string_view text);

inline bool isNumeric(std::string_view text)
{
    return parseNumber(text).has_value();
}

} // namespace kestrane
