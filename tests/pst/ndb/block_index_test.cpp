// The BBT's in-memory index: what it keeps must be exactly what was written,
// and a file it cannot describe is refused, never silently wrapped.

#include <gtest/gtest.h>

#include "pst/ndb/block_index.h"

using namespace pst::ndb;

TEST(NdbBlockIndex, FindsWhatWasWrittenUntilFreedAndDropped) {
    BlockIndex idx;
    const uint64_t big = 200ull << 30;  // offsets past 4 GiB keep their value
    for (Bid bid = 4; bid < 4000; bid += 4) idx.append(bid | (bid % 12 == 0 ? 2 : 0), big + bid * 64, uint16_t(bid));
    ASSERT_NE(idx.find(8), nullptr);
    EXPECT_EQ(idx.find(8)->ib(), big + 8 * 64);
    EXPECT_EQ(idx.find(8)->cb, 8);
    EXPECT_EQ(idx.find(8)->cRef, 1);
    ASSERT_NE(idx.find(12 | 2), nullptr);  // an internal block
    EXPECT_EQ(idx.find(12 | 2)->bid(), Bid{12 | 2});
    EXPECT_EQ(idx.find(12), nullptr);
    EXPECT_EQ(idx.find(5000), nullptr);

    for (Bid bid = 4; bid < 4000; bid += 8) idx.find(bid | (bid % 12 == 0 ? 2 : 0))->cRef = 0;
    EXPECT_EQ(idx.find(4), nullptr);  // freed
    idx.dropFreed();
    EXPECT_EQ(idx.size(), 499u);
    EXPECT_EQ(idx.find(4), nullptr);
    ASSERT_NE(idx.find(3992), nullptr);
    EXPECT_EQ(idx.find(3992)->ib(), big + 3992 * 64);
    Bid last = 0;
    for (const BlockRecord& r : idx) {
        EXPECT_GT(r.bid(), last);
        last = r.bid();
    }
}

TEST(NdbBlockIndex, RefusesWhatItCannotHold) {
    BlockIndex idx;
    idx.append(8, 64, 10);
    EXPECT_THROW(idx.append(8, 128, 10), NdbError);                       // bids must grow
    EXPECT_THROW(idx.append(12, 100, 10), NdbError);                      // not on a block boundary
    EXPECT_THROW(idx.append(16, 256ull << 30, 10), NdbError);             // past 256 GiB
    EXPECT_THROW(idx.append(Bid{1} << 33, 192, 10), NdbError);            // past 2^31 blocks
    EXPECT_NO_THROW(idx.append(20, (256ull << 30) - 64, 10));
    EXPECT_EQ(idx.find(20)->ib(), (256ull << 30) - 64);
}
