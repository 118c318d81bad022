#include "engine/ppt/TextStyles.h"

namespace kestrane::presentation::ppt {

namespace {

constexpr std::uint32_t fullParagraphMasks = 0x003FFDFF;
constexpr std::uint32_t fullCharacterMasks = 0x00EFFFFF;
constexpr std::uint32_t indentMasks = 0x00000500; // left margin and indent
constexpr std::uint16_t indentStep = 288;         // master units per outline level
constexpr std::uint16_t unusedFont = 0xFFFF;

enum class Align : std::uint16_t
{
    Left = 0,
    Centre = 1,
};

enum ColourIndex : std::uint8_t
{
    TextColour = 1,
    TitleColour = 3,
};

void fullLevel(FieldWriter& out, Align align, std::uint16_t fontSize, ColourIndex colour)
{
    out.u32(fullParagraphMasks);
    out.u16(0);      // bullet flags
    out.u16(0x2022); // bullet character
    out.u16(0);      // bullet font
    out.u16(100);    // bullet size, percent
    out.u8(0).u8(0).u8(0).u8(0xFF);
    out.u16(static_cast<std::uint16_t>(align));
    out.u16(100); // line spacing, percent
    out.u16(0).u16(0);
    out.u16(0).u16(0); // left margin, indent
    out.u16(576);      // default tab size
    out.u16(0);        // no tab stops
    out.u16(0);        // font alignment
    out.u16(7);        // wrap flags
    out.u16(0);        // text direction

    out.u32(fullCharacterMasks);
    out.u16(0); // font style
    out.u16(0); // font: the first entry of the font collection
    out.u16(unusedFont).u16(unusedFont).u16(unusedFont);
    out.u16(fontSize);
    out.u8(0).u8(0).u8(0).u8(colour);
    out.u16(0); // position
}

void indentLevel(FieldWriter& out, std::uint16_t level)
{
    out.u32(indentMasks);
    out.u16(static_cast<std::uint16_t>(indentStep * level));
    out.u16(static_cast<std::uint16_t>(indentStep * level));
    out.u32(0);
}

Bytes outline(std::uint16_t fontSize)
{
    FieldWriter out;
    out.u16(5);
    fullLevel(out, Align::Left, fontSize, TextColour);
    for (std::uint16_t level = 1; level < 5; ++level)
        indentLevel(out, level);
    return out.take();
}

} // namespace

Bytes textMasterStyle(TextType type)
{
    FieldWriter payload;
    switch (type) {
    case TextType::Title:
        payload.u16(1);
        fullLevel(payload, Align::Centre, 44, TitleColour);
        break;
    case TextType::Body:
        payload.raw(outline(32));
        break;
    case TextType::Notes:
        payload.raw(outline(12));
        break;
    case TextType::Other:
        payload.raw(outline(18));
        break;
    case TextType::CenterBody:
    case TextType::CenterTitle:
    case TextType::HalfBody:
    case TextType::QuarterBody:
        // One level that inherits everything; these types carry a level number per level.
        payload.u16(1).u16(0).u32(0).u32(0);
        break;
    }
    return atom(TextMasterStyleAtom, 0, static_cast<std::uint16_t>(type), payload.bytes());
}

Bytes defaultCharacterStyle()
{
    FieldWriter payload;
    payload.u32(0x00030000); // typeface and size follow
    payload.u16(0);          // the first font of the collection
    payload.u16(18);
    return atom(TextCFExceptionAtom, 0, 0, payload.bytes());
}

Bytes defaultParagraphStyle()
{
    FieldWriter payload;
    payload.u16(0); // reserved
    payload.u32(0); // nothing set
    return atom(TextPFExceptionAtom, 0, 0, payload.bytes());
}

Bytes defaultLanguageStyle()
{
    FieldWriter payload;
    payload.u32(0x00000007); // spelling, language and alternative language follow
    payload.u16(0x0002);     // spelling state: clean
    payload.u16(0x0409);     // English (United States)
    payload.u16(0);
    return atom(TextSIExceptionAtom, 0, 0, payload.bytes());
}

} // namespace kestrane::presentation::ppt
