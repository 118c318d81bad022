#pragma once

#include <cstdint>
#include <functional>

namespace kestrane::presentation {

// How far a save has come: the bytes digested and written so far and the bytes expected in all,
// which is the size of the pictures to store, plus that of the pictures whose digests the save
// takes first (each picture then counts as stored, identical ones too). Called with done 0 as the
// save starts, then every few megabytes with `done` growing and below `total`, and once more with
// done == total when the file is complete; not again after a failure.
using SaveProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

} // namespace kestrane::presentation
