#include "engine/pptx/XmlText.h"

#include "engine/Utf8.h"

namespace kestrane::presentation {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

// Whether XML 1.0 allows the character: not the controls besides the three blanks, not the two
// non-characters at the end of the basic plane.
bool allowedInXml(char32_t code)
{
    if (code < 0x20)
        return code == '\t' || code == '\n' || code == '\r';
    return code != 0xFFFE && code != 0xFFFF;
}

} // namespace

std::string escapeXml(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const Utf8Character character = firstCharacter(text);
        if (!character.wellFormed || !allowedInXml(character.code)) {
            out += replacement;
            text.remove_prefix(1);
            continue;
        }
        const std::size_t length = character.length;
        switch (text[0]) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

} // namespace kestrane::presentation
