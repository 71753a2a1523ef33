// The NBT's in-memory index across merges: replaced, deleted and revived
// nodes, whether they were added before or after the last merge.

#include <gtest/gtest.h>

#include "pst/ndb/node_index.h"

using namespace pst::ndb;

TEST(NdbNodeIndex, KeepsOneRecordPerNidAcrossMerges) {
    NodeIndex idx;
    NodeRecord old;
    for (Nid n : {40u, 10u, 30u}) EXPECT_FALSE(idx.put({n, n + 1, 0, 0}, old));
    idx.merge();
    EXPECT_FALSE(idx.put({20, 21, 0, 0}, old));     // new, lands between merged ones
    EXPECT_TRUE(idx.put({30, 99, 0, 0}, old));      // replaces a merged one
    EXPECT_EQ(old.bidData, 31u);
    EXPECT_TRUE(idx.erase(10, old));                // deletes a merged one
    EXPECT_FALSE(idx.erase(10, old));
    EXPECT_EQ(idx.find(10), nullptr);
    EXPECT_FALSE(idx.put({10, 12, 0, 0}, old));     // and revives it
    EXPECT_TRUE(idx.erase(20, old));                // deletes an unmerged one
    EXPECT_EQ(idx.size(), 3u);
    idx.merge();
    std::vector<std::pair<Nid, Bid>> got;
    for (auto& r : idx.sorted()) got.emplace_back(r.nid, r.bidData);
    EXPECT_EQ(got, (std::vector<std::pair<Nid, Bid>>{{10, 12}, {30, 99}, {40, 41}}));
    ASSERT_NE(idx.find(40), nullptr);
    EXPECT_EQ(idx.find(40)->bidData, 41u);
}
