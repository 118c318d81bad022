#include "platform/IniSettingsStore.h"

#include "base/Error.h"
#include "base/FolderSync.h"

#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kestrane {

namespace {

// Sections by name, each with its keys; both in byte order, so the file is written the same way
// whatever order the values came in.
using IniFile = std::map<std::string, std::map<std::string, std::string>>;

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Reads "[section]" headers and "key=value" lines. The value is everything after the first '='
// up to the end of the line, trimmed of surrounding blanks as INI readers do, so a hand-edited
// "DefaultWidth = 500" reads as "500"; lines of any other shape are passed over, so a file edited
// into any bytes still loads. A line ends at LF, CR LF or a lone CR: a value read never holds a
// line break, so it can always be written back.
IniFile parse(std::string_view content)
{
    IniFile ini;
    std::string section;
    while (!content.empty()) {
        const std::size_t end = content.find_first_of("\r\n");
        const std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        const std::string_view bare = trimmed(line);
        if (bare.size() >= 2 && bare.front() == '[' && bare.back() == ']') {
            section = trimmed(bare.substr(1, bare.size() - 2));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || bare.starts_with(';') || bare.starts_with('#'))
            continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        if (!key.empty())
            ini[section][std::string(key)] = trimmed(line.substr(equals + 1));
    }
    return ini;
}

std::string render(const IniFile& ini)
{
    std::string out;
    for (const auto& [section, values] : ini) {
        if (!out.empty())
            out += '\n';
        if (!section.empty())
            out += '[' + section + "]\n";
        for (const auto& [key, value] : values)
            out += key + '=' + value + '\n';
    }
    return out;
}

// The file's content; empty when there is none yet. Throws the system's reason otherwise.
std::string readFile(const std::string& file, ErrorCode failure)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return {};
        throw Error(failure, file, errno);
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw Error(failure, file, error);
        }
        if (got == 0)
            break;
        content.append(buffer, std::size_t(got));
    }
    ::close(fd);
    return content;
}

void makeFolders(const std::string& file)
{
    const std::string folder = file.substr(0, file.rfind('/'));
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        if (::mkdir(folder.substr(0, slash).c_str(), 0777) != 0 && errno != EEXIST)
            throw Error(ErrorCode::SettingsUnwritable, file, errno);
        if (slash == std::string::npos)
            break;
    }
}

// The new file beside the old one: closed, and removed unless it took the old one's place.
struct Replacement
{
    ~Replacement()
    {
        if (fd >= 0)
            ::close(fd);
        if (!placed)
            ::unlink(path.c_str());
    }

    std::string path;
    int fd = -1;
    bool placed = false;
};

// Writes the new content beside the file, flushes it, puts it in the file's place and flushes the
// folder, so the new file is there after a power cut. A file the user made read-only is left
// alone, as a direct write would leave it; the new file keeps the old one's permissions.
void replaceFile(const std::string& file, const std::string& content)
{
    mode_t mode = 0644;
    struct stat status;
    if (::stat(file.c_str(), &status) == 0) {
        if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
            throw Error(ErrorCode::SettingsUnwritable, file, errno);
        mode = status.st_mode & 07777;
    }
    const std::size_t slash = file.rfind('/');
    Replacement next{file.substr(0, slash + 1) + '.' + file.substr(slash + 1) + ".XXXXXX"};
    next.fd = ::mkostemp(next.path.data(), O_CLOEXEC);
    if (next.fd < 0) {
        next.placed = true; // nothing was made
        throw Error(ErrorCode::SettingsUnwritable, file, errno);
    }
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t put = ::write(next.fd, content.data() + done, content.size() - done);
        if (put < 0 && errno != EINTR)
            throw Error(ErrorCode::SettingsUnwritable, file, errno);
        if (put > 0)
            done += std::size_t(put);
    }
    if (::fchmod(next.fd, mode) != 0 || ::fdatasync(next.fd) != 0 ||
        ::close(std::exchange(next.fd, -1)) != 0 || ::rename(next.path.c_str(), file.c_str()) != 0)
        throw Error(ErrorCode::SettingsUnwritable, file, errno);
    next.placed = true;
    if (const int error = syncFolder(folderOf(file)))
        throw Error(ErrorCode::SettingsUnwritable, file, error);
}

} // namespace

IniSettingsStore::IniSettingsStore(QString folder) : m_folder(QFile::encodeName(folder).toStdString())
{
}

QString IniSettingsStore::userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

std::string IniSettingsStore::fileFor(const std::string& application) const
{
    return m_folder + '/' + application + '/' + application + ".ini";
}

std::string IniSettingsStore::Read(const std::string& application, const std::string& section,
                                   const std::string& key, int defaultValue)
{
    const IniFile ini = parse(readFile(fileFor(application), ErrorCode::SettingsUnreadable));
    const auto values = ini.find(section);
    if (values == ini.end() || !values->second.contains(key))
        return std::to_string(defaultValue);
    return values->second.at(key);
}

void IniSettingsStore::Write(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& text)
{
    // A line break would split the value into lines that read back as something else.
    if (text.find_first_of("\r\n") != std::string::npos)
        throw Error(ErrorCode::SettingsUnwritable, key + " holds a line break");
    const std::string file = fileFor(application);
    makeFolders(file);
    const std::string old = readFile(file, ErrorCode::SettingsUnwritable);
    IniFile ini = parse(old);
    ini[section][key] = text;
    // The load at start-up writes back what it read; a file that already says so is left alone.
    const std::string content = render(ini);
    if (content != old)
        replaceFile(file, content);
}

} // namespace kestrane
