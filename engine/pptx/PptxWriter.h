#pragma once

#include "engine/ByteSink.h"
#include "engine/Deck.h"

namespace kestrane::presentation {

// Office Open XML presentation (.pptx): a zip package of PresentationML parts and the pictures.

// Throws kestrane::Error (FormatLimitExceeded) when a placement does not fit the format; called
// before the target file is touched.
void checkPptxLimits(const Deck& deck);

void writePptx(const Deck& deck, ByteSink& sink);

} // namespace kestrane::presentation
