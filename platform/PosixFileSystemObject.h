#pragma once

#include "platform/ObjectFactory.h"

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrane {

// A file exists when the path names anything but a directory. A FIFO or a device named like an
// image counts, so the engine refuses it with a message instead of the sequence ending quietly.
// Only a path that names nothing is absent: a folder that cannot be searched fails, naming the
// folder, with the system's reason (DirectoryUnreadable), so it is never taken for one without
// pictures.
//
// Letter case does not matter, as cameras and copies from other systems write IMAGE1.JPG: the
// exact name is tried first, then the names in its folder that differ from it only in ASCII
// letter case, in byte order. Each folder is listed at most once in the object's life, so
// probing thousands of numbers reads it once.
class PosixFileSystemObject : public FileSystemObject
{
public:
    std::optional<std::string> FileExists(const std::string& path) override;

private:
    // A folder's names by their lower-case form, each list in byte order.
    using Listing = std::unordered_map<std::string, std::vector<std::string>>;

    const Listing& listing(const std::string& folder);

    std::map<std::string, Listing> m_listings;
};

} // namespace kestrane
