#include "tests/support/PptReadBack.h"

#include "tests/support/MemoryPicture.h"
#include "tests/support/TestPictures.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <stdexcept>

namespace kestrane::testing {

using presentation::PictureFormat;

namespace {

const QString poiScratchpad = QStringLiteral("/usr/share/java/poi-scratchpad.jar");
// POI's property-set reader needs commons-collections4, which the POI package brings.
const QString poiClassPath =
    QStringLiteral("/usr/share/java/poi.jar:/usr/share/java/commons-collections4.jar:") + poiScratchpad;

QByteArray frameLabel(std::size_t slide, std::size_t frame)
{
    return "slide " + QByteArray::number(qulonglong(slide + 1)) + " frame " +
           QByteArray::number(qulonglong(frame + 1));
}

std::map<QString, PoiResult> parsePoiOutput(const QByteArray& output)
{
    std::map<QString, PoiResult> results;
    PoiResult* current = nullptr;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words[0] == "file") {
            current = &results[QString::fromUtf8(line.mid(5))];
        } else if (!current) {
            continue;
        } else if (words[0] == "error") {
            current->error = QString::fromUtf8(line);
        } else if (words[0] == "page" && words.size() == 3) {
            current->pageWidth = words[1].toInt();
            current->pageHeight = words[2].toInt();
        } else if (words[0] == "slides" && words.size() == 2) {
            current->slides = words[1].toInt();
        } else if (words[0] == "picture" && words.size() == 12) {
            current->pictures.push_back({words[1].toInt(), words[2].toDouble(), words[3].toDouble(),
                                         words[4].toDouble(), words[5].toDouble(),
                                         QString::fromUtf8(words[6]), words[7].toLongLong(), words[8],
                                         words[9].toDouble(), words[10] == "true", words[11] == "true"});
        } else if (words[0] == "properties" && words.size() == 5) {
            current->application = QString::fromUtf8(words[1]);
            current->created = words[2].toLongLong();
            current->saved = words[3].toLongLong();
            current->slideCount = words[4].toInt();
        }
    }
    return results;
}

// The blip type a picture entry gives for each kind of picture.
std::uint8_t blipTypeFor(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return 5;
    case PictureFormat::CmykJpeg:
        return 0x12;
    case PictureFormat::Png:
    case PictureFormat::Gif:
        return 6;
    case PictureFormat::Bmp:
        return 7;
    case PictureFormat::Tiff:
        return 0x11;
    }
    return 0;
}

// The picture type POI names for what the .ppt stores.
QString poiTypeFor(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png:
    case PictureFormat::Gif:
        return QStringLiteral("PNG");
    case PictureFormat::Bmp:
        return QStringLiteral("DIB");
    case PictureFormat::Tiff:
        return QStringLiteral("none");
    default:
        return QStringLiteral("JPEG");
    }
}

} // namespace

QByteArray pictureBytes(const presentation::Picture& picture)
{
    QByteArray bytes(static_cast<qsizetype>(picture.size()), Qt::Uninitialized);
    picture.read(0, bytes.data(), static_cast<std::size_t>(bytes.size()));
    return bytes;
}

QByteArray pptBytes(const presentation::Picture& picture)
{
    switch (picture.format()) {
    case PictureFormat::Gif:
        return pictureBytes(picture.pptForm());
    case PictureFormat::Bmp:
        return pictureBytes(picture).mid(14);
    default:
        return pictureBytes(picture);
    }
}

QByteArray pptBytes(PictureFormat format, const QByteArray& fileBytes)
{
    MemoryPicture picture("picture", format, fileBytes.toStdString());
    picture.makePptForm();
    return pptBytes(picture);
}

ExpectedFrame expectedFrame(const presentation::PictureBox& box, PictureFormat format,
                            const QByteArray& bytes, const QString& fileName)
{
    using presentation::toUnits;
    return {toUnits(box.left, 8),
            toUnits(box.top, 8),
            toUnits(box.left + box.width, 8),
            toUnits(box.top + box.height, 8),
            format,
            bytes,
            fileName};
}

ExpectedSlides expectedSlides(const presentation::Deck& deck)
{
    // Read each picture once; the copies share its bytes.
    std::map<const presentation::Picture*, QByteArray> bytes;
    ExpectedSlides slides;
    for (const presentation::SlideContent& content : deck.slides) {
        std::vector<ExpectedFrame>& frames = slides.emplace_back();
        for (const presentation::PlacedPicture& placed : content.pictures) {
            auto [found, added] = bytes.try_emplace(placed.picture.get());
            if (added)
                found->second = pptBytes(*placed.picture);
            frames.push_back(expectedFrame(placed.box, placed.picture->format(), found->second,
                                           QString::fromStdString(placed.picture->name())));
        }
    }
    return slides;
}

