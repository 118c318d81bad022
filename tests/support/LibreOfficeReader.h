#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
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

// A page as LibreOffice draws it, one pixel to the point.
struct RenderedPage
{
    int width = 0;
    int height = 0;
    QByteArray rgb;

    std::array<int, 3> pixel(int x, int y) const;
};

// Renders every file in one headless LibreOffice run, to PDF and then each page by pdftoppm at
// 72 dots per inch; pages of each file in order, files in the same order. Throws
// std::runtime_error when soffice or pdftoppm is missing or a file did not convert.
std::vector<std::vector<RenderedPage>> renderWithLibreOffice(const QStringList& files);

// A picture as LibreOffice should show it: its box in points and the bytes of its file; no bytes
// for a picture LibreOffice hands back re-encoded (the DIB of a .ppt comes back as a PNG).
struct ExpectedPicture
{
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    QByteArray bytes;
};

// Compares, with QTest's macros, what LibreOffice found with the pictures of each slide, in
// order: each edge within `toleranceCm`, and the picture's bytes exact or, when `appendedBytes`,
// as the start (LibreOffice's .ppt import appends bytes of the next record). A deck without
// slides opens as one empty page.
void verifyLibreOfficeRead(const OdpDocument& read, const std::vector<std::vector<ExpectedPicture>>& slides,
                           double toleranceCm, bool appendedBytes);

} // namespace kestrane::testing
