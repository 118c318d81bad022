#pragma once

#include "engine/Deck.h"
#include "tests/support/PptReader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class QProcess;

namespace kestrane::testing {

// A picture frame as a .ppt must hold it: edges in master units (points x 8, each edge rounded
// the way the writer rounds it), the kind of picture, what the .ppt stores of it (pptBytes) and
// its file's name.
struct ExpectedFrame
{
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;
    presentation::PictureFormat format = presentation::PictureFormat::Jpeg;
    QByteArray bytes;
    QString fileName;
};

// The frames of each slide, slides in show order.
using ExpectedSlides = std::vector<std::vector<ExpectedFrame>>;

QByteArray pictureBytes(const presentation::Picture& picture);
// What a .ppt stores of a picture: a GIF's PNG copy, a BMP without its 14-byte file header, every
// other picture as it is; of a picture or of a file's bytes.
QByteArray pptBytes(const presentation::Picture& picture);
QByteArray pptBytes(presentation::PictureFormat format, const QByteArray& fileBytes);

ExpectedFrame expectedFrame(const presentation::PictureBox& box, presentation::PictureFormat format,
                            const QByteArray& bytes, const QString& fileName);
ExpectedSlides expectedSlides(const presentation::Deck& deck);

// A picture frame as Apache POI read it; anchor in points, SHA-256 in hex, rotation in degrees.
struct PoiPicture
{
    int slide = 0;
    double x = 0, y = 0, width = 0, height = 0;
    QString type;
    qint64 length = 0;
    QByteArray sha256;
    double rotation = 0;
    bool flipH = false;
    bool flipV = false;
};

struct PoiResult
{
    QString error;
    int pageWidth = 0;
    int pageHeight = 0;
    int slides = -1;
    std::vector<PoiPicture> pictures;
    // From the property sets; times in seconds since 1970.
    QString application;
    qint64 created = -1;
    qint64 saved = -1;
    int slideCount = -1;
};

// Apache POI (HSLF) reading every file in one JVM, which takes about a second to start. The JVM
// starts on construction, so it runs while the caller does other work.
class PoiRun
{
public:
    explicit PoiRun(const QStringList& files);
    ~PoiRun();

    // Waits for the JVM and returns what it read, by file name. Throws std::runtime_error when
    // java or POI is missing or the run failed.
    std::map<QString, PoiResult> results();

private:
    std::unique_ptr<QProcess> m_process;
    QString m_failure;
};

// Both compare with QTest's macros: the caller stops when QTest::currentTestFailed().
void verifyPoiRead(const PoiResult& read, const ExpectedSlides& expected, std::chrono::sys_seconds savedAt);
void verifyOwnRead(const PptFile& read, const ExpectedSlides& expected);

} // namespace kestrane::testing
