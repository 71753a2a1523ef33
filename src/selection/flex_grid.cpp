#include "selection/flex_grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quillmere {

namespace {
constexpr int kTextPadding = 2;
int pixelsFromTwips(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }
}  // namespace

FlexGrid::FlexGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(1);  // one row
    horizontalScrollBar()->setSingleStep(20);
    setColWidthTwips(0, 960);  // a new grid's default width
}

void FlexGrid::checkCell(int row, int col) const
{
    if (col != 0 || row < 0 || row >= rows())
        throw std::out_of_range("grid cell out of range");
}

void FlexGrid::setRows(int rows)
{
    rows = std::max(rows, 1);
    if (rows == this->rows())
        return;
    const int before = this->rows();
    cells_.resize(static_cast<size_t>(rows));
    row_ = std::min(row_, rows - 1);
    rowSel_ = std::min(rowSel_, rows - 1);
    updateScrollBars();
    // Only rows on screen need drawing again.
    const int top = topRow();
    const int first = std::min(before, rows);
    if (first < top + visibleRows() + 1)
        viewport()->update();
}

QString FlexGrid::textMatrix(int row, int col) const
{
    checkCell(row, col);
    return cells_[static_cast<size_t>(row)];
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    checkCell(row, col);
    cells_[static_cast<size_t>(row)] = text;
    updateRow(row);
}

void FlexGrid::clearCells()
{
    for (auto& c : cells_)
        c.clear();
    viewport()->update();
}

void FlexGrid::setRow(int row)
{
    checkCell(row, 0);
    const int oldRow = row_, oldSel = rowSel_;
    row_ = rowSel_ = row;
    if (oldRow != oldSel)
        viewport()->update();
    else
        updateRow(oldRow);
    updateRow(row);
}

void FlexGrid::setCol(int col) { checkCell(row_, col); }

void FlexGrid::setText(const QString& text)
{
    cells_[static_cast<size_t>(row_)] = text;
    updateRow(row_);
}

void FlexGrid::setRowSel(int row)
{
    checkCell(row, 0);
    rowSel_ = row;
    viewport()->update();
}

int FlexGrid::topRow() const { return verticalScrollBar()->value(); }

void FlexGrid::setColWidthTwips(int col, int twips)
{
    if (col != 0)
        throw std::out_of_range("grid column out of range");
    colWidthTwips_ = twips;
    colWidthPixels_ = std::max(0, pixelsFromTwips(twips));
    updateScrollBars();
    viewport()->update();
}

int FlexGrid::visibleRows() const { return std::max(1, viewport()->height() / kRowHeightPixels); }

int FlexGrid::rowAt(int y) const
{
    const int r = topRow() + y / kRowHeightPixels;
    return std::clamp(r, 0, rows() - 1);
}

void FlexGrid::updateScrollBars()
{
    // Scrolling goes by whole rows, so the last row can come to the top.
    verticalScrollBar()->setRange(0, std::max(0, rows() - visibleRows()));
    verticalScrollBar()->setPageStep(visibleRows());
    horizontalScrollBar()->setRange(0, std::max(0, colWidthPixels_ - viewport()->width()));
    horizontalScrollBar()->setPageStep(std::max(1, viewport()->width()));
}

void FlexGrid::updateRow(int row)
{
    const int y = (row - topRow()) * kRowHeightPixels;
    if (y + kRowHeightPixels < 0 || y > viewport()->height())
        return;
    viewport()->update(0, y, viewport()->width(), kRowHeightPixels);
}

void FlexGrid::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    const QRect area = viewport()->rect();
    p.fillRect(event->rect(), Qt::white);  // where there are no cells

    const int first = topRow();
    const int last = std::min(rows() - 1, first + area.height() / kRowHeightPixels + 1);
    const int selLow = std::min(row_, rowSel_), selHigh = std::max(row_, rowSel_);
    const bool range = selLow != selHigh;
    const int x = -horizontalScrollBar()->value();
    const QColor text = palette().color(QPalette::WindowText);
    const QColor selectedText = palette().color(QPalette::HighlightedText);
    p.setFont(font());
    for (int r = first; r <= last; ++r) {
        const QRect cell(x, (r - first) * kRowHeightPixels, colWidthPixels_, kRowHeightPixels);
        if (!cell.intersects(event->rect()))
            continue;
        const bool selected = range && r >= selLow && r <= selHigh;
        p.fillRect(cell, selected ? kSelectedBackground : kCellBackground);
        p.setPen(selected ? selectedText : text);
        const QRect textBox = cell.adjusted(kTextPadding, 0, -kTextPadding - 1, -1);
        p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, cells_[static_cast<size_t>(r)]);
        p.setPen(kGridLines);
        p.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
        p.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
        if (r == row_ && hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = cell.adjusted(1, 1, -2, -2);
            focus.backgroundColor = selected ? kSelectedBackground : kCellBackground;
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
        }
    }
}

void FlexGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void FlexGrid::moveCurrent(int row, bool extend)
{
    row = std::clamp(row, 0, rows() - 1);
    const int anchor = extend ? rowSel_ : row;
    row_ = row;
    rowSel_ = anchor;
    // Keep the current row on screen.
    if (row < topRow())
        verticalScrollBar()->setValue(row);
    else if (row >= topRow() + visibleRows())
        verticalScrollBar()->setValue(row - visibleRows() + 1);
    viewport()->update();
}

void FlexGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    const int y = event->position().toPoint().y();
    if (y >= (rows() - topRow()) * kRowHeightPixels)
        return;  // below the last row
    moveCurrent(rowAt(y), event->modifiers() & Qt::ShiftModifier);
}

void FlexGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return QAbstractScrollArea::mouseMoveEvent(event);
    // Dragging stretches the range from where the press landed.
    const int anchor = rowSel_;
    moveCurrent(rowAt(std::max(0, event->position().toPoint().y())), true);
    rowSel_ = anchor;
}

void FlexGrid::keyPressEvent(QKeyEvent* event)
{
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Up: moveCurrent(row_ - 1, extend); break;
    case Qt::Key_Down: moveCurrent(row_ + 1, extend); break;
    case Qt::Key_PageUp: moveCurrent(row_ - visibleRows(), extend); break;
    case Qt::Key_PageDown: moveCurrent(row_ + visibleRows(), extend); break;
    case Qt::Key_Home: moveCurrent(0, extend); break;
    case Qt::Key_End: moveCurrent(rows() - 1, extend); break;
    case Qt::Key_Left: horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
}

void FlexGrid::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    updateRow(row_);
}

void FlexGrid::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    updateRow(row_);
}

}  // namespace quillmere
