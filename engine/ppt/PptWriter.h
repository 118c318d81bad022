#pragma once

#include "engine/ByteSink.h"
#include "engine/Deck.h"

namespace kestrane::presentation {

// PowerPoint 97-2003 binary presentation (.ppt) in an OLE2 compound file.

// Throws kestrane::Error (FormatLimitExceeded) when the deck does not fit the format; called
// before the target file is touched.
void checkPptLimits(const Deck& deck);

void writePpt(const Deck& deck, ByteSink& sink);

} // namespace kestrane::presentation
