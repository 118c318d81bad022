#include "ui/Controls.h"

#include <QLabel>
#include <QPushButton>

namespace kestrane {

QLabel* makeLabel(QWidget* parent, const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* text)
{
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace kestrane
