#include "platform/Drives.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {

namespace {

bool isOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

std::string unescapeField(std::string_view field)
{
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctalDigit(field[i + 1]) &&
            isOctalDigit(field[i + 2]) && isOctalDigit(field[i + 3])) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        if (line[start] == ' ' || line[start] == '\t') {
            ++start;
            continue;
        }
        std::size_t end = line.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = line.size();
        fields.push_back(line.substr(start, end - start));
        start = end;
    }
    return fields;
}

bool isAncestorOrSelf(std::string_view drive, std::string_view directory)
{
    if (!directory.starts_with(drive))
        return false;
    return drive.ends_with('/') || directory.size() == drive.size() || directory[drive.size()] == '/';
}

} // namespace

std::vector<MountEntry> parseMountTable(std::string_view table)
{
    std::vector<MountEntry> mounts;
    while (!table.empty()) {
        const std::size_t end = std::min(table.find('\n'), table.size());
        const std::vector<std::string_view> fields = splitFields(table.substr(0, end));
        if (fields.size() >= 3)
            mounts.push_back({unescapeField(fields[0]), unescapeField(fields[1]), unescapeField(fields[2])});
        table.remove_prefix(std::min(end + 1, table.size()));
    }
    return mounts;
}

bool isStorageType(std::string_view type)
{
    static constexpr std::array<std::string_view, 24> storage{
        // Disks
        "ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs", "reiserfs", "zfs", "bcachefs", "nilfs2",
        // Removable media and other systems' disks
        "vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk", "hfs", "hfsplus", "iso9660", "udf",
        // Network shares
        "nfs", "nfs4", "cifs"};
    return std::find(storage.begin(), storage.end(), type) != storage.end();
}

std::vector<std::string> drivesFromMounts(const std::vector<MountEntry>& mounts)
{
    std::vector<std::string> others;
    for (const MountEntry& mount : mounts)
        if (mount.mountPoint != "/" && mount.mountPoint.starts_with('/') && isStorageType(mount.type))
            others.push_back(mount.mountPoint);
    std::sort(others.begin(), others.end());
    others.erase(std::unique(others.begin(), others.end()), others.end());
    std::vector<std::string> drives{"/"};
    drives.insert(drives.end(), others.begin(), others.end());
    return drives;
}

std::string driveOf(const std::vector<std::string>& drives, std::string_view directory)
{
    std::string holder;
    for (const std::string& drive : drives)
        if (drive.size() > holder.size() && isAncestorOrSelf(drive, directory))
            holder = drive;
    return holder;
}

std::vector<std::string> openableDrives(std::vector<std::string> drives)
{
    std::erase_if(drives, [](const std::string& drive) {
        struct stat status;
        return ::stat(drive.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
               ::faccessat(AT_FDCWD, drive.c_str(), R_OK | X_OK, AT_EACCESS) != 0;
    });
    return drives;
}

std::vector<std::string> systemDrives()
{
    std::ifstream file("/proc/self/mounts");
    std::ostringstream table;
    table << file.rdbuf();
    return openableDrives(drivesFromMounts(parseMountTable(table.str())));
}

} // namespace kestrane
