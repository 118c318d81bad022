#include "platform/PosixFileSystemObject.h"

#include "base/Error.h"

#include <cerrno>
#include <sys/stat.h>

namespace kestrane {

bool PosixFileSystemObject::FileExists(const std::string& path)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return false;
        throw Error(ErrorCode::DirectoryUnreadable, path, errno);
    }
    return !S_ISDIR(status.st_mode);
}

} // namespace kestrane
