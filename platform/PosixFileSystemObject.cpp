#include "platform/PosixFileSystemObject.h"

#include <sys/stat.h>

namespace kestrane {

bool PosixFileSystemObject::FileExists(const std::string& path)
{
    struct stat status
    {
    };
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

} // namespace kestrane
