#include "ui/Form2.h"

#include "platform/FatalError.h"
#include "ui/Controls.h"
#include "ui/DesignLayout.h"
#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/Form1.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHideEvent>
#include <QPushButton>

namespace kestrane {

Form2::Form2(Form1& form1, Services services, DriveSource drives)
    : m_form1(form1), m_services(services), m_drives(std::move(drives))
{
    setWindowTitle(QStringLiteral("Select the Image Directory"));
    setWindowModality(Qt::ApplicationModal);

    Dir1 = new DirectoryList(this);
    Drive1 = new DriveList(this);
    // The lists have no captions, so screen readers are told what they list. A drop-down list's
    // name is its selected entry on Linux, so the drive list says it in its description.
    Dir1->setAccessibleName(QStringLiteral("Directories"));
    Drive1->setAccessibleDescription(QStringLiteral("Drives"));
    Command1 = makeButton(this, "Select");
    Command2 = makeButton(this, "Cancel");

    DesignLayout layout(4680, 3690);
    layout.add(Dir1, 240, 120, 4095, 2340);
    layout.add(Drive1, 240, 2640, 4095, 315);
    layout.add(Command1, 3120, 3120, 1215, 375);
    layout.add(Command2, 240, 3120, 1095, 375);
    layout.apply(this);

    setTabOrder(Dir1, Drive1);
    setTabOrder(Drive1, Command1);
    setTabOrder(Command1, Command2);

    openStartFolder();
    Drive1->setDrives(m_drives(), Dir1->path());

    connect(Drive1, &DriveList::driveChanged, this, [this] { m_handle([this] { Drive1_Change(); }); });
    connect(Command1, &QPushButton::clicked, this, [this] { m_handle([this] { Command1_Click(); }); });
    connect(Command2, &QPushButton::clicked, this, [this] { m_handle([this] { Command2_Click(); }); });
}

void Form2::showModal()
{
    refreshLists();
    QEventLoop loop;
    connect(this, &Form2::hidden, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    show();
    activateWindow();
    loop.exec(QEventLoop::DialogExec);
}

void Form2::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A spontaneous hide is the window being minimised: the chooser is still in use.
    if (!event->spontaneous())
        emit hidden();
}

void Form2::openStartFolder()
{
    if (!Dir1->tryPath("."))
        Dir1->setPath(QFile::encodeName(QDir::homePath()));
}

// Media, and folders, may have come or gone since the chooser was last shown. The drive, the
// folder the user left and the highlighted entry stay while they exist; a folder gone with its
// medium gives way to the start folder.
void Form2::refreshLists()
{
    if (!Dir1->reread())
        openStartFolder();
    Drive1->setDrives(m_drives(), Dir1->path());
}

void Form2::Drive1_Change()
{
    Dir1->setPath(Drive1->drive());
}

void Form2::Command1_Click()
{
    m_form1.imagedir = Dir1->pathAt(Dir1->highlightedIndex());
    hide();
}

void Form2::Command2_Click()
{
    hide();
}

} // namespace kestrane
