#include "engine/PptForm.h"

#include "engine/GifToPng.h"

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

std::unique_ptr<Picture> pptFormOf(const Picture& picture, const std::string& path)
{
    if (picture.format() == PictureFormat::Gif)
        return convertGifToPng(picture, path);
    if (picture.format() == PictureFormat::Bmp)
        return std::make_unique<BitmapWithoutFileHeader>(picture);
    return nullptr;
}

} // namespace kestrane::presentation
