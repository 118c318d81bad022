#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrane::presentation {

// Where a writer puts the bytes of a file. Writers never see a path: the real sink writes the
// temporary file of an atomic save, tests capture the bytes or fail on purpose. Every member
// reports failure by throwing kestrane::Error.
class ByteSink
{
public:
    virtual ~ByteSink() = default;
    virtual void write(const void* data, std::size_t size) = 0;
    virtual void seek(std::uint64_t position) = 0;
    virtual std::uint64_t position() const = 0;
};

} // namespace kestrane::presentation
