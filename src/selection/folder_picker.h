#pragma once
// The folder chooser: a modal dialog over `owner` showing `title`, offering
// existing folders only, opening at the top of the file system with nothing
// preselected. Returns the chosen folder's path, without a trailing "/"
// except for the root itself, or the empty string when the user cancels or
// closes the dialog.

#include <QString>

class QWidget;

namespace quillmere {

QString BrowseForFolder(QWidget* owner, const QString& title);

}  // namespace quillmere
