#include "platform/QtMessageBox.h"

#include <QMessageBox>

namespace kestrane {

void QtMessageBox::show(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrane"), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace kestrane
