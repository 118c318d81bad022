#include "engine/Utf8.h"

namespace kestrane::presentation {

Utf8Character firstCharacter(std::string_view text)
{
    if (text.empty())
        return {0, 0, false};
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const Utf8Character malformed{replacementCharacter, 1, false};
    const unsigned char lead = byte(0);
    std::size_t length;
    char32_t code;
    if (lead < 0x80)
        return {lead, 1, true};
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return malformed;
    }
    if (text.size() < length)
        return malformed;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return malformed;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool overlong = code < smallest[length];
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF)
        return malformed;
    return {code, length, true};
}

} // namespace kestrane::presentation
