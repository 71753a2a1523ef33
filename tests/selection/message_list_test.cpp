// The message list on its grid: appending, clearing, the count texts, and
// how the grid draws its cells.

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "selection/flex_grid.h"
#include "selection/message_list.h"

using namespace quillmere;

TEST(MessageCountTexts, AreTheNumberFollowedByTheFixedText)
{
    EXPECT_EQ(MessageCountText(1), QStringLiteral("1 Email Messages"));
    EXPECT_EQ(MessageCountText(20000), QStringLiteral("20000 Email Messages"));
    EXPECT_EQ(MessagesFoundText(0), QStringLiteral("0 Email Messages Found."));
    EXPECT_EQ(MessagesFoundText(1234), QStringLiteral("1234 Email Messages Found."));
}

class MessageListTest : public ::testing::Test {
protected:
    void SetUp() override { grid.setColWidthTwips(0, 50000); }
    FlexGrid grid;
    QLabel count{kNoFilesText};
    StringList folderPaths{u""};
};

TEST_F(MessageListTest, TheFirstPathFillsRowZeroAndLaterOnesAppend)
{
    AddFileToList(grid, count, QStringLiteral("/m/a.eml"));
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.textMatrix(0, 0), QStringLiteral("/m/a.eml"));
    EXPECT_EQ(grid.colWidthTwips(0), 10000);
    EXPECT_EQ(count.text(), QStringLiteral("1 Email Messages"));

    grid.setColWidthTwips(0, 20000);  // no longer empty: the width is left alone
    AddFileToList(grid, count, QStringLiteral("/m/b.eml"));
    AddFileToList(grid, count, QStringLiteral("/m/a.eml"));
    EXPECT_EQ(grid.rows(), 3);
    EXPECT_EQ(grid.textMatrix(1, 0), QStringLiteral("/m/b.eml"));
    EXPECT_EQ(grid.textMatrix(2, 0), QStringLiteral("/m/a.eml"));  // no de-duplication
    EXPECT_EQ(grid.colWidthTwips(0), 20000);
    EXPECT_EQ(grid.row(), 2);
    EXPECT_EQ(grid.text(), QStringLiteral("/m/a.eml"));
    EXPECT_EQ(count.text(), QStringLiteral("3 Email Messages"));
}

TEST_F(MessageListTest, PathsAreKeptExactlyAsGiven)
{
    const QString odd = QStringLiteral(" /m/Ünïcode dir/Re: hello .EML ");
    AddFileToList(grid, count, odd);
    EXPECT_EQ(grid.textMatrix(0, 0), odd);
}

TEST_F(MessageListTest, ClearingLeavesOneEmptyRowAndResetsTheFolderList)
{
    for (int i = 0; i < 5; ++i)
        AddFileToList(grid, count, QStringLiteral("/m/%1.eml").arg(i));
    folderPaths = {u"m", u"m\\x"};

    ClearFileList(grid, count, folderPaths);
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.textMatrix(0, 0), QString());
    EXPECT_EQ(count.text(), QStringLiteral("0 files"));
    EXPECT_EQ(folderPaths, StringList{u""});
    EXPECT_EQ(grid.colWidthTwips(0), 10000);
    EXPECT_TRUE(ListIsEmpty(grid));

    AddFileToList(grid, count, QStringLiteral("/m/new.eml"));
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.textMatrix(0, 0), QStringLiteral("/m/new.eml"));
}

TEST_F(MessageListTest, AListWhoseFirstCellWasEmptiedByHandCountsAsEmpty)
{
    // A row count of one with an empty cell is the empty list, however it came about.
    AddFileToList(grid, count, QStringLiteral("/m/a.eml"));
    grid.setTextMatrix(0, 0, QString());
    AddFileToList(grid, count, QStringLiteral("/m/b.eml"));
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.textMatrix(0, 0), QStringLiteral("/m/b.eml"));
}

