#include "base/Error.h"

#include <cstring>

namespace kestrane {

std::string_view errorText(ErrorCode code)
{
    switch (code) {
    case ErrorCode::SettingsUnreadable:
        return "The settings could not be read";
    case ErrorCode::SettingsUnwritable:
        return "The settings could not be saved";
    case ErrorCode::SlideIndexOutOfRange:
        return "Slide index out of range";
    case ErrorCode::UnsupportedLayout:
        return "Unsupported slide layout";
    case ErrorCode::PlacementNotNumeric:
        return "Picture placement is not a number";
    case ErrorCode::PlacementOutOfRange:
        return "Picture placement is out of range";
    case ErrorCode::LinkedPictureUnsupported:
        return "Only embedded pictures are supported";
    case ErrorCode::ApplicationQuit:
        return "The presentation application has quit";
    case ErrorCode::PictureUnreadable:
        return "The picture cannot be read";
    case ErrorCode::PictureNotRegularFile:
        return "The picture is not a regular file";
    case ErrorCode::PictureEmpty:
        return "The picture file is empty";
    case ErrorCode::PictureFormatUnknown:
        return "The picture is not a JPEG, PNG, GIF, BMP or TIFF image";
    case ErrorCode::PictureCorrupt:
        return "The picture file is damaged";
    case ErrorCode::PictureChanged:
        return "The picture file changed after it was added";
    case ErrorCode::SaveFailed:
        return "The presentation could not be saved";
    case ErrorCode::SaveTargetInvalid:
        return "The presentation cannot be saved under that name";
    case ErrorCode::FormatLimitExceeded:
        return "The presentation exceeds a limit of the file format";
    case ErrorCode::CompoundFileFailed:
        return "The compound file container could not be written";
    case ErrorCode::DriveUnavailable:
        return "The drive is not available";
    case ErrorCode::DirectoryUnreadable:
        return "The directory cannot be read";
    case ErrorCode::Unexpected:
        return "Unexpected failure";
    }
    return "Unknown failure";
}

namespace {

std::string describe(ErrorCode code, const std::string& context, int osError)
{
    std::string text(errorText(code));
    if (!context.empty())
        text += ": " + context;
    if (osError != 0)
        text += std::string(" (") + std::strerror(osError) + ")";
    return text;
}

} // namespace

Error::Error(ErrorCode code, std::string context, int osError)
    : m_code(code), m_description(describe(code, context, osError))
{
}

std::string reportText(const Error& error)
{
    return "Error " + std::to_string(error.number()) + "\n\n" + error.description();
}

} // namespace kestrane
