#include "platform/QtSaveFileDialog.h"

#include <QFileDialog>

namespace kestrane {

void QtSaveFileDialog::ShowSave()
{
    QFileDialog dialog(nullptr, QString::fromUtf8(title), QString(), QString::fromUtf8(filter));
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!m_fileName.empty())
        dialog.selectFile(QString::fromStdString(m_fileName));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_fileName = dialog.selectedFiles().constFirst().toStdString();
}

} // namespace kestrane
