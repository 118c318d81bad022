#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrane::presentation::ppt {

using Bytes = std::vector<std::uint8_t>;

// Record types of the "PowerPoint Document" stream and of the drawing records inside it.
enum RecordType : std::uint16_t
{
    Document = 0x03E8,
    DocumentAtom = 0x03E9,
    EndDocumentAtom = 0x03EA,
    Slide = 0x03EE,
    SlideAtom = 0x03EF,
    Environment = 0x03F2,
    SlidePersistAtom = 0x03F3,
    MainMaster = 0x03F8,
    DrawingGroup = 0x040B,
    Drawing = 0x040C,
    FontCollection = 0x07D5,
    ColorSchemeAtom = 0x07F0,
    OEPlaceholderAtom = 0x0BC3,
    TextHeaderAtom = 0x0F9F,
    TextCharsAtom = 0x0FA0,
    StyleTextPropAtom = 0x0FA1,
    TextMasterStyleAtom = 0x0FA3,
    TextCFExceptionAtom = 0x0FA4,
    TextPFExceptionAtom = 0x0FA5,
    TextSIExceptionAtom = 0x0FA9,
    FontEntityAtom = 0x0FB7,
    Kinsoku = 0x0FC8,
    KinsokuAtom = 0x0FD2,
    SlideNumberMCAtom = 0x0FD8,
    SlideListWithText = 0x0FF0,
    UserEditAtom = 0x0FF5,
    CurrentUserAtom = 0x0FF6,
    GenericDateMCAtom = 0x0FF8,
    FooterMCAtom = 0x0FFA,
    PersistDirectoryAtom = 0x1772,

    DggContainer = 0xF000,
    BStoreContainer = 0xF001,
    DgContainer = 0xF002,
    SpgrContainer = 0xF003,
    SpContainer = 0xF004,
    FDGGBlock = 0xF006,
    FBSE = 0xF007,
    FDG = 0xF008,
    FSPGR = 0xF009,
    FSP = 0xF00A,
    FOPT = 0xF00B,
    ClientTextbox = 0xF00D,
    ClientAnchor = 0xF010,
    ClientData = 0xF011,
    BlipJpeg = 0xF01D,
    BlipPng = 0xF01E,
    BlipDib = 0xF01F,
    BlipTiff = 0xF029,
};

inline constexpr std::size_t recordHeaderSize = 8;
inline constexpr std::uint16_t containerVersion = 0xF;

// Appends little-endian fields; every record payload is built with one.
class FieldWriter
{
public:
    FieldWriter& u8(std::uint8_t value);
    FieldWriter& u16(std::uint16_t value);
    FieldWriter& u32(std::uint32_t value);
    FieldWriter& i16(std::int16_t value) { return u16(static_cast<std::uint16_t>(value)); }
    FieldWriter& i32(std::int32_t value) { return u32(static_cast<std::uint32_t>(value)); }
    FieldWriter& raw(const void* data, std::size_t size);
    FieldWriter& raw(const Bytes& data) { return raw(data.data(), data.size()); }
    FieldWriter& zeros(std::size_t count);
    // UTF-16LE code units of a UTF-8 text, no terminator; what is not UTF-8 becomes U+FFFD.
    FieldWriter& utf16(std::string_view utf8);

    const Bytes& bytes() const { return m_bytes; }
    Bytes take() { return std::move(m_bytes); }

private:
    Bytes m_bytes;
};

void appendHeader(Bytes& out, std::uint16_t type, std::uint16_t version, std::uint16_t instance,
                  std::uint32_t length);

Bytes atom(std::uint16_t type, std::uint16_t version, std::uint16_t instance, const Bytes& payload);

// A container's length is the sum of its children, header included, so it is always computed here
// from the rendered children rather than predicted.
Bytes container(std::uint16_t type, std::uint16_t instance, const std::vector<Bytes>& children);

} // namespace kestrane::presentation::ppt
