#include "tests/support/PptFixtures.h"

#include "base/Error.h"

#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <random>

namespace kestrane::testing {

using presentation::PictureFormat;

BytesPicture::BytesPicture(std::string name, PictureFormat format, std::vector<std::uint8_t> bytes,
                           int failAfterReads)
    : m_name(std::move(name)), m_format(format), m_bytes(std::move(bytes)), m_failAfterReads(failAfterReads)
{
}

void BytesPicture::read(std::uint64_t offset, void* buffer, std::size_t length) const
{
    if (m_failAfterReads >= 0 && m_reads++ >= m_failAfterReads)
        throw Error(ErrorCode::PictureChanged, m_name);
    if (offset + length > m_bytes.size())
        throw Error(ErrorCode::PictureCorrupt, m_name + ": read past the end");
    std::memcpy(buffer, m_bytes.data() + offset, length);
}

void SizeOnlyPicture::read(std::uint64_t, void*, std::size_t) const
{
    throw Error(ErrorCode::PictureUnreadable, m_name);
}

namespace {

const char* const convertTool = "/usr/bin/convert";

std::shared_ptr<BytesPicture> make(const QTemporaryDir& dir, const QStringList& arguments,
                                   const QString& file, PictureFormat format, QString& error)
{
    QProcess convert;
    const QString path = dir.filePath(file);
    convert.start(convertTool, arguments + QStringList{path});
    if (!convert.waitForFinished(60000) || convert.exitStatus() != QProcess::NormalExit ||
        convert.exitCode() != 0) {
        error = QStringLiteral("%1 %2 failed (ImageMagick is needed for the picture fixtures): %3")
                    .arg(convertTool, arguments.join(' '),
                         convert.errorString() + convert.readAllStandardError());
        return {};
    }
    QFile made(path);
    if (!made.open(QIODevice::ReadOnly)) {
        error = "cannot read " + path;
        return {};
    }
    const QByteArray bytes = made.readAll();
    return std::make_shared<BytesPicture>(file.toStdString(), format,
                                          std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

} // namespace

PictureFixtures makePictureFixtures(QString& error)
{
    QTemporaryDir dir;
    PictureFixtures fixtures;
    fixtures.rgbJpeg = make(dir, {"-size", "320x240", "gradient:red-blue", "-quality", "85"}, "image1.jpg",
                            PictureFormat::Jpeg, error);
    fixtures.rgbJpeg2 = make(dir, {"-size", "200x300", "plasma:fractal", "-seed", "7", "-quality", "80"},
                             "image2.jpg", PictureFormat::Jpeg, error);
    fixtures.cmykJpeg = make(dir, {"-size", "240x180", "gradient:yellow-green", "-colorspace", "CMYK"},
                             "image3.jpg", PictureFormat::CmykJpeg, error);
    fixtures.png =
        make(dir, {"-size", "160x120", "gradient:white-black"}, "image4.png", PictureFormat::Png, error);
    if (!error.isEmpty())
        return {};
    return fixtures;
}

std::shared_ptr<BytesPicture> noiseJpeg(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < size; i += 4) {
        const std::uint32_t value = random();
        std::memcpy(bytes.data() + i, &value, std::min<std::size_t>(4, size - i));
    }
    const std::uint8_t startOfImage[] = {0xFF, 0xD8, 0xFF, 0xE0};
    std::memcpy(bytes.data(), startOfImage, std::min(size, sizeof startOfImage));
    return std::make_shared<BytesPicture>("noise" + std::to_string(seed) + ".jpg", PictureFormat::Jpeg,
                                          std::move(bytes));
}

} // namespace kestrane::testing
