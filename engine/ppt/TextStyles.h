#pragma once

#include "engine/ppt/Records.h"

#include <cstdint>

namespace kestrane::presentation::ppt {

// Text types, used as the instance of a text master style and in text headers.
enum class TextType : std::uint16_t
{
    Title = 0,
    Body = 1,
    Notes = 2,
    Other = 4,
    CenterBody = 5,
    CenterTitle = 6,
    HalfBody = 7,
    QuarterBody = 8,
};

// No slide carries text, but readers need the master styles to exist: the "other" style in the
// environment and title, body, notes and the four layout styles on the main master.
Bytes textMasterStyle(TextType type);

// The environment's default character, paragraph and language settings.
Bytes defaultCharacterStyle();
Bytes defaultParagraphStyle();
Bytes defaultLanguageStyle();

} // namespace kestrane::presentation::ppt
