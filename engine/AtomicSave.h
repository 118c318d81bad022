#pragma once

#include "engine/ByteSink.h"
#include "engine/Pipeline.h"
#include "engine/SaveProgress.h"

#include <string>

namespace kestrane::presentation {

// The file a save writes, aside: `path` holds either exactly what it held before or the complete
// new content. The bytes go to a temporary file beside the target, which commit() flushes to disk
// and renames over the target, then flushes the folder, so the saved file survives a power cut;
// without a commit the temporary file is removed. A replaced file keeps its permission bits; a new
// one gets 0666 less the umask. A file the user may not write is refused before anything is
// written, as a direct write would be; where `path` is a symbolic link, the file it names is
// replaced and the link stays. Every failure throws kestrane::Error.
//
// The bytes written, rewritten ones included, and those count() is told of are reported to
// `progress` against `total` (see SaveProgress.h), done == total only once committed.
//
// Bytes gather in a ring's buffers; a full one is written by the ring's thread while the writer
// fills the next, so producing the bytes and copying them into the file overlap. A seek back into
// the buffer being filled (the compound file writer going back to a header) changes it in place. A
// failed write is reported by a later call.
class AtomicFile : public ByteSink
{
public:
    explicit AtomicFile(const std::string& path, std::uint64_t total = 0, SaveProgress progress = {});
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(const void* data, std::size_t size) override;
    void seek(std::uint64_t position) override;
    std::uint64_t position() const override { return m_buffer->offset + m_cursor; }
    // Work of the save that writes nothing, counted towards the progress as bytes written are.
    void count(std::uint64_t bytes);

    // Makes the content durable, then puts it in place in one step.
    void commit();

private:
    // The temporary file: closed, and removed unless committed, once the ring's thread has ended.
    struct TempFile
    {
        ~TempFile();
        std::string path;
        int fd = -1;
        bool committed = false;
    };

    [[noreturn]] void fail(int error) const;
    // Hands the buffer to the thread and goes on at `next` in the next buffer.
    void flush(std::uint64_t next);
    // On the ring's thread.
    void writeOut(const BufferRing::Buffer& buffer);

    std::string m_target;
    TempFile m_file;
    SaveProgress m_progress;
    std::uint64_t m_total;
    std::uint64_t m_counted = 0;
    std::uint64_t m_nextReport;
    // Only the ring's thread uses it.
    std::uint64_t m_writebackFrom = 0;
    // The buffer being filled, and where in it the next write goes.
    BufferRing::Buffer* m_buffer = nullptr;
    std::size_t m_cursor = 0;
    // Last, so its thread ends before the file closes.
    BufferRing m_ring;
};

} // namespace kestrane::presentation
