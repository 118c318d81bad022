#include "engine/pptx/ZipPackage.h"

#include "base/Error.h"
#include "engine/Pipeline.h"

#include <libdeflate.h>
#include <zlib.h>

namespace kestrane::presentation {

// Deflates the package's text parts with one compression state: fresh tables for every small part
// would cost more than compressing it.
class ZipDeflater
{
public:
    ZipDeflater()
    {
        // Raw deflate data, as zip entries hold it.
        if (deflateInit2(&m_stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            throw Error(ErrorCode::SaveFailed, "cannot start compressing");
    }
    ~ZipDeflater() { deflateEnd(&m_stream); }
    ZipDeflater(const ZipDeflater&) = delete;
    ZipDeflater& operator=(const ZipDeflater&) = delete;

    std::string deflate(const std::string& text)
    {
        std::string out(deflateBound(&m_stream, uLong(text.size())), '\0');
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        m_stream.avail_in = uInt(text.size());
        m_stream.next_out = reinterpret_cast<Bytef*>(out.data());
        m_stream.avail_out = uInt(out.size());
        const int result = ::deflate(&m_stream, Z_FINISH);
        const uLong produced = m_stream.total_out;
        deflateReset(&m_stream);
        if (result != Z_STREAM_END)
            throw Error(ErrorCode::SaveFailed, "cannot compress a part");
        out.resize(produced);
        return out;
    }

private:
    z_stream m_stream{};
};

namespace {

constexpr std::uint32_t localHeaderSignature = 0x04034b50;
constexpr std::uint32_t centralHeaderSignature = 0x02014b50;
constexpr std::uint32_t zip64EndSignature = 0x06064b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint16_t zip64ExtraField = 0x0001;

// Version needed to extract: 1.0 for stored data, 2.0 for deflated, 4.5 with Zip64 fields.
constexpr std::uint16_t versionStored = 10;
constexpr std::uint16_t versionDeflated = 20;
constexpr std::uint16_t versionZip64 = 45;
// Made on MS-DOS (the high byte 0), to APPNOTE 6.3: office suites mark their packages so, as a
// document carries no file modes of its own, and unzip then gives the user's usual ones.
constexpr std::uint16_t versionMadeBy = 63;
constexpr std::uint16_t methodStored = 0;
constexpr std::uint16_t methodDeflated = 8;
// 2000-01-01 00:00 as MS-DOS stores a local time: every entry the same.
constexpr std::uint16_t dosTime = 0;
constexpr std::uint16_t dosDate = (2000 - 1980) << 9 | 1 << 5 | 1;

// A field holding these says that its value is in the Zip64 record or extra field.
constexpr std::uint64_t beyond32 = 0xFFFFFFFF;
constexpr std::uint64_t beyond16 = 0xFFFF;

// The all-ones value itself is the sign, so it does not fit either.
bool exceeds32(std::uint64_t value)
{
    return value >= beyond32;
}

bool exceeds16(std::uint64_t value)
{
    return value >= beyond16;
}

std::uint32_t field32(std::uint64_t value)
{
    return std::uint32_t(exceeds32(value) ? beyond32 : value);
}

// The bytes of one record, little-endian as zip stores every number.
class Record
{
public:
    Record& u16(std::uint64_t value) { return put(value, 2); }
    Record& u32(std::uint64_t value) { return put(value, 4); }
    Record& u64(std::uint64_t value) { return put(value, 8); }
    Record& text(const std::string& text)
    {
        m_bytes += text;
        return *this;
    }
    Record& append(const Record& other) { return text(other.m_bytes); }
    std::size_t size() const { return m_bytes.size(); }
    void writeTo(ByteSink& sink) const { sink.write(m_bytes.data(), m_bytes.size()); }

private:
    Record& put(std::uint64_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            m_bytes.push_back(char(value >> (8 * i)));
        return *this;
    }

    std::string m_bytes;
};

// The Zip64 extra field with the values given, in the order the field keeps: size, stored size,
// offset of the local header. Empty when there are none.
Record zip64Extra(const std::vector<std::uint64_t>& values)
{
    Record extra;
    if (values.empty())
        return extra;
    extra.u16(zip64ExtraField).u16(8 * values.size());
    for (std::uint64_t value : values)
        extra.u64(value);
    return extra;
}

} // namespace

ZipPackage::ZipPackage(ByteSink& sink)
    : m_sink(sink), m_start(sink.position()), m_deflater(std::make_unique<ZipDeflater>())
{
}

ZipPackage::~ZipPackage() = default;

void ZipPackage::addText(const std::string& name, const std::string& text)
{
    const std::string deflated = m_deflater->deflate(text);
    begin({name, libdeflate_crc32(0, text.data(), text.size()), text.size(), deflated.size(), 0, true});
    m_sink.write(deflated.data(), deflated.size());
}

void ZipPackage::addPictures(const std::vector<StoredPicture>& pictures)
{
    PictureStream stream;
    for (const StoredPicture& stored : pictures)
        stream.add(*stored.picture);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Picture& picture = *pictures[i].picture;
        const std::uint64_t size = picture.size();
        begin({pictures[i].name, picture.crc32(), size, size, 0, false});
        for (std::uint64_t offset = 0; offset < size;) {
            const PictureStream::Chunk chunk = stream.chunk(i, offset);
            m_sink.write(chunk.bytes, chunk.length);
            offset += chunk.length;
        }
    }
}

void ZipPackage::begin(Entry entry)
{
    entry.offset = m_sink.position() - m_start;
    // The local header holds both sizes in its Zip64 field, or neither.
    const bool zip64 = exceeds32(entry.size) || exceeds32(entry.storedSize);
    Record header;
    header.u32(localHeaderSignature)
        .u16(zip64            ? versionZip64
             : entry.deflated ? versionDeflated
                              : versionStored)
        .u16(0)
        .u16(entry.deflated ? methodDeflated : methodStored)
        .u16(dosTime)
        .u16(dosDate)
        .u32(entry.crc)
        .u32(field32(entry.storedSize))
        .u32(field32(entry.size));
    const Record extra = zip64 ? zip64Extra({entry.size, entry.storedSize}) : Record();
    header.u16(entry.name.size()).u16(extra.size()).text(entry.name).append(extra);
    header.writeTo(m_sink);
    m_entries.push_back(std::move(entry));
}

void ZipPackage::close()
{
    const std::uint64_t directoryStart = m_sink.position() - m_start;
    for (const Entry& entry : m_entries) {
        // Only the values that do not fit go to the Zip64 field.
        std::vector<std::uint64_t> wide;
        for (std::uint64_t value : {entry.size, entry.storedSize, entry.offset}) {
            if (exceeds32(value))
                wide.push_back(value);
        }
        const Record extra = zip64Extra(wide);
        Record header;
        header.u32(centralHeaderSignature)
            .u16(versionMadeBy)
            .u16(!wide.empty()    ? versionZip64
                 : entry.deflated ? versionDeflated
                                  : versionStored)
            .u16(0)
            .u16(entry.deflated ? methodDeflated : methodStored)
            .u16(dosTime)
            .u16(dosDate)
            .u32(entry.crc)
            .u32(field32(entry.storedSize))
            .u32(field32(entry.size))
            .u16(entry.name.size())
            .u16(extra.size())
            // No comment, starts on disk 0, no internal or external attributes.
            .u16(0)
            .u16(0)
            .u16(0)
            .u32(0)
            .u32(field32(entry.offset))
            .text(entry.name)
            .append(extra);
        header.writeTo(m_sink);
    }
    const std::uint64_t directoryEnd = m_sink.position() - m_start;
    const std::uint64_t directorySize = directoryEnd - directoryStart;
    const std::uint64_t count = m_entries.size();
    Record end;
    if (exceeds16(count) || exceeds32(directorySize) || exceeds32(directoryStart)) {
        // The Zip64 end record (its size counts from after the size field), then its locator.
        end.u32(zip64EndSignature)
            .u64(44)
            .u16(versionZip64)
            .u16(versionZip64)
            .u32(0)
            .u32(0)
            .u64(count)
            .u64(count)
            .u64(directorySize)
            .u64(directoryStart);
        end.u32(zip64LocatorSignature).u32(0).u64(directoryEnd).u32(1);
    }
    const std::uint64_t shortCount = exceeds16(count) ? beyond16 : count;
    end.u32(endSignature)
        .u16(0)
        .u16(0)
        .u16(shortCount)
        .u16(shortCount)
        .u32(field32(directorySize))
        .u32(field32(directoryStart))
        .u16(0);
    end.writeTo(m_sink);
}

} // namespace kestrane::presentation
