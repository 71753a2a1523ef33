#pragma once
// A table context ([MS-PST] "Table Context (TC)"): TCINFO with column
// descriptors, a row index BTH (row id -> row number) and the row matrix,
// kept in the heap while small and in a subnode data tree of whole-row
// blocks when large.
//
// A table written again and again while rows are appended (a folder's
// contents table, at every commit) costs each time in proportion to the rows
// added since: cells go to the heap as their row is added and keep their
// HIDs, and heap pages and row-matrix blocks that are full keep their blocks
// and leave memory. Only the row index, the last partial blocks and the data
// trees above them are written again.

#include <cstdint>
#include <span>
#include <vector>

#include "pst/format/property_tags.h"
#include "pst/ltp/heap_builder.h"
#include "pst/ltp/subnodes.h"
#include "pst/property.h"

namespace pst::ltp {

struct TableColumn {
    PropTag tag = 0;
    uint16_t ibData = 0;  // offset of the cell in a row
    uint8_t cbData = 0;   // width of the cell
    uint8_t iBit = 0;     // bit in the cell existence block
};

class TableContextBuilder {
public:
    // Row id and row version columns are added when missing.
    explicit TableContextBuilder(std::vector<PropTag> columns);

    const std::vector<TableColumn>& columns() const { return columns_; }
    size_t rowSize() const { return rowSize_; }
    size_t rowCount() const { return rowIds_.size(); }
    bool hasColumn(PropTag tag) const { return columnIndex(tag) >= 0; }
    // The memory the table holds between writes: 4 bytes a row, the rows
    // and cells added since the last write, and a few heap pages.
    size_t heldBytes() const;

    // Appends a row. Values for tags that are not columns are ignored; the row
    // id cell is always rowId.
    void addRow(uint32_t rowId, std::span<const Property> values);
    void addRow(uint32_t rowId, std::span<const Property* const> values);
    void clearRows();

    // Writes the table's heap as the node's data and its row matrix and
    // large cells as subnodes.
    NodeBlocks write(ndb::NdbWriter& ndb);
    // Writes now what no later row changes (full heap pages of cells, full
    // row-matrix blocks followed by more rows), so that between writes the
    // table holds about one block of each plus 4 bytes a row. The next
    // write() takes them as they are.
    void writeFull(ndb::NdbWriter& ndb);

private:
    int columnIndex(PropTag tag) const;
    void setCell(std::vector<uint8_t>& row, const Property& p);
    void finishRow(uint32_t rowId, std::vector<uint8_t>& row);
    void startHeap();
    void writeFullMatrixBlocks(ndb::NdbWriter& ndb);

    std::vector<TableColumn> columns_;
    uint16_t rgib_[4] = {};  // end of the 8/4-byte, 2-byte, 1-byte groups and of the bitmap
    size_t rowSize_ = 0;

    std::vector<uint32_t> rowIds_;
    // Rows not yet in a full block of matrixBlocks_, their HNID cells filled in.
    std::vector<uint8_t> matrix_;
    std::vector<ndb::Bid> matrixBlocks_;  // full row-matrix blocks, written once
    ndb::Nid matrixNid_ = 0;

    // The row index's BTHHEADER (the heap's first HID), TCINFO, then the
    // variable-size cells in the order their rows came.
    HeapBuilder heap_{format::kClientSigTableContext};
    Hid rowIndexHid_ = 0;
    Hid tcinfoHid_ = 0;

    struct LargeCell {  // a cell too large for the heap, in a subnode
        ndb::Nid nid = 0;
        ndb::Bid bid = 0;            // 0 until written
        std::vector<uint8_t> bytes;  // until written
    };
    std::vector<LargeCell> largeCells_;
    uint32_t nextSubnodeIndex_ = 1;
};

}  // namespace pst::ltp
