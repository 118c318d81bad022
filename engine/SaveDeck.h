#pragma once

#include "engine/Deck.h"
#include "engine/SaveProgress.h"

#include <string>

namespace kestrane::presentation {

// Saves the deck at exactly `fileName`, atomically, in the format formatFor() names for it.
void saveDeck(const Deck& deck, const std::string& fileName, const SaveProgress& progress = {});

} // namespace kestrane::presentation
