#include "tests/support/LibreOfficeReader.h"

#include "tests/support/ZipReader.h"

#include <QDir>
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

} // namespace

std::vector<OdpDocument> readWithLibreOffice(const QStringList& files)
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
    // A private profile: a profile in use by another instance hands the job over and converts
    // nothing.
    QTemporaryDir work;
    const QString outDir = work.filePath(QStringLiteral("out"));
    QStringList arguments{QStringLiteral("-env:UserInstallation=file://") +
                              work.filePath(QStringLiteral("profile")),
                          QStringLiteral("--headless"),
                          QStringLiteral("--convert-to"),
                          QStringLiteral("odp"),
                          QStringLiteral("--outdir"),
                          outDir};
    for (const QString& file : files)
        arguments << QFileInfo(file).absoluteFilePath();
    QProcess process;
    process.start(soffice, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit)
        throw std::runtime_error("soffice did not finish");
    std::vector<OdpDocument> documents;
    for (const QString& file : files) {
        const QString odp =
            QDir(outDir).filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".odp"));
        if (!QFileInfo::exists(odp))
            throw std::runtime_error("LibreOffice did not convert " + file.toStdString() + ": " +
                                     process.readAllStandardError().toStdString());
        documents.push_back(parseOdp(odp));
    }
    return documents;
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
