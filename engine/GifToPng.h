#pragma once

#include "engine/Picture.h"

#include <memory>
#include <string>

namespace kestrane::presentation {

// Converts a GIF's first frame to a PNG without loss: the same pixels, palette and transparent
// colour, interlaced rows put in order (giflib decodes, libpng encodes). The PNG and, for an
// interlaced GIF, the decoded rows go to unnamed temporary files, so memory holds a row or two
// whatever the picture's size. The result is named like the GIF. Throws kestrane::Error naming
// `path`: PictureCorrupt when the GIF cannot be decoded, PictureUnreadable when a temporary file
// fails, and what reading the GIF throws.
std::unique_ptr<Picture> convertGifToPng(const Picture& gif, const std::string& path);

} // namespace kestrane::presentation
