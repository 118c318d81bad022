#pragma once

#include <cstddef>
#include <string_view>

namespace kestrane::presentation {

// The first character of a UTF-8 text. File names on Linux are arbitrary bytes, so writers take
// what is not well-formed one byte at a time and show it as U+FFFD.
struct Utf8Character
{
    char32_t code;
    std::size_t length; // bytes taken from the text; 0 only when the text is empty
    bool wellFormed;
};

Utf8Character firstCharacter(std::string_view text);

inline constexpr char32_t replacementCharacter = 0xFFFD;

} // namespace kestrane::presentation
