#pragma once

#include "engine/ByteSink.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kestrane::presentation::ppt {

// Where a stream's bytes go while it is being written.
class StreamOutput
{
public:
    virtual ~StreamOutput() = default;
    virtual void write(const void* data, std::size_t size) = 0;
};

// An OLE2 compound file (512-byte sectors, 64-byte mini sectors) written through a ByteSink by
// libgsf. Streams are written one after the other; big ones go straight to the sink, so memory
// does not grow with the stream. A failure of the sink, however deep inside libgsf it happens,
// reaches the caller as the sink's own kestrane::Error.
class CompoundFile
{
public:
    CompoundFile(ByteSink& sink, const std::uint8_t (&classId)[16]);
    ~CompoundFile();
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    void addStream(const std::string& name, const std::function<void(StreamOutput&)>& fill);
    // Writes the directory and allocation tables; nothing may be added afterwards.
    void finish();

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace kestrane::presentation::ppt
