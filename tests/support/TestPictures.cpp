#include "tests/support/TestPictures.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <random>
#include <stdexcept>

namespace kestrane::testing {

namespace {

// /usr/local/bin/convert may be something else; the Debian package installs this one.
const QString convertProgram = QStringLiteral("/usr/bin/convert");

// Start of image, then a baseline frame header: 8 bits, 30 lines of 40 pixels, three components.
const QByteArray jpegHeader("\xFF\xD8\xFF\xC0\0\x11\x08\0\x1e\0\x28\3\1\x11\0\2\x11\0\3\x11\0", 21);

} // namespace

QByteArray makeTestImage(const QString& path, TestImage kind, int variant)
{
    if (!QFileInfo(convertProgram).isExecutable())
        throw std::runtime_error("/usr/bin/convert (Debian package imagemagick) is not installed");
    QStringList arguments{QStringLiteral("-size"),
                          QStringLiteral("%1x%2").arg(40 + variant).arg(30 + variant % 7),
                          QStringLiteral("gradient:rgb(%1,20,200)-rgb(10,%2,60)")
                              .arg(variant * 37 % 256)
                              .arg(variant * 91 % 256)};
    QString format = QStringLiteral("JPEG:");
    switch (kind) {
    case TestImage::Baseline:
        break;
    case TestImage::Progressive:
        arguments << QStringLiteral("-interlace") << QStringLiteral("Plane");
        break;
    case TestImage::Grey:
        arguments << QStringLiteral("-colorspace") << QStringLiteral("Gray");
        break;
    case TestImage::Cmyk:
        arguments << QStringLiteral("-colorspace") << QStringLiteral("CMYK");
        break;
    case TestImage::Png:
        format = QStringLiteral("PNG:");
        break;
    case TestImage::Gif:
        arguments << QStringLiteral("-alpha") << QStringLiteral("set") << QStringLiteral("-region")
                  << QStringLiteral("6x6+0+0") << QStringLiteral("-alpha") << QStringLiteral("transparent")
                  << QStringLiteral("+region") << QStringLiteral("-interlace")
                  << (variant % 2 ? QStringLiteral("GIF") : QStringLiteral("None"));
        format = QStringLiteral("GIF:");
        break;
    case TestImage::Bmp:
        format = QStringLiteral("BMP3:");
        break;
    case TestImage::Tiff:
        format = QStringLiteral("TIFF:");
        break;
    }
    arguments << format + path;
    QProcess process;
    process.start(convertProgram, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        throw std::runtime_error("convert failed for " + path.toStdString() + ": " +
                                 process.readAllStandardError().toStdString());
    return readFileBytes(path);
}

QByteArray rgbaPixels(const QString& path)
{
    QProcess process;
    process.start(convertProgram,
                  {path, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("RGBA:-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        throw std::runtime_error("convert could not decode " + path.toStdString() + ": " +
                                 process.readAllStandardError().toStdString());
    return process.readAllStandardOutput();
}

QByteArray exifPayload(const QList<ExifEntry>& entries, bool bigEndian)
{
    auto number = [bigEndian](quint64 value, int bytes) {
        QByteArray out(bytes, '\0');
        for (int i = 0; i < bytes; ++i)
            out[bigEndian ? bytes - 1 - i : i] = char(value >> (8 * i));
        return out;
    };
    QByteArray tiff = bigEndian ? QByteArray("MM\0*", 4) : QByteArray("II*\0", 4);
    tiff += number(8, 4) + number(quint64(entries.size()), 2);
    for (const ExifEntry& entry : entries) {
        tiff += number(entry.tag, 2) + number(entry.type, 2) + number(entry.count, 4);
        tiff += entry.type == 3 ? number(entry.value, 2) + QByteArray(2, '\0') : number(entry.value, 4);
    }
    return QByteArray("Exif\0\0", 6) + tiff + number(0, 4);
}

ExifEntry orientationEntry(quint32 value)
{
    return {0x0112, 3, 1, value};
}

QByteArray makeOrientedPhoto(const QString& path, int orientation, bool bigEndian)
{
    // What a camera stores for each orientation: the upright picture turned back the other way.
    static const char* storedBy[] = {"",           "-flop",       "-rotate 180", "-flip",
                                     "-transpose", "-rotate 270", "-transverse", "-rotate 90"};
    const QString upright =
        QStringLiteral("-size 80x60 ( xc:red xc:lime +append ) ( xc:blue xc:black +append ) -append ");
    QProcess process;
    process.start(convertProgram,
                  (upright + storedBy[orientation - 1] + " -quality 95").split(u' ', Qt::SkipEmptyParts)
                      << QStringLiteral("JPEG:") + path);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        throw std::runtime_error("convert failed for " + path.toStdString() + ": " +
                                 process.readAllStandardError().toStdString());
    // The EXIF segment right after the start of image, where cameras put it.
    const QByteArray exif = exifPayload({orientationEntry(quint32(orientation))}, bigEndian);
    const QByteArray stored = readFileBytes(path);
    const QByteArray photo =
        stored.left(2) + "\xFF\xE1" + char(0) + char(exif.size() + 2) + exif + stored.mid(2);
    writeFileBytes(path, photo);
    return photo;
}

presentation::PictureFormat pictureFormat(TestImage kind)
{
    switch (kind) {
    case TestImage::Png:
        return presentation::PictureFormat::Png;
    case TestImage::Cmyk:
        return presentation::PictureFormat::CmykJpeg;
    case TestImage::Gif:
        return presentation::PictureFormat::Gif;
    case TestImage::Bmp:
        return presentation::PictureFormat::Bmp;
    case TestImage::Tiff:
        return presentation::PictureFormat::Tiff;
    default:
        return presentation::PictureFormat::Jpeg;
    }
}

namespace {

QString extensionOf(TestImage kind)
{
    switch (kind) {
    case TestImage::Png:
        return QStringLiteral("png");
    case TestImage::Gif:
        return QStringLiteral("gif");
    case TestImage::Bmp:
        return QStringLiteral("bmp");
    case TestImage::Tiff:
        return QStringLiteral("tiff");
    default:
        return QStringLiteral("jpg");
    }
}

} // namespace

std::shared_ptr<MemoryPicture> testPicture(TestImage kind, int variant)
{
    const QString name = QStringLiteral("image%1.%2").arg(variant).arg(extensionOf(kind));
    QTemporaryDir dir;
    const QByteArray bytes = makeTestImage(dir.filePath(name), kind, variant);
    auto picture =
        std::make_shared<MemoryPicture>(name.toStdString(), pictureFormat(kind), bytes.toStdString());
    picture->makePptForm();
    return picture;
}

QByteArray noise(qsizetype size, std::uint32_t seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random());
    return bytes;
}

QByteArray noiseJpeg(qsizetype size, std::uint32_t seed)
{
    return (jpegHeader + noise(std::max<qsizetype>(0, size - jpegHeader.size()), seed)).left(size);
}

std::shared_ptr<MemoryPicture> noisePicture(qsizetype size, std::uint32_t seed)
{
    return std::make_shared<MemoryPicture>("noise" + std::to_string(seed) + ".jpg",
                                           presentation::PictureFormat::Jpeg,
                                           noiseJpeg(size, seed).toStdString());
}

std::array<std::uint8_t, 16> md4Of(const QByteArray& bytes)
{
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Md4);
    std::array<std::uint8_t, 16> result;
    std::copy(digest.begin(), digest.end(), result.begin());
    return result;
}

QByteArray readFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

void writeFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace kestrane::testing
