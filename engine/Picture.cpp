#include "engine/Picture.h"

#include <algorithm>
#include <memory>
#include <nettle/md4.h>

namespace kestrane::presentation {

const Digest& Picture::digest() const
{
    std::call_once(m_digested, [this] {
        // A megabyte at a time keeps memory flat for any picture size.
        const std::uint64_t total = size();
        const auto chunk = std::size_t(std::min<std::uint64_t>(total, std::uint64_t(1) << 20));
        const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(std::max<std::size_t>(chunk, 1));
        md4_ctx context;
        md4_init(&context);
        for (std::uint64_t offset = 0; offset < total;) {
            const auto length = std::size_t(std::min<std::uint64_t>(chunk, total - offset));
            read(offset, buffer.get(), length);
            md4_update(&context, length, buffer.get());
            offset += length;
        }
        md4_digest(&context, m_digest.size(), m_digest.data());
    });
    return m_digest;
}

} // namespace kestrane::presentation
