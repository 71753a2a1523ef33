#pragma once
// Heap-on-node ([MS-PST] "HN (Heap-on-Node)") and BTree-on-heap ("BTH")
// over the data blocks of a node.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace pst::read {

class Heap {
public:
    // Validates every block's header and page map; throws ReadError.
    explicit Heap(std::vector<std::vector<uint8_t>> blocks);

    uint8_t clientSig() const { return clientSig_; }
    uint32_t userRoot() const { return userRoot_; }
    size_t blockCount() const { return blocks_.size(); }
    // The bytes of an allocation; throws ReadError for an HID the heap lacks.
    std::span<const uint8_t> item(uint32_t hid) const;
    bool contains(uint32_t hid) const;

    struct PageMap {
        uint16_t ibHnpm = 0;
        uint16_t cAlloc = 0;
        uint16_t cFree = 0;
        std::vector<uint16_t> offsets;  // cAlloc + 1 entries
    };
    const std::vector<PageMap>& pageMaps() const { return maps_; }
    // The fill level the headers record for a block (0..15).
    uint8_t recordedFillLevel(size_t block) const;

private:
    std::vector<std::vector<uint8_t>> blocks_;
    std::vector<PageMap> maps_;
    uint8_t clientSig_ = 0;
    uint32_t userRoot_ = 0;
};

// The records of a BTH, leaf level, in order. Keys up to 8 bytes are given
// as integers; the data stays as bytes of the heap.
struct BthRecord {
    uint64_t key = 0;
    std::span<const uint8_t> data;
};
struct Bth {
    uint8_t cbKey = 0;
    uint8_t cbEnt = 0;
    uint8_t levels = 0;  // bIdxLevels
    std::vector<BthRecord> records;
};
// Validates ordering (strictly ascending keys), index keys matching the first
// key of the level below and uniform depth; throws ReadError.
Bth readBth(const Heap& heap, uint32_t hidHeader);

}  // namespace pst::read
