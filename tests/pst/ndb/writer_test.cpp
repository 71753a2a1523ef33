// The writer end to end: files it produces, read back from the HEADER by an
// independent walk, by pffinfo and, when built, by our checker.

#include <gtest/gtest.h>

#include <fstream>

#include "ndb_image.h"
#include "pst/format/constants.h"
#include "pst/ndb/ndb_writer.h"
#include "test_support.h"

using namespace pst::ndb;
using namespace pst::format;
using namespace ndbtest;

namespace {

Nid message(uint32_t i) { return makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000 + i); }

}  // namespace

// Outlook's own files, read by the same walk: this pins down the conventions
// the walk assumes (CRCs over stored bytes, AMap bit order, signatures).
TEST(NdbOutlookSamples, ReadCleanly) {
    auto dir = std::filesystem::path(QUILLMERE_SHARED_DIR) / "reference/outlook-made-pst";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "Outlook-made samples not found in " << dir;
    for (const char* name : {"sample1.pst", "submessage.pst", "support.pst", "test_unicode.pst"}) {
        NdbImage img = loadNdb(dir / name, Expect::Outlook);
        EXPECT_TRUE(img.ok()) << name << ":\n" << img.report();
        EXPECT_GT(img.nodes.size(), 20u) << name;
        EXPECT_EQ(img.crypt, pst::format::kCryptPermute) << name;
    }
}

TEST(NdbWriter, NewFileIsEmptyAndValid) {
    auto file = scratchFile("empty.pst");
    NdbWriter::create(file, CryptMethod::Permute)->close();
    NdbImage img = loadNdb(file);
    EXPECT_TRUE(img.ok()) << img.report();
    EXPECT_TRUE(img.nodes.empty());
    EXPECT_TRUE(img.blocks.empty());
    EXPECT_EQ(img.fileEof, std::filesystem::file_size(file));
    EXPECT_EQ(img.fileEof, pst::format::amapOffset(1));
    EXPECT_EQ(img.rgnid[NID_TYPE_NORMAL_MESSAGE], 0x10000u);
    EXPECT_EQ(img.rgnid[NID_TYPE_SEARCH_FOLDER], 0x4000u);
    expectCheckerAccepts(file);
    expectPffinfoAccepts(file);
}

TEST(NdbWriter, CreateRefusesAnExistingFile) {
    auto file = scratchFile("exists.pst");
    std::ofstream(file) << "keep me";
    try {
        NdbWriter::create(file, CryptMethod::Permute);
        FAIL() << "create overwrote a file";
    } catch (const NdbError& e) {
        EXPECT_EQ(e.kind(), NdbError::Kind::Exists);
    }
    EXPECT_EQ(std::filesystem::file_size(file), 7u);
}

TEST(NdbWriter, NodesAndDataReadBackInBothEncodings) {
    for (CryptMethod crypt : {CryptMethod::Permute, CryptMethod::None}) {
        auto file = scratchFile("nodes.pst");
        auto w = NdbWriter::create(file, crypt);
        std::vector<std::vector<uint8_t>> values;
        for (uint32_t i = 0; i < 300; ++i) {
            values.push_back(pattern(i * 37 % 9000, i));
            Nid nid = message(i);
            w->putNode(nid, w->writeData(values.back()), 0, makeNid(NID_TYPE_NORMAL_FOLDER, 0x401));
            if (i % 100 == 99) w->commit();
        }
        w->close();

        NdbImage img = loadNdb(file);
        ASSERT_TRUE(img.ok()) << img.report();
        EXPECT_EQ(img.crypt, static_cast<uint8_t>(crypt));
        ASSERT_EQ(img.nodes.size(), 300u);
        EXPECT_GE(img.nbtLevels, 2u);
        EXPECT_GE(img.bbtLevels, 2u);
        for (uint32_t i = 0; i < 300; ++i) {
            const Node& n = img.nodes.at(message(i));
            EXPECT_EQ(n.parent, makeNid(NID_TYPE_NORMAL_FOLDER, 0x401));
            EXPECT_EQ(img.read(n.data), values[i]) << "node " << i;
        }
        // Blocks: ids grow by 4, data blocks external, data trees internal.
        for (auto& [bid, b] : img.blocks) EXPECT_EQ(bid % 4 == 2, img.treeLevel(bid) > 0);
        // Encoded on disk unless NONE.
        auto& first = img.nodes.at(message(5));
        EXPECT_EQ(img.rawBlock(first.data) == values[5], crypt == CryptMethod::None);
        expectCheckerAccepts(file);
        expectPffinfoAccepts(file);
    }
}

