#pragma once

#include "engine/ByteSink.h"
#include "engine/Picture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrane::presentation {

class ZipDeflater;

// A zip archive written once, front to back, through a ByteSink: each entry's local header with
// its CRC and sizes, known before its data, then the data; close() adds the central directory.
// Nothing is written twice, so there are no data descriptors and no seeks back. The facts of the
// container are stated here once: entries made on MS-DOS with no attributes, one fixed timestamp
// (the same entries give the same bytes), and Zip64 records only where a size, an offset or the
// number of entries does not fit the plain ones.
class ZipPackage
{
public:
    struct StoredPicture
    {
        std::string name;
        const Picture* picture;
    };

    explicit ZipPackage(ByteSink& sink);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // A text entry, deflated.
    void addText(const std::string& name, const std::string& text);
    // Pictures stored as they are (they are compressed already), with the CRCs their checksums
    // hold, read a few megabytes ahead of the writing on a thread of their own.
    void addPictures(const std::vector<StoredPicture>& pictures);
    // Writes the central directory and the end records.
    void close();

private:
    struct Entry
    {
        std::string name;
        std::uint32_t crc;
        std::uint64_t size;
        std::uint64_t storedSize;
        std::uint64_t offset;
        bool deflated;
    };

    // Writes the entry's local header; its data follows.
    void begin(Entry entry);

    ByteSink& m_sink;
    // Offsets in the archive count from here.
    std::uint64_t m_start;
    std::unique_ptr<ZipDeflater> m_deflater;
    std::vector<Entry> m_entries;
};

} // namespace kestrane::presentation
