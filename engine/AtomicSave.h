#pragma once

#include "engine/ByteSink.h"

#include <functional>
#include <string>

namespace kestrane::presentation {

// Writes a file so that `path` holds either exactly what it held before or the complete new
// content: `write` fills a temporary file beside the target, which is flushed to disk and renamed
// over the target only when everything succeeded. On failure the temporary file is removed and
// the error (kestrane::Error) propagates. A replaced file keeps its permission bits; a new one
// gets 0666 less the umask. A file the user may not write is refused before anything is written,
// as a direct write would be; where `path` is a symbolic link, the file it names is replaced and
// the link stays.
void saveAtomically(const std::string& path, const std::function<void(ByteSink&)>& write);

} // namespace kestrane::presentation
