#include "platform/QtSaveFileDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace kestrane {

namespace {

// A last path component without a dot names a file without an extension, which is then given
// the dialog's one file type.
QString withExtension(const QString& path)
{
    return QFileInfo(path).fileName().contains(QLatin1Char('.')) ? path : path + QStringLiteral(".ppt");
}

bool mayReplace(const QString& path)
{
    if (!QFileInfo::exists(path))
        return true;
    const QString question =
        QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName());
    return QMessageBox::warning(nullptr, QString::fromUtf8(QtSaveFileDialog::title), question,
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

void QtSaveFileDialog::ShowSave()
{
    QFileDialog dialog(nullptr, QString::fromUtf8(title), QString(), QString::fromUtf8(filter));
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The question is asked here, about the file that will be written, extension included; the
    // dialog would ask about the name as typed.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!m_fileName.empty())
        dialog.selectFile(QString::fromStdString(m_fileName));
    // Refusing to replace a file returns to the dialog.
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString chosen = withExtension(dialog.selectedFiles().constFirst());
        if (mayReplace(chosen)) {
            m_fileName = chosen.toStdString();
            return;
        }
    }
}

} // namespace kestrane