TEST(NdbWriter, NidsComeFromTheHeaderCountersAndSkipUsedOnes) {
    auto file = scratchFile("nids.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    EXPECT_EQ(w->allocateNid(NID_TYPE_NORMAL_MESSAGE), makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000));
    // A fixed NID put by the caller pushes the counter past it.
    w->putNode(makeNid(NID_TYPE_NORMAL_FOLDER, 0x401), w->writeData(pattern(10, 1)), 0, 0);
    EXPECT_EQ(w->allocateNid(NID_TYPE_NORMAL_FOLDER), makeNid(NID_TYPE_NORMAL_FOLDER, 0x402));
    EXPECT_EQ(w->allocateNid(NID_TYPE_ASSOC_MESSAGE), makeNid(NID_TYPE_ASSOC_MESSAGE, 0x8000));
    w->close();
    NdbImage img = loadNdb(file);
    EXPECT_GE(img.rgnid[NID_TYPE_NORMAL_FOLDER], 0x403u);
    EXPECT_GE(img.rgnid[NID_TYPE_NORMAL_MESSAGE], 0x10001u);
}

TEST(NdbWriter, ReplacingAndDeletingNodesFreesTheirBlocks) {
    auto file = scratchFile("replace.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    auto big = pattern(100000, 3);
    w->putNode(message(1), w->writeData(big), 0, 0);
    std::vector<SubnodeEntry> subs{{0x3F, w->writeData(pattern(20000, 4)), 0}, {0x5F, w->writeData(pattern(10, 5)), 0}};
    w->putNode(message(2), w->writeData(pattern(100, 6)), w->writeSubnodes(subs), 0);
    w->commit();
    // Rewrite both many times: the file must settle, because space freed by
    // one commit is reused by the next.
    for (int round = 0; round < 30; ++round) {
        w->putNode(message(1), w->writeData(pattern(100000, 10 + round)), 0, 0);
        std::vector<SubnodeEntry> s{{0x3F, w->writeData(pattern(20000, round)), 0}};
        w->putNode(message(2), w->writeData(pattern(100, round)), w->writeSubnodes(s), 0);
        w->commit();
    }
    w->deleteNode(message(2));
    w->close();
    NdbImage img = loadNdb(file);
    ASSERT_TRUE(img.ok()) << img.report();
    EXPECT_EQ(img.nodes.size(), 1u);
    EXPECT_EQ(img.read(img.nodes.at(message(1)).data), pattern(100000, 39));
    EXPECT_EQ(img.blocks.size(), 1u + 13u);  // XBLOCK and 13 data blocks
    EXPECT_LE(std::filesystem::file_size(file), pst::format::amapOffset(3));
    expectCheckerAccepts(file);
}

TEST(NdbWriter, SharedBlocksCountEveryReference) {
    auto file = scratchFile("shared.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    Bid shared = w->writeData(pattern(5000, 1));
    w->putNode(message(1), shared, 0, 0);
    w->putNode(message(2), shared, 0, 0);
    w->commit();
    NdbImage before = loadNdb(file);
    EXPECT_EQ(before.blocks.at(shared).cRef, 3);
    w->deleteNode(message(1));
    w->close();
    NdbImage after = loadNdb(file);
    ASSERT_TRUE(after.ok()) << after.report();
    EXPECT_EQ(after.blocks.at(shared).cRef, 2);
}

TEST(NdbWriter, BlocksNotYetReferencedStayOutOfTheCommittedState) {
    auto file = scratchFile("pending.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    auto stream = w->openDataStream();
    stream->write(pattern(3 * kMaxBlockPayload, 1));
    Bid orphan = w->writeData(pattern(20000, 2));
    w->commit();  // the stream and the lone tree are reachable from nothing
    NdbImage mid = loadNdb(file);
    EXPECT_TRUE(mid.ok()) << mid.report();
    EXPECT_TRUE(mid.blocks.empty());
    stream->write(pattern(10, 3));
    w->putNode(message(1), stream->finish(), 0, 0);
    w->putNode(message(2), orphan, 0, 0);
    w->close();
    NdbImage img = loadNdb(file);
    ASSERT_TRUE(img.ok()) << img.report();
    EXPECT_EQ(img.read(img.nodes.at(message(2)).data), pattern(20000, 2));
    EXPECT_EQ(img.read(img.nodes.at(message(1)).data).size(), 3 * kMaxBlockPayload + 10);
}

TEST(NdbWriter, MisuseIsRejectedWithoutHarm) {
    auto file = scratchFile("misuse.pst");
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    auto kindOf = [](auto&& f) {
        try {
            f();
        } catch (const NdbError& e) {
            return e.kind();
        }
        return NdbError::Kind::Io;  // "no error" shows as a mismatch below
    };
    using K = NdbError::Kind;
    EXPECT_EQ(kindOf([&] { w->putNode(message(1), 0x1234, 0, 0); }), K::InvalidArgument);
    EXPECT_EQ(kindOf([&] { w->putNode(message(1), 0, 0x5556, 0); }), K::InvalidArgument);
    EXPECT_EQ(kindOf([&] { w->writeBlocks({std::vector<uint8_t>(kMaxBlockPayload + 1)}); }), K::InvalidArgument);
    EXPECT_EQ(kindOf([&] { w->writeSubnodes({{1, 0x999, 0}}); }), K::InvalidArgument);
    Bid ok = w->writeData(pattern(1, 1));
    EXPECT_EQ(kindOf([&] { w->writeSubnodes({{1, ok, 0}, {1, ok, 0}}); }), K::InvalidArgument);
    w->putNode(message(1), ok, 0, 0);
    w->close();
    EXPECT_EQ(kindOf([&] { w->commit(); }), K::Closed);
    EXPECT_EQ(kindOf([&] { w->writeData(pattern(1, 1)); }), K::Closed);
    NdbImage img = loadNdb(file);
    EXPECT_TRUE(img.ok()) << img.report();
    EXPECT_EQ(img.nodes.size(), 1u);
}

// The HEADER's fixed fields and the DList page as Outlook writes them.
TEST(NdbWriter, HeaderAndDensityListFollowOutlook) {
    auto sample = std::filesystem::path(QUILLMERE_SHARED_DIR) / "reference/outlook-made-pst/sample1.pst";
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "Outlook-made sample not found: " << sample;
    auto file = scratchFile("header.pst");
    NdbWriter::create(file, CryptMethod::Permute)->close();
    auto readAt = [](const std::filesystem::path& p, size_t at, size_t n) {
        std::ifstream in(p, std::ios::binary);
        std::vector<uint8_t> v(n);
        in.seekg(static_cast<std::streamoff>(at));
        in.read(reinterpret_cast<char*>(v.data()), static_cast<std::streamsize>(n));
        return v;
    };
    using namespace pst::format;
    struct Field { size_t at, size; const char* name; };
    for (Field f : {Field{kHdrMagic, 4, "dwMagic"}, Field{kHdrMagicClient, 2, "wMagicClient"}, Field{kHdrVer, 2, "wVer"},
                    Field{kHdrVerClient, 2, "wVerClient"}, Field{kHdrPlatformCreate, 2, "bPlatform*"},
                    Field{kHdrRgbFM, 256, "rgbFM, rgbFP"}, Field{kHdrSentinel, 2, "bSentinel, bCryptMethod"}})
        EXPECT_EQ(readAt(file, f.at, f.size), readAt(sample, f.at, f.size)) << f.name;
    // DList: no entries, a signed trailer of ptypeDL.
    auto ours = readAt(file, kDListOffset, kPageSize);
    auto theirs = readAt(sample, kDListOffset, kPageSize);
    EXPECT_EQ(std::vector<uint8_t>(ours.begin(), ours.begin() + 8), std::vector<uint8_t>(theirs.begin(), theirs.begin() + 8));
    EXPECT_EQ(ours[kPageDataSize], kPtypeDL);
    EXPECT_EQ(ours[kPageDataSize + 1], kPtypeDL);
}
