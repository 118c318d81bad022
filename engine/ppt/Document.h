#pragma once

#include "engine/ppt/Records.h"

#include <cstdint>
#include <vector>

namespace kestrane::presentation::ppt {

// Persist ids: the document is 1, the main master 2, slide i (0-based) i + 3.
inline constexpr std::uint32_t documentPersistId = 1;
inline constexpr std::uint32_t masterPersistId = 2;
inline constexpr std::uint32_t firstSlidePersistId = 3;
inline constexpr std::uint32_t firstSlideId = 256;
inline constexpr std::uint32_t masterId = 0x80000000;

// The document container: page sizes, fonts and text defaults, the drawing group (shape id
// clusters and picture entries), the master and the slides in show order.
Bytes documentContainer(std::size_t slideCount, const Bytes& drawingGroupBlock, const Bytes& pictureEntries);

Bytes mainMasterContainer(const Bytes& drawing);
Bytes slideContainer(const Bytes& drawing);

// Maps persist ids 1..n to the stream offsets of their records.
Bytes persistDirectory(const std::vector<std::uint32_t>& offsets);
Bytes userEdit(std::uint32_t persistDirectoryOffset, std::uint32_t persistIdSeed, std::size_t slideCount);
// The whole "Current User" stream: where the last user edit is.
Bytes currentUser(std::uint32_t userEditOffset);

} // namespace kestrane::presentation::ppt
