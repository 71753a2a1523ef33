#include <gtest/gtest.h>

#include <set>

#include "ltp_decoder.h"
#include "pst/ltp/byte_writer.h"
#include "pst/ltp/table_context_builder.h"

using namespace pst;
using namespace pst::ltp;
using pst::testing::DecodedColumn;
using pst::testing::FakeNdbWriter;

namespace {
constexpr PropTag kSubject = 0x0037001F;
constexpr PropTag kFlags = 0x0E070003;
constexpr PropTag kTime = 0x0E060040;
constexpr PropTag kRead = 0x0E69000B;
constexpr PropTag kShort = 0x10000002;

const DecodedColumn* column(const pst::testing::DecodedTable& t, PropTag tag) {
    for (auto& c : t.columns)
        if (c.tag == tag) return &c;
    return nullptr;
}
}  // namespace

TEST(TableContext, ColumnLayoutFollowsTheRowRules) {
    TableContextBuilder table({kSubject, kFlags, kTime, kRead, kShort});
    FakeNdbWriter ndb;
    NodeBlocks b = table.write(ndb);
    auto t = pst::testing::decodeTc(ndb, b.data, b.subnode);

    ASSERT_EQ(t.columns.size(), 7u);
    for (size_t i = 1; i < t.columns.size(); ++i) EXPECT_LT(t.columns[i - 1].tag, t.columns[i].tag);
    EXPECT_EQ(column(t, tags::PR_LTP_ROW_ID)->ib, 0);
    EXPECT_EQ(column(t, tags::PR_LTP_ROW_ID)->bit, 0);
    EXPECT_EQ(column(t, tags::PR_LTP_ROW_VER)->ib, 4);
    EXPECT_EQ(column(t, tags::PR_LTP_ROW_VER)->bit, 1);
    EXPECT_EQ(column(t, kTime)->ib, 8);  // 8-byte cells first, aligned
    EXPECT_EQ(column(t, kTime)->cb, 8);
    EXPECT_EQ(column(t, kSubject)->cb, 4);  // an HNID
    EXPECT_EQ(t.rgib[0], 8 + 8 + 4 + 4);
    EXPECT_EQ(t.rgib[1], t.rgib[0] + 2);
    EXPECT_EQ(t.rgib[2], t.rgib[1] + 1);
    EXPECT_EQ(t.rgib[3], t.rgib[2] + 1);  // 7 columns: one bitmap byte
    std::set<int> bits;
    for (auto& c : t.columns) bits.insert(c.bit);
    EXPECT_EQ(bits.size(), 7u);
    EXPECT_TRUE(t.rows.empty());
    EXPECT_TRUE(t.rowIndex.empty());
}

TEST(TableContext, RowsInTheHeapWithCellExistence) {
    TableContextBuilder table({kSubject, kFlags, kTime});
    std::vector<Property> r1{{kSubject, std::u16string(u"first")}, {kFlags, int32_t(1)}};
    std::vector<Property> r2{{kFlags, int32_t(2)}, {kTime, FileTime{42}}, {0x0E080003, int32_t(9)}};  // not a column
    std::vector<Property> r3{{kSubject, std::u16string()}};
    table.addRow(0x200024, r1);
    table.addRow(0x200004, r2);
    table.addRow(0x300004, r3);
    FakeNdbWriter ndb;
    NodeBlocks b = table.write(ndb);
    EXPECT_EQ(b.subnode, 0u);
    auto t = pst::testing::decodeTc(ndb, b.data, b.subnode);

    ASSERT_EQ(t.rowIndex.size(), 3u);  // sorted by row id, pointing at matrix rows
    EXPECT_EQ(t.rowIndex[0], std::make_pair(0x200004u, 1u));
    EXPECT_EQ(t.rowIndex[1], std::make_pair(0x200024u, 0u));
    EXPECT_EQ(t.rowIndex[2], std::make_pair(0x300004u, 2u));
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(getU32(t.rows[0].at(tags::PR_LTP_ROW_ID).data()), 0x200024u);
    EXPECT_EQ(t.rows[0].at(kSubject).size(), 10u);
    EXPECT_FALSE(t.rows[0].count(kTime));
    EXPECT_FALSE(t.rows[1].count(kSubject));
    EXPECT_EQ(getU64(t.rows[1].at(kTime).data()), 42u);
    EXPECT_TRUE(t.rows[2].at(kSubject).empty());  // exists, but empty
}

