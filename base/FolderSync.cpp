#include "base/FolderSync.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kestrane {

int syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder the user may write to but not read cannot be opened to flush it; the file is in place
    // and nothing more can be done for it.
    if (fd < 0)
        return errno == EACCES ? 0 : errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    // Some file systems cannot flush a folder at all, and say so this way.
    if (error == EINVAL)
        error = 0;
    ::close(fd);
    return error;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace kestrane
