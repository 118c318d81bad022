#pragma once

#include "engine/Picture.h"

#include <memory>
#include <string>

namespace kestrane::presentation {

// What a .ppt stores of a picture, for whoever takes the picture in to give it (setPptForm): a
// GIF, which the format has no record for, as a PNG of its first frame (GifToPng.h); a BMP
// without its 14-byte file header, as the format's bitmap record holds it from the bitmap's own
// header on; null for every other picture, stored as it is. The form reads through `picture`,
// which must outlive it. Throws what convertGifToPng throws, naming `path`.
std::unique_ptr<Picture> pptFormOf(const Picture& picture, const std::string& path);

} // namespace kestrane::presentation
