#include "conversion/ConversionRun.h"

#include "base/Placement.h"
#include "platform/MessageBox.h"
#include "platform/ObjectFactory.h"
#include "platform/Progress.h"
#include "platform/SaveFileDialog.h"
#include "settings/PlacementSettings.h"

namespace kestrane {

namespace {

// Ends a progress step however the step ends, a failure included.
class ProgressStep
{
public:
    explicit ProgressStep(Progress& progress) : m_progress(progress) {}
    ~ProgressStep() { m_progress.finish(); }
    ProgressStep(const ProgressStep&) = delete;
    ProgressStep& operator=(const ProgressStep&) = delete;

private:
    Progress& m_progress;
};

} // namespace

ConversionRun::ConversionRun(ConversionWindow& window, Services services)
    : m_window(window), m_services(services)
{
}

void ConversionRun::run()
{
    if (!ValidDimensions(m_window.fieldText(PlacementField::Width),
                         m_window.fieldText(PlacementField::Height))) {
        m_services.messageBox.show("Invalid dimensions specified.");
        return;
    }
    if (!ValidPosition(m_window.fieldText(PlacementField::Left), m_window.fieldText(PlacementField::Top))) {
        m_services.messageBox.show("Invalid position specified.");
        return;
    }
    PlacementSettings(m_services.settings)
        .save({m_window.fieldText(PlacementField::Width), m_window.fieldText(PlacementField::Height),
               m_window.fieldText(PlacementField::Left), m_window.fieldText(PlacementField::Top)});

    m_window.setImageDirectory("");
    m_window.showDirectoryChooser();
    const std::string imagedir = m_window.imageDirectory();
    if (imagedir.empty())
        return;

    app = m_services.objects.CreatePresentationApplication();
    pres = app->Presentations().Add();
    {
        const ProgressStep building(m_services.progress);
        m_services.progress.report("Pictures added", 0, 0);
        AddImages(
            m_services.objects, *pres, imagedir,
            [this](PlacementField field) { return m_window.fieldText(field); },
            [this](std::uint64_t added) { m_services.progress.report("Pictures added", added, 0); });
    }

    m_services.saveDialog.setFileName("");
    m_services.saveDialog.ShowSave();
    if (!m_services.saveDialog.fileName().empty()) {
        // The application reports the save's own progress.
        const ProgressStep saving(m_services.progress);
        pres->SaveAs(m_services.saveDialog.fileName());
    }
    app->Quit();
}

} // namespace kestrane
