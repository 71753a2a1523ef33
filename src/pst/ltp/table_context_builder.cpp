#include "pst/ltp/table_context_builder.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "pst/ltp/bth_builder.h"
#include "pst/ltp/byte_writer.h"
#include "pst/ltp/heap_builder.h"
#include "pst/ltp/value_encoding.h"

namespace pst::ltp {

TableContextBuilder::TableContextBuilder(std::vector<PropTag> tags) {
    for (auto& t : tags) t = storedTag(t);
    for (PropTag required : {kTagLtpRowId, kTagLtpRowVer})
        if (std::find(tags.begin(), tags.end(), required) == tags.end()) tags.push_back(required);
    std::sort(tags.begin(), tags.end());
    tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
    if (tags.size() > 255) throw std::invalid_argument("a table has at most 255 columns");

    columns_.resize(tags.size());
    for (size_t i = 0; i < tags.size(); ++i) {
        columns_[i].tag = tags[i];
        columns_[i].cbData = static_cast<uint8_t>(cellSize(tagType(tags[i])));
    }
    // Row id at 0 and row version at 4 with bits 0 and 1 ([MS-PST] "Row Data
    // Format"); then the 8-, 4-, 2- and 1-byte cells; then the bitmap.
    uint16_t offset = 8;
    uint8_t bit = 2;
    for (auto& c : columns_) {
        if (c.tag == kTagLtpRowId) { c.ibData = 0; c.iBit = 0; }
        else if (c.tag == kTagLtpRowVer) { c.ibData = 4; c.iBit = 1; }
        else c.iBit = bit++;
    }
    for (size_t width : {8, 4, 2, 1}) {
        for (auto& c : columns_) {
            if (c.tag == kTagLtpRowId || c.tag == kTagLtpRowVer || c.cbData != width) continue;
            c.ibData = offset;
            offset += c.cbData;
        }
        if (width == 4) rgib_[0] = offset;
        if (width == 2) rgib_[1] = offset;
        if (width == 1) rgib_[2] = offset;
    }
    offset += static_cast<uint16_t>((columns_.size() + 7) / 8);
    rgib_[3] = offset;
    rowSize_ = offset;
}

int TableContextBuilder::columnIndex(PropTag tag) const {
    tag = storedTag(tag);
    auto it = std::lower_bound(columns_.begin(), columns_.end(), tag,
                               [](const TableColumn& c, PropTag t) { return c.tag < t; });
    if (it == columns_.end() || it->tag != tag) return -1;
    return static_cast<int>(it - columns_.begin());
}

void TableContextBuilder::setCell(std::vector<uint8_t>& row, std::vector<uint8_t>& variable, const Property& p) {
    int index = columnIndex(p.tag);
    if (index < 0) return;
    const TableColumn& c = columns_[index];
    if (c.tag == kTagLtpRowId) return;
    PropType type = tagType(c.tag);
    std::vector<uint8_t> bytes = encodeValue(type, p.value);
    if (fixedSize(type)) {
        std::copy(bytes.begin(), bytes.end(), row.begin() + c.ibData);
    } else {
        putU16(variable, static_cast<uint16_t>(index));
        putU32(variable, static_cast<uint32_t>(bytes.size()));
        putBytes(variable, bytes);
    }
    row[rgib_[2] + c.iBit / 8] |= uint8_t(0x80 >> (c.iBit % 8));
}

void TableContextBuilder::finishRow(uint32_t rowId, std::vector<uint8_t>& row, std::vector<uint8_t>& variable) {
    setU32(row.data(), rowId);
    row[rgib_[2]] |= 0xC0;  // the row id and row version cells exist
    rowIds_.push_back(rowId);
    matrix_.insert(matrix_.end(), row.begin(), row.end());
    if (variable_.size() + variable.size() > UINT32_MAX) throw std::length_error("table too large");
    variableStart_.push_back(static_cast<uint32_t>(variable_.size()));
    variable_.insert(variable_.end(), variable.begin(), variable.end());
}

void TableContextBuilder::addRow(uint32_t rowId, std::span<const Property> values) {
    std::vector<uint8_t> row(rowSize_), variable;
    for (auto& p : values) setCell(row, variable, p);
    finishRow(rowId, row, variable);
}

void TableContextBuilder::addRow(uint32_t rowId, std::span<const Property* const> values) {
    std::vector<uint8_t> row(rowSize_), variable;
    for (auto* p : values) setCell(row, variable, *p);
    finishRow(rowId, row, variable);
}

void TableContextBuilder::clearRows() {
    rowIds_.clear();
    matrix_.clear();
    variable_.clear();
    variableStart_.clear();
}

NodeBlocks TableContextBuilder::write(ndb::NdbWriter& ndb) {
    HeapBuilder heap(kClientSigTableContext);
    Subnodes subnodes;
    // Row index: row ids in ascending order with their row numbers.
    std::vector<uint32_t> order(rowIds_.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return rowIds_[a] < rowIds_[b]; });
    std::vector<uint8_t> index;
    index.reserve(order.size() * 8);
    for (uint32_t i : order) {
        putU32(index, rowIds_[i]);
        putU32(index, i);
    }
    Hid rowIndexHid = buildBthPacked(heap, 4, 4, index);  // its header at the first HID, as readers expect
    constexpr size_t kTcInfoFixed = 22;
    std::vector<uint8_t> tcinfo(kTcInfoFixed + 8 * columns_.size());
    Hid tcinfoHid = heap.allocate(tcinfo);  // filled in below

