#include "selection/folder_picker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

namespace quillmere {

QString BrowseForFolder(QWidget* owner, const QString& title)
{
    // The dialog lives on the heap with a guard: the owner may be destroyed
    // while the dialog's own event loop runs.
    QPointer<QFileDialog> dialog = new QFileDialog(owner, title, QDir::rootPath());
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog |
                       QFileDialog::DontResolveSymlinks);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setDirectory(QDir::rootPath());

    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return {};
    QString chosen;
    if (accepted && !dialog->selectedFiles().isEmpty())
        chosen = dialog->selectedFiles().constFirst();
    delete dialog;

    if (chosen.isEmpty())
        return {};
    const QFileInfo info(chosen);
    if (!info.isDir())
        return {};
    // cleanPath drops a trailing "/" but keeps the root's own.
    return QDir::cleanPath(QDir::fromNativeSeparators(info.absoluteFilePath()));
}

}  // namespace quillmere
