#include <gtest/gtest.h>

#include <random>

#include "ltp_decoder.h"
#include "pst/ltp/bth_builder.h"
#include "pst/ltp/byte_writer.h"

using namespace pst::ltp;
using namespace pst::format;
using pst::testing::decodeBth;
using pst::testing::decodeHeap;

namespace {
std::vector<BthRecord> shuffledRecords(uint32_t count) {
    std::vector<BthRecord> records;
    for (uint32_t i = 0; i < count; ++i) {
        BthRecord r;
        putU32(r.key, i * 3 + 0x100);  // keys whose high bytes matter for order
        putU32(r.data, ~i);
        records.push_back(std::move(r));
    }
    std::shuffle(records.begin(), records.end(), std::mt19937(7));
    return records;
}

void expectSortedComplete(const pst::testing::DecodedBth& bth, uint32_t count) {
    ASSERT_EQ(bth.records.size(), count);
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(getU32(bth.records[i].data()), i * 3 + 0x100);
        EXPECT_EQ(getU32(bth.records[i].data() + 4), ~i);
    }
}
}  // namespace

TEST(BthBuilder, EmptyTreeHasNoRoot) {
    HeapBuilder heap(kClientSigBTreeOnHeap);
    Hid h = buildBth(heap, 4, 4, {});
    auto header = decodeHeap(heap.pages()).item(h);
    ASSERT_EQ(header.size(), 8u);
    EXPECT_EQ(header[0], 0xB5);
    EXPECT_EQ(header[1], 4);
    EXPECT_EQ(header[2], 4);
    EXPECT_EQ(getU32(header.data() + 4), 0u);
}

TEST(BthBuilder, OneLeafNeedsNoIndexLevel) {
    HeapBuilder heap(kClientSigBTreeOnHeap);
    Hid h = buildBth(heap, 4, 4, shuffledRecords(447));  // 447 * 8 <= 3580
    auto bth = decodeBth(decodeHeap(heap.pages()), h);
    EXPECT_EQ(bth.levels, 0);
    expectSortedComplete(bth, 447);
}

TEST(BthBuilder, IndexLevelsGrowWithTheRecords) {
    for (auto [count, levels] : {std::pair{448u, 1}, std::pair{150000u, 1}, std::pair{250000u, 2}}) {
        HeapBuilder heap(kClientSigBTreeOnHeap);
        Hid h = buildBth(heap, 4, 4, shuffledRecords(count));
        auto bth = decodeBth(decodeHeap(heap.pages()), h);
        EXPECT_EQ(bth.levels, levels) << count;
        expectSortedComplete(bth, count);
    }
}

TEST(BthBuilder, RejectsRecordsOfTheWrongSize) {
    HeapBuilder heap(kClientSigBTreeOnHeap);
    std::vector<BthRecord> bad(1);
    bad[0].key = {1, 2};
    bad[0].data = {1, 2, 3, 4};
    EXPECT_THROW(buildBth(heap, 4, 4, bad), std::invalid_argument);
}
