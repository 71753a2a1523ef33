#pragma once
// The message list: the rows of the main window's grid, one message file
// path per row in column 0, in order of addition. An empty list is one row
// holding an empty cell. The count label follows every change.

#include <QLabel>
#include <QString>

#include "selection/flex_grid.h"
#include "util/string_list.h"

namespace quillmere {

inline const QString kNoFilesText = QStringLiteral("0 files");

// "<n> Email Messages", the count label for n listed rows.
QString MessageCountText(int rows);
// "<n> Email Messages Found.", the box after a folder add.
QString MessagesFoundText(int found);

// Whether the list is empty: the current cell, moved to (0, 0), is empty.
// Moves the current cell, as reading the list's first cell always has.
bool ListIsEmpty(FlexGrid& grid);

// Appends one path as the last row (the first row of an empty list) and
// leaves the current cell on it; updates the count label.
void AddFileToList(FlexGrid& grid, QLabel& count, const QString& path);

// Empties the list to one empty row, sets the label to "0 files" and resets
// `folderPaths` to one empty entry. Column widths stay as they are.
void ClearFileList(FlexGrid& grid, QLabel& count, StringList& folderPaths);

}  // namespace quillmere
