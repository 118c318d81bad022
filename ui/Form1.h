#pragma once

#include "conversion/ConversionRun.h"
#include "platform/FatalError.h"
#include "platform/Services.h"
#include "settings/PlacementSettings.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace kestrane {

class Form2;
class HelpDialog;
class SelectAllLineEdit;

// The main window: four placement fields, the convert, About and Exit buttons.
class Form1 : public QWidget, private ConversionWindow
{
    Q_OBJECT

public:
    explicit Form1(Services services);
    // The chooser belongs to the main window and goes with it.
    ~Form1() override;

    // Fills the fields from the settings store, then shows the window with the focus in Text1.
    void start();

    // Shows the directory chooser modally, created on first use and after it was closed
    // through its frame; returns once it is hidden or closed. "Select" sets imagedir.
    void showForm2();

    // The chosen image directory, as the file system's bytes; empty means none was chosen.
    QByteArray imagedir;

    // The convert button's run, which holds the last run's application and presentation.
    ConversionRun conversion;

    SelectAllLineEdit* Text1;
    SelectAllLineEdit* Text2;
    SelectAllLineEdit* Text3;
    SelectAllLineEdit* Text4;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;

private:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void SaveAndExit();

    PlacementTexts fieldTexts() const;

    std::string fieldText(PlacementField field) override;
    std::string imageDirectory() override;
    void setImageDirectory(const std::string& directory) override;
    void showDirectoryChooser() override;

    Services m_services;
    // Every event handler runs through it, so a failure is reported and ends the program.
    HandlerRunner m_handle{m_services.messageBox, m_services.programEnd};
    PlacementSettings m_settings;
    QPointer<Form2> m_form2;
    // Not owned: an open About dialog outlives the main window.
    QPointer<HelpDialog> m_helpDialog;
};

} // namespace kestrane
