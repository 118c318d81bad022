#pragma once

#include <exception>
#include <utility>

namespace kestrane::presentation {

// The C library the .ppt writer uses (libgsf, through a stdio stream) calls back into C++, and an
// exception must not unwind through its frames. A callback runs its body through run(),
// which keeps the first exception and returns what `failed` gives, the library's own sign of
// failure, then and for every call after it; once the library has returned, the writer rethrows
// the kept exception, so the caller sees the sink's or the picture's kestrane::Error rather than
// the library's account of it.
class CallbackErrors
{
public:
    template <typename Body, typename Failed>
    auto run(Body&& body, Failed&& failed) noexcept -> decltype(body())
    {
        if (m_error)
            return failed();
        try {
            return body();
        } catch (...) {
            m_error = std::current_exception();
            return failed();
        }
    }

    void keep(std::exception_ptr error)
    {
        if (!m_error)
            m_error = std::move(error);
    }
    bool failed() const { return m_error != nullptr; }
    void rethrowIfFailed() const
    {
        if (m_error)
            std::rethrow_exception(m_error);
    }

private:
    std::exception_ptr m_error;
};

} // namespace kestrane::presentation
