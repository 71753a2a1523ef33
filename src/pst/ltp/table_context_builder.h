#pragma once
// A table context ([MS-PST] "Table Context (TC)"): TCINFO with column
// descriptors, a row index BTH (row id -> row number) and the row matrix,
// kept in the heap while small and in a subnode data tree of whole-row
// blocks when large.

#include <cstdint>
#include <span>
#include <vector>

#include "pst/ltp/subnodes.h"
#include "pst/property.h"

namespace pst::ltp {

inline constexpr PropTag kTagLtpRowId = 0x67F20003;   // PidTagLtpRowId
inline constexpr PropTag kTagLtpRowVer = 0x67F30003;  // PidTagLtpRowVer

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

    // Appends a row. Values for tags that are not columns are ignored; the row
    // id cell is always rowId.
    void addRow(uint32_t rowId, std::span<const Property> values);
    void addRow(uint32_t rowId, std::span<const Property* const> values);
    void clearRows();

    // Writes the table's heap as the node's data and its row matrix and
    // large cells as subnodes.
    NodeBlocks write(ndb::NdbWriter& ndb);

private:
    int columnIndex(PropTag tag) const;
    void setCell(std::vector<uint8_t>& row, std::vector<uint8_t>& variable, const Property& p);
    void finishRow(uint32_t rowId, std::vector<uint8_t>& row, std::vector<uint8_t>& variable);

    std::vector<TableColumn> columns_;
    uint16_t rgib_[4] = {};  // end of the 8/4-byte, 2-byte, 1-byte groups and of the bitmap
    size_t rowSize_ = 0;

    std::vector<uint32_t> rowIds_;
    std::vector<uint8_t> matrix_;  // fixed part of every row, HNID cells to be filled in at write
    // Variable-size cells of all rows, packed as (column index u16, length
    // u32, bytes)...; row r's cells start at variableStart_[r].
    std::vector<uint8_t> variable_;
    std::vector<uint32_t> variableStart_;
};

}  // namespace pst::ltp
