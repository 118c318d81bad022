#include "platform/EngineObjectFactory.h"

#include "platform/presentation/Engine.h"

#include <sys/stat.h>

namespace kestrane {

std::shared_ptr<automation::Application> EngineObjectFactory::CreatePresentationApplication()
{
    return presentation::startApplication();
}

std::unique_ptr<FileSystemObject> EngineObjectFactory::CreateFileSystemObject()
{
    return std::make_unique<PosixFileSystemObject>();
}

bool PosixFileSystemObject::FileExists(const std::string& path)
{
    struct stat status
    {
    };
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

} // namespace kestrane
