#include "pst/read/ltp.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "pst/format/heap.h"
#include "pst/read/bytes.h"
#include "util/utf.h"

namespace pst::read {
using namespace format;

NodeData::NodeData(Ndb& ndb, uint64_t bidData, uint64_t bidSub)
    : ndb_(&ndb), heap_(ndb.readDataBlocks(bidData)), subnodes_(ndb.readSubnodes(bidSub)) {}

std::optional<SubnodeLeaf> NodeData::subnode(uint32_t nid) const {
    auto it = subnodes_.find(nid);
    if (it == subnodes_.end()) return std::nullopt;
    return it->second;
}

std::vector<uint8_t> NodeData::hnid(uint32_t hnid) const {
    if (hnid == 0) return {};
    if (hidType(hnid) == 0) {
        auto item = heap_.item(hnid);
        return {item.begin(), item.end()};
    }
    auto sub = subnode(hnid);
    if (!sub) throw ReadError("value refers to subnode " + hex(hnid) + ", which the node does not have");
    return ndb_->readData(sub->bidData);
}

namespace {

std::u16string utf16(std::span<const uint8_t> b) {
    std::u16string s = quillmere::fromUtf16Le(b);
    while (!s.empty() && s.back() == u'\0') s.pop_back();
    return s;
}

std::u16string string8(std::span<const uint8_t> b) {
    std::u16string s(b.begin(), b.end());
    while (!s.empty() && s.back() == u'\0') s.pop_back();
    return s;
}

template <class T>
std::vector<T> fixedArray(std::span<const uint8_t> b, size_t width) {
    if (b.size() % width != 0) throw ReadError("multi-valued property size is not a multiple of its element size");
    std::vector<T> out;
    for (size_t i = 0; i < b.size(); i += width) {
        if (width == 2)
            out.push_back(static_cast<T>(static_cast<int16_t>(u16(b, i))));
        else if (width == 4)
            out.push_back(static_cast<T>(static_cast<int32_t>(u32(b, i))));
        else
            out.push_back(static_cast<T>(u64(b, i)));
    }
    return out;
}

std::vector<std::span<const uint8_t>> variableArray(std::span<const uint8_t> b) {
    std::vector<std::span<const uint8_t>> out;
    if (b.empty()) return out;
    uint32_t count = u32(b, 0);
    if (size_t(count) * 4 + 4 > b.size()) throw ReadError("multi-valued property count exceeds its data");
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t start = u32(b, 4 + 4 * i);
        uint32_t end = i + 1 < count ? u32(b, 8 + 4 * i) : static_cast<uint32_t>(b.size());
        if (start > end || end > b.size() || start < 4 + 4 * count)
            throw ReadError("multi-valued property offsets are out of order");
        out.push_back(b.subspan(start, end - start));
    }
    return out;
}

}  // namespace

PropValue decodeValue(uint16_t type, std::span<const uint8_t> b) {
    auto need = [&](size_t n) {
        if (b.size() < n) throw ReadError("value of type " + hex(type) + " has " + std::to_string(b.size()) + " bytes");
    };
    switch (type) {
        case uint16_t(PropType::Int16): need(2); return int32_t(int16_t(u16(b, 0)));
        case uint16_t(PropType::Int32):
        case uint16_t(PropType::ErrorCode): need(4); return int32_t(u32(b, 0));
        case uint16_t(PropType::Float): {
            need(4);
            float f;
            std::memcpy(&f, b.data(), 4);
            return double(f);
        }
        case uint16_t(PropType::Double):
        case uint16_t(PropType::AppTime): {
            need(8);
            double d;
            std::memcpy(&d, b.data(), 8);
            return d;
        }
        case uint16_t(PropType::Currency):
        case uint16_t(PropType::Int64): need(8); return int64_t(u64(b, 0));
        case uint16_t(PropType::Boolean): need(1); return b[0] != 0;
        case uint16_t(PropType::SysTime): need(8); return FileTime{u64(b, 0)};
        case uint16_t(PropType::Guid): {
            need(16);
            Guid g;
            std::memcpy(g.data(), b.data(), 16);
            return g;
        }
        case uint16_t(PropType::Unicode): return utf16(b);
        case uint16_t(PropType::String8): return string8(b);
        case uint16_t(PropType::Binary):
        case uint16_t(PropType::Object): return Bytes(b.begin(), b.end());
        case uint16_t(PropType::MvInt16): return fixedArray<int32_t>(b, 2);
        case uint16_t(PropType::MvInt32): return fixedArray<int32_t>(b, 4);
        case uint16_t(PropType::MvInt64):
        case uint16_t(PropType::MvSysTime):
        case uint16_t(PropType::MvCurrency): return fixedArray<int64_t>(b, 8);
        case uint16_t(PropType::MvGuid): {
            if (b.size() % 16 != 0) throw ReadError("multi-valued GUID size is not a multiple of 16");
            std::vector<Guid> out(b.size() / 16);
            for (size_t i = 0; i < out.size(); ++i) std::memcpy(out[i].data(), b.data() + 16 * i, 16);
            return out;
        }
        case uint16_t(PropType::MvUnicode): {
            std::vector<std::u16string> out;
            for (auto item : variableArray(b)) out.push_back(utf16(item));
            return out;
        }
        case uint16_t(PropType::MvString8): {
            std::vector<std::u16string> out;
            for (auto item : variableArray(b)) out.push_back(string8(item));
            return out;
        }
        case uint16_t(PropType::MvBinary): {
            std::vector<Bytes> out;
            for (auto item : variableArray(b)) out.emplace_back(item.begin(), item.end());
            return out;
        }
        default: return Bytes(b.begin(), b.end());
    }
}

