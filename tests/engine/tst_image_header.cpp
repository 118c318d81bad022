#include "engine/ImageHeader.h"
#include "tests/support/TestPictures.h"

#include <QTest>
#include <cstring>
#include <zlib.h>

using kestrane::presentation::ImageKind;
using kestrane::presentation::Orientation;
using kestrane::presentation::probeImage;
using kestrane::testing::exifPayload;
using kestrane::testing::orientationEntry;

Q_DECLARE_METATYPE(ImageKind)
Q_DECLARE_METATYPE(Orientation)

namespace {

QByteArray segment(unsigned char marker, const QByteArray& payload)
{
    QByteArray bytes("\xFF");
    bytes.append(char(marker));
    const int length = int(payload.size()) + 2;
    bytes.append(char(length >> 8)).append(char(length & 0xFF));
    return bytes + payload;
}

// A frame header: precision 8, height 30, width 40, the given components.
QByteArray frame(unsigned char marker, int components, int width = 40)
{
    QByteArray payload;
    payload.append(char(8))
        .append(char(0))
        .append(char(30))
        .append(char(width >> 8))
        .append(char(width & 0xFF));
    payload.append(char(components));
    for (int c = 0; c < components; ++c)
        payload.append(char(c + 1)).append(char(0x11)).append(char(0));
    return segment(marker, payload);
}

const QByteArray soi("\xFF\xD8", 2);
const QByteArray app0 = segment(0xE0, QByteArray("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
const QByteArray scan = segment(0xDA, QByteArray(8, '\0')) + QByteArray(64, '\x55');

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (24 - 8 * i));
    return b;
}

QByteArray png(quint32 width, int depth, int colourType, bool goodCrc = true)
{
    QByteArray chunk = "IHDR" + be32(width) + be32(30);
    chunk.append(char(depth)).append(char(colourType)).append(char(0)).append(char(0)).append(char(0));
    quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size())));
    if (!goodCrc)
        crc ^= 1;
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + be32(13) + chunk + be32(crc) + QByteArray(40, '\x11');
}

QByteArray le16(int v)
{
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}

QByteArray le32(qint64 v)
{
    return le16(int(v & 0xFFFF)) + le16(int((v >> 16) & 0xFFFF));
}

// Signature and logical screen of `width` x `height`, then an image's worth of bytes.
QByteArray gif(const char* version, int width, int height = 30)
{
    return QByteArray(version) + le16(width) + le16(height) + QByteArray("\xF7\0\0", 3) +
           QByteArray(40, '\x22');
}

// File header, then a bitmap header of `headerSize` bytes (12: the old core header) for 40 x
// `height` pixels, then the pixels.
QByteArray bmp(int headerSize, int bits, qint64 height = 30, int pixelOffset = -1)
{
    QByteArray header = le32(headerSize);
    if (headerSize == 12)
        header += le16(40) + le16(int(height)) + le16(1) + le16(bits);
    else
        header += le32(40) + le32(height) + le16(1) + le16(bits) + QByteArray(headerSize - 16, '\0');
    const int offset = pixelOffset >= 0 ? pixelOffset : 14 + headerSize;
    const QByteArray pixels(200, '3');
    return "BM" + le32(14 + header.size() + pixels.size()) + le32(0) + le32(offset) + header + pixels;
}

// Header, then the first directory at `directory` with `entries` entries, little-endian.
QByteArray tiff(quint32 directory, int entries)
{
    QByteArray bytes = QByteArray("II*\0", 4) + le32(directory);
    bytes += QByteArray(int(directory) > bytes.size() ? int(directory) - bytes.size() : 0, '\0');
    return bytes + le16(entries) + QByteArray(12 * entries, '\1') + le32(0);
}

kestrane::presentation::ProbedImage probeAll(const QByteArray& bytes)
{
    const auto read = [&bytes](std::uint64_t offset, unsigned char* buffer,
                               std::size_t length) -> std::size_t {
        if (offset >= std::uint64_t(bytes.size()))
            return 0;
        const std::size_t n = std::min<std::size_t>(length, std::size_t(bytes.size()) - std::size_t(offset));
        std::memcpy(buffer, bytes.constData() + offset, n);
        return n;
    };
    return probeImage(read, std::uint64_t(bytes.size()));
}

