#pragma once

#include "engine/Picture.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrane::testing {

// A picture held in memory. `failAfterReads` makes the n+1-th read throw PictureChanged, as a
// file edited during the save would.
class BytesPicture : public presentation::Picture
{
public:
    BytesPicture(std::string name, presentation::PictureFormat format, std::vector<std::uint8_t> bytes,
                 int failAfterReads = -1);

    const std::string& name() const override { return m_name; }
    presentation::PictureFormat format() const override { return m_format; }
    std::uint64_t size() const override { return m_bytes.size(); }
    void read(std::uint64_t offset, void* buffer, std::size_t length) const override;

    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::string m_name;
    presentation::PictureFormat m_format;
    std::vector<std::uint8_t> m_bytes;
    int m_failAfterReads;
    mutable int m_reads = 0;
};

// Claims a size without holding the bytes: enough for the limit checks, which never read.
class SizeOnlyPicture : public presentation::Picture
{
public:
    explicit SizeOnlyPicture(std::uint64_t size) : m_size(size) {}

    const std::string& name() const override { return m_name; }
    presentation::PictureFormat format() const override { return presentation::PictureFormat::Jpeg; }
    std::uint64_t size() const override { return m_size; }
    void read(std::uint64_t, void*, std::size_t) const override;

private:
    std::string m_name = "huge.jpg";
    std::uint64_t m_size;
};

// Real, decodable pictures made once per run with ImageMagick (fails the test when it is missing).
struct PictureFixtures
{
    std::shared_ptr<BytesPicture> rgbJpeg;
    std::shared_ptr<BytesPicture> rgbJpeg2;
    std::shared_ptr<BytesPicture> cmykJpeg;
    std::shared_ptr<BytesPicture> png;
};

// Empty and `error` set when a picture could not be made.
PictureFixtures makePictureFixtures(QString& error);

// `size` bytes of noise behind a JPEG start-of-image marker: stored byte for byte, never decoded.
std::shared_ptr<BytesPicture> noiseJpeg(std::size_t size, std::uint32_t seed);

} // namespace kestrane::testing
