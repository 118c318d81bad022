#pragma once

#include "engine/Format.h"

namespace kestrane::presentation {

// PowerPoint 97-2003 binary presentation (.ppt) in an OLE2 compound file.
extern const Format pptFormat;

// Throws kestrane::Error (FormatLimitExceeded) when the deck does not fit the format.
void checkPptLimits(const Deck& deck);

void writePpt(const Deck& deck, ByteSink& sink);

} // namespace kestrane::presentation
