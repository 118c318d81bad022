#pragma once

#include <string>

namespace kestrane {

// Flushes the folder's entries to disk, so that a file just renamed into it keeps its new name
// through a power cut; flushing the file alone leaves the rename in memory. Returns 0, also where
// the folder cannot be flushed at all (not readable, or a file system without folder flushes), or
// the system's error number of the call that failed.
int syncFolder(const std::string& folder);

// The folder that holds the file `path` names: "." for a bare name, "/" for a file at the root.
std::string folderOf(const std::string& path);

} // namespace kestrane
