#pragma once

#include "platform/Automation.h"

#include <memory>
#include <optional>
#include <string>

namespace kestrane {

// Answers whether a file exists at a path, with the path of the file it found (which may differ
// from the one asked for, see PosixFileSystemObject); throws an Error when it cannot tell.
class FileSystemObject
{
public:
    virtual ~FileSystemObject() = default;
    virtual std::optional<std::string> FileExists(const std::string& path) = 0;
};

// Creates the outside objects the conversion drives: the presentation application and the
// file-existence query.
class ObjectFactory
{
public:
    virtual ~ObjectFactory() = default;
    virtual std::shared_ptr<automation::Application> CreatePresentationApplication() = 0;
    virtual std::unique_ptr<FileSystemObject> CreateFileSystemObject() = 0;
};

} // namespace kestrane