std::vector<PcRecord> readPcRecords(const NodeData& node) {
    auto& heap = node.heap();
    if (heap.clientSig() != kClientSigPropertyContext) throw ReadError("heap client signature is " + hex(heap.clientSig()) + ", not a property context");
    auto bth = readBth(heap, heap.userRoot());
    if (bth.cbKey != 2 || bth.cbEnt != 6) throw ReadError("property context BTH has key/entry sizes other than 2/6");
    std::vector<PcRecord> out;
    out.reserve(bth.records.size());
    for (auto& r : bth.records)
        out.push_back({makeTag(static_cast<uint16_t>(r.key), static_cast<PropType>(u16(r.data, 0))), u32(r.data, 2)});
    return out;
}

std::vector<Property> readPc(const NodeData& node) {
    std::vector<Property> out;
    for (auto& r : readPcRecords(node)) {
        uint16_t type = static_cast<uint16_t>(tagType(r.tag));
        size_t fixed = fixedSize(type);
        std::vector<uint8_t> bytes;
        if (fixed != 0 && fixed <= 4) {
            bytes.resize(4);
            std::memcpy(bytes.data(), &r.valueHnid, 4);
        } else if (fixed != 0) {
            if (hidType(r.valueHnid) != 0) throw ReadError("fixed-size property " + hex(r.tag) + " is not stored in the heap");
            auto item = node.heap().item(r.valueHnid);
            bytes.assign(item.begin(), item.end());
            if (bytes.size() != fixed) throw ReadError("property " + hex(r.tag) + " has " + std::to_string(bytes.size()) + " bytes");
        } else if (type == uint16_t(PropType::Object)) {
            auto item = node.heap().item(r.valueHnid);
            if (item.size() != 8) throw ReadError("object property " + hex(r.tag) + " reference is not 8 bytes");
            bytes.assign(item.begin(), item.end());
        } else {
            bytes = node.hnid(r.valueHnid);
        }
        out.push_back({r.tag, decodeValue(type, bytes)});
    }
    return out;
}

