#include "pst/ltp/table_context_builder.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "pst/ltp/bth_builder.h"
#include "pst/ltp/byte_writer.h"
#include "pst/ltp/heap_builder.h"
#include "pst/ltp/value_encoding.h"

namespace pst::ltp {
using namespace format;

TableContextBuilder::TableContextBuilder(std::vector<PropTag> tags) {
    for (auto& t : tags) t = storedTag(t);
    for (PropTag required : {tags::PR_LTP_ROW_ID, tags::PR_LTP_ROW_VER})
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
        if (c.tag == tags::PR_LTP_ROW_ID) { c.ibData = 0; c.iBit = 0; }
        else if (c.tag == tags::PR_LTP_ROW_VER) { c.ibData = 4; c.iBit = 1; }
        else c.iBit = bit++;
    }
    for (size_t width : {8, 4, 2, 1}) {
        for (auto& c : columns_) {
            if (c.tag == tags::PR_LTP_ROW_ID || c.tag == tags::PR_LTP_ROW_VER || c.cbData != width) continue;
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
    startHeap();
}

int TableContextBuilder::columnIndex(PropTag tag) const {
    tag = storedTag(tag);
    auto it = std::lower_bound(columns_.begin(), columns_.end(), tag,
                               [](const TableColumn& c, PropTag t) { return c.tag < t; });
    if (it == columns_.end() || it->tag != tag) return -1;
    return static_cast<int>(it - columns_.begin());
}

void TableContextBuilder::startHeap() {
    heap_ = HeapBuilder(kClientSigTableContext);
    rowIndexHid_ = heap_.allocate(std::vector<uint8_t>(kBthHeaderSize));  // readers expect it at the first HID
    tcinfoHid_ = heap_.allocate(std::vector<uint8_t>(kTcInfoFixedSize + kTcColDescSize * columns_.size()));
    heap_.setUserRoot(tcinfoHid_);
}

void TableContextBuilder::setCell(std::vector<uint8_t>& row, const Property& p) {
    int index = columnIndex(p.tag);
    if (index < 0) return;
    const TableColumn& c = columns_[index];
    if (c.tag == tags::PR_LTP_ROW_ID) return;
    PropType type = tagType(c.tag);
    std::vector<uint8_t> bytes = encodeValue(type, p.value);
    if (fixedSize(type)) {
        std::copy(bytes.begin(), bytes.end(), row.begin() + c.ibData);
    } else {
        uint32_t hnid = 0;
        if (bytes.size() > kMaxHeapAllocation) {
            hnid = format::makeNid(format::NID_TYPE_LTP, nextSubnodeIndex_++);
            largeCells_.push_back({hnid, 0, std::move(bytes)});
        } else if (!bytes.empty()) {
            hnid = heap_.allocate(bytes);
        }
        setU32(&row[c.ibData], hnid);
    }
    row[rgib_[2] + c.iBit / 8] |= uint8_t(0x80 >> (c.iBit % 8));
}

void TableContextBuilder::finishRow(uint32_t rowId, std::vector<uint8_t>& row) {
    setU32(row.data(), rowId);
    row[rgib_[2]] |= 0xC0;  // the row id and row version cells exist
    rowIds_.push_back(rowId);
    matrix_.insert(matrix_.end(), row.begin(), row.end());
}

void TableContextBuilder::addRow(uint32_t rowId, std::span<const Property> values) {
    std::vector<uint8_t> row(rowSize_);
    for (auto& p : values) setCell(row, p);
    finishRow(rowId, row);
}

void TableContextBuilder::addRow(uint32_t rowId, std::span<const Property* const> values) {
    std::vector<uint8_t> row(rowSize_);
    for (auto* p : values) setCell(row, *p);
    finishRow(rowId, row);
}

void TableContextBuilder::clearRows() {
    rowIds_.clear();
    matrix_.clear();
    matrixBlocks_.clear();
    matrixNid_ = 0;
    largeCells_.clear();
    nextSubnodeIndex_ = 1;
    startHeap();
}

// Whole rows per block; every block but the last is full-sized ([MS-PST]
// "Row Matrix"). A block is final once rows follow it.
void TableContextBuilder::writeFullMatrixBlocks(ndb::NdbWriter& ndb) {
    const size_t blockBytes = ndb::kMaxBlockPayload / rowSize_ * rowSize_;
    size_t consumed = 0;
    while (matrix_.size() - consumed > blockBytes) {
        std::vector<uint8_t> block(matrix_.begin() + consumed, matrix_.begin() + consumed + blockBytes);
        block.resize(ndb::kMaxBlockPayload, 0);
        matrixBlocks_.push_back(ndb.writeData(block));
        consumed += blockBytes;
    }
    if (!consumed) return;
    matrix_.erase(matrix_.begin(), matrix_.begin() + consumed);
    matrix_.shrink_to_fit();  // the rows leave memory with their blocks
}

void TableContextBuilder::writeFull(ndb::NdbWriter& ndb) {
    heap_.writeFullPages(ndb);
    writeFullMatrixBlocks(ndb);
}

size_t TableContextBuilder::heldBytes() const {
    size_t n = heap_.heldBytes() + 4 * rowIds_.capacity() + matrix_.capacity() + 8 * matrixBlocks_.capacity();
    for (const LargeCell& c : largeCells_) n += sizeof c + c.bytes.capacity();
    return n;
}

NodeBlocks TableContextBuilder::write(ndb::NdbWriter& ndb) {
    Subnodes subnodes;
    for (auto& cell : largeCells_) {
        if (!cell.bid) {
            cell.bid = ndb.writeData(cell.bytes);
            cell.bytes = std::vector<uint8_t>();  // = {} would keep the capacity
        }
        subnodes.add(cell.nid, cell.bid);
    }

    // What follows the cells in the heap is written anew each time and
    // dropped again afterwards.
    const HeapBuilder::Mark cellsEnd = heap_.mark();
    struct Rollback {
        HeapBuilder& heap;
        const HeapBuilder::Mark& mark;
        ~Rollback() { heap.rollback(mark); }
    } rollback{heap_, cellsEnd};

    // Row index: row ids in ascending order with their row numbers.
    std::vector<uint8_t> index;
    index.reserve(rowIds_.size() * 8);
    if (std::is_sorted(rowIds_.begin(), rowIds_.end())) {
        for (uint32_t i = 0; i < rowIds_.size(); ++i) {
            putU32(index, rowIds_[i]);
            putU32(index, i);
        }
    } else {
        std::vector<uint32_t> order(rowIds_.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return rowIds_[a] < rowIds_[b]; });
        for (uint32_t i : order) {
            putU32(index, rowIds_[i]);
            putU32(index, i);
        }
    }
    buildBthPacked(heap_, 4, 4, index, rowIndexHid_);
    index = std::vector<uint8_t>();

    uint32_t hnidRows = 0;
    if (!rowIds_.empty()) {
        if (matrixBlocks_.empty() && matrix_.size() <= kMaxHeapAllocation) {
            hnidRows = heap_.allocate(matrix_);
        } else {
            writeFullMatrixBlocks(ndb);
            std::vector<ndb::Bid> blocks = matrixBlocks_;
            if (!matrix_.empty()) blocks.push_back(ndb.writeData(matrix_));
            if (!matrixNid_) matrixNid_ = format::makeNid(format::NID_TYPE_LTP, nextSubnodeIndex_++);
            subnodes.add(matrixNid_, ndb.writeDataTree(blocks));
            hnidRows = matrixNid_;
        }
    }

    std::vector<uint8_t> tcinfo;
    putU8(tcinfo, kClientSigTableContext);  // bType
    putU8(tcinfo, static_cast<uint8_t>(columns_.size()));
    for (uint16_t ib : rgib_) putU16(tcinfo, ib);
    putU32(tcinfo, rowIndexHid_);
    putU32(tcinfo, hnidRows);
    putU32(tcinfo, 0);  // hidIndex, deprecated
    for (auto& c : columns_) {
        putU32(tcinfo, c.tag);
        putU16(tcinfo, c.ibData);
        putU8(tcinfo, c.cbData);
        putU8(tcinfo, c.iBit);
    }
    heap_.overwrite(tcinfoHid_, tcinfo);

    NodeBlocks out;
    // Pages before the one the last cell is in are full and final.
    out.data = heap_.write(ndb, cellsEnd.pages ? cellsEnd.pages - 1 : 0);
    out.subnode = subnodes.write(ndb);
    return out;
}

}  // namespace pst::ltp
