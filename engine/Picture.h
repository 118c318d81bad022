#pragma once

#include "engine/Orientation.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace kestrane::presentation {

enum class PictureFormat
{
    Jpeg,
    CmykJpeg,
    Png,
    Gif,
    Bmp,
    Tiff,
};

// MD4 of a picture's bytes: what tells identical contents apart in both formats, and the
// identifier a .ppt's drawing records carry.
using Digest = std::array<std::uint8_t, 16>;

// What one reading of a picture's bytes gives: the digest, and the CRC-32 that a zip entry holding
// the picture records.
struct Checksums
{
    Digest digest;
    std::uint32_t crc32;
};

// An embedded picture as it was when it was added. Its bytes are the source file's bytes,
// unchanged; reading them throws kestrane::Error when they can no longer be had as they were.
class Picture
{
public:
    Picture() = default;
    virtual ~Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // The file's base name (image3.jpg), UTF-8; never a path.
    virtual const std::string& name() const = 0;
    virtual PictureFormat format() const = 0;
    // How the picture is meant to be shown: a JPEG's EXIF orientation, every other picture as stored.
    virtual Orientation orientation() const { return Orientation::TopLeft; }
    virtual std::uint64_t size() const = 0;
    virtual void read(std::uint64_t offset, void* buffer, std::size_t length) const = 0;

    // What a .ppt stores of the picture (PptForm.h): the picture itself unless whoever took it in
    // gave it another form, once the picture was known to be sound.
    const Picture& pptForm() const { return m_pptForm ? *m_pptForm : *this; }
    void setPptForm(std::unique_ptr<Picture> form) { m_pptForm = std::move(form); }

    // The checksums of the bytes, read once: the first call takes them, a call on another thread
    // meanwhile waits for them. Throws what reading throws; the next call then tries again.
    const Checksums& checksums() const;
    const Digest& digest() const { return checksums().digest; }
    std::uint32_t crc32() const { return checksums().crc32; }
    // Whether checksums() would return at once; never waits for them being taken.
    bool digested() const { return m_digested.load(std::memory_order_acquire); }

private:
    std::unique_ptr<Picture> m_pptForm;
    mutable std::mutex m_digesting;
    mutable std::atomic<bool> m_digested = false;
    mutable Checksums m_checksums{};
};

} // namespace kestrane::presentation
