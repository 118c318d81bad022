#pragma once

#include "platform/ObjectFactory.h"
#include "platform/Progress.h"

namespace kestrane {

// The real objects: the built-in presentation engine, whose saves report to `progress` as
// "Saving", and the file system's own answer.
class EngineObjectFactory : public ObjectFactory
{
public:
    explicit EngineObjectFactory(Progress& progress) : m_progress(progress) {}

    std::shared_ptr<automation::Application> CreatePresentationApplication() override;
    std::unique_ptr<FileSystemObject> CreateFileSystemObject() override;

private:
    Progress& m_progress;
};

} // namespace kestrane
