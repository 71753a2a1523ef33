// The NBT's in-memory index across merges: replaced, deleted and revived
// nodes, whether they were added before or after the last merge.

#include <gtest/gtest.h>

#include <map>
#include <random>

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

// Merging in place keeps the index equal to a plain map through many rounds
// of new, replaced and deleted nodes, new ones before, between and after the
// merged ones.
TEST(NdbNodeIndex, MergesInPlaceLikeAMap) {
    NodeIndex idx;
    std::map<Nid, Bid> model;
    std::mt19937 rng(7);
    NodeRecord old;
    for (int round = 0; round < 40; ++round) {
        for (int k = 0; k < 200; ++k) {
            const Nid nid = rng() % 3000 + (round > 20 ? 3000u * round : 0u);
            if (rng() % 5 == 0) {
                EXPECT_EQ(idx.erase(nid, old), model.erase(nid) == 1);
            } else {
                const Bid bid = rng();
                EXPECT_EQ(idx.put({nid, bid, 0, 0}, old), model.count(nid) == 1);
                model[nid] = bid;
            }
        }
        idx.merge();
        ASSERT_EQ(idx.size(), model.size());
        ASSERT_EQ(idx.sorted().size(), model.size());
        auto m = model.begin();
        for (const NodeRecord& r : idx.sorted()) {
            ASSERT_EQ(r.nid, m->first) << "round " << round;
            ASSERT_EQ(r.bidData, m->second);
            ++m;
        }
    }
}
