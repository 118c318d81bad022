#include "engine/ppt/PropertySets.h"

#include "engine/Format.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrane::presentation::ppt {

namespace {

// Format identifiers of the two sets, as stored (GUIDs with their first three fields little-endian).
constexpr std::uint8_t summaryFormatId[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                              0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr std::uint8_t documentSummaryFormatId[16] = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                                      0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

enum PropertyId : std::uint32_t
{
    CodePage = 0x01,
    SlideCount = 0x07,
    CreateTime = 0x0C,
    LastSaveTime = 0x0D,
    ApplicationName = 0x12,
};

enum PropertyType : std::uint16_t
{
    TypeI2 = 0x0002,
    TypeI4 = 0x0003,
    TypeString = 0x001E, // 8-bit characters in the set's code page
    TypeFileTime = 0x0040,
};

constexpr std::uint16_t windowsLatin1 = 1252;
// Win32 in the high word, as every writer seen puts it; readers do not look further.
constexpr std::uint32_t systemIdentifier = 0x00020A04;
constexpr std::uint32_t streamHeaderSize = 48; // one set: 28 bytes of header, 20 of set entry

struct Property
{
    std::uint32_t id;
    Bytes value; // type, padding and value, padded to a multiple of 4 bytes
};

FieldWriter typed(PropertyType type)
{
    FieldWriter value;
    value.u16(type).u16(0);
    return value;
}

Property codePage()
{
    return {CodePage, typed(TypeI2).u16(windowsLatin1).u16(0).take()};
}

// The length counts the terminating NUL; the characters are padded to whole 4-byte units, or a
// strict reader refuses the whole set.
Property text(PropertyId id, std::string_view characters)
{
    FieldWriter value = typed(TypeString);
    value.u32(static_cast<std::uint32_t>(characters.size() + 1)).raw(characters.data(), characters.size());
    value.zeros(4 - characters.size() % 4);
    return {id, value.take()};
}

// 100-nanosecond intervals since 1601-01-01 UTC.
Property fileTime(PropertyId id, std::chrono::sys_seconds time)
{
    constexpr std::int64_t secondsFrom1601To1970 = 11644473600;
    const auto ticks = static_cast<std::uint64_t>((time.time_since_epoch().count() + secondsFrom1601To1970) *
                                                  std::int64_t(10000000));
    return {
        id,
        typed(TypeFileTime).u32(static_cast<std::uint32_t>(ticks)).u32(std::uint32_t(ticks >> 32)).take()};
}

Property integer(PropertyId id, std::int32_t number)
{
    return {id, typed(TypeI4).i32(number).take()};
}

// A stream holding one property set: the stream header, then the set's size, its table of
// property ids and offsets (from the start of the set) and the values.
Bytes propertySetStream(const std::uint8_t (&formatId)[16], const std::vector<Property>& properties)
{
    const auto tableEnd = static_cast<std::uint32_t>(8 + 8 * properties.size());
    FieldWriter table;
    FieldWriter values;
    for (const Property& property : properties) {
        table.u32(property.id).u32(tableEnd + static_cast<std::uint32_t>(values.bytes().size()));
        values.raw(property.value);
    }
    FieldWriter stream;
    stream.u16(0xFFFE).u16(0).u32(systemIdentifier).zeros(16).u32(1);
    stream.raw(formatId, sizeof formatId).u32(streamHeaderSize);
    stream.u32(tableEnd + static_cast<std::uint32_t>(values.bytes().size()));
    stream.u32(static_cast<std::uint32_t>(properties.size())).raw(table.bytes()).raw(values.bytes());
    return stream.take();
}

} // namespace

Bytes summaryInformation(std::chrono::sys_seconds savedAt)
{
    return propertySetStream(summaryFormatId,
                             {codePage(), fileTime(CreateTime, savedAt), fileTime(LastSaveTime, savedAt),
                              text(ApplicationName, applicationName)});
}

Bytes documentSummaryInformation(std::size_t slideCount)
{
    return propertySetStream(documentSummaryFormatId,
                             {codePage(), integer(SlideCount, static_cast<std::int32_t>(slideCount))});
}

} // namespace kestrane::presentation::ppt
