#pragma once
// A heap-on-node ([MS-PST] "Heap-on-Node (HN)") assembled in memory and
// handed to the node database as the pages of the node's data: one block
// for a small heap, a data tree of pages for a large one.

#include <cstdint>
#include <span>
#include <vector>

namespace pst::ltp {

using Hid = uint32_t;

// bClientSig values ([MS-PST] "HNHDR").
inline constexpr uint8_t kClientSigTableContext = 0x7C;
inline constexpr uint8_t kClientSigBTreeOnHeap = 0xB5;
inline constexpr uint8_t kClientSigPropertyContext = 0xBC;

// Largest single heap allocation ([MS-PST] "HID").
inline constexpr size_t kMaxHeapAllocation = 3580;

class HeapBuilder {
public:
    explicit HeapBuilder(uint8_t clientSig) : clientSig_(clientSig) {}

    // Copies the bytes into the heap and returns their HID. At most
    // kMaxHeapAllocation bytes; an empty allocation is allowed.
    Hid allocate(std::span<const uint8_t> bytes);
    // Overwrites an earlier allocation of the same size (used to fill in
    // headers whose content is only known after their children).
    void overwrite(Hid hid, std::span<const uint8_t> bytes);
    void setUserRoot(Hid hid) { userRoot_ = hid; }

    // The heap's pages, each at most one block payload, page 0 first.
    std::vector<std::vector<uint8_t>> pages() const;
    // The same, giving up the builder's copy page by page (the builder is
    // empty afterwards): a large heap is not held twice.
    std::vector<std::vector<uint8_t>> takePages();
    size_t pageCount() const { return pages_.size(); }

private:
    struct Page {
        std::vector<uint8_t> data;      // allocations only, packed
        std::vector<uint16_t> offsets;  // start of each allocation within data
    };
    std::vector<std::vector<uint8_t>> buildPages(bool release);
    static size_t headerSize(size_t pageIndex);
    static size_t pageSize(size_t pageIndex, size_t dataSize, size_t allocCount);

    uint8_t clientSig_;
    Hid userRoot_ = 0;
    std::vector<Page> pages_;
};

// The fill level code of a page with this many free bytes ([MS-PST] "HNHDR" rgbFillLevel).
uint8_t fillLevel(size_t freeBytes);

constexpr Hid makeHid(uint32_t pageIndex, uint32_t allocIndex) { return (pageIndex << 16) | (allocIndex << 5); }
constexpr uint32_t hidPage(Hid hid) { return hid >> 16; }
constexpr uint32_t hidIndex(Hid hid) { return (hid >> 5) & 0x7FF; }

}  // namespace pst::ltp
