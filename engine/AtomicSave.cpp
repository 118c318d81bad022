#include "engine/AtomicSave.h"

#include "base/Error.h"
#include "base/FolderSync.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kestrane::presentation {

namespace {

// Writers emit small pieces (zip headers, records, stdio buffers of 64 KiB); gathering them in 1 MiB
// buffers keeps the number of system calls and thread hand-overs low.
constexpr std::size_t bufferCount = 4;

// Each buffer goes to the file in writes of this size, as cp and cat write. The kernel gives a
// write page-cache pages in blocks of about its size; blocks of a megabyte come from memory long
// free, which a virtual machine may have handed back to its host, and copying into such memory
// was measured several times slower (a .ppt of 200 MB after a second's pause: 0.41 s in 1 MiB
// writes, 0.10 s in these).
constexpr std::size_t writeSize = std::size_t(128) << 10;

// Writeback is started every this many bytes, so the disk works while the rest is produced and
// the final flush has little left to do. Starting it hands the pages to the disk there and then,
// which holds up the writing thread; small steps keep each hold-up shorter than the buffers last.
constexpr std::uint64_t writebackStep = std::uint64_t(16) << 20;

// Reports every this many bytes: often enough for a progress bar, rarely enough to cost nothing.
constexpr std::uint64_t reportStep = std::uint64_t(4) << 20;

// Leaves room in NAME_MAX for the dot, the separator and the random suffix.
constexpr std::size_t maxTempStem = 200;

// As many links as the system follows in one path before it answers ELOOP.
constexpr int maxLinks = 40;

struct TargetPath
{
    std::string folder;
    std::string name;
};

TargetPath splitPath(const std::string& path)
{
    return {folderOf(path), path.substr(path.rfind('/') + 1)};
}

// The file a save replaces: the path itself or, where a symbolic link stands, the file it names,
// followed link by link as opening the path would. A dangling link names the file to create.
std::string followLinks(const std::string& path)
{
    std::string file = path;
    for (int links = 0;; ++links) {
        struct stat status;
        if (::lstat(file.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return file;
        if (links == maxLinks)
            throw Error(ErrorCode::SaveFailed, path, ELOOP);
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(file.c_str(), target.data(), target.size());
        if (length < 0)
            throw Error(ErrorCode::SaveFailed, path, errno);
        target.resize(std::size_t(length));
        file = target.starts_with('/') ? target : splitPath(file).folder + '/' + target;
    }
}

// The permission bits to give the new file: those of the file it replaces, if any. A file the
// user may not write is refused, as opening it for writing would be, although replacing it
// needs only the folder's permission.
std::optional<mode_t> existingMode(const std::string& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw Error(ErrorCode::SaveFailed, path, errno);
    }
    if (S_ISDIR(status.st_mode))
        throw Error(ErrorCode::SaveTargetInvalid, path + " is a folder");
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        throw Error(ErrorCode::SaveFailed, path, errno);
    return status.st_mode & 07777;
}

std::string randomSuffix()
{
    static std::mt19937_64 generator{std::random_device{}()};
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(8, ' ');
    for (char& c : suffix)
        c = alphabet[generator() % (sizeof alphabet - 1)];
    return suffix;
}

// Opens a new temporary file beside `file`, the target with its links followed, and names it in
// `temp` once it is there.
void openBeside(const std::string& file, std::string& temp, int& fd)
{
    const TargetPath target = splitPath(file);
    const std::string stem = target.name.substr(0, maxTempStem);
    for (int attempt = 0;; ++attempt) {
        const std::string path = target.folder + "/." + stem + "." + randomSuffix();
        // Mode 0666 lets the kernel apply the umask, as for any newly created file.
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temp = path;
            return;
        }
        if (errno != EEXIST || attempt == 100)
            throw Error(ErrorCode::SaveFailed, file, errno);
    }
}

} // namespace

AtomicFile::TempFile::~TempFile()
{
    if (fd >= 0)
        ::close(fd);
    if (!committed && !path.empty())
        ::unlink(path.c_str());
}

