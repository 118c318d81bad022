#include "base/Placement.h"

#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace kestrane {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of the run of digits starting at pos.
std::size_t digitsAt(std::string_view text, std::size_t pos)
{
    std::size_t end = pos;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    return end - pos;
}

// True when text matches the grammar above exactly.
bool matchesGrammar(std::string_view text)
{
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    const std::size_t whole = digitsAt(text, pos);
    pos += whole;
    std::size_t fraction = 0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        fraction = digitsAt(text, pos);
        pos += fraction;
    }
    if (whole == 0 && fraction == 0)
        return false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            ++pos;
        const std::size_t exponent = digitsAt(text, pos);
        if (exponent == 0)
            return false;
        pos += exponent;
    }
    return pos == text.size();
}

} // namespace

std::optional<double> parseNumber(std::string_view text)
{
    if (!matchesGrammar(text))
        return std::nullopt;
    // The grammar has vouched for the characters; strtod in the "C" locale reads them with '.'
    // as the decimal point whatever the user's locale, and tells overflow from underflow.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string copy(text);
    const double value = strtod_l(copy.c_str(), nullptr, cLocale);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

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
