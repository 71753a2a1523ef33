#pragma once
// The message list grid: text cells in rows, a current cell, a selected
// range of rows, a row count that can be set directly and column widths in
// twips. Only one column is ever used. The grid draws its cells itself and
// keeps them in a plain vector, so appending tens of thousands of rows one
// by one costs the same for the last row as for the first.

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>
#include <vector>

namespace quillmere {

class FlexGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static inline const QColor kCellBackground{192, 255, 192};
    static inline const QColor kSelectedBackground{0, 128, 128};
    static inline const QColor kGridLines{192, 192, 192};
    static constexpr int kRowHeightPixels = 16;  // 240 twips

    explicit FlexGrid(QWidget* parent = nullptr);

    int rows() const { return static_cast<int>(cells_.size()); }
    // Grows with empty cells or shrinks; at least one row remains.
    void setRows(int rows);
    // The grid always has exactly one column.
    int cols() const { return 1; }

    // Throw std::out_of_range outside the grid.
    QString textMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);
    // Empties every cell; the row count stays.
    void clearCells();

    // The current cell, the one that text() reads and setText() writes.
    // Moving it collapses the selected range onto it.
    int row() const { return row_; }
    int col() const { return 0; }
    void setRow(int row);
    void setCol(int col);
    QString text() const { return cells_[static_cast<size_t>(row_)]; }
    void setText(const QString& text);

    // The other end of the selected range of rows (the current row is one end).
    int rowSel() const { return rowSel_; }
    void setRowSel(int row);

    // The first row shown at the top.
    int topRow() const;

    int colWidthTwips(int col) const { return colWidthTwips_; }
    void setColWidthTwips(int col, int twips);
    int columnWidthPixels() const { return colWidthPixels_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void checkCell(int row, int col) const;
    void updateScrollBars();
    void updateRow(int row);
    int visibleRows() const;
    int rowAt(int y) const;
    void moveCurrent(int row, bool extend);

    std::vector<QString> cells_{QString()};
    int row_ = 0;
    int rowSel_ = 0;
    int colWidthTwips_ = 0;
    int colWidthPixels_ = 0;
};

}  // namespace quillmere
