// The slot allocator behind the AMaps.

#include <gtest/gtest.h>

#include "pst/format/constants.h"
#include "pst/ndb/space_map.h"

using namespace pst::ndb;
using pst::format::amapOffset;

TEST(NdbSpaceMap, SkipsTheMapPagesOfEverySection) {
    SpaceMap m;
    // Section 0 holds AMap and PMap; the first allocation comes after them.
    EXPECT_EQ(m.allocate(64, 64), amapOffset(0) + 1024);
    // Fill the file past section 8 (the next PMap) and 128 (the first FMap).
    std::vector<uint64_t> got;
    for (int i = 0; i < 129 * 31; ++i) got.push_back(m.allocate(8192, 64));
    EXPECT_GE(m.sectionCount(), 129u);
    for (uint64_t ib : got) {
        uint64_t s = (ib - amapOffset(0)) / pst::format::kAMapCoverage;
        uint64_t start = ib - amapOffset(s);
        EXPECT_GE(start, 512u * pst::format::mapPagesInSection(s)) << "section " << s;
        EXPECT_LE(start + 8192, pst::format::kAMapCoverage);
    }
    AMapBits b = m.bits(128);
    EXPECT_EQ(b[0], 0xFF);  // AMap
    EXPECT_EQ(b[1], 0xFF);  // PMap
    EXPECT_EQ(b[2], 0xFF);  // FMap
}

TEST(NdbSpaceMap, ReusesFreedSpaceAndKeepsPagesAligned) {
    SpaceMap m;
    uint64_t a = m.allocate(512, 512);
    uint64_t b = m.allocate(128, 64);
    uint64_t c = m.allocate(512, 512);
    EXPECT_EQ(a % 512, 0u);
    EXPECT_EQ(c % 512, 0u);
    EXPECT_NE(c, b + 128) << "a page must not start at an unaligned slot";
    uint64_t freeBefore = m.freeBytes();
    m.release(a, 512);
    EXPECT_EQ(m.freeBytes(), freeBefore + 512);
    EXPECT_EQ(m.allocate(512, 512), a);
    m.release(b, 128);
    EXPECT_EQ(m.allocate(64, 64), b);
    EXPECT_EQ(m.allocate(64, 64), b + 64);
    EXPECT_THROW(m.release(a + 4096 * 64, 64), std::logic_error);  // never allocated
}

TEST(NdbSpaceMap, ReportsChangedSectionsOnce) {
    SpaceMap m;
    m.allocate(64, 64);
    EXPECT_EQ(m.takeDirty(), std::vector<uint32_t>{0});
    EXPECT_TRUE(m.takeDirty().empty());
    // A wholly used section keeps no bitmap but still renders as used.
    while (m.sectionCount() < 2) m.allocate(64, 64);
    for (uint8_t byte : m.bits(0)) EXPECT_EQ(byte, 0xFF);
}

// Freed holes are used before the end of the file, for pages and blocks.
TEST(NdbSpaceMap, FillsHolesBeforeGrowing) {
    SpaceMap m;
    std::vector<uint64_t> slots;  // section 0 filled slot by slot
    while (m.sectionCount() < 2) slots.push_back(m.allocate(64, 64));
    slots.pop_back();             // that one opened section 1
    for (int i = 0; i < 128; ++i) m.release(slots[800 + i], 64);
    for (int i = 0; i < 8; ++i) m.release(slots[2000 + i], 64);
    EXPECT_EQ(m.allocate(8192, 64), slots[800]);
    EXPECT_EQ(m.allocate(512, 512), slots[2000]);
    EXPECT_GT(m.allocate(512, 512), amapOffset(1));
}
