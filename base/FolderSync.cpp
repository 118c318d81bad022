#include "base/FolderSync.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kestrane {

int syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace kestrane
