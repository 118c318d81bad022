#include "tests/support/LibreOfficeReader.h"

#include "tests/support/ZipReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <stdexcept>

namespace kestrane::testing {

namespace {

const QString drawNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0");
const QString svgNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");
const QString xlinkNs = QStringLiteral("http://www.w3.org/1999/xlink");
const QString presentationNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:presentation:1.0");

double toCentimetres(QStringView length)
{
    static const std::pair<const char*, double> units[] = {
        {"cm", 1.0}, {"mm", 0.1}, {"in", 2.54}, {"pt", 2.54 / 72}};
    for (const auto& [suffix, factor] : units) {
        if (length.endsWith(QLatin1String(suffix))) {
            bool ok = false;
            const double value = length.chopped(2).toDouble(&ok);
            if (ok)
                return value * factor;
        }
    }
    throw std::runtime_error("unexpected length in content.xml: " + length.toString().toStdString());
}

// The pages and picture frames of an ODP's content.xml.
OdpDocument parseOdp(const QString& odpPath)
{
    const auto members = readZipFile(odpPath);
    const auto content = members.find(QStringLiteral("content.xml"));
    if (content == members.end())
        throw std::runtime_error("no content.xml in " + odpPath.toStdString());
    OdpDocument document;
    QXmlStreamReader xml(content->second.data);
    bool inFrame = false;
    OdpFrame frame;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.namespaceUri() == drawNs && xml.name() == u"frame") {
            inFrame = false;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        if (xml.namespaceUri() == presentationNs && xml.name() == u"notes") {
            xml.skipCurrentElement();
        } else if (xml.namespaceUri() == drawNs && xml.name() == u"page") {
            document.pages.emplace_back();
        } else if (xml.namespaceUri() == drawNs && xml.name() == u"frame" && !document.pages.empty()) {
            const auto attributes = xml.attributes();
            frame = OdpFrame{toCentimetres(attributes.value(svgNs, QStringLiteral("x"))),
                             toCentimetres(attributes.value(svgNs, QStringLiteral("y"))),
                             toCentimetres(attributes.value(svgNs, QStringLiteral("width"))),
                             toCentimetres(attributes.value(svgNs, QStringLiteral("height"))),
                             {}};
            inFrame = true;
        } else if (inFrame && xml.namespaceUri() == drawNs && xml.name() == u"image") {
            const QString href = xml.attributes().value(xlinkNs, QStringLiteral("href")).toString();
            const auto member = members.find(href);
            if (member == members.end())
                throw std::runtime_error("picture member missing: " + href.toStdString());
            frame.image = member->second.data;
            document.pages.back().frames.push_back(frame);
        }
    }
    if (xml.hasError())
        throw std::runtime_error("content.xml is not well-formed: " + xml.errorString().toStdString());
    return document;
}

// Converts every file in one headless run, with a private profile (a profile in use by another
// instance hands the job over and converts nothing), into `outDir`; returns each result's path,
// files in order.
QStringList convertWithLibreOffice(const QStringList& files, const QString& format, const QString& outDir)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        throw std::runtime_error("soffice (Debian package libreoffice-impress) is not installed");
    QSet<QString> stems;
    for (const QString& file : files) {
        if (stems.contains(QFileInfo(file).completeBaseName()))
            throw std::runtime_error("two files would convert to the same name: " + file.toStdString());
        stems.insert(QFileInfo(file).completeBaseName());
    }
    QStringList arguments{QStringLiteral("-env:UserInstallation=file://") + outDir +
                              QStringLiteral("/profile"),
                          QStringLiteral("--headless"),
                          QStringLiteral("--convert-to"),
                          format,
                          QStringLiteral("--outdir"),
                          outDir};
    for (const QString& file : files)
        arguments << QFileInfo(file).absoluteFilePath();
    QProcess process;
    process.start(soffice, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit)
        throw std::runtime_error("soffice did not finish");
    QStringList converted;
    for (const QString& file : files) {
        converted << QDir(outDir).filePath(QFileInfo(file).completeBaseName() + u'.' + format);
        if (!QFileInfo::exists(converted.back()))
            throw std::runtime_error("LibreOffice did not convert " + file.toStdString() + ": " +
                                     process.readAllStandardError().toStdString());
    }
    return converted;
}

