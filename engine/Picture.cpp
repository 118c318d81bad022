#include "engine/Picture.h"

#include "engine/GifToPng.h"

#include <algorithm>
#include <nettle/md4.h>

namespace kestrane::presentation {

namespace {

constexpr std::uint64_t bitmapFileHeaderSize = 14;

class BitmapWithoutFileHeader : public Picture
{
public:
    explicit BitmapWithoutFileHeader(const Picture& bitmap) : m_bitmap(bitmap) {}

    const std::string& name() const override { return m_bitmap.name(); }
    PictureFormat format() const override { return PictureFormat::Bmp; }
    std::uint64_t size() const override { return m_bitmap.size() - bitmapFileHeaderSize; }
    void read(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        m_bitmap.read(offset + bitmapFileHeaderSize, buffer, length);
    }

private:
    const Picture& m_bitmap;
};

} // namespace

void Picture::makePptForm(const std::string& path)
{
    if (format() == PictureFormat::Gif)
        m_pptForm = convertGifToPng(*this, path);
    else if (format() == PictureFormat::Bmp)
        m_pptForm = std::make_unique<BitmapWithoutFileHeader>(*this);
}

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
