#include "ui/Controls.h"

#include <QLabel>
#include <QPushButton>

namespace kestrane {

QLabel* makeLabel(QWidget* parent, const char* text, QWidget* field)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    // Without an access key in the caption the buddy gives no shortcut, only the name.
    label->setBuddy(field);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* text)
{
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    // Outside a dialog, an auto-default button takes Return and Enter only while focused.
    button->setAutoDefault(true);
    return button;
}

} // namespace kestrane
