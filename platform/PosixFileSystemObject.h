#pragma once

#include "platform/ObjectFactory.h"

namespace kestrane {

// A file exists when the path names anything but a directory. A FIFO or a device named like an
// image counts, so the engine refuses it with a message instead of the sequence ending quietly.
// Only a path that names nothing is absent: a folder that cannot be searched fails with the
// system's reason (DirectoryUnreadable), so it is never taken for one without pictures.
class PosixFileSystemObject : public FileSystemObject
{
public:
    bool FileExists(const std::string& path) override;
};

} // namespace kestrane
