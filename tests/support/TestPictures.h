#pragma once

#include "engine/Picture.h"
#include "tests/support/MemoryPicture.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

namespace kestrane::testing {

enum class TestImage
{
    Baseline,
    Progressive,
    Grey,
    Cmyk,
    Png,
    // With a transparent corner; interlaced for odd variants.
    Gif,
    Bmp,
    Tiff,
};

// Makes a small picture of the given kind at `path` with ImageMagick (whatever the path's
// extension) and returns its bytes; different `variant`s give different pixels. Throws
// std::runtime_error when ImageMagick is missing or fails.
QByteArray makeTestImage(const QString& path, TestImage kind, int variant);

// The pixels of the image at `path` ("file.gif[0]" for a GIF's first frame) as 8-bit RGBA, by
// ImageMagick. Throws std::runtime_error when it fails.
QByteArray rgbaPixels(const QString& path);

// One entry of a TIFF directory; a SHORT value stands in the value field's first two bytes.
struct ExifEntry
{
    quint16 tag = 0;
    quint16 type = 3; // SHORT
    quint32 count = 1;
    quint32 value = 0;
};

// The payload of an EXIF segment (APP1): "Exif", two NULs, a TIFF header in the byte order asked
// for and a first directory holding `entries`, as cameras write it.
QByteArray exifPayload(const QList<ExifEntry>& entries, bool bigEndian = false);

// The orientation tag with `value` (1 to 8 as EXIF defines them).
ExifEntry orientationEntry(quint32 value);

// A JPEG that shows, once turned by an orientation-aware viewer, the same upright picture for
// every `orientation` from 1 to 8: 160 x 120 pixels in four quarters, red, green, blue and black
// from the top left in reading order. The pixels are stored as a camera would store them for that
// orientation, with the tag in an EXIF segment in the byte order asked for. Written to `path`;
// returns the bytes.
QByteArray makeOrientedPhoto(const QString& path, int orientation, bool bigEndian);

// What the engine makes of each kind: CMYK JPEGs get a blip of their own.
presentation::PictureFormat pictureFormat(TestImage kind);

// The same picture held in memory, named image<variant> with its kind's extension (.jpg for every
// JPEG); a GIF with its PNG copy.
std::shared_ptr<MemoryPicture> testPicture(TestImage kind, int variant);

// Bytes that look like compressed image data: repeated bytes would make searches for a picture
// in a saved file slow.
QByteArray noise(qsizetype size, std::uint32_t seed);

// `size` bytes: a JPEG header the engine reads (40 x 30 pixels), then noise. Never decoded, so
// fast to make at any size; different seeds give different bytes.
QByteArray noiseJpeg(qsizetype size, std::uint32_t seed);

// The same in memory, named noise<seed>.jpg.
std::shared_ptr<MemoryPicture> noisePicture(qsizetype size, std::uint32_t seed);

// The MD4 digest the .ppt identifies a picture by.
std::array<std::uint8_t, 16> md4Of(const QByteArray& bytes);

QByteArray readFileBytes(const QString& path);
void writeFileBytes(const QString& path, const QByteArray& bytes);

} // namespace kestrane::testing
