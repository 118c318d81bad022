#pragma once

#include "engine/Picture.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrane::presentation::ppt {

// The picture identifier the drawing records carry: MD4 of the picture's bytes.
using Md4Digest = std::array<std::uint8_t, 16>;

// Reads the picture through `buffer` (its size is the chunk size), so memory stays flat for any
// picture size.
Md4Digest md4(const Picture& picture, std::vector<std::uint8_t>& buffer);

} // namespace kestrane::presentation::ppt
