#include "selection/folder_picker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>

namespace quillmere {

namespace {

// Qt's file dialog stores its history, last folder and view in the user's
// settings when it closes. This program keeps no settings: point the
// user-scope settings at a place where nothing can be created, so that state
// lives only as long as the dialog.
void KeepDialogStateUnsaved()
{
    static const bool done = [] {
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
        return true;
    }();
    (void)done;
}

}  // namespace

QString BrowseForFolder(QWidget* owner, const QString& title)
{
    KeepDialogStateUnsaved();
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
