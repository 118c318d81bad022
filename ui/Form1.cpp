#include "ui/Form1.h"

#include "platform/Drives.h"
#include "platform/FatalError.h"
#include "platform/ProgramEnd.h"
#include "ui/Controls.h"
#include "ui/DesignLayout.h"
#include "ui/Form2.h"
#include "ui/HelpDialog.h"
#include "ui/SelectAllLineEdit.h"

#include <QLabel>
#include <QPushButton>

namespace kestrane {

Form1::Form1(Services services)
    : conversion(*this, services), m_services(services), m_settings(services.settings)
{
    setWindowTitle(QStringLiteral("Kestrane"));

    DesignLayout layout(5175, 2160);
    layout.add(makeLabel(this, "This tool creates a PowerPoint file from a directory of JPEG images."), 240,
               120, 4935, 255);
    layout.add(makeLabel(this, "Scale images to:"), 240, 600, 1335, 255);
    Text1 = new SelectAllLineEdit(this);
    layout.add(makeLabel(this, "Width:", Text1), 1920, 600, 615, 255);
    layout.add(Text1, 2640, 600, 615, 285);
    Text2 = new SelectAllLineEdit(this);
    layout.add(makeLabel(this, "Height:", Text2), 3600, 600, 615, 255);
    layout.add(Text2, 4320, 600, 615, 285);
    layout.add(makeLabel(this, "Place top left corners:"), 240, 1080, 1695, 255);
    Text3 = new SelectAllLineEdit(this);
    layout.add(makeLabel(this, "X:", Text3), 2280, 1080, 255, 255);
    layout.add(Text3, 2640, 1080, 615, 285);
    Text4 = new SelectAllLineEdit(this);
    layout.add(makeLabel(this, "Y:", Text4), 3960, 1080, 255, 255);
    layout.add(Text4, 4320, 1080, 615, 285);
    Command1 = makeButton(this, "Select image directory and create PPT");
    layout.add(Command1, 240, 1560, 3015, 375);
    Command3 = makeButton(this, "About");
    layout.add(Command3, 3360, 1560, 735, 375);
    Command2 = makeButton(this, "Exit");
    layout.add(Command2, 4200, 1560, 735, 375);
    layout.apply(this);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Command1);
    setTabOrder(Command1, Command3);
    setTabOrder(Command3, Command2);

    connect(Command1, &QPushButton::clicked, this, [this] { m_handle([this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this, [this] { m_handle([this] { Command2_Click(); }); });
    connect(Command3, &QPushButton::clicked, this, [this] { m_handle([this] { Command3_Click(); }); });
}

Form1::~Form1()
{
    delete m_form2;
}

void Form1::showForm2()
{
    if (!m_form2) {
        m_form2 = new Form2(*this, m_services, systemDrives);
        // Closing the chooser through its frame destroys it; the next use starts afresh.
        m_form2->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_form2->showModal();
}

void Form1::start()
{
    m_handle([this] { Form_Load(); });
    show();
    activateWindow();
    // The field is entered at start-up as by Tab, whatever reason the window system gives.
    Text1->setFocus(Qt::OtherFocusReason);
    Text1->selectWholeText();
}

void Form1::Form_Load()
{
    const PlacementTexts texts = m_settings.load();
    Text1->setText(QString::fromStdString(texts.width));
    Text2->setText(QString::fromStdString(texts.height));
    Text3->setText(QString::fromStdString(texts.left));
    Text4->setText(QString::fromStdString(texts.top));
}

PlacementTexts Form1::fieldTexts() const
{
    return {Text1->text().toStdString(), Text2->text().toStdString(), Text3->text().toStdString(),
            Text4->text().toStdString()};
}

void Form1::Command1_Click()
{
    conversion.run();
}

std::string Form1::fieldText(PlacementField field)
{
    switch (field) {
    case PlacementField::Width:
        return Text1->text().toStdString();
    case PlacementField::Height:
        return Text2->text().toStdString();
    case PlacementField::Left:
        return Text3->text().toStdString();
    case PlacementField::Top:
        return Text4->text().toStdString();
    }
    return {};
}

std::string Form1::imageDirectory()
{
    return imagedir.toStdString();
}

void Form1::setImageDirectory(const std::string& directory)
{
    imagedir = QByteArray::fromStdString(directory);
}

void Form1::showDirectoryChooser()
{
    showForm2();
}

void Form1::Command2_Click()
{
    SaveAndExit();
}

void Form1::Command3_Click()
{
    if (!m_helpDialog) {
        m_helpDialog = new HelpDialog(m_services);
        // Closing it through its frame destroys it; the next "About" makes a fresh one.
        m_helpDialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_helpDialog->show();
    m_helpDialog->raise();
    m_helpDialog->activateWindow();
}

void Form1::SaveAndExit()
{
    m_settings.saveValidPairs(fieldTexts());
    m_services.programEnd.end(0);
}

} // namespace kestrane
