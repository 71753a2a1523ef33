#include "selection/message_list.h"

namespace quillmere {

namespace {
constexpr int kListColumnTwips = 10000;
}

QString MessageCountText(int rows) { return QString::number(rows) + QStringLiteral(" Email Messages"); }

QString MessagesFoundText(int found)
{
    return QString::number(found) + QStringLiteral(" Email Messages Found.");
}

bool ListIsEmpty(FlexGrid& grid)
{
    grid.setRow(0);
    grid.setCol(0);
    return grid.text().isEmpty();
}

void AddFileToList(FlexGrid& grid, QLabel& count, const QString& path)
{
    bool wasEmpty = false;
    if (grid.rows() == 1 && ListIsEmpty(grid)) {
        wasEmpty = true;
        grid.setRows(1);
        grid.setColWidthTwips(0, kListColumnTwips);
    }
    if (!wasEmpty)
        grid.setRows(grid.rows() + 1);
    grid.setRow(grid.rows() - 1);
    grid.setCol(0);
    grid.setText(path);
    count.setText(MessageCountText(grid.rows()));
}

void ClearFileList(FlexGrid& grid, QLabel& count, StringList& folderPaths)
{
    folderPaths.assign(1, std::u16string());
    grid.setRows(1);
    grid.clearCells();
    count.setText(kNoFilesText);
}

}  // namespace quillmere
