#pragma once

#include <QString>
#include <cerrno>
#include <string>
#include <sys/mount.h>

namespace kestrane::testing {

// A 1 MiB tmpfs over `folder` while it lives: a file system that really fills up.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(const QString& folder) : m_folder(folder.toStdString())
    {
        if (::mount("tmpfs", m_folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0755") != 0)
            error = errno;
    }
    ~SmallFileSystem()
    {
        if (error == 0)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    int error = 0;

private:
    std::string m_folder;
};

} // namespace kestrane::testing