TEST(FlexGrid, RejectsCellsOutsideTheGrid)
{
    FlexGrid grid;
    EXPECT_THROW(grid.textMatrix(1, 0), std::out_of_range);
    EXPECT_THROW(grid.textMatrix(0, 1), std::out_of_range);
    EXPECT_THROW(grid.setRow(1), std::out_of_range);
    grid.setRows(3);
    grid.setRow(2);
    grid.setRows(2);  // the current row follows a shrink
    EXPECT_EQ(grid.row(), 1);
    grid.setRows(0);  // never fewer than one row
    EXPECT_EQ(grid.rows(), 1);
}

TEST(FlexGrid, DrawsCellsLightGreenOnWhiteWithSilverLinesAndRangesInTeal)
{
    QWidget host;
    host.resize(400, 200);
    FlexGrid grid(&host);
    grid.setGeometry(0, 0, 400, 200);
    grid.setColWidthTwips(0, 4500);  // 300 pixels
    grid.setRows(3);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    auto pixel = [&](QPoint p) { return QColor(grid.viewport()->grab().toImage().pixel(p)); };
    // Cells are light green; the current cell alone (here row 2, away from
    // the focus mark on row 0) shows as a cell, not as a selection.
    grid.clearFocus();
    grid.setRow(2);
    EXPECT_EQ(pixel({10, 5}), QColor(192, 255, 192));
    EXPECT_EQ(pixel({10, 37}), QColor(192, 255, 192));
    EXPECT_EQ(pixel({350, 5}), QColor(Qt::white));   // right of the column
    EXPECT_EQ(pixel({10, 120}), QColor(Qt::white));  // below the last row
    EXPECT_EQ(pixel({10, 15}), QColor(192, 192, 192));  // the line under row 0
    EXPECT_EQ(pixel({299, 5}), QColor(192, 192, 192));  // the line right of the column

    // A range of rows shows the selection colour; moving the current cell
    // collapses it again.
    grid.setRow(1);
    grid.setRowSel(2);
    EXPECT_EQ(pixel({10, 21}), QColor(0, 128, 128));
    EXPECT_EQ(pixel({10, 37}), QColor(0, 128, 128));
    EXPECT_EQ(pixel({10, 5}), QColor(192, 255, 192));
    grid.setRow(0);
    EXPECT_EQ(grid.rowSel(), 0);
    EXPECT_EQ(pixel({10, 21}), QColor(192, 255, 192));
}

TEST(FlexGrid, ScrollsByRowsAndStaysPutWhenRowsAreAppended)
{
    FlexGrid grid;
    grid.resize(300, 120);
    grid.setColWidthTwips(0, 50000);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.setRows(1000);
    grid.setRow(999);
    EXPECT_EQ(grid.topRow(), 0);  // setting the row does not scroll, as in a flex grid
    EXPECT_GT(grid.horizontalScrollBar()->maximum(), 0);  // the wide column scrolls sideways
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_End);
    EXPECT_EQ(grid.row(), 999);
    EXPECT_GT(grid.topRow(), 990);
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(grid.row(), 0);
    EXPECT_EQ(grid.rowSel(), 999);
}

TEST(FlexGrid, AClickMakesTheCurrentCellAndADragSelectsRows)
{
    FlexGrid grid;
    grid.resize(300, 120);
    grid.setRows(5);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(10, 16 * 2 + 4));
    EXPECT_EQ(grid.row(), 2);
    EXPECT_EQ(grid.rowSel(), 2);
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, QPoint(10, 4));
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 16 * 3 + 4), grid.viewport()->mapToGlobal(QPointF(10, 52)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &move);
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, QPoint(10, 16 * 3 + 4));
    EXPECT_EQ(grid.rowSel(), 0);
    EXPECT_EQ(grid.row(), 3);
    // Below the last row nothing happens.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(10, 16 * 5 + 4));
    EXPECT_EQ(grid.row(), 3);
}
