#include "engine/Picture.h"

#include <algorithm>
#include <nettle/md4.h>

namespace kestrane::presentation {

const Digest& Picture::digest() const
{
    // Not std::call_once: with libstdc++ a call that throws can leave its flag taken (seen under
    // ThreadSanitizer), and a picture that failed must be tried again.
    std::lock_guard lock(m_digesting);
    if (m_digested.load(std::memory_order_relaxed))
        return m_digest;
    // A piece at a time keeps memory flat for any picture size.
    std::array<std::uint8_t, 64 * 1024> buffer;
    const std::uint64_t total = size();
    md4_ctx context;
    md4_init(&context);
    for (std::uint64_t offset = 0; offset < total;) {
        const auto length = std::size_t(std::min<std::uint64_t>(buffer.size(), total - offset));
        read(offset, buffer.data(), length);
        md4_update(&context, length, buffer.data());
        offset += length;
    }
    md4_digest(&context, m_digest.size(), m_digest.data());
    m_digested.store(true, std::memory_order_release);
    return m_digest;
}

} // namespace kestrane::presentation
