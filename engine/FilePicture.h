#pragma once

#include "engine/Picture.h"

#include <memory>
#include <string>

namespace kestrane::presentation {

// Takes the picture at `path` into a presentation: checks that it is a regular file holding a
// JPEG, PNG, GIF, BMP or TIFF image, reads a JPEG's orientation and holds the opened file, so
// renaming or deleting the path afterwards does not change what is saved, and makes its .ppt form
// (Picture.h). Throws kestrane::Error naming the path when the file is unusable.
std::shared_ptr<const Picture> openPictureFile(const std::string& path);

} // namespace kestrane::presentation
