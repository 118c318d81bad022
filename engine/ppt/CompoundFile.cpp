#include "engine/ppt/CompoundFile.h"

#include "base/Error.h"
#include "engine/CallbackErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <gsf/gsf.h>
#include <mutex>

namespace kestrane::presentation::ppt {

namespace {

constexpr std::size_t fileBuffer = 64 * 1024;

void initialiseGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

struct GObjectDeleter
{
    void operator()(void* object) const
    {
        if (object)
            g_object_unref(object);
    }
};

template <typename T>
using GsfPtr = std::unique_ptr<T, GObjectDeleter>;

} // namespace

// libgsf writes into a stdio FILE whose callbacks forward to the ByteSink. The callbacks keep the
// sink's first exception and fail every call after it; the C++ side rethrows it once libgsf has
// returned.
struct CompoundFile::State
{
    ByteSink& sink;
    std::uint64_t base;
    std::uint64_t position = 0;
    std::uint64_t end = 0;
    CallbackErrors errors;
    FILE* file = nullptr;
    GsfPtr<GsfOutput> output;
    GsfPtr<GsfOutfile> root;
    bool finished = false;

    explicit State(ByteSink& target) : sink(target), base(target.position()) {}

    ~State()
    {
        // Dropping an unfinished file makes libgsf close it; a recorded failure turns those last
        // writes into no-ops instead of a directory for a half-written file.
        root.reset();
        output.reset();
        if (file)
            std::fclose(file);
    }

    bool failed() const { return errors.failed(); }

    [[noreturn]] void fail(const char* what, GsfOutput* culprit) const
    {
        errors.rethrowIfFailed();
        const GError* error = culprit ? gsf_output_error(culprit) : nullptr;
        throw Error(ErrorCode::CompoundFileFailed, error ? std::string(what) + ": " + error->message : what);
    }

    // What the stdio stream is told when the sink failed.
    static int ioError()
    {
        errno = EIO;
        return -1;
    }

    static ssize_t write(void* cookie, const char* data, std::size_t size)
    {
        auto* state = static_cast<State*>(cookie);
        return state->errors.run(
            [&] {
                state->sink.write(data, size);
                state->position += size;
                state->end = std::max(state->end, state->position);
                return static_cast<ssize_t>(size);
            },
            ioError);
    }

    static int seek(void* cookie, off64_t* offset, int whence)
    {
        auto* state = static_cast<State*>(cookie);
        return state->errors.run(
            [&] {
                const std::int64_t from = whence == SEEK_SET   ? 0
                                          : whence == SEEK_CUR ? static_cast<std::int64_t>(state->position)
                                                               : static_cast<std::int64_t>(state->end);
                const std::int64_t target = from + *offset;
                if (target < 0) {
                    errno = EINVAL;
                    return -1;
                }
                state->sink.seek(state->base + static_cast<std::uint64_t>(target));
                state->position = static_cast<std::uint64_t>(target);
                *offset = target;
                return 0;
            },
            ioError);
    }
};

namespace {

class ChildOutput : public StreamOutput
{
public:
    ChildOutput(GsfOutput* child, const CompoundFile::State& state) : m_child(child), m_state(state) {}

    void write(const void* data, std::size_t size) override
    {
        const bool written = gsf_output_write(m_child, size, static_cast<const guint8*>(data));
        // The compound file writer does not pass on failures of its sink, so look there as well.
        if (!written || m_state.failed())
            m_state.fail("writing a stream", m_child);
    }

private:
    GsfOutput* m_child;
    const CompoundFile::State& m_state;
};

} // namespace

CompoundFile::CompoundFile(ByteSink& sink, const std::uint8_t (&classId)[16])
    : m_state(std::make_unique<State>(sink))
{
    initialiseGsf();
    cookie_io_functions_t functions{nullptr, &State::write, &State::seek, nullptr};
    m_state->file = fopencookie(m_state.get(), "w", functions);
    if (!m_state->file)
        throw Error(ErrorCode::CompoundFileFailed, "no stream for the sink", errno);
    setvbuf(m_state->file, nullptr, _IOFBF, fileBuffer);
    m_state->output.reset(gsf_output_stdio_new_FILE("presentation", m_state->file, TRUE));
    m_state->root.reset(gsf_outfile_msole_new_full(m_state->output.get(), 512, 64));
    if (!m_state->root || m_state->failed())
        m_state->fail("starting the file", m_state->output.get());
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(m_state->root.get()), classId);
}

CompoundFile::~CompoundFile()
{
    if (!m_state->finished)
        m_state->errors.keep(std::make_exception_ptr(Error(ErrorCode::CompoundFileFailed, "abandoned")));
}

void CompoundFile::addStream(const std::string& name, const std::function<void(StreamOutput&)>& fill)
{
    GsfPtr<GsfOutput> child(gsf_outfile_new_child(m_state->root.get(), name.c_str(), FALSE));
    if (!child)
        m_state->fail("adding a stream", m_state->output.get());
    ChildOutput out(child.get(), *m_state);
    fill(out);
    if (!gsf_output_close(child.get()) || m_state->failed())
        m_state->fail("closing a stream", child.get());
}

void CompoundFile::finish()
{
    const bool closed = gsf_output_close(GSF_OUTPUT(m_state->root.get()));
    if (!closed || m_state->failed())
        m_state->fail("writing the directory", m_state->output.get());
    if (std::fflush(m_state->file) != 0 || m_state->failed())
        m_state->fail("flushing", nullptr);
    m_state->finished = true;
}

} // namespace kestrane::presentation::ppt
