#pragma once

#include "engine/Deck.h"

#include <string>

namespace kestrane::presentation {

// Reads the four placement texts, in points, exactly as the placement checks read them. Throws
// kestrane::Error when a text is not a number (PlacementNotNumeric) or its value is beyond what
// any format the engine writes can hold, a negative size included (PlacementOutOfRange).
PictureBox readPlacement(const std::string& left, const std::string& top, const std::string& width,
                         const std::string& height);

} // namespace kestrane::presentation
