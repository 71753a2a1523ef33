#include "pst/ndb/space_map.h"

#include <stdexcept>

namespace pst::ndb {

namespace {
constexpr uint64_t kSlot = format::kAMapBytesPerBit;

bool slotUsed(const AMapBits& b, uint32_t i) { return (b[i >> 3] >> (7 - (i & 7))) & 1; }
}  // namespace

// Bit order: the first slot of a section is the most significant bit of the
// first byte, as Outlook's files show (an AMap page maps itself with 0xFF...).

void SpaceMap::addSection() {
    uint32_t index = sectionCount();
    Section s;
    s.bits = std::make_unique<AMapBits>();
    s.bits->fill(0);
    s.freeSlots = kSlotsPerSection;
    s.freePages = kAMapBytes;
    uint32_t fixed = format::mapPagesInSection(index) * (format::kPageSize / kSlot);
    sections_.push_back(std::move(s));
    setRange(sections_.back(), 0, fixed, true);
    sections_.back().firstFree = fixed;
    setMaxRun(index, kSlotsPerSection - fixed);
    touch(index);
}

void SpaceMap::setMaxRun(uint32_t index, uint32_t run) {
    Section& s = sections_[index];
    int before = sizeClass(s.maxRun), after = sizeClass(run);
    if (before != after) {
        if (before >= 0) byClass_[before].erase(index);
        if (after >= 0) byClass_[after].insert(index);
    }
    s.maxRun = run;
}

void SpaceMap::touch(uint32_t index) {
    Section& s = sections_[index];
    if (!s.dirty) {
        s.dirty = true;
        dirty_.push_back(index);
    }
}

void SpaceMap::setRange(Section& s, uint32_t from, uint32_t count, bool used) {
    if (!s.bits) {
        s.bits = std::make_unique<AMapBits>();
        s.bits->fill(0xFF);
    }
    AMapBits& b = *s.bits;
    const uint32_t firstByte = from >> 3, lastByte = (from + count - 1) >> 3;
    for (uint32_t k = firstByte; k <= lastByte; ++k) s.freePages -= b[k] == 0;
    for (uint32_t i = from; i < from + count; ++i) {
        uint8_t mask = static_cast<uint8_t>(0x80u >> (i & 7));
        bool was = b[i >> 3] & mask;
        if (was == used) throw std::logic_error("space map: slot already in that state");
        if (used) b[i >> 3] |= mask; else b[i >> 3] &= static_cast<uint8_t>(~mask);
    }
    for (uint32_t k = firstByte; k <= lastByte; ++k) s.freePages += b[k] == 0;
    if (used) s.freeSlots -= count; else s.freeSlots += count;
    const auto index = static_cast<uint32_t>(&s - sections_.data());
    if (s.freePages) withFreePage_.insert(index); else withFreePage_.erase(index);
}

uint32_t SpaceMap::longestRun(const AMapBits& b) {
    uint32_t best = 0, run = 0;
    for (uint32_t i = 0; i < kSlotsPerSection; ++i) {
        if (slotUsed(b, i)) { run = 0; continue; }
        best = std::max(best, ++run);
    }
    return best;
}

bool SpaceMap::tryAllocate(uint32_t index, uint32_t slots, uint32_t alignSlots, uint32_t& at) {
    Section& s = sections_[index];
    if (s.maxRun > s.freeSlots) setMaxRun(index, s.freeSlots);  // keep the bound tight and cheap
    if (s.freeSlots < slots || s.maxRun < slots || !s.bits) return false;
    const AMapBits& b = *s.bits;
    uint32_t pos = (s.firstFree + alignSlots - 1) / alignSlots * alignSlots;
    while (pos + slots <= kSlotsPerSection) {
        // Skip whole used bytes quickly.
        if ((pos & 7) == 0 && b[pos >> 3] == 0xFF) { pos += std::max<uint32_t>(8, alignSlots); continue; }
        uint32_t i = 0;
        while (i < slots && !slotUsed(b, pos + i)) ++i;
        if (i == slots) {
            at = pos;
            return true;
        }
        pos = (pos + i + 1 + alignSlots - 1) / alignSlots * alignSlots;
    }
    setMaxRun(index, longestRun(b));
    return false;
}

uint64_t SpaceMap::allocate(uint64_t size, uint64_t align) {
    if (size == 0 || size % kSlot || size > format::kMaxBlockSize || align % kSlot)
        throw std::invalid_argument("space map: bad allocation size");
    auto slots = static_cast<uint32_t>(size / kSlot);
    auto alignSlots = static_cast<uint32_t>(align / kSlot);
    uint32_t at = 0;
    uint32_t index = 0;
    bool found = false;
    if (slots == 8 && alignSlots == 8) {
        // A page: any zero byte of a bitmap is one.
        if (!withFreePage_.empty()) {
            index = *withFreePage_.begin();
            found = tryAllocate(index, slots, alignSlots, at);
            if (!found) throw std::logic_error("space map: free page not found");
        }
    } else {
        auto tryClass = [&](int c) {
            for (auto it = byClass_[c].begin(); it != byClass_[c].end();) {
                uint32_t candidate = *it++;  // a failed try may move it to another class
                if (tryAllocate(candidate, slots, alignSlots, at)) {
                    index = candidate;
                    return true;
                }
            }
            return false;
        };
        for (int c = sizeClass(slots); c < kClasses && !found; ++c) found = tryClass(c);
    }
    if (!found) {
        addSection();
        index = sectionCount() - 1;
        if (!tryAllocate(index, slots, alignSlots, at)) throw std::logic_error("space map: fresh section full");
    }
    Section& s = sections_[index];
    setRange(s, at, slots, true);
    if (at <= s.firstFree) s.firstFree = at + slots;
    if (s.maxRun > s.freeSlots) setMaxRun(index, s.freeSlots);
    if (s.freeSlots == 0) {
        s.bits.reset();
        setMaxRun(index, 0);
    }
    touch(index);
    return format::amapOffset(index) + uint64_t(at) * kSlot;
}

void SpaceMap::release(uint64_t ib, uint64_t size) {
    if (ib < format::kFirstAMapOffset || size == 0 || size % kSlot) throw std::logic_error("space map: bad release");
    uint64_t rel = ib - format::kFirstAMapOffset;
    auto index = static_cast<uint32_t>(rel / format::kAMapCoverage);
    auto from = static_cast<uint32_t>((rel % format::kAMapCoverage) / kSlot);
    auto slots = static_cast<uint32_t>(size / kSlot);
    if (index >= sectionCount() || from + slots > kSlotsPerSection) throw std::logic_error("space map: release out of range");
    Section& s = sections_[index];
    setRange(s, from, slots, false);
    s.firstFree = std::min(s.firstFree, from);
    // maxRun stays an upper bound: the run the freed slots now belong to.
    uint32_t lo = from, hi = from + slots;
    while (lo > 0 && !slotUsed(*s.bits, lo - 1)) --lo;
    while (hi < kSlotsPerSection && !slotUsed(*s.bits, hi)) ++hi;
    if (hi - lo > s.maxRun) setMaxRun(index, hi - lo);
    touch(index);
}

bool SpaceMap::isAllocated(uint64_t ib, uint64_t size) const {
    uint64_t rel = ib - format::kFirstAMapOffset;
    auto index = static_cast<uint32_t>(rel / format::kAMapCoverage);
    auto from = static_cast<uint32_t>((rel % format::kAMapCoverage) / kSlot);
    if (index >= sectionCount()) return false;
    const Section& s = sections_[index];
    if (!s.bits) return true;
    for (uint32_t i = from; i < from + size / kSlot; ++i)
        if (!slotUsed(*s.bits, i)) return false;
    return true;
}

AMapBits SpaceMap::bits(uint32_t section) const {
    const Section& s = sections_.at(section);
    if (s.bits) return *s.bits;
    AMapBits full;
    full.fill(0xFF);
    return full;
}

uint64_t SpaceMap::freeBytes() const {
    uint64_t total = 0;
    for (const Section& s : sections_) total += uint64_t(s.freeSlots) * kSlot;
    return total;
}

std::vector<uint32_t> SpaceMap::takeDirty() {
    for (uint32_t i : dirty_) sections_[i].dirty = false;
    std::vector<uint32_t> out;
    out.swap(dirty_);
    return out;
}

void SpaceMap::markDirty(uint64_t ib) {
    auto index = static_cast<uint32_t>((ib - format::kFirstAMapOffset) / format::kAMapCoverage);
    if (index < sectionCount()) touch(index);
}

}  // namespace pst::ndb
