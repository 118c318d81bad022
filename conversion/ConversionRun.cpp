#include "conversion/ConversionRun.h"

#include "base/Placement.h"
#include "platform/MessageBox.h"
#include "platform/ObjectFactory.h"
#include "platform/Progress.h"
#include "platform/SaveFileDialog.h"
#include "settings/PlacementSettings.h"

namespace kestrane {

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
    m_services.progress.update("Pictures added", 0, 0);
    AddImages(
        m_services.objects, *pres, imagedir,
        [this](PlacementField field) { return m_window.fieldText(field); },
        [this](std::uint64_t added) { m_services.progress.update("Pictures added", added, 0); });
    m_services.progress.finish();

    m_services.saveDialog.setFileName("");
    m_services.saveDialog.ShowSave();
    if (!m_services.saveDialog.fileName().empty())
        pres->SaveAs(m_services.saveDialog.fileName());
    app->Quit();
}

} // namespace kestrane
