#pragma once

#include "engine/Deck.h"
#include "engine/Format.h"
#include "engine/SaveProgress.h"

#include <string>

namespace kestrane::presentation {

// Office Open XML for a name ending in ".pptx" (any letter case), the 97-2003 binary format, the
// engine's default, for every other name.
const Format& formatFor(const std::string& fileName);

// Saves the deck at exactly `fileName`, atomically, in the format formatFor() names for it.
void saveDeck(const Deck& deck, const std::string& fileName, const SaveProgress& progress = {});

} // namespace kestrane::presentation