AtomicFile::AtomicFile(const std::string& path, std::uint64_t total, SaveProgress progress)
    : m_progress(std::move(progress)), m_total(total), m_nextReport(reportStep),
      m_ring(bufferCount, [this](BufferRing::Buffer& b) { writeOut(b); })
{
    if (m_progress)
        m_progress(0, m_total);
    const TargetPath named = splitPath(path);
    if (named.name.empty() || named.name == "." || named.name == "..")
        throw Error(ErrorCode::SaveTargetInvalid, path);
    // Resolved once: the file is written beside the link's target and renamed there, so the
    // link stays and still names it.
    m_target = followLinks(path);
    const std::optional<mode_t> mode = existingMode(m_target);
    openBeside(m_target, m_file.path, m_file.fd);
    if (mode && ::fchmod(m_file.fd, *mode) != 0)
        fail(errno);
    m_buffer = &m_ring.next();
}

void AtomicFile::count(std::uint64_t bytes)
{
    m_counted += bytes;
    // Headers and parts add to the pictures; the count stays below the total until the end.
    if (m_progress && m_counted >= m_nextReport && m_counted < m_total) {
        m_progress(m_counted, m_total);
        m_nextReport = m_counted + reportStep;
    }
}

void AtomicFile::write(const void* data, std::size_t size)
{
    count(size);
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        if (m_cursor == BufferRing::bufferSize)
            flush(m_buffer->offset + m_cursor);
        const std::size_t n = std::min(size, BufferRing::bufferSize - m_cursor);
        std::memcpy(m_buffer->bytes.get() + m_cursor, bytes, n);
        m_cursor += n;
        m_buffer->length = std::max(m_buffer->length, m_cursor);
        bytes += n;
        size -= n;
    }
}

void AtomicFile::seek(std::uint64_t position)
{
    if (position >= m_buffer->offset && position - m_buffer->offset <= m_buffer->length)
        m_cursor = std::size_t(position - m_buffer->offset);
    else
        flush(position);
}

void AtomicFile::commit()
{
    flush(position());
    // The writes of the buffers not handed out again since; next() checked the others.
    const std::uint64_t posted = m_ring.posted();
    for (std::uint64_t n = posted - std::min<std::uint64_t>(posted, bufferCount); n < posted; ++n)
        m_ring.wait(n);
    if (::fdatasync(m_file.fd) != 0)
        fail(errno);
    if (::close(std::exchange(m_file.fd, -1)) != 0)
        fail(errno);
    if (::rename(m_file.path.c_str(), m_target.c_str()) != 0)
        fail(errno);
    m_file.committed = true;
    // A failure here leaves the new file in place, but the user must not be told it is saved.
    if (const int error = syncFolder(splitPath(m_target).folder))
        fail(error);
    if (m_progress)
        m_progress(m_total, m_total);
}

void AtomicFile::fail(int error) const
{
    throw Error(ErrorCode::SaveFailed, m_target, error);
}

// The thread writes in the order given, so a later write to the same place wins.
void AtomicFile::flush(std::uint64_t next)
{
    if (m_buffer->length > 0) {
        m_ring.post();
        m_buffer = &m_ring.next();
    }
    m_buffer->offset = next;
    m_buffer->length = 0;
    m_cursor = 0;
}

void AtomicFile::writeOut(const BufferRing::Buffer& buffer)
{
    const unsigned char* data = buffer.bytes.get();
    std::size_t size = buffer.length;
    std::uint64_t offset = buffer.offset;
    while (size > 0) {
        const ssize_t done = ::pwrite(m_file.fd, data, std::min(size, writeSize), off_t(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            fail(errno);
        data += done;
        size -= std::size_t(done);
        offset += std::uint64_t(done);
    }
    const std::uint64_t end = buffer.offset + buffer.length;
    if (end >= m_writebackFrom + writebackStep) {
        ::sync_file_range(m_file.fd, off_t(m_writebackFrom), off_t(end - m_writebackFrom),
                          SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = end;
    }
}

} // namespace kestrane::presentation
