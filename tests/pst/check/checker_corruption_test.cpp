// The checker catches damage: each test breaks one thing in a copy of an
// Outlook-made store (restoring the CRCs around it where the fault is meant
// to be something else) and expects the defect that names it.

#include "pst/check/pst_check.h"

#include <gtest/gtest.h>

#include <random>
#include <unistd.h>

#include "pst_image.h"
#include "sample_files.h"

namespace fs = std::filesystem;
using pst::check::checkFile;

namespace {

constexpr uint32_t kMessageNid = 0x200024;  // the one message of sample1.pst

class CheckerCorruption : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(test_samples::path("sample1.pst"))) GTEST_SKIP() << "sample1.pst is missing";
        image = std::make_unique<PstImage>(test_samples::path("sample1.pst"));
        dir = fs::temp_directory_path() / ("quillmere-check-test-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Saves the damaged image and returns all defects, one per line.
    std::string defects(const PstImage& img) {
        auto p = dir / "damaged.pst";
        img.save(p);
        auto report = checkFile(p);
        std::string out;
        for (auto& d : report.defects) out += d + "\n";
        return out;
    }
    void expectDefect(const std::string& needle) {
        auto found = defects(*image);
        EXPECT_NE(found.find(needle), std::string::npos) << "expected a defect mentioning '" << needle << "', got:\n" << found;
    }

    uint64_t messageEntry() { return *image->leafEntry(image->nbtRoot(), kMessageNid); }
    PstImage::Block messageBlock() { return *image->block(image->get<uint64_t>(messageEntry() + 8)); }

    std::unique_ptr<PstImage> image;
    fs::path dir;
};

}  // namespace

TEST_F(CheckerCorruption, TheUntouchedCopyPasses) { EXPECT_EQ(defects(*image), ""); }

TEST_F(CheckerCorruption, HeaderChangedWithoutItsCrc) {
    image->bytes[pst::format::kHdrRgnid] ^= 1;
    expectDefect("dwCRCPartial");
    expectDefect("dwCRCFull");
}

TEST_F(CheckerCorruption, BTreePageByteFlipped) {
    image->bytes[image->nbtRoot() + 3] ^= 0x10;
    expectDefect("fails its CRC");
}

TEST_F(CheckerCorruption, BTreeKeysOutOfOrder) {
    uint64_t page = image->leafPages(image->bbtRoot()).back();
    ASSERT_GE(image->bytes[page + pst::format::kBtCEnt], 3);
    std::swap_ranges(image->bytes.begin() + page + 24, image->bytes.begin() + page + 48, image->bytes.begin() + page + 48);
    image->fixPageCrc(page);
    expectDefect("not in ascending order");
}

TEST_F(CheckerCorruption, ParentKeyDiffersFromTheChildsFirstKey) {
    uint64_t root = image->nbtRoot();
    ASSERT_GT(image->bytes[root + pst::format::kBtCLevel], 0);
    ASSERT_GE(image->bytes[root + pst::format::kBtCEnt], 2);
    image->put<uint64_t>(root + 24, image->get<uint64_t>(root + 24) - 1);
    image->fixPageCrc(root);
    expectDefect("differs from the parent entry's key");
}

TEST_F(CheckerCorruption, LeafPageClaimsAnotherLevel) {
    uint64_t leaf = image->leafPages(image->nbtRoot()).front();
    image->bytes[leaf + pst::format::kBtCLevel] = 1;
    image->fixPageCrc(leaf);
    expectDefect("cLevel is 1");
}

TEST_F(CheckerCorruption, BlockMissingFromTheBbt) {
    auto b = messageBlock();
    uint64_t page = image->pageOf(b.entry);
    uint8_t& cEnt = image->bytes[page + pst::format::kBtCEnt];
    uint64_t end = page + cEnt * 24;
    ASSERT_NE(b.entry, page) << "the test removes an entry that is not the page's first";
    std::copy(image->bytes.begin() + b.entry + 24, image->bytes.begin() + end, image->bytes.begin() + b.entry);
    std::fill(image->bytes.begin() + end - 24, image->bytes.begin() + end, 0);
    --cEnt;
    image->fixPageCrc(page);
    expectDefect("which is not in the BBT");
}

TEST_F(CheckerCorruption, BlockDataByteFlipped) {
    auto b = messageBlock();
    image->bytes[b.ib + b.cb / 2] ^= 0x01;
    expectDefect("fails its CRC");
}

TEST_F(CheckerCorruption, BlockSignatureWrong) {
    auto b = messageBlock();
    image->put<uint16_t>(image->blockTrailer(b) + 2, image->get<uint16_t>(image->blockTrailer(b) + 2) ^ 0x0101);
    expectDefect("signature");
}

TEST_F(CheckerCorruption, ReferenceCountWrong) {
    auto b = messageBlock();
    image->put<uint16_t>(b.entry + 18, image->get<uint16_t>(b.entry + 18) + 1);
    image->fixPageCrc(image->pageOf(b.entry));
    expectDefect("cRef is 3");
}

TEST_F(CheckerCorruption, AMapMarksAUsedBlockFree) {
    auto b = messageBlock();
    uint64_t bit = (b.ib - pst::format::kFirstAMapOffset) / 64;
    image->bytes[pst::format::kFirstAMapOffset + bit / 8] &= ~(0x80 >> (bit % 8));
    image->fixPageCrc(pst::format::kFirstAMapOffset);
    expectDefect("marks " );
}

TEST_F(CheckerCorruption, MessageMovedToAFolderThatDoesNotListIt) {
    image->put<uint32_t>(messageEntry() + 24, 0x8062);  // nidParent: Deleted Items
    image->fixPageCrc(image->pageOf(messageEntry()));
    expectDefect("has nidParent 0x8062");
    expectDefect("does not list 0x200024");
}

TEST_F(CheckerCorruption, MessageNodeDroppedFromTheNbt) {
    // The folder still lists it and counts it; its blocks lose a reference.
    uint64_t entry = messageEntry();
    image->put<uint64_t>(entry, 0x200004);  // renamed: no longer the listed nid
    image->fixPageCrc(image->pageOf(entry));
    expectDefect("lists 0x200024, which is not in the NBT");
    expectDefect("is not listed in any folder's contents table");
}

TEST_F(CheckerCorruption, TruncatedFileIsReportedNotFatal) {
    image->bytes.resize(pst::format::kFirstAMapOffset + 8 * 512);
    auto found = defects(*image);
    EXPECT_NE(found.find("ibFileEof"), std::string::npos) << found;
}

TEST_F(CheckerCorruption, EveryFlippedByteOfPageOrBlockDataIsCaught) {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;  // [start, length)
    for (auto page : image->leafPages(image->bbtRoot())) {
        ranges.push_back({page, 496});
        for (unsigned i = 0; i < image->bytes[page + pst::format::kBtCEnt]; ++i) {
            uint64_t e = page + i * 24;
            uint16_t cb = image->get<uint16_t>(e + 16);
            if (cb) ranges.push_back({image->get<uint64_t>(e + 8), cb});
        }
    }
    for (auto page : image->leafPages(image->nbtRoot())) ranges.push_back({page, 496});
    std::mt19937 rng(7);
    const PstImage original = *image;
    for (int i = 0; i < 40; ++i) {
        auto [start, len] = ranges[rng() % ranges.size()];
        uint64_t off = start + rng() % len;
        *image = original;
        image->bytes[off] ^= static_cast<uint8_t>(1 + rng() % 255);
        EXPECT_NE(defects(*image), "") << "flip at " << off;
    }
}
