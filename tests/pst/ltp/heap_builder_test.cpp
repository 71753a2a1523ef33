#include <gtest/gtest.h>

#include "ltp_decoder.h"
#include "pst/ltp/heap_builder.h"

using namespace pst;
using namespace pst::ltp;
using namespace pst::format;
using pst::testing::decodeHeap;

namespace {
std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7);
    return v;
}
}  // namespace

TEST(HeapBuilder, SinglePageHeaderAndItemsDecode) {
    HeapBuilder heap(kClientSigPropertyContext);
    Hid a = heap.allocate(pattern(10, 1));
    Hid b = heap.allocate(pattern(3, 2));  // odd size: the page map must still start on an even offset
    Hid empty = heap.allocate({});
    heap.setUserRoot(b);
    auto pages = heap.pages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(a, 0x20u);  // first allocation of page 0
    EXPECT_EQ(b, 0x40u);
    EXPECT_EQ(pages[0][0] % 2, 0);

    auto decoded = decodeHeap(pages);
    EXPECT_EQ(decoded.clientSig, 0xBC);
    EXPECT_EQ(decoded.userRoot, b);
    EXPECT_EQ(decoded.item(a), pattern(10, 1));
    EXPECT_EQ(decoded.item(b), pattern(3, 2));
    EXPECT_TRUE(decoded.item(empty).empty());
    // A nearly empty page is FILL_LEVEL_EMPTY; the other 7 slots stay zero.
    EXPECT_EQ(pages[0][8] | pages[0][9] | pages[0][10] | pages[0][11], 0);
}

TEST(HeapBuilder, ManyAllocationsSpillOntoPagesWithBitmapHeaders) {
    HeapBuilder heap(kClientSigTableContext);
    std::vector<Hid> hids;
    for (int i = 0; i < 12000; ++i) hids.push_back(heap.allocate(pattern(100 + i % 7, uint8_t(i))));
    auto pages = heap.pages();
    ASSERT_GT(pages.size(), 137u);  // past the bitmap pages at 8 and 136
    for (auto& p : pages) EXPECT_LE(p.size(), ndb::kMaxBlockPayload);
    auto decoded = decodeHeap(pages);
    for (int i = 0; i < 12000; i += 97) EXPECT_EQ(decoded.item(hids[i]), pattern(100 + i % 7, uint8_t(i))) << i;

    // Page 8 starts with HNBITMAPHDR (66 bytes), other pages with HNPAGEHDR (2 bytes).
    auto firstAllocOffset = [&](size_t page) {
        const auto& p = pages[page];
        size_t map = p[0] | (p[1] << 8);
        return p[map + 4] | (p[map + 5] << 8);
    };
    EXPECT_EQ(firstAllocOffset(0), 12);
    EXPECT_EQ(firstAllocOffset(1), 2);
    EXPECT_EQ(firstAllocOffset(8), 66);
    EXPECT_EQ(firstAllocOffset(136), 66);
    // Full pages are marked nearly full in the header's and the bitmap's fill levels.
    EXPECT_NE(pages[0][8] & 0x0F, 0);
    EXPECT_NE(pages[8][2] & 0x0F, 0);
}

TEST(HeapBuilder, RejectsOversizedAllocationAndBadOverwrite) {
    HeapBuilder heap(kClientSigPropertyContext);
    EXPECT_THROW(heap.allocate(std::vector<uint8_t>(kMaxHeapAllocation + 1)), std::invalid_argument);
    Hid h = heap.allocate(std::vector<uint8_t>(kMaxHeapAllocation));
    EXPECT_THROW(heap.overwrite(h, std::vector<uint8_t>(4)), std::invalid_argument);
    heap.overwrite(h, std::vector<uint8_t>(kMaxHeapAllocation, 0xAB));
    EXPECT_EQ(decodeHeap(heap.pages()).item(h)[100], 0xAB);
}

TEST(HeapBuilder, FillLevelBoundaries) {
    EXPECT_EQ(fillLevel(8000), 0);
    EXPECT_EQ(fillLevel(3584), 0);
    EXPECT_EQ(fillLevel(3583), 1);
    EXPECT_EQ(fillLevel(2560), 1);
    EXPECT_EQ(fillLevel(8), 14);
    EXPECT_EQ(fillLevel(7), 15);
    EXPECT_EQ(fillLevel(0), 15);
}

TEST(HeapBuilder, EmptyHeapStillHasAHeaderPage) {
    HeapBuilder heap(kClientSigPropertyContext);
    auto pages = heap.pages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(decodeHeap(pages).itemCount(), 0u);
}

// A heap written, grown and written again: full pages keep their blocks,
// page 0 and the bitmap pages are rewritten with current fill levels, and
// what was allocated after a mark is gone after rollback.
TEST(HeapBuilder, WrittenAgainKeepsFullPagesAndDropsRolledBackAllocations) {
    pst::testing::FakeNdbWriter ndb;
    HeapBuilder heap(kClientSigTableContext);
    std::vector<std::pair<Hid, std::vector<uint8_t>>> kept;
    auto grow = [&](size_t n) {
        for (size_t i = 0; i < n; ++i) {
            std::vector<uint8_t> item(500 + kept.size() % 300, uint8_t(kept.size()));
            kept.emplace_back(heap.allocate(item), item);
        }
    };
    auto writeWithScratch = [&] {
        auto m = heap.mark();
        Hid scratch = heap.allocate(std::vector<uint8_t>(3000, 0xEE));
        ndb::Bid bid = heap.write(ndb, m.pages ? m.pages - 1 : 0);
        heap.rollback(m);
        return std::make_pair(bid, scratch);
    };

    grow(200);  // some 14 pages, one of them a bitmap page
    auto [first, scratch1] = writeWithScratch();
    ndb.commit();
    grow(3);
    auto [second, scratch2] = writeWithScratch();
    EXPECT_LT(ndb.bytesWrittenSinceCommit(), 4u * ndb::kMaxBlockPayload);  // page 0, page 8, the tail
    EXPECT_GT(scratch2, scratch1);  // past the three new allocations, where the first scratch was

    auto h1 = decodeHeap(ndb.blocks.at(first));
    auto h2 = decodeHeap(ndb.blocks.at(second));
    for (size_t p = 1; p + 2 < h1.pages.size(); ++p)
        if (p != 8) {
            EXPECT_EQ(h1.pages[p], h2.pages[p]) << "page " << p;
        }
    EXPECT_EQ(h2.itemCount(), kept.size() + 1);  // one scratch: the first was rolled back
    for (auto& [hid, bytes] : kept) ASSERT_EQ(h2.item(hid), bytes);
    EXPECT_THROW(heap.overwrite(kept[20].first, kept[20].second), std::logic_error);  // its page is final
}
