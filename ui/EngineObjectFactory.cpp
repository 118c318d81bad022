#include "ui/EngineObjectFactory.h"

#include "engine/Engine.h"
#include "platform/PosixFileSystemObject.h"

namespace kestrane {

namespace {

// The engine's presentation, whose SaveAs ends the progress report however the save ends.
class ReportedPresentation : public automation::Presentation
{
public:
    ReportedPresentation(std::shared_ptr<automation::Presentation> presentation, Progress& progress)
        : m_presentation(std::move(presentation)), m_progress(progress)
    {
    }

    automation::Slides& Slides() override { return m_presentation->Slides(); }

    void SaveAs(const std::string& fileName) override
    {
        struct Finish
        {
            Progress& progress;
            ~Finish() { progress.finish(); }
        } finish{m_progress};
        m_presentation->SaveAs(fileName);
    }

private:
    std::shared_ptr<automation::Presentation> m_presentation;
    Progress& m_progress;
};

class ReportedPresentations : public automation::Presentations
{
public:
    ReportedPresentations(automation::Presentations& presentations, Progress& progress)
        : m_presentations(presentations), m_progress(progress)
    {
    }

    std::shared_ptr<automation::Presentation> Add() override
    {
        return std::make_shared<ReportedPresentation>(m_presentations.Add(), m_progress);
    }

private:
    automation::Presentations& m_presentations;
    Progress& m_progress;
};

class ReportedApplication : public automation::Application
{
public:
    ReportedApplication(std::shared_ptr<automation::Application> application, Progress& progress)
        : m_application(std::move(application)), m_presentations(m_application->Presentations(), progress)
    {
    }

    automation::Presentations& Presentations() override { return m_presentations; }
    void Quit() override { m_application->Quit(); }

private:
    std::shared_ptr<automation::Application> m_application;
    ReportedPresentations m_presentations;
};

} // namespace

std::shared_ptr<automation::Application> EngineObjectFactory::CreatePresentationApplication()
{
    Progress& progress = m_progress;
    return std::make_shared<ReportedApplication>(
        presentation::startApplication(
            [&progress](std::uint64_t done, std::uint64_t total) { progress.update("Saving", done, total); }),
        progress);
}

std::unique_ptr<FileSystemObject> EngineObjectFactory::CreateFileSystemObject()
{
    return std::make_unique<PosixFileSystemObject>();
}

} // namespace kestrane
