#include "engine/AtomicSave.h"

#include "base/Error.h"
#include "engine/Worker.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::presentation {

namespace {

// Writers emit small pieces (a zip library writes 8 KiB at a time); gathering them keeps the
// number of system calls and thread hand-overs low.
constexpr std::size_t bufferSize = std::size_t(1) << 20;
constexpr int bufferCount = 4;

// Writeback is started every this many bytes, so the disk works while the rest is produced and
// the final flush has little left to do. Starting it hands the pages to the disk there and then,
// which holds up the writing thread; small steps keep each hold-up shorter than the buffers last.
constexpr std::uint64_t writebackStep = std::uint64_t(16) << 20;

// Leaves room in NAME_MAX for the dot, the separator and the random suffix.
constexpr std::size_t maxTempStem = 200;

struct TargetPath
{
    std::string folder;
    std::string name;
};

TargetPath splitPath(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The permission bits to give the new file: those of the file it replaces, if any.
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

// The temporary file of one save, removed unless committed. Bytes gather in a buffer; a full
// buffer is written by a second thread while the writer fills the next one, so producing the
// bytes and copying them into the file overlap. A seek back into the buffer being filled (a zip
// writer rewriting a header it just wrote) changes the buffer in place. A failed write is
// reported by a later call.
class TempFileSink : public ByteSink
{
public:
    TempFileSink(const TargetPath& target, const std::string& targetPath) : m_targetPath(targetPath)
    {
        const std::string stem = target.name.substr(0, maxTempStem);
        for (int attempt = 0; m_fd < 0; ++attempt) {
            m_tempPath = target.folder + "/." + stem + "." + randomSuffix();
            // Mode 0666 lets the kernel apply the umask, as for any newly created file.
            m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd < 0 && (errno != EEXIST || attempt == 100))
                throw Error(ErrorCode::SaveFailed, targetPath, errno);
        }
    }

    ~TempFileSink() override
    {
        m_writer.waitAll();
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed)
            ::unlink(m_tempPath.c_str());
    }

    TempFileSink(const TempFileSink&) = delete;
    TempFileSink& operator=(const TempFileSink&) = delete;

    void write(const void* data, std::size_t size) override
    {
        checkWrites();
        const auto* bytes = static_cast<const unsigned char*>(data);
        while (size > 0) {
            if (m_cursor == bufferSize)
                flush(m_offset + bufferSize);
            Buffer& buffer = m_buffers[m_current];
            const std::size_t n = std::min(size, bufferSize - m_cursor);
            std::memcpy(buffer.bytes.get() + m_cursor, bytes, n);
            m_cursor += n;
            buffer.size = std::max(buffer.size, m_cursor);
            bytes += n;
            size -= n;
        }
    }

    void seek(std::uint64_t position) override
    {
        checkWrites();
        if (position >= m_offset && position - m_offset <= m_buffers[m_current].size) {
            m_cursor = std::size_t(position - m_offset);
            return;
        }
        flush(position);
    }

    std::uint64_t position() const override { return m_offset + m_cursor; }

    void setMode(mode_t mode)
    {
        if (::fchmod(m_fd, mode) != 0)
            fail(errno);
    }

    // Makes the content durable, then puts it in place in one step.
    void commit()
    {
        flush(position());
        m_writer.waitAll();
        checkWrites();
        if (::fdatasync(m_fd) != 0)
            fail(errno);
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            fail(errno);
        if (::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0)
            fail(errno);
        m_committed = true;
    }

private:
    struct Buffer
    {
        std::unique_ptr<unsigned char[]> bytes = std::make_unique_for_overwrite<unsigned char[]>(bufferSize);
        std::size_t size = 0;
        std::uint64_t ticket = 0;
    };

    [[noreturn]] void fail(int error) const { throw Error(ErrorCode::SaveFailed, m_targetPath, error); }

    void checkWrites() const
    {
        if (const int error = m_writeError)
            fail(error);
    }

    // Hands the buffer to the writing thread and goes on at `next` in the next buffer, once that
    // one is written out. The thread writes in the order given, so a later write to the same place
    // wins, as it would have without the thread.
    void flush(std::uint64_t next)
    {
        Buffer& full = m_buffers[m_current];
        if (full.size > 0) {
            const std::uint64_t offset = m_offset;
            full.ticket = m_writer.post([this, &full, offset] {
                if (m_writeError == 0)
                    m_writeError = writeOut(full.bytes.get(), full.size, offset);
                full.size = 0;
            });
            m_current = (m_current + 1) % bufferCount;
            m_writer.wait(m_buffers[m_current].ticket);
            checkWrites();
        }
        m_offset = next;
        m_cursor = 0;
    }

    // Returns 0 or the errno of the failed write.
    int writeOut(const unsigned char* data, std::size_t size, std::uint64_t offset)
    {
        const std::uint64_t end = offset + size;
        while (size > 0) {
            const ssize_t done = ::pwrite(m_fd, data, size, off_t(offset));
            if (done < 0 && errno == EINTR)
                continue;
            if (done < 0)
                return errno;
            data += done;
            size -= std::size_t(done);
            offset += std::uint64_t(done);
        }
        if (end >= m_writebackFrom + writebackStep) {
            ::sync_file_range(m_fd, off_t(m_writebackFrom), off_t(end - m_writebackFrom),
                              SYNC_FILE_RANGE_WRITE);
            m_writebackFrom = end;
        }
        return 0;
    }

    std::string m_targetPath;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_committed = false;
    Buffer m_buffers[bufferCount];
    int m_current = 0;
    // The file offset of the current buffer's first byte, and where in it the next write goes.
    std::uint64_t m_offset = 0;
    std::size_t m_cursor = 0;
    // The errno of the first failed write; the writing thread sets it.
    std::atomic<int> m_writeError = 0;
    // Only the writing thread uses it.
    std::uint64_t m_writebackFrom = 0;
    Worker m_writer;
};

} // namespace

void saveAtomically(const std::string& path, const std::function<void(ByteSink&)>& write)
{
    const TargetPath target = splitPath(path);
    if (target.name.empty() || target.name == "." || target.name == "..")
        throw Error(ErrorCode::SaveTargetInvalid, path);
    const std::optional<mode_t> mode = existingMode(path);
    TempFileSink sink(target, path);
    if (mode)
        sink.setMode(*mode);
    write(sink);
    sink.commit();
}

} // namespace kestrane::presentation