// A binary PPM as pdftoppm writes it: "P6", width, height, 255, then RGB rows.
RenderedPage readPpm(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    const QByteArray bytes = file.readAll();
    const QList<QByteArray> header = bytes.left(32).simplified().split(' ');
    RenderedPage page;
    if (header.size() >= 4 && header[0] == "P6") {
        page.width = header[1].toInt();
        page.height = header[2].toInt();
        page.rgb = bytes.right(qsizetype(page.width) * page.height * 3);
    }
    if (page.width <= 0 || page.height <= 0 || page.rgb.size() != qsizetype(page.width) * page.height * 3)
        throw std::runtime_error("not a PPM pdftoppm writes: " + path.toStdString());
    return page;
}

} // namespace

std::vector<OdpDocument> readWithLibreOffice(const QStringList& files)
{
    QTemporaryDir work;
    std::vector<OdpDocument> documents;
    for (const QString& odp : convertWithLibreOffice(files, QStringLiteral("odp"), work.path()))
        documents.push_back(parseOdp(odp));
    return documents;
}

std::array<int, 3> RenderedPage::pixel(int x, int y) const
{
    const qsizetype at = (qsizetype(y) * width + x) * 3;
    return {quint8(rgb[at]), quint8(rgb[at + 1]), quint8(rgb[at + 2])};
}

std::vector<std::vector<RenderedPage>> renderWithLibreOffice(const QStringList& files)
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        throw std::runtime_error("pdftoppm (Debian package poppler-utils) is not installed");
    QTemporaryDir work;
    std::vector<std::vector<RenderedPage>> rendered;
    for (const QString& pdf : convertWithLibreOffice(files, QStringLiteral("pdf"), work.path())) {
        const QString prefix = pdf.chopped(4);
        QProcess process;
        process.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("72"), pdf, prefix});
        if (!process.waitForFinished(120000) || process.exitCode() != 0)
            throw std::runtime_error("pdftoppm failed on " + pdf.toStdString() + ": " +
                                     process.readAllStandardError().toStdString());
        // Pages come as prefix-1.ppm or prefix-01.ppm, by page number with as many digits as the last.
        const QFileInfo info(prefix);
        const QStringList pages =
            QDir(info.path())
                .entryList({info.fileName() + QStringLiteral("-*.ppm")}, QDir::Files, QDir::Name);
        std::vector<RenderedPage>& document = rendered.emplace_back();
        for (const QString& page : pages)
            document.push_back(readPpm(QDir(info.path()).filePath(page)));
    }
    return rendered;
}

void verifyLibreOfficeRead(const OdpDocument& read, const std::vector<std::vector<ExpectedPicture>>& slides,
                           double toleranceCm, bool appendedBytes)
{
    if (slides.empty()) {
        QCOMPARE(read.pages.size(), std::size_t(1));
        QCOMPARE(read.pages.front().frames.size(), std::size_t(0));
        return;
    }
    QCOMPARE(read.pages.size(), slides.size());
    constexpr double cmPerPoint = 2.54 / 72;
    for (std::size_t s = 0; s < slides.size(); ++s) {
        const std::vector<OdpFrame>& frames = read.pages[s].frames;
        QCOMPARE(frames.size(), slides[s].size());
        for (std::size_t f = 0; f < frames.size(); ++f) {
            const OdpFrame& frame = frames[f];
            const ExpectedPicture& want = slides[s][f];
            const double found[] = {frame.x, frame.y, frame.width, frame.height};
            const double wanted[] = {want.left, want.top, want.width, want.height};
            const QString where = QStringLiteral("slide %1 frame %2").arg(s + 1).arg(f + 1);
            for (int k = 0; k < 4; ++k)
                QVERIFY2(qAbs(found[k] - wanted[k] * cmPerPoint) <= toleranceCm,
                         qPrintable(QStringLiteral("%1: %2, %3, %4 x %5 cm, expected %6, %7, %8 x %9 pt")
                                        .arg(where)
                                        .arg(frame.x)
                                        .arg(frame.y)
                                        .arg(frame.width)
                                        .arg(frame.height)
                                        .arg(want.left)
                                        .arg(want.top)
                                        .arg(want.width)
                                        .arg(want.height)));
            QVERIFY2(want.bytes.isEmpty() ||
                         (appendedBytes ? frame.image.startsWith(want.bytes) : frame.image == want.bytes),
                     qPrintable(where));
        }
    }
}

} // namespace kestrane::testing
