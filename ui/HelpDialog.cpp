#include "ui/HelpDialog.h"

#include "platform/FatalError.h"
#include "platform/Shell.h"
#include "ui/Controls.h"
#include "ui/DesignLayout.h"

#include <QLabel>
#include <QPushButton>

namespace kestrane {

namespace {

// Where the dialog's client area opens on the screen, in pixels (2760 and 3750 twips).
constexpr QPoint fixedPosition(184, 250);

QFont titleFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    // Where that face is missing, fontconfig gives the closest sans-serif.
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(13.5);
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    return font;
}

} // namespace

HelpDialog::HelpDialog(Services services) : m_services(services)
{
    // A fixed frame with only the close control, kept off the taskbar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("About Kestrane"));

    Label1 = new QLabel(QStringLiteral("Norvale JPEG to PowerPoint Conversion Utility, v.1.0"), this);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setFont(titleFont());
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 192));
    Label1->setPalette(palette);
    Command1 = makeButton(this, "Visit the Norvale Website for More Information");
    OKButton = makeButton(this, "OK");

    DesignLayout layout(6075, 1740);
    layout.add(Label1, 240, 240, 5655, 735);
    layout.add(Command1, 360, 1200, 3735, 375);
    layout.add(OKButton, 4440, 1200, 1215, 375);
    layout.apply(this);
    setFixedSize(size());
    setGeometry(QRect(fixedPosition, size()));

    setTabOrder(OKButton, Command1);
    OKButton->setFocus();

    connect(Command1, &QPushButton::clicked, this, [this] { m_handle([this] { Command1_Click(); }); });
    connect(OKButton, &QPushButton::clicked, this, [this] { m_handle([this] { OKButton_Click(); }); });
}

void HelpDialog::Command1_Click()
{
    // Whether a browser could be started or not, the dialog has done its part.
    m_services.shell.open(toolsPage);
    hide();
}

void HelpDialog::OKButton_Click()
{
    hide();
}

} // namespace kestrane
