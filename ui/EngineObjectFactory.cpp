#include "ui/EngineObjectFactory.h"

#include "engine/Engine.h"
#include "platform/PosixFileSystemObject.h"

namespace kestrane {

std::shared_ptr<automation::Application> EngineObjectFactory::CreatePresentationApplication()
{
    Progress& progress = m_progress;
    return presentation::startApplication(
        [&progress](std::uint64_t done, std::uint64_t total) { progress.report("Saving", done, total); });
}

std::unique_ptr<FileSystemObject> EngineObjectFactory::CreateFileSystemObject()
{
    return std::make_unique<PosixFileSystemObject>();
}

} // namespace kestrane
