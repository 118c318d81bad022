#include "platform/presentation/AtomicSave.h"

#include "platform/Error.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrane::presentation {

namespace {

// Writers emit small pieces (a zip library writes 8 KiB at a time); gathering them keeps the
// number of system calls low.
constexpr std::size_t bufferSize = std::size_t(1) << 20;

// Writeback is started every this many bytes, so the disk works while the rest is produced and
// the final flush has little left to do.
constexpr std::uint64_t writebackStep = std::uint64_t(64) << 20;

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

// The temporary file of one save: buffered writes, removed unless committed.
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
        m_buffer.reserve(bufferSize);
    }

    ~TempFileSink() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed)
            ::unlink(m_tempPath.c_str());
    }

    TempFileSink(const TempFileSink&) = delete;
    TempFileSink& operator=(const TempFileSink&) = delete;

    void write(const void* data, std::size_t size) override
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        if (m_buffer.size() + size > bufferSize)
            flush();
        if (size >= bufferSize) {
            writeOut(bytes, size);
            return;
        }
        m_buffer.insert(m_buffer.end(), bytes, bytes + size);
    }

    void seek(std::uint64_t position) override
    {
        flush();
        m_offset = position;
    }

    std::uint64_t position() const override { return m_offset + m_buffer.size(); }

    void setMode(mode_t mode)
    {
        if (::fchmod(m_fd, mode) != 0)
            fail();
    }

    // Makes the content durable, then puts it in place in one step.
    void commit()
    {
        flush();
        if (::fdatasync(m_fd) != 0)
            fail();
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            fail();
        if (::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0)
            fail();
        m_committed = true;
    }

private:
    [[noreturn]] void fail() const { throw Error(ErrorCode::SaveFailed, m_targetPath, errno); }

    void flush()
    {
        writeOut(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        if (m_offset >= m_writebackFrom + writebackStep) {
            ::sync_file_range(m_fd, off_t(m_writebackFrom), off_t(m_offset - m_writebackFrom),
                              SYNC_FILE_RANGE_WRITE);
            m_writebackFrom = m_offset;
        }
    }

    void writeOut(const unsigned char* data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t done = ::pwrite(m_fd, data, size, off_t(m_offset));
            if (done < 0 && errno == EINTR)
                continue;
            if (done < 0)
                fail();
            data += done;
            size -= std::size_t(done);
            m_offset += std::uint64_t(done);
        }
    }

    std::string m_targetPath;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_committed = false;
    std::uint64_t m_offset = 0;
    std::uint64_t m_writebackFrom = 0;
    std::vector<unsigned char> m_buffer;
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
