#pragma once
// A heap-on-node ([MS-PST] "Heap-on-Node (HN)") assembled in memory and
// handed to the node database as the pages of the node's data: one block
// for a small heap, a data tree of pages for a large one.

#include <cstdint>
#include <span>
#include <vector>

#include "pst/format/heap.h"
#include "pst/ndb/ndb_writer.h"

namespace pst::ltp {

using format::Hid;

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
    // The memory the builder holds (frozen pages hold none).
    size_t heldBytes() const;

    // A heap that lives across several writes of one node: allocations made
    // after a mark are dropped again by rollback (the row index and other
    // parts rebuilt at every write), those before it keep their HIDs.
    struct Mark {
        size_t pages = 0;
        size_t allocs = 0;    // in the last page
        size_t dataSize = 0;  // of the last page
    };
    Mark mark() const;
    void rollback(const Mark& m);

    // Writes the pages as the node's data (one block, or a data tree of
    // pages) and returns its bid. Pages before `freezeBelow` other than page
    // 0 and the bitmap pages (whose fill levels change as the heap grows)
    // are final: they keep their block from then on, are not written again
    // and their bytes leave memory. Frozen pages cannot be overwritten.
    ndb::Bid write(ndb::NdbWriter& ndb, size_t freezeBelow = 0);
    // Writes now, and freezes, the pages write() would freeze with every
    // page but the last before `freezeBelow`: a heap that grows between
    // writes holds only its last page, page 0 and the bitmap pages.
    void writeFullPages(ndb::NdbWriter& ndb);

private:
    struct Page {
        std::vector<uint8_t> data;      // allocations only, packed
        std::vector<uint16_t> offsets;  // start of each allocation within data
        ndb::Bid frozen = 0;            // the page's block once final
        uint8_t frozenLevel = 0;
        void release();
    };
    std::vector<uint8_t> pageBytes(size_t index, const std::vector<uint8_t>& levels) const;
    std::vector<uint8_t> fillLevels() const;
    bool freezable(size_t index, size_t freezeBelow) const;
    void freeze(size_t index, ndb::Bid bid, uint8_t level);
    std::vector<std::vector<uint8_t>> buildPages(bool release);
    static size_t headerSize(size_t pageIndex);
    static size_t pageSize(size_t pageIndex, size_t dataSize, size_t allocCount);

    uint8_t clientSig_;
    Hid userRoot_ = 0;
    std::vector<Page> pages_;
    size_t frozenBelow_ = 1;  // writeFullPages has dealt with every page before this
};

// The fill level code of a page with this many free bytes ([MS-PST] "HNHDR" rgbFillLevel).
uint8_t fillLevel(size_t freeBytes);

}  // namespace pst::ltp
