// Data trees and subnode trees at the sizes where their shape changes.

#include <gtest/gtest.h>

#include "ndb_image.h"
#include "pst/ndb/ndb_writer.h"
#include "test_support.h"

using namespace pst::ndb;
using namespace pst::format;
using namespace ndbtest;

namespace {
constexpr size_t kPerXBlock = 1021;
Nid message(uint32_t i) { return makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000 + i); }
}  // namespace

TEST(NdbDataTrees, ShapeFollowsSize) {
    struct Case { size_t size; int level; };
    const Case cases[] = {
        {0, 0}, {1, 0}, {kMaxBlockPayload, 0}, {kMaxBlockPayload + 1, 1},
        {kPerXBlock * kMaxBlockPayload, 1}, {kPerXBlock * kMaxBlockPayload + 1, 2},
    };
    auto file = scratchFile("trees.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    uint32_t i = 0;
    for (const Case& c : cases) w->putNode(message(i), w->writeData(pattern(c.size, i)), 0, 0), ++i;
    w->close();
    NdbImage img = loadNdb(file);
    ASSERT_TRUE(img.ok()) << img.report();
    i = 0;
    for (const Case& c : cases) {
        Bid bid = img.nodes.at(message(i)).data;
        EXPECT_EQ(img.treeLevel(bid), c.level) << c.size;
        EXPECT_EQ(img.read(bid), pattern(c.size, i)) << c.size;
        ++i;
    }
    expectPffinfoAccepts(file);
}

TEST(NdbDataTrees, HeapPagesKeepTheirBoundaries) {
    auto file = scratchFile("pages.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    std::vector<std::vector<uint8_t>> pages{pattern(3000, 1), pattern(kMaxBlockPayload, 2), pattern(17, 3)};
    Bid tree = w->writeBlocks(pages);
    Bid single = w->writeBlocks({pattern(400, 4)});
    w->putNode(message(1), tree, 0, 0);
    w->putNode(message(2), single, 0, 0);
    w->close();
    NdbImage img = loadNdb(file);
    ASSERT_TRUE(img.ok()) << img.report();
    EXPECT_EQ(img.treeLevel(tree), 1);
    EXPECT_EQ(img.treeLevel(single), 0);
    std::vector<uint8_t> all;
    for (auto& p : pages) all.insert(all.end(), p.begin(), p.end());
    EXPECT_EQ(img.read(tree), all);
    // Each page is one block of exactly its size.
    auto raw = img.rawBlock(tree);
    ASSERT_GE(raw.size(), 8u + 3 * 8);
    for (int k = 0; k < 3; ++k) {
        uint64_t child = 0;
        for (int b = 7; b >= 0; --b) child = (child << 8) | raw[8 + 8 * k + b];
        EXPECT_EQ(img.blocks.at(child).cb, pages[k].size());
    }
}

TEST(NdbDataTrees, StreamedValueOf50MB) {
    auto file = scratchFile("stream.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    auto stream = w->openDataStream();
    const size_t total = 50u << 20;
    auto chunk = pattern(1 << 20, 9);
    for (size_t done = 0; done < total; done += 333333)
        stream->write(std::span<const uint8_t>(chunk).subspan(0, std::min<size_t>(333333, total - done)));
    w->putNode(message(1), stream->finish(), 0, 0);
    w->close();
    NdbImage img = loadNdb(file);
    ASSERT_TRUE(img.ok()) << img.report();
    Bid bid = img.nodes.at(message(1)).data;
    EXPECT_EQ(img.treeLevel(bid), 2);
    auto back = img.read(bid);
    ASSERT_EQ(back.size(), total);
    for (size_t done = 0; done < total; done += 333333)
        ASSERT_TRUE(std::equal(back.begin() + done, back.begin() + std::min(total, done + 333333), chunk.begin()));
    EXPECT_GT(img.fileEof, 50u << 20);
    expectPffinfoAccepts(file);
}

TEST(NdbSubnodeTrees, LeafAndIntermediateForms) {
    auto file = scratchFile("subnodes.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    const size_t counts[] = {1, 340, 341, 5000};
    uint32_t i = 0;
    for (size_t count : counts) {
        std::vector<SubnodeEntry> entries;
        Bid data = w->writeData(pattern(50, i));
        // Unsorted on purpose; nested subnodes on some.
        for (size_t k = count; k > 0; --k) {
            Bid nested = k % 100 == 0 ? w->writeSubnodes({{0x21, w->writeData(pattern(5, k)), 0}}) : 0;
            entries.push_back({makeNid(NID_TYPE_LTP, uint32_t(k)), data, nested});
        }
        w->putNode(message(i), w->writeData(pattern(10, i)), w->writeSubnodes(entries), 0);
        ++i;
    }
    w->close();
    NdbImage img = loadNdb(file);
    ASSERT_TRUE(img.ok()) << img.report();
    i = 0;
    for (size_t count : counts) {
        Bid sub = img.nodes.at(message(i)).subnode;
        auto entries = img.subnodes(sub);
        ASSERT_EQ(entries.size(), count);
        for (size_t k = 0; k < count; ++k) EXPECT_EQ(entries[k].nid, makeNid(NID_TYPE_LTP, uint32_t(k + 1)));
        EXPECT_EQ(img.rawBlock(sub)[1], count > 340 ? 1 : 0) << "cLevel for " << count;
        ++i;
    }
    // The one data block shared by 5682 subnode entries.
    Bid shared = img.subnodes(img.nodes.at(message(3)).subnode)[0].data;
    EXPECT_EQ(img.blocks.at(shared).cRef, 5001);
    expectPffinfoAccepts(file);
}

// A value that grows at its end keeps its leading blocks: the new tree
// shares them with the old one, and only the replaced tail is freed.
TEST(NdbDataTrees, TreesOverExistingBlocksShareThem) {
    auto file = scratchFile("growing.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    std::vector<Bid> blocks;
    for (uint32_t k = 0; k < 3; ++k) blocks.push_back(w->writeData(pattern(kMaxBlockPayload, k)));
    Bid tail = w->writeData(pattern(100, 50));
    blocks.push_back(tail);
    w->putNode(message(1), w->writeDataTree(blocks), 0, 0);
    w->commit();
    blocks.back() = w->writeData(pattern(5000, 51));  // the tail grew
    Bid grown = w->writeDataTree(blocks);
    w->putNode(message(1), grown, 0, 0);
    EXPECT_THROW(w->writeDataTree({grown}), NdbError);  // a tree is no data block
    w->close();

    NdbImage img = loadNdb(file);
    ASSERT_TRUE(img.ok()) << img.report();
    std::vector<uint8_t> want;
    for (uint32_t k = 0; k < 3; ++k) {
        auto part = pattern(kMaxBlockPayload, k);
        want.insert(want.end(), part.begin(), part.end());
    }
    auto part = pattern(5000, 51);
    want.insert(want.end(), part.begin(), part.end());
    EXPECT_EQ(img.read(img.nodes.at(message(1)).data), want);
    EXPECT_FALSE(img.blocks.count(tail));
    EXPECT_EQ(img.blocks.size(), 5u);  // 4 data blocks and the XBLOCK
    expectCheckerAccepts(file);
}
