#include "pst/read/heap.h"

#include <optional>

#include "pst/format/heap.h"
#include "pst/read/bytes.h"

namespace pst::read {
using namespace format;

namespace {

size_t headerSize(size_t block) { return heapBlockHeaderSize(block); }

}  // namespace

Heap::Heap(std::vector<std::vector<uint8_t>> blocks) : blocks_(std::move(blocks)) {
    if (blocks_.empty()) throw ReadError("heap has no data blocks");
    if (blocks_.size() > 0x10000) throw ReadError("heap has more blocks than an HID can address");
    auto& first = blocks_[0];
    if (first.size() < kHnHdrSize) throw ReadError("heap's first block is too short for its header");
    if (first[2] != kHeapSignature) throw ReadError("heap signature is " + hex(first[2]) + ", not 0xEC");
    clientSig_ = first[3];
    userRoot_ = u32(first, 4);
    for (size_t b = 0; b < blocks_.size(); ++b) {
        auto& d = blocks_[b];
        PageMap m;
        if (d.size() < headerSize(b) + 4) throw ReadError("heap block " + std::to_string(b) + " is too short");
        m.ibHnpm = u16(d, 0);
        if (m.ibHnpm < headerSize(b) || m.ibHnpm % 2 != 0 || size_t(m.ibHnpm) + 4 > d.size())
            throw ReadError("heap block " + std::to_string(b) + ": page map offset " + std::to_string(m.ibHnpm) + " is invalid");
        m.cAlloc = u16(d, m.ibHnpm);
        m.cFree = u16(d, m.ibHnpm + 2);
        if (size_t(m.ibHnpm) + 4 + 2 * (size_t(m.cAlloc) + 1) > d.size())
            throw ReadError("heap block " + std::to_string(b) + ": page map runs past the block");
        for (size_t i = 0; i <= m.cAlloc; ++i) m.offsets.push_back(u16(d, m.ibHnpm + 4 + 2 * i));
        if (m.offsets[0] < headerSize(b)) throw ReadError("heap block " + std::to_string(b) + ": first allocation overlaps the header");
        for (size_t i = 1; i < m.offsets.size(); ++i)
            if (m.offsets[i] < m.offsets[i - 1])
                throw ReadError("heap block " + std::to_string(b) + ": allocation offsets go backwards");
        if (m.offsets.back() > m.ibHnpm) throw ReadError("heap block " + std::to_string(b) + ": allocations overlap the page map");
        maps_.push_back(std::move(m));
    }
}

bool Heap::contains(uint32_t hid) const {
    if (hidType(hid) != 0 || hidIndex(hid) == 0) return false;
    size_t b = hidBlockIndex(hid);
    return b < maps_.size() && hidIndex(hid) <= maps_[b].cAlloc;
}

std::span<const uint8_t> Heap::item(uint32_t hid) const {
    if (!contains(hid)) throw ReadError("HID " + hex(hid) + " is not allocated in the heap");
    auto& m = maps_[hidBlockIndex(hid)];
    size_t i = hidIndex(hid);
    return std::span<const uint8_t>(blocks_[hidBlockIndex(hid)]).subspan(m.offsets[i - 1], m.offsets[i] - m.offsets[i - 1]);
}

uint8_t Heap::recordedFillLevel(size_t block) const {
    size_t base, slot;
    if (block < kFirstBitmapBlock) {
        base = kHnHdrFillLevelOffset;
        slot = block;
        auto& d = blocks_[0];
        return (d[base + slot / 2] >> ((slot % 2) * 4)) & 0xF;
    }
    size_t owner = kFirstBitmapBlock + (block - kFirstBitmapBlock) / kBlocksPerBitmap * kBlocksPerBitmap;
    if (owner >= blocks_.size()) return 0;
    slot = block - owner;
    auto& d = blocks_[owner];
    return (d[kHnBitmapFillLevelOffset + slot / 2] >> ((slot % 2) * 4)) & 0xF;
}

namespace {

uint64_t readKey(std::span<const uint8_t> rec, size_t cbKey) {
    uint64_t k = 0;
    for (size_t i = 0; i < cbKey && i < 8; ++i) k |= uint64_t(rec[i]) << (8 * i);
    return k;
}

void walk(const Heap& heap, const Bth& bth, uint32_t hid, int level, std::vector<BthRecord>& out,
          std::optional<uint64_t> expectedFirst) {
    auto items = heap.item(hid);
    size_t recSize = bth.cbKey + (level > 0 ? 4 : bth.cbEnt);
    if (items.empty() || items.size() % recSize != 0)
        throw ReadError("BTH record array " + hex(hid) + " has " + std::to_string(items.size()) +
                        " bytes, not a multiple of " + std::to_string(recSize));
    size_t n = items.size() / recSize;
    for (size_t i = 0; i < n; ++i) {
        auto rec = items.subspan(i * recSize, recSize);
        uint64_t key = readKey(rec, bth.cbKey);
        if (i == 0 && expectedFirst && *expectedFirst != key)
            throw ReadError("BTH index key " + hex(*expectedFirst) + " differs from the first key " + hex(key) + " below it");
        if (!out.empty() && key <= out.back().key && level == 0)
            throw ReadError("BTH keys are not in ascending order at key " + hex(key));
        if (level > 0) {
            walk(heap, bth, u32(rec, bth.cbKey), level - 1, out, key);
        } else {
            out.push_back({key, rec.subspan(bth.cbKey)});
        }
    }
}

}  // namespace

Bth readBth(const Heap& heap, uint32_t hidHeader) {
    auto h = heap.item(hidHeader);
    if (h.size() < kBthHeaderSize) throw ReadError("BTH header is too short");
    if (h[0] != kClientSigBTreeOnHeap) throw ReadError("BTH header type is " + hex(h[0]) + ", not 0xB5");
    Bth bth;
    bth.cbKey = h[1];
    bth.cbEnt = h[2];
    bth.levels = h[3];
    uint32_t root = u32(h, 4);
    if (bth.cbKey != 2 && bth.cbKey != 4 && bth.cbKey != 8 && bth.cbKey != 16)
        throw ReadError("BTH key size " + std::to_string(bth.cbKey) + " is not 2, 4, 8 or 16");
    if (bth.cbEnt == 0 || bth.cbEnt > 32) throw ReadError("BTH entry size " + std::to_string(bth.cbEnt) + " is out of range");
    if (root == 0) return bth;
    walk(heap, bth, root, bth.levels, bth.records, std::nullopt);
    return bth;
}

}  // namespace pst::read