TEST(TableContext, ManyRowsSpreadOverFullSizedBlocks) {
    TableContextBuilder table({kSubject, kFlags, kTime});
    const uint32_t rows = 5000;
    for (uint32_t i = 0; i < rows; ++i) {
        std::vector<Property> r{{kSubject, std::u16string(u"message ") + char16_t(u'A' + i % 26)},
                                {kFlags, int32_t(i)}};
        table.addRow(0x200004 + 32 * (rows - i), r);
    }
    FakeNdbWriter ndb;
    NodeBlocks b = table.write(ndb);
    auto t = pst::testing::decodeTc(ndb, b.data, b.subnode);
    size_t perBlock = ndb::kMaxBlockPayload / t.rgib[3];
    EXPECT_EQ(t.matrixBlocks, (rows + perBlock - 1) / perBlock);
    ASSERT_EQ(t.rows.size(), rows);
    ASSERT_EQ(t.rowIndex.size(), rows);
    for (uint32_t i = 0; i < rows; i += 331) {
        EXPECT_EQ(getU32(t.rows[i].at(kFlags).data()), i);
        EXPECT_EQ(t.rows[i].at(kSubject).back(), 0);
        EXPECT_EQ(t.rows[i].at(kSubject)[16], uint8_t('A' + i % 26));
    }
    for (auto [rowId, index] : t.rowIndex) EXPECT_EQ(rowId, 0x200004 + 32 * (rows - index));
    EXPECT_GT(ndb.blocks.at(b.data).size(), 1u);  // the heap itself is a data tree
}

TEST(TableContext, OversizedCellGoesToASubnode) {
    TableContextBuilder table({kSubject});
    std::vector<Property> r{{kSubject, std::u16string(4000, u'z')}};
    table.addRow(1, r);
    FakeNdbWriter ndb;
    NodeBlocks b = table.write(ndb);
    ASSERT_NE(b.subnode, 0u);
    auto t = pst::testing::decodeTc(ndb, b.data, b.subnode);
    EXPECT_EQ(t.rows.at(0).at(kSubject).size(), 8000u);
}

TEST(TableContext, ClearRowsEmptiesTheTable) {
    TableContextBuilder table({kFlags});
    std::vector<Property> r{{kFlags, int32_t(1)}};
    table.addRow(1, r);
    table.clearRows();
    FakeNdbWriter ndb;
    NodeBlocks b = table.write(ndb);
    auto t = pst::testing::decodeTc(ndb, b.data, b.subnode);
    EXPECT_TRUE(t.rows.empty());
}

// A table written after every batch of new rows (as a folder's contents
// table is at every commit): each write reads back whole and right, and
// writes only what the new rows touched, not the rows before them. Between
// writes, what no later row changes can go out at once and leave memory.
TEST(TableContext, RewrittenAfterEachBatchWritesOnlyItsTail) {
    TableContextBuilder table({kSubject, kFlags, kTime});
    FakeNdbWriter ndb;
    auto rowOf = [](uint32_t i) {
        std::u16string subject = u"subject of row " + std::u16string(1 + i % 40, char16_t(u'a' + i % 26));
        if (i % 997 == 5) subject.assign(2000, u'L');  // a cell in a subnode now and then
        return std::vector<Property>{{kSubject, subject}, {kFlags, int32_t(i)}};
    };
    uint32_t rows = 0;
    size_t fullWriteBytes = 0;
    size_t cellBytes = 0;
    for (uint32_t batch : {3u, 40u, 6000u, 7u, 1u, 2500u, 0u}) {
        ndb.commit();
        for (uint32_t k = 0; k < batch; ++k, ++rows) {
            auto row = rowOf(rows);
            cellBytes += 2 * std::get<std::u16string>(row[0].value).size();
            table.addRow(0x200004 + 32 * rows, row);
            if (batch > 1000) table.writeFull(ndb);  // as the store does: what is final goes out at once
        }
        if (batch > 1000) { EXPECT_LT(table.heldBytes() * 3, cellBytes) << "before the write after " << rows << " rows"; }
        NodeBlocks b = table.write(ndb);
        size_t written = ndb.bytesWrittenSinceCommit();
        if (batch > 1000) fullWriteBytes = std::max(fullWriteBytes, written);
        if (batch < 10 && rows > 6000) { EXPECT_LT(written * 4, fullWriteBytes) << "after " << rows << " rows"; }
        // What was written leaves memory: a folder of many messages holds
        // little more than its row ids between commits.
        if (rows > 6000) { EXPECT_LT(table.heldBytes() * 3, cellBytes) << "after " << rows << " rows"; }

        auto t = pst::testing::decodeTc(ndb, b.data, b.subnode);
        ASSERT_EQ(t.rows.size(), rows);
        ASSERT_EQ(t.rowIndex.size(), rows);
        for (uint32_t i = 0; i < rows; ++i) {
            ASSERT_EQ(getU32(t.rows[i].at(kFlags).data()), i);
            auto subject = rowOf(i)[0];
            const auto& want = std::get<std::u16string>(subject.value);
            const auto& got = t.rows[i].at(kSubject);
            ASSERT_EQ(got.size(), 2 * want.size()) << "row " << i;
            ASSERT_EQ(got[2 * (want.size() - 1)], uint8_t(want.back())) << "row " << i;
        }
    }
    EXPECT_GT(ndb.treesOverExisting, 0u);
}
