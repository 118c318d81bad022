#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace kestrane {

// Every failure the program can report. The number is what the user sees next to the
// description; ranges group the failures by the service that raised them.
enum class ErrorCode : int
{
    // Settings store
    SettingsUnreadable = 101,
    SettingsUnwritable = 102,

    // Presentation engine: object model
    SlideIndexOutOfRange = 201,
    UnsupportedLayout = 202,
    PlacementNotNumeric = 203,
    PlacementOutOfRange = 204,
    LinkedPictureUnsupported = 205,
    ApplicationQuit = 206,

    // Presentation engine: pictures
    PictureUnreadable = 301,
    PictureNotRegularFile = 302,
    PictureEmpty = 303,
    PictureFormatUnknown = 304,
    PictureCorrupt = 305,
    PictureChanged = 306,

    // Presentation engine: saving
    SaveFailed = 401,
    SaveTargetInvalid = 402,
    FormatLimitExceeded = 403,
    CompoundFileFailed = 405,

    // Desktop services
    DriveUnavailable = 501,
    DirectoryUnreadable = 502,

    // Anything not foreseen above
    Unexpected = 999,
};

// The fixed text for a code; the table is the single place where the words live.
std::string_view errorText(ErrorCode code);

// A failure with its number, its fixed text and what it happened to (a path, a value, the
// operating system's own message).
class Error : public std::exception
{
public:
    explicit Error(ErrorCode code, std::string context = {}, int osError = 0);

    ErrorCode code() const { return m_code; }
    int number() const { return static_cast<int>(m_code); }
    const std::string& description() const { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

private:
    ErrorCode m_code;
    std::string m_description;
};

// The words a user sees for a failure: its number, then its description.
std::string reportText(const Error& error);

} // namespace kestrane