Table readTc(const NodeData& node, TableLayout* layoutOut) {
    auto& heap = node.heap();
    bool unicode = node.ndb().layout().unicode;
    if (heap.clientSig() != kClientSigTableContext) throw ReadError("heap client signature is " + hex(heap.clientSig()) + ", not a table context");
    auto info = heap.item(heap.userRoot());
    if (info.size() < kTcInfoFixedSize) throw ReadError("TCINFO is too short");
    if (info[0] != kClientSigTableContext) throw ReadError("TCINFO type is " + hex(info[0]));
    TableLayout lay;
    size_t cCols = info[1];
    for (int i = 0; i < 4; ++i) lay.rgib[i] = u16(info, 2 + 2 * i);
    lay.hidRowIndex = u32(info, 10);
    lay.hnidRows = u32(info, 14);
    if (info.size() < kTcInfoFixedSize + kTcColDescSize * cCols) throw ReadError("TCINFO is shorter than its column descriptors");
    uint16_t rowSize = lay.rgib[3];
    if (!(lay.rgib[0] <= lay.rgib[1] && lay.rgib[1] <= lay.rgib[2] && lay.rgib[2] <= lay.rgib[3]))
        throw ReadError("TCINFO group offsets are out of order");
    if (size_t(lay.rgib[3]) - lay.rgib[2] != (cCols + 7) / 8)
        throw ReadError("cell existence block is " + std::to_string(lay.rgib[3] - lay.rgib[2]) + " bytes for " + std::to_string(cCols) + " columns");
    std::set<uint8_t> bits;
    for (size_t i = 0; i < cCols; ++i) {
        size_t o = kTcInfoFixedSize + kTcColDescSize * i;
        TableColumn c{u32(info, o), u16(info, o + 4), u8(info, o + 6), u8(info, o + 7)};
        if (!lay.columns.empty() && c.tag <= lay.columns.back().tag) throw ReadError("column descriptors are not sorted by tag");
        if (size_t(c.ibData) + c.cbData > lay.rgib[2]) throw ReadError("column " + hex(c.tag) + " lies outside the row data");
        if (c.iBit >= cCols || !bits.insert(c.iBit).second) throw ReadError("column " + hex(c.tag) + " has an invalid or shared existence bit");
        uint16_t type = static_cast<uint16_t>(tagType(c.tag));
        size_t fixed = fixedSize(type);
        size_t width = fixed != 0 && fixed <= 8 ? fixed : 4;
        if (c.cbData != width) throw ReadError("column " + hex(c.tag) + " is " + std::to_string(c.cbData) + " bytes wide, not " + std::to_string(width));
        size_t groupEnd = width >= 4 ? lay.rgib[0] : width == 2 ? lay.rgib[1] : lay.rgib[2];
        size_t groupStart = width >= 4 ? 0 : width == 2 ? lay.rgib[0] : lay.rgib[1];
        if (c.ibData < groupStart || c.ibData + c.cbData > groupEnd) throw ReadError("column " + hex(c.tag) + " lies outside its size group");
        lay.columns.push_back(c);
    }

    auto rowIndex = readBth(heap, lay.hidRowIndex);
    if (rowIndex.cbKey != 4 || rowIndex.cbEnt != (unicode ? 4 : 2)) throw ReadError("row index has the wrong key/entry sizes");
    for (auto& r : rowIndex.records)
        lay.rowIndex.push_back({static_cast<uint32_t>(r.key), unicode ? u32(r.data, 0) : u16(r.data, 0)});

    // The row matrix: a heap item, or a subnode whose blocks each hold whole rows.
    std::vector<std::span<const uint8_t>> rows;
    std::vector<std::vector<uint8_t>> blocks;
    if (lay.hnidRows != 0) {
        if (rowSize == 0) throw ReadError("table has rows of size 0");
        if (hidType(lay.hnidRows) == 0) {
            auto item = heap.item(lay.hnidRows);
            if (item.size() % rowSize != 0) throw ReadError("row matrix is not a whole number of rows");
            for (size_t o = 0; o < item.size(); o += rowSize) rows.push_back(item.subspan(o, rowSize));
        } else {
            auto sub = node.subnode(lay.hnidRows);
            if (!sub) throw ReadError("row matrix subnode " + hex(lay.hnidRows) + " is missing");
            blocks = node.ndb().readDataBlocks(sub->bidData);
            size_t perBlock = node.ndb().layout().maxBlockData() / rowSize;
            for (size_t b = 0; b < blocks.size(); ++b) {
                auto& d = blocks[b];
                size_t n = d.size() / rowSize;
                if (b + 1 < blocks.size() && n != perBlock)
                    throw ReadError("row matrix block " + std::to_string(b) + " holds " + std::to_string(n) + " rows, not " + std::to_string(perBlock));
                if (b + 1 == blocks.size() && d.size() % rowSize != 0) throw ReadError("row matrix ends in a partial row");
                for (size_t i = 0; i < std::min(n, perBlock); ++i) rows.push_back(std::span<const uint8_t>(d).subspan(i * rowSize, rowSize));
            }
        }
    }
    if (rows.size() != lay.rowIndex.size())
        throw ReadError("row index lists " + std::to_string(lay.rowIndex.size()) + " rows, the row matrix holds " + std::to_string(rows.size()));
    std::vector<bool> seen(rows.size());
    for (auto [id, index] : lay.rowIndex) {
        if (index >= rows.size() || seen[index]) throw ReadError("row index entry " + hex(id) + " points at row " + std::to_string(index));
        seen[index] = true;
        if (u32(rows[index], 0) != id) throw ReadError("row " + std::to_string(index) + " holds id " + hex(u32(rows[index], 0)) + ", the row index says " + hex(id));
    }

    Table t;
    for (auto& c : lay.columns) t.columns.push_back(c.tag);
    for (auto row : rows) {
        TableRow r;
        r.rowId = u32(row, 0);
        auto ceb = row.subspan(lay.rgib[2]);
        for (auto& c : lay.columns) {
            if (!(ceb[c.iBit / 8] & (1 << (7 - c.iBit % 8)))) continue;
            uint16_t type = static_cast<uint16_t>(tagType(c.tag));
            size_t fixed = fixedSize(type);
            auto cell = row.subspan(c.ibData, c.cbData);
            if (fixed != 0 && fixed <= 8) {
                r.cells.push_back({c.tag, decodeValue(type, cell)});
            } else {
                auto bytes = node.hnid(u32(cell, 0));
                r.cells.push_back({c.tag, decodeValue(type, bytes)});
            }
        }
        t.rows.push_back(std::move(r));
    }
    if (layoutOut) *layoutOut = std::move(lay);
    return t;
}

}  // namespace pst::read
