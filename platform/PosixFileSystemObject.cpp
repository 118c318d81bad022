#include "platform/PosixFileSystemObject.h"

#include "base/Error.h"
#include "base/FolderSync.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace kestrane {

namespace {

// A path that cannot be looked at is a folder that cannot be searched, and named as one.
bool isFile(const std::string& path)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return false;
        throw Error(ErrorCode::DirectoryUnreadable, folderOf(path), errno);
    }
    return !S_ISDIR(status.st_mode);
}

std::string asciiLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::optional<std::string> PosixFileSystemObject::FileExists(const std::string& path)
{
    if (isFile(path))
        return path;
    const std::size_t slash = path.rfind('/');
    const std::string name = path.substr(slash + 1);
    const Listing& names = listing(folderOf(path));
    const auto similar = names.find(asciiLower(name));
    if (similar == names.end())
        return std::nullopt;
    for (const std::string& candidate : similar->second) {
        // The prefix stays as given, doubled separator and all.
        const std::string found = path.substr(0, slash + 1) + candidate;
        if (candidate != name && isFile(found))
            return found;
    }
    return std::nullopt;
}

const PosixFileSystemObject::Listing& PosixFileSystemObject::listing(const std::string& folder)
{
    const auto known = m_listings.find(folder);
    if (known != m_listings.end())
        return known->second;
    Listing names;
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folder.c_str()), ::closedir);
    if (!directory) {
        // A folder the user may search but not read still answers for its exact names.
        if (errno == EACCES)
            return m_listings[folder];
        throw Error(ErrorCode::DirectoryUnreadable, folder, errno);
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory.get());
        if (!entry)
            break;
        names[asciiLower(entry->d_name)].emplace_back(entry->d_name);
    }
    if (errno != 0)
        throw Error(ErrorCode::DirectoryUnreadable, folder, errno);
    for (auto& [lower, originals] : names)
        std::sort(originals.begin(), originals.end());
    return m_listings.emplace(folder, std::move(names)).first->second;
}

} // namespace kestrane