ImageKind probe(const QByteArray& bytes)
{
    return probeAll(bytes).kind;
}

} // namespace

class TestImageHeader : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ImageKind>("kind");

        // JPEG frames of every kind the engine accepts
        QTest::newRow("baseline") << soi + app0 + frame(0xC0, 3) + scan << ImageKind::Jpeg;
        QTest::newRow("extended") << soi + frame(0xC1, 3) + scan << ImageKind::Jpeg;
        QTest::newRow("progressive") << soi + app0 + frame(0xC2, 3) + scan << ImageKind::Jpeg;
        QTest::newRow("greyscale") << soi + frame(0xC0, 1) + scan << ImageKind::Jpeg;
        QTest::newRow("cmyk") << soi + app0 + segment(0xEE, "Adobe\0\144\0\0\0\0\2") + frame(0xC0, 4) + scan
                              << ImageKind::CmykJpeg;
        QTest::newRow("tables before frame") << soi + segment(0xDB, QByteArray(65, '\1')) +
                                                    segment(0xC4, QByteArray(20, '\0')) + frame(0xC0, 3)
                                             << ImageKind::Jpeg;
        QTest::newRow("fill bytes") << soi + QByteArray(5, '\xFF') + frame(0xC0, 3).mid(1) << ImageKind::Jpeg;
        QTest::newRow("large metadata") << soi + segment(0xE1, QByteArray(65000, 'x')) +
                                               segment(0xE2, QByteArray(65000, 'y')) + frame(0xC2, 3)
                                        << ImageKind::Jpeg;

        // PNG
        QTest::newRow("png rgb") << png(40, 8, 2) << ImageKind::Png;
        QTest::newRow("png palette") << png(40, 4, 3) << ImageKind::Png;
        QTest::newRow("png grey 16") << png(40, 16, 0) << ImageKind::Png;

        // GIF, BMP and TIFF
        QTest::newRow("gif 89a") << gif("GIF89a", 40) << ImageKind::Gif;
        QTest::newRow("gif 87a") << gif("GIF87a", 40) << ImageKind::Gif;
        QTest::newRow("bmp info header") << bmp(40, 24) << ImageKind::Bmp;
        QTest::newRow("bmp core header") << bmp(12, 8) << ImageKind::Bmp;
        QTest::newRow("bmp v5 header, top-down") << bmp(124, 32, -30) << ImageKind::Bmp;
        QTest::newRow("tiff little-endian") << tiff(8, 3) << ImageKind::Tiff;
        QTest::newRow("tiff big-endian")
            << QByteArray("MM\0*\0\0\0\x08\0\1", 10) + QByteArray(16, '\1') << ImageKind::Tiff;
        QTest::newRow("tiff directory after the image") << tiff(500, 1) << ImageKind::Tiff;

        // nothing at all
        QTest::newRow("empty") << QByteArray() << ImageKind::Empty;

        // other formats and text
        QTest::newRow("webp") << QByteArray("RIFF\x24\0\0\0WEBPVP8 \x18\0\0\0", 20) + QByteArray(24, 'w')
                              << ImageKind::NotAnImage;
        QTest::newRow("heic") << QByteArray("\0\0\0\x18"
                                            "ftypheic\0\0\0\0mif1heic",
                                            24) +
                                     QByteArray(40, 'h')
                              << ImageKind::NotAnImage;
        QTest::newRow("text") << QByteArray("this is not a picture\n") << ImageKind::NotAnImage;
        QTest::newRow("gif of another version") << gif("GIF88a", 40) << ImageKind::NotAnImage;
        QTest::newRow("text starting BM")
            << QByteArray("BMW owners' club, minutes of the meeting\n") << ImageKind::NotAnImage;
        QTest::newRow("big tiff") << QByteArray("II+\0\x08\0\0\0", 8) + QByteArray(40, '\0')
                                  << ImageKind::NotAnImage;
        QTest::newRow("jpeg marker not at start") << QByteArray(" \xFF\xD8\xFF", 4) << ImageKind::NotAnImage;
        QTest::newRow("png signature broken late")
            << QByteArray("\x89PNG\r\n\x1A\x0B", 8) + QByteArray(30, 'a') << ImageKind::NotAnImage;

        // damaged JPEG
        QTest::newRow("one byte of a jpeg") << QByteArray("\xFF", 1) << ImageKind::Damaged;
        QTest::newRow("start only") << soi << ImageKind::Damaged;
        QTest::newRow("scan before frame") << soi + app0 + scan << ImageKind::Damaged;
        QTest::newRow("end before frame") << soi + QByteArray("\xFF\xD9", 2) << ImageKind::Damaged;
        QTest::newRow("second start") << soi + soi + frame(0xC0, 3) << ImageKind::Damaged;
        QTest::newRow("garbage after start") << soi + QByteArray("abcdefgh") << ImageKind::Damaged;
        QTest::newRow("segment length below 2")
            << soi + QByteArray("\xFF\xE0\0\1", 4) + frame(0xC0, 3) << ImageKind::Damaged;
        QTest::newRow("segment past end")
            << soi + QByteArray("\xFF\xE0\x7F\xFF", 4) + QByteArray(100, 'x') << ImageKind::Damaged;
        QTest::newRow("two components") << soi + frame(0xC0, 2) << ImageKind::Damaged;
        QTest::newRow("zero components") << soi + frame(0xC0, 0) << ImageKind::Damaged;
        QTest::newRow("zero width") << soi + frame(0xC0, 3, 0) << ImageKind::Damaged;
        QTest::newRow("frame length wrong")
            << soi + segment(0xC0, QByteArray("\x08\0\x1e\0\x28\3", 6)) << ImageKind::Damaged;
        QTest::newRow("endless fill") << soi + QByteArray(1000, '\xFF') << ImageKind::Damaged;
        QTest::newRow("many tiny segments")
            << soi + QByteArray(5000, 'x').replace("x", "\xFF\xFE\0\2") + frame(0xC0, 3)
            << ImageKind::Damaged;

        // damaged PNG
        QTest::newRow("png signature only") << QByteArray("\x89PNG\r\n\x1A\n", 8) << ImageKind::Damaged;
        QTest::newRow("png prefix") << QByteArray("\x89PN", 3) << ImageKind::Damaged;
        QTest::newRow("png bad crc") << png(40, 8, 2, false) << ImageKind::Damaged;
        QTest::newRow("png zero width") << png(0, 8, 2) << ImageKind::Damaged;
        QTest::newRow("png huge width") << png(0x80000000u, 8, 2) << ImageKind::Damaged;
        QTest::newRow("png bad depth") << png(40, 3, 2) << ImageKind::Damaged;
        QTest::newRow("png bad colour type") << png(40, 8, 5) << ImageKind::Damaged;
        QTest::newRow("png first chunk not IHDR")
            << png(40, 8, 2).replace("IHDR", "IDAT") << ImageKind::Damaged;

        // damaged GIF, BMP and TIFF
        QTest::newRow("gif prefix") << QByteArray("GIF8") << ImageKind::Damaged;
        QTest::newRow("gif zero width") << gif("GIF89a", 0) << ImageKind::Damaged;
        QTest::newRow("gif zero height") << gif("GIF89a", 40, 0) << ImageKind::Damaged;
        QTest::newRow("bmp file header only") << bmp(40, 24).left(14) << ImageKind::Damaged;
        QTest::newRow("bmp zero height") << bmp(40, 24, 0) << ImageKind::Damaged;
        QTest::newRow("bmp bad depth") << bmp(40, 7) << ImageKind::Damaged;
        QTest::newRow("bmp pixels inside the header") << bmp(40, 24, 30, 20) << ImageKind::Damaged;
        QTest::newRow("bmp pixels past the end") << bmp(40, 24, 30, 5000) << ImageKind::Damaged;
        QTest::newRow("tiff directory inside the header") << tiff(4, 1) << ImageKind::Damaged;
        QTest::newRow("tiff directory past the end") << tiff(8, 3).left(30) << ImageKind::Damaged;
        QTest::newRow("tiff empty directory") << tiff(8, 0) << ImageKind::Damaged;
    }

    void kinds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ImageKind, kind);
        QCOMPARE(probe(bytes), kind);
    }

    // A JPEG's EXIF orientation, whatever stands around it; a missing or damaged one is upright and
    // never makes the picture damaged. A TIFF keeps its pixels as stored.
    void orientations_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Orientation>("orientation");
        auto exif = [](const QList<kestrane::testing::ExifEntry>& entries, bool bigEndian = false) {
            return segment(0xE1, exifPayload(entries, bigEndian));
        };
        const QByteArray body = frame(0xC0, 3) + scan;
        const kestrane::testing::ExifEntry make{0x010F, 2, 6, 0x20}, resolution{0x011A, 5, 1, 0x40};
        const QByteArray xmp = segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 42));
        QTest::newRow("little-endian") << soi + exif({orientationEntry(6)}) + body << Orientation::RightTop;
        QTest::newRow("big-endian, among other tags")
            << soi + exif({make, orientationEntry(8), resolution}, true) + body << Orientation::LeftBottom;
        QTest::newRow("after other application segments")
            << soi + app0 + xmp + exif({orientationEntry(3)}) + body << Orientation::BottomRight;
        QTest::newRow("cmyk") << soi + exif({orientationEntry(7)}) + frame(0xC0, 4) + scan
                              << Orientation::RightBottom;
        QTest::newRow("the first exif segment counts")
            << soi + exif({orientationEntry(2)}) + exif({orientationEntry(4)}) + body
            << Orientation::TopRight;
        QTest::newRow("tag absent") << soi + exif({make, resolution}) + body << Orientation::TopLeft;
        QTest::newRow("value 0") << soi + exif({orientationEntry(0)}) + body << Orientation::TopLeft;
        QTest::newRow("value 9") << soi + exif({orientationEntry(9)}, true) + body << Orientation::TopLeft;
        QTest::newRow("segment truncated")
            << soi + segment(0xE1, exifPayload({make, orientationEntry(6)}).left(30)) + body
            << Orientation::TopLeft;
        QTest::newRow("directory past the segment")
            << soi + segment(0xE1, exifPayload({orientationEntry(6)}).replace(10, 1, "\xFF")) + body
            << Orientation::TopLeft;
        QTest::newRow("tiff with its own tag")
            << exifPayload({orientationEntry(6)}).mid(6) << Orientation::TopLeft;
    }

    void orientations()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Orientation, orientation);
        const auto [kind, found] = probeAll(bytes);
        QVERIFY(kind != ImageKind::Damaged && kind != ImageKind::NotAnImage);
        QCOMPARE(found, orientation);
    }

    // Every cut through a valid header leaves a damaged file, never a crash or a false accept.
    void truncatedHeaders_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("jpeg") << soi + app0 + frame(0xC0, 3);
        QTest::newRow("jpeg with exif")
            << soi + segment(0xE1, exifPayload({orientationEntry(6)})) + frame(0xC0, 3);
        QTest::newRow("png") << png(40, 8, 2).left(33);
        QTest::newRow("gif") << gif("GIF89a", 40).left(13);
        QTest::newRow("bmp") << bmp(40, 24).left(54);
        QTest::newRow("tiff") << tiff(8, 1);
    }

    void truncatedHeaders()
    {
        QFETCH(QByteArray, header);
        for (qsizetype length = 1; length < header.size(); ++length)
            QVERIFY2(probe(header.left(length)) == ImageKind::Damaged, qPrintable(QString::number(length)));
        QVERIFY(probe(header) != ImageKind::Damaged);
    }
};

QTEST_APPLESS_MAIN(TestImageHeader)
#include "tst_image_header.moc"