PoiRun::PoiRun(const QStringList& files) : m_process(std::make_unique<QProcess>())
{
    const QString java = QStandardPaths::findExecutable(QStringLiteral("java"));
    if (java.isEmpty() || !QFileInfo::exists(poiScratchpad)) {
        m_failure = QStringLiteral(
            "java and Apache POI are needed (Debian packages openjdk-17-jdk-headless, libapache-poi-java)");
        return;
    }
    const QString classes = QStringLiteral(KESTRANE_CHECKPPT_CLASSES);
    const QStringList checker =
        QFileInfo::exists(classes + QStringLiteral("/CheckPpt.class"))
            ? QStringList{QStringLiteral("-cp"), poiClassPath + u':' + classes, QStringLiteral("CheckPpt")}
            : QStringList{QStringLiteral("-cp"), poiClassPath, QStringLiteral(KESTRANE_CHECKPPT_JAVA)};
    m_process->start(java, checker + files);
}

PoiRun::~PoiRun()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished();
    }
}

std::map<QString, PoiResult> PoiRun::results()
{
    if (m_failure.isEmpty() &&
        (!m_process->waitForFinished(600000) || m_process->exitStatus() != QProcess::NormalExit ||
         m_process->exitCode() != 0))
        m_failure = QStringLiteral("CheckPpt.java failed: ") + m_process->errorString() + u' ' +
                    QString::fromUtf8(m_process->readAllStandardError());
    if (!m_failure.isEmpty())
        throw std::runtime_error(m_failure.toStdString());
    return parsePoiOutput(m_process->readAllStandardOutput());
}

void verifyPoiRead(const PoiResult& read, const ExpectedSlides& expected, std::chrono::sys_seconds savedAt)
{
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(read.pageWidth, 720);
    QCOMPARE(read.pageHeight, 540);
    QCOMPARE(read.slides, int(expected.size()));
    QCOMPARE(read.application, QStringLiteral("Kestrane"));
    QCOMPARE(read.created, qint64(savedAt.time_since_epoch().count()));
    QCOMPARE(read.saved, read.created);
    QCOMPARE(read.slideCount, read.slides);
    std::size_t next = 0;
    for (std::size_t s = 0; s < expected.size(); ++s) {
        for (std::size_t f = 0; f < expected[s].size(); ++f) {
            const ExpectedFrame& frame = expected[s][f];
            QVERIFY2(next < read.pictures.size(), frameLabel(s, f));
            const PoiPicture& picture = read.pictures[next++];
            QCOMPARE(picture.slide, int(s + 1));
            // POI gives master units / 8, which a double holds exactly.
            const double anchor[] = {picture.x * 8, picture.y * 8, (picture.x + picture.width) * 8,
                                     (picture.y + picture.height) * 8};
            const std::int64_t edges[] = {frame.left, frame.top, frame.right, frame.bottom};
            for (int k = 0; k < 4; ++k)
                QVERIFY2(anchor[k] == double(edges[k]), frameLabel(s, f) + " edge " + QByteArray::number(k) +
                                                            ": " + QByteArray::number(anchor[k]) +
                                                            " master units, expected " +
                                                            QByteArray::number(edges[k]));
            QCOMPARE(picture.type, poiTypeFor(frame.format));
            // POI 4.0.1 reads no TIFF blip: it shows the frame without its picture.
            const QByteArray bytes = frame.format == PictureFormat::Tiff ? QByteArray() : frame.bytes;
            QCOMPARE(picture.length, qint64(bytes.size()));
            QVERIFY2(picture.sha256 == QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
                     frameLabel(s, f));
        }
    }
    QCOMPARE(next, read.pictures.size());
}

void verifyOwnRead(const PptFile& read, const ExpectedSlides& expected)
{
    QVERIFY2(read.problems.empty(), read.problemText().c_str());
    QCOMPARE(read.slideWidth, 5760);
    QCOMPARE(read.slideHeight, 4320);
    QCOMPARE(read.slides.size(), expected.size());
    for (std::size_t s = 0; s < expected.size(); ++s) {
        const std::vector<PptFrame>& frames = read.slides[s].frames;
        QCOMPARE(frames.size(), expected[s].size());
        for (std::size_t f = 0; f < frames.size(); ++f) {
            const PptFrame& frame = frames[f];
            const ExpectedFrame& want = expected[s][f];
            QCOMPARE(std::int64_t(frame.left), want.left);
            QCOMPARE(std::int64_t(frame.top), want.top);
            QCOMPARE(std::int64_t(frame.right), want.right);
            QCOMPARE(std::int64_t(frame.bottom), want.bottom);
            QCOMPARE(QString::fromStdU16String(frame.name), QStringLiteral("Picture %1").arg(f + 1));
            QCOMPARE(QString::fromStdU16String(frame.description), want.fileName);
            const PptPictureEntry& entry = read.pictures.at(frame.pictureIndex - 1);
            QCOMPARE(entry.blipType, blipTypeFor(want.format));
            const auto* source = reinterpret_cast<const std::uint8_t*>(want.bytes.constData());
            QVERIFY2(std::equal(entry.bytes.begin(), entry.bytes.end(), source, source + want.bytes.size()),
                     frameLabel(s, f));
            // Taken on other threads during the save, for some pictures after their header was written.
            QCOMPARE(entry.uid, md4Of(want.bytes));
        }
    }
}

} // namespace kestrane::testing
