#pragma once

#include "conversion/SlideBuilder.h"
#include "platform/Automation.h"
#include "platform/Services.h"

#include <memory>
#include <string>

namespace kestrane {

// What the conversion needs of the main window.
class ConversionWindow
{
public:
    virtual ~ConversionWindow() = default;
    virtual std::string fieldText(PlacementField field) = 0;
    // The window's imagedir: empty when no directory was chosen.
    virtual std::string imageDirectory() = 0;
    virtual void setImageDirectory(const std::string& directory) = 0;
    // Shows the directory chooser modally; returns once it is hidden or closed.
    virtual void showDirectoryChooser() = 0;
};

// One press of the convert button: check and remember the placement, take the directory from
// the chooser, build one slide per image, ask for a file name, save, and quit the application.
class ConversionRun
{
public:
    ConversionRun(ConversionWindow& window, Services services);

    void run();

    // The last run's application and presentation; the next run replaces them.
    std::shared_ptr<automation::Application> app;
    std::shared_ptr<automation::Presentation> pres;

private:
    ConversionWindow& m_window;
    Services m_services;
};

} // namespace kestrane
