#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace kestrane::testing {

// A picture frame as LibreOffice imported it; geometry in centimetres, to LibreOffice's
// precision of 1/100 mm.
struct OdpFrame
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    QByteArray image;
};

struct OdpPage
{
    std::vector<OdpFrame> frames;
};

struct OdpDocument
{
    std::vector<OdpPage> pages;
};

// Opens every file with LibreOffice in one headless run (own user profile, converted to ODP) and
// returns what it found, one document per file in the same order. File names must differ in
// more than their extension. Throws std::runtime_error when soffice is missing or a file did not
// convert.
std::vector<OdpDocument> readWithLibreOffice(const QStringList& files);

} // namespace kestrane::testing
