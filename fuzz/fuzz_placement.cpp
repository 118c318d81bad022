// The numeric test and every reading of the placement texts built on it, fed arbitrary bytes: the
// input is split at line breaks into width, height, left and top.

#include "base/Error.h"
#include "base/Placement.h"
#include "engine/Deck.h"
#include "settings/PlacementSettings.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <regex>
#include <string>

using namespace kestrane;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// A second, independent statement of the grammar. std::regex recurses per character, so it is
// consulted only for short texts.
constexpr std::size_t regexLimit = 200;

bool grammarAllows(const std::string& text)
{
    static const std::regex number(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    return std::regex_match(text, number);
}

double readInCLocale(const std::string& text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(text.c_str(), nullptr, cLocale);
}

std::optional<double> checkedNumber(const std::string& text)
{
    const std::optional<double> value = parseNumber(text);
    require(isNumeric(text) == value.has_value());
    if (value) {
        require(std::isfinite(*value));
        require(*value == readInCLocale(text));
    }
    if (text.size() <= regexLimit && text.find('\0') == std::string::npos)
        require(value.has_value() == (grammarAllows(text) && std::isfinite(readInCLocale(text))));
    return value;
}

void checkTopEdge(const std::string& text, const std::optional<double>& value)
{
    const short top = topEdgeFromText(text);
    if (!value) {
        require(top == -60);
        return;
    }
    const double rounded = std::nearbyint(*value);
    require(rounded < -32768 || rounded > 32767 ? top == -60 : top == rounded);
}

// readPlacement reads left, top, width, height in that order and stops at the first bad text.
void checkEngineReading(const std::array<std::string, 4>& texts,
                        const std::array<std::optional<double>, 4>& values)
{
    const std::string& width = texts[0];
    const std::string& height = texts[1];
    const std::string& left = texts[2];
    const std::string& top = texts[3];
    try {
        const presentation::PictureBox box = presentation::readPlacement(left, top, width, height);
        require(values[0] && values[1] && values[2] && values[3]);
        require(box.width == *values[0] && box.height == *values[1]);
        require(box.left == *values[2] && box.top == *values[3]);
        require(box.width >= 0 && box.height >= 0);
    } catch (const Error& error) {
        const std::size_t order[] = {2, 3, 0, 1};
        std::size_t firstBad = 4;
        for (std::size_t field : order) {
            if (!values[field]) {
                firstBad = field;
                break;
            }
        }
        if (error.code() == ErrorCode::PlacementNotNumeric)
            require(firstBad != 4);
        else
            require(error.code() == ErrorCode::PlacementOutOfRange);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::array<std::string, 4> texts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < texts.size() && start <= input.size(); ++i) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        texts[i] = input.substr(start, end - start);
        start = end + 1;
    }

    checkedNumber(input);
    std::array<std::optional<double>, 4> values;
    for (std::size_t i = 0; i < texts.size(); ++i)
        values[i] = checkedNumber(texts[i]);

    require(ValidDimensions(texts[0], texts[1]) ==
            (values[0] && values[1] && *values[0] > 0 && *values[1] > 0));
    require(ValidPosition(texts[2], texts[3]) == (values[2] && values[3]));
    checkTopEdge(texts[3], values[3]);
    checkEngineReading(texts, values);
    return 0;
}
