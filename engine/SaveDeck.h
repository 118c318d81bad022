#pragma once

#include "engine/Deck.h"
#include "engine/SaveProgress.h"

#include <string>

namespace kestrane::presentation {

// Saves the deck at exactly `fileName`, atomically. A name ending in ".pptx" (any letter case)
// gives Office Open XML; every other name the 97-2003 binary format, the engine's default.
void saveDeck(const Deck& deck, const std::string& fileName, const SaveProgress& progress = {});

} // namespace kestrane::presentation
