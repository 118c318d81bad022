#include "engine/ppt/Md4.h"

#include <algorithm>
#include <nettle/md4.h>

namespace kestrane::presentation::ppt {

Md4Digest md4(const Picture& picture, std::vector<std::uint8_t>& buffer)
{
    md4_ctx context;
    md4_init(&context);
    const std::uint64_t size = picture.size();
    for (std::uint64_t offset = 0; offset < size;) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - offset));
        picture.read(offset, buffer.data(), chunk);
        md4_update(&context, chunk, buffer.data());
        offset += chunk;
    }
    Md4Digest digest;
    md4_digest(&context, digest.size(), digest.data());
    return digest;
}

} // namespace kestrane::presentation::ppt
