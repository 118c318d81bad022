#pragma once

#include "engine/ByteSink.h"
#include "engine/Deck.h"
#include "engine/DistinctPictures.h"

#include <cstdint>

namespace kestrane::presentation {

// The program's name, recorded in each file as the application that wrote it; never as an author.
inline constexpr const char* applicationName = "Kestrane";

// What a save needs of one file format, stated once per format beside its writer.
struct Format
{
    // Throws kestrane::Error (FormatLimitExceeded) when the deck does not fit the format; the
    // save calls it once, before the target file is touched.
    void (*checkLimits)(const Deck& deck);
    // What the file stores of a placed picture: the save's progress is counted against the bytes
    // of those, identical ones once.
    DistinctPictures::Form stored;
    void (*write)(const Deck& deck, ByteSink& sink);
};

} // namespace kestrane::presentation
