#pragma once

#include <QByteArray>
#include <QString>

namespace kestrane::testing {

enum class TestImage
{
    Baseline,
    Progressive,
    Grey,
    Cmyk,
    Png,
};

// Makes a small picture of the given kind at `path` with ImageMagick (whatever the path's
// extension) and returns its bytes; different `variant`s give different pixels. Throws
// std::runtime_error when ImageMagick is missing or fails.
QByteArray makeTestImage(const QString& path, TestImage kind, int variant);

QByteArray readFileBytes(const QString& path);
void writeFileBytes(const QString& path, const QByteArray& bytes);

} // namespace kestrane::testing
