#pragma once

#include "engine/Picture.h"

#include <memory>
#include <string>

namespace kestrane::presentation {

// What a .ppt stores of a picture where that is not the picture itself: a GIF, which the format
// has no record for, as a PNG of its first frame (GifToPng.h); a BMP without its 14-byte file
// header, as the format's bitmap record holds it from the bitmap's own header on. Null for every
// other format. A BMP's form reads through `picture`, which must outlive it. Throws what
// convertGifToPng throws, naming `path`.
std::unique_ptr<Picture> makePptForm(const Picture& picture, const std::string& path);

} // namespace kestrane::presentation
