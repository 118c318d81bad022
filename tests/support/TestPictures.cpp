#include "tests/support/TestPictures.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <stdexcept>

namespace kestrane::testing {

namespace {

// /usr/local/bin/convert may be something else; the Debian package installs this one.
const QString convertProgram = QStringLiteral("/usr/bin/convert");

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
    }
    arguments << format + path;
    QProcess process;
    process.start(convertProgram, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        throw std::runtime_error("convert failed for " + path.toStdString() + ": " +
                                 process.readAllStandardError().toStdString());
    return readFileBytes(path);
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