    // Variable-size cells go to the heap (or a subnode) and their HNIDs into the rows.
    // The HNID cells of matrix_ are placeholders, refilled at every write.
    std::vector<uint8_t>& matrix = matrix_;
    for (size_t r = 0; r < variableStart_.size(); ++r) {
        size_t end = r + 1 < variableStart_.size() ? variableStart_[r + 1] : variable_.size();
        const uint8_t* cells = variable_.data();
        for (size_t at = variableStart_[r]; at < end;) {
            uint16_t col = getU16(&cells[at]);
            uint32_t len = getU32(&cells[at + 2]);
            std::span<const uint8_t> bytes(cells + at + 6, len);
            at += 6 + len;
            uint32_t hnid = 0;
            if (len > kMaxHeapAllocation) {
                hnid = subnodes.allocate(ndb::NID_TYPE_LTP);
                subnodes.add(hnid, ndb.writeData(bytes));
            } else if (len > 0) {
                hnid = heap.allocate(bytes);
            }
            setU32(&matrix[r * rowSize_ + columns_[col].ibData], hnid);
        }
    }

    uint32_t hnidRows = 0;
    if (!matrix.empty()) {
        if (matrix.size() <= kMaxHeapAllocation) {
            hnidRows = heap.allocate(matrix);
        } else {
            // Whole rows per block; every block but the last is full-sized ([MS-PST] "Row Matrix").
            size_t rowsPerBlock = ndb::kMaxBlockPayload / rowSize_;
            std::vector<std::vector<uint8_t>> blocks;
            for (size_t first = 0; first < rowIds_.size(); first += rowsPerBlock) {
                size_t n = std::min(rowsPerBlock, rowIds_.size() - first);
                auto begin = matrix.begin() + first * rowSize_;
                blocks.emplace_back(begin, begin + n * rowSize_);
                if (first + n < rowIds_.size()) blocks.back().resize(ndb::kMaxBlockPayload, 0);
            }
            hnidRows = subnodes.allocate(ndb::NID_TYPE_LTP);
            subnodes.add(hnidRows, ndb.writeBlocks(blocks));
        }
    }

    tcinfo.clear();
    putU8(tcinfo, kClientSigTableContext);  // bType
    putU8(tcinfo, static_cast<uint8_t>(columns_.size()));
    for (uint16_t ib : rgib_) putU16(tcinfo, ib);
    putU32(tcinfo, rowIndexHid);
    putU32(tcinfo, hnidRows);
    putU32(tcinfo, 0);  // hidIndex, deprecated
    for (auto& c : columns_) {
        putU32(tcinfo, c.tag);
        putU16(tcinfo, c.ibData);
        putU8(tcinfo, c.cbData);
        putU8(tcinfo, c.iBit);
    }
    heap.overwrite(tcinfoHid, tcinfo);
    heap.setUserRoot(tcinfoHid);

    NodeBlocks out;
    out.data = ndb.writeBlocks(heap.takePages());
    out.subnode = subnodes.write(ndb);
    return out;
}

}  // namespace pst::ltp
