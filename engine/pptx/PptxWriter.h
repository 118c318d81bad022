#pragma once

#include "engine/Format.h"

namespace kestrane::presentation {

// Office Open XML presentation (.pptx): a zip package of PresentationML parts and the pictures.
extern const Format pptxFormat;

// Throws kestrane::Error (FormatLimitExceeded) when a placement does not fit the EMU coordinates.
void checkPptxLimits(const Deck& deck);

void writePptx(const Deck& deck, ByteSink& sink);

} // namespace kestrane::presentation
