#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// One line of a mount table.
struct MountEntry
{
    std::string device;
    std::string mountPoint;
    std::string type;

    bool operator==(const MountEntry&) const = default;
};

// Reads a mount table in the format of /proc/self/mounts: one mount a line, blank-separated
// fields, and blanks, tabs, newlines or backslashes inside a field written as octal escapes
// ("\040"). Lines with fewer than three fields are skipped.
std::vector<MountEntry> parseMountTable(std::string_view table);

// Whether a file system of this type keeps a person's files (disks, removable media, network
// shares), as opposed to the kernel's and memory-backed file systems.
bool isStorageType(std::string_view type);

// The drives a person would pick from, each named by its mount point: "/" first, then the
// mount points of storage file systems, each once, sorted.
std::vector<std::string> drivesFromMounts(const std::vector<MountEntry>& mounts);

// The drive holding an absolute directory: the longest drive that is the directory itself or
// one of its ancestors. Empty when none is.
std::string driveOf(const std::vector<std::string>& drives, std::string_view directory);

// The drives among these that the user can open: folders they may read and search. A file
// bound into a container, or a mount the user may not enter (/boot/efi often is), is left out.
std::vector<std::string> openableDrives(std::vector<std::string> drives);

// The drives of this machine that the user can open, from /proc/self/mounts; "/" first.
std::vector<std::string> systemDrives();

// Where the chooser reads the drives from, afresh each time it is shown, so media plugged in
// meanwhile appear.
using DriveSource = std::function<std::vector<std::string>()>;

} // namespace kestrane
