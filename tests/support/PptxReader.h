#pragma once

#include "tests/support/ZipReader.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <vector>

namespace kestrane::testing {

// A picture shape as the package states it, to the EMU.
struct PptxPicture
{
    QString description;
    qint64 x = 0;
    qint64 y = 0;
    qint64 width = 0;
    qint64 height = 0;
    QString mediaPart;
    QByteArray image;
};

struct PptxSlide
{
    QString part;
    std::vector<PptxPicture> pictures;
};

// Follows the package the way a reader does: presentation.xml's slide list, the relationships,
// each slide's pictures and their media. Throws std::runtime_error on anything it cannot follow.
std::vector<PptxSlide> readPptxSlides(const std::map<QString, ZipMember>& package);

// Relationship id -> {type, target resolved to a part name} of a part.
struct Relationship
{
    QString type;
    QString target;
};
std::map<QString, Relationship> readRelationships(const std::map<QString, ZipMember>& package,
                                                  const QString& part);

} // namespace kestrane::testing
