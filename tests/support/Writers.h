#pragma once

#include "engine/SaveDeck.h"

#include <string>
#include <string_view>

namespace kestrane::testing {

// The file formats as tests name them, by their extension.
inline constexpr const char* formatNames[] = {"pptx", "ppt"};

// The format a file with that extension is saved in, found as a save finds it.
inline const presentation::Format& writer(std::string_view extension)
{
    return presentation::formatFor("deck." + std::string(extension));
}

} // namespace kestrane::testing
