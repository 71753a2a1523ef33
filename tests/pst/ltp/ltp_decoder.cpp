#include "ltp_decoder.h"

#include <functional>
#include <stdexcept>

namespace pst::testing {
namespace {

uint16_t u16(const std::vector<uint8_t>& b, size_t at) {
    if (at + 2 > b.size()) throw std::out_of_range("read past end");
    return uint16_t(b[at] | (b[at + 1] << 8));
}
uint32_t u32(const std::vector<uint8_t>& b, size_t at) { return u16(b, at) | (uint32_t(u16(b, at + 2)) << 16); }

std::vector<uint8_t> resolveHnid(const FakeNdbWriter& ndb, const DecodedHeap& heap, ndb::Bid subnode, uint32_t hnid) {
    if (hnid == 0) return {};
    if ((hnid & 0x1F) == 0) return heap.item(hnid);
    return ndb.read(ndb.subnode(subnode, hnid).bidData);
}

}  // namespace

DecodedHeap decodeHeap(const std::vector<std::vector<uint8_t>>& pages) {
    DecodedHeap h;
    h.pages = pages;
    const auto& first = pages.at(0);
    if (first.at(2) != 0xEC) throw std::runtime_error("bad heap signature");
    h.clientSig = first[3];
    h.userRoot = u32(first, 4);
    return h;
}

std::vector<uint8_t> DecodedHeap::item(uint32_t hid) const {
    if (hid & 0x1F) throw std::runtime_error("not a HID");
    const auto& page = pages.at(hid >> 16);
    uint32_t index = (hid >> 5) & 0x7FF;
    size_t map = u16(page, 0);
    size_t count = u16(page, map);
    if (index == 0 || index > count) throw std::runtime_error("HID index out of range");
    size_t begin = u16(page, map + 4 + 2 * (index - 1)), end = u16(page, map + 4 + 2 * index);
    if (begin > end || end > map) throw std::runtime_error("bad page map");
    return {page.begin() + begin, page.begin() + end};
}

size_t DecodedHeap::itemCount() const {
    size_t n = 0;
    for (auto& p : pages) n += u16(p, u16(p, 0));
    return n;
}

DecodedBth decodeBth(const DecodedHeap& heap, uint32_t hid) {
    auto header = heap.item(hid);
    if (header.size() != 8 || header[0] != 0xB5) throw std::runtime_error("bad BTHHEADER");
    DecodedBth bth{header[1], header[2], header[3], {}};
    uint32_t root = u32(header, 4);
    if (root == 0) return bth;
    std::function<void(uint32_t, int)> walk = [&](uint32_t at, int level) {
        auto item = heap.item(at);
        size_t rec = level ? bth.keySize + 4u : bth.keySize + bth.dataSize;
        if (item.empty() || item.size() % rec) throw std::runtime_error("bad BTH node size");
        for (size_t i = 0; i < item.size(); i += rec) {
            if (level) walk(u32(item, i + bth.keySize), level - 1);
            else bth.records.emplace_back(item.begin() + i, item.begin() + i + rec);
        }
    };
    walk(root, bth.levels);
    return bth;
}

std::map<uint16_t, DecodedProp> decodePc(const FakeNdbWriter& ndb, ndb::Bid data, ndb::Bid subnode) {
    DecodedHeap heap = decodeHeap(ndb.blocks.at(data));
    if (heap.clientSig != 0xBC) throw std::runtime_error("not a PC");
    // Readers look for a PC's BTHHEADER at the first HID.
    if (heap.userRoot != 0x20) throw std::runtime_error("PC BTHHEADER is not the first allocation");
    DecodedBth bth = decodeBth(heap, heap.userRoot);
    if (bth.keySize != 2 || bth.dataSize != 6) throw std::runtime_error("bad PC BTH sizes");
    std::map<uint16_t, DecodedProp> out;
    for (auto& r : bth.records) {
        uint16_t id = u16(r, 0), type = u16(r, 2);
        uint32_t value = u32(r, 4);
        DecodedProp p{type, {}};
        bool inlineType = type == 0x0002 || type == 0x0003 || type == 0x0004 || type == 0x000A || type == 0x000B;
        if (inlineType) p.bytes.assign(r.begin() + 4, r.end());
        else p.bytes = resolveHnid(ndb, heap, subnode, value);
        out[id] = std::move(p);
    }
    return out;
}

DecodedTable decodeTc(const FakeNdbWriter& ndb, ndb::Bid data, ndb::Bid subnode) {
    DecodedHeap heap = decodeHeap(ndb.blocks.at(data));
    if (heap.clientSig != 0x7C) throw std::runtime_error("not a TC");
    // Readers look for the row index BTHHEADER at the first HID.
    if (heap.item(0x20).at(0) != 0xB5) throw std::runtime_error("TC row index header is not the first allocation");
    auto info = heap.item(heap.userRoot);
    if (info.at(0) != 0x7C) throw std::runtime_error("bad TCINFO");
    DecodedTable t;
    size_t cols = info[1];
    for (int i = 0; i < 4; ++i) t.rgib[i] = u16(info, 2 + 2 * i);
    uint32_t hidRowIndex = u32(info, 10), hnidRows = u32(info, 14);
    for (size_t i = 0; i < cols; ++i) {
        size_t at = 22 + 8 * i;
        t.columns.push_back({u32(info, at), u16(info, at + 4), info.at(at + 6), info.at(at + 7)});
    }
    DecodedBth index = decodeBth(heap, hidRowIndex);
    for (auto& r : index.records) t.rowIndex.emplace_back(u32(r, 0), u32(r, 4));

    size_t rowSize = t.rgib[3];
    std::vector<std::vector<uint8_t>> rowBytes;
    if (hnidRows != 0) {
        std::vector<std::vector<uint8_t>> blocks;
        if ((hnidRows & 0x1F) == 0) blocks.push_back(heap.item(hnidRows));
        else blocks = ndb.blocks.at(ndb.subnode(subnode, hnidRows).bidData), t.matrixBlocks = blocks.size();
        size_t remaining = index.records.size();
        for (size_t b = 0; b < blocks.size(); ++b) {
            if (b + 1 < blocks.size() && blocks[b].size() != ndb::kMaxBlockPayload)
                throw std::runtime_error("row matrix block not full-sized");
            size_t n = std::min(blocks[b].size() / rowSize, remaining);
            for (size_t i = 0; i < n; ++i)
                rowBytes.emplace_back(blocks[b].begin() + i * rowSize, blocks[b].begin() + (i + 1) * rowSize);
            remaining -= n;
        }
    }
    for (auto& row : rowBytes) {
        std::map<uint32_t, std::vector<uint8_t>> cells;
        for (auto& c : t.columns) {
            bool exists = row.at(t.rgib[2] + c.bit / 8) & (0x80 >> (c.bit % 8));
            if (!exists) continue;
            std::vector<uint8_t> cell(row.begin() + c.ib, row.begin() + c.ib + c.cb);
            uint16_t type = c.tag & 0xFFFF;
            bool fixed = type == 0x0002 || type == 0x0003 || type == 0x0004 || type == 0x000A || type == 0x000B ||
                         type == 0x0005 || type == 0x0006 || type == 0x0007 || type == 0x0014 || type == 0x0040;
            cells[c.tag] = fixed ? cell : resolveHnid(ndb, heap, subnode, u32(cell, 0));
        }
        t.rows.push_back(std::move(cells));
    }
    return t;
}

}  // namespace pst::testing
