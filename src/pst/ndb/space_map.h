#pragma once
// Which 64-byte slots of the file are in use, section by section: the model
// behind the AMap pages ([MS-PST] "AMap (Allocation Map) Page"). A section
// is the 253,952 bytes an AMap page maps, starting with the AMap page itself
// and the PMap/FMap/FPMap pages the format places after it.
//
// Sections that are wholly in use keep no bitmap, so memory stays small for
// a file written front to back whatever its size.

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "pst/format/constants.h"

namespace pst::ndb {

inline constexpr size_t kAMapBytes = format::kPageDataSize;  // 496
inline constexpr uint32_t kSlotsPerSection = kAMapBytes * 8;  // 3968
using AMapBits = std::array<uint8_t, kAMapBytes>;

class SpaceMap {
public:
    // `size` and `align` are multiples of 64; size at most 8192, align 64 or 512.
    // Grows the file by whole sections when nothing fits.
    uint64_t allocate(uint64_t size, uint64_t align);
    void release(uint64_t ib, uint64_t size);
    // Marks an allocation that already exists (used when mapping a region twice is a bug).
    bool isAllocated(uint64_t ib, uint64_t size) const;

    uint32_t sectionCount() const { return static_cast<uint32_t>(sections_.size()); }
    uint64_t fileEnd() const { return format::amapOffset(sections_.size()); }
    AMapBits bits(uint32_t section) const;
    uint64_t freeBytes() const;

    // Sections whose bits changed since the last takeDirty().
    std::vector<uint32_t> takeDirty();
    void markDirty(uint64_t ib);

private:
    struct Section {
        std::unique_ptr<AMapBits> bits;  // null: every slot in use
        uint32_t freeSlots = 0;
        uint32_t maxRun = 0;     // upper bound of the longest free run
        uint32_t firstFree = 0;  // no free slot below this one
        uint32_t freePages = 0;  // zero bytes of the bitmap: free, aligned 512-byte pages
        bool dirty = false;
    };
    void addSection();
    bool tryAllocate(uint32_t index, uint32_t slots, uint32_t alignSlots, uint32_t& at);
    void setRange(Section& s, uint32_t from, uint32_t count, bool used);
    static uint32_t longestRun(const AMapBits& bits);
    void touch(uint32_t index);

    // Sections by their maxRun in steps of 16 slots, so that an allocation
    // looks only at sections that may hold it, the closest fit first (which
    // is how freed holes get reused before the end of the file).
    static constexpr int kClassWidth = 16;
    static constexpr int kClasses = kSlotsPerSection / kClassWidth + 1;
    static int sizeClass(uint32_t run) { return run ? int(run / kClassWidth) : -1; }
    void setMaxRun(uint32_t index, uint32_t run);

    std::vector<Section> sections_;
    std::array<std::set<uint32_t>, kClasses> byClass_;
    std::set<uint32_t> withFreePage_;  // sections with freePages > 0
    std::vector<uint32_t> dirty_;
};

}  // namespace pst::ndb
