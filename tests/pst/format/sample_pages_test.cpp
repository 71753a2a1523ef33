// The primitives checked against files Outlook wrote: their HEADER and page
// CRCs, page and block signatures, and the encoding of their data blocks.

#include "pst/format/constants.h"
#include "pst/format/crc.h"
#include "pst/format/encoding.h"
#include "pst/format/signature.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace fs = std::filesystem;
using namespace pst::format;

namespace {

const fs::path kSamples = fs::path(QUILLMERE_SHARED_DIR) / "reference" / "outlook-made-pst";

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

template <class T>
T get(const std::vector<uint8_t>& f, size_t off) {
    T v;
    std::memcpy(&v, f.data() + off, sizeof v);
    return v;
}

std::vector<fs::path> unicodeSamples() {
    std::vector<fs::path> out;
    if (!fs::is_directory(kSamples)) return out;
    for (auto& e : fs::directory_iterator(kSamples))
        if (e.path().extension() == ".pst") {
            auto f = readFile(e.path());
            if (f.size() >= kHeaderSize && get<uint16_t>(f, kHdrVer) >= kVersionUnicodeMin) out.push_back(e.path());
        }
    std::sort(out.begin(), out.end());
    return out;
}

#define REQUIRE_SAMPLES(list)                                                          \
    if ((list).empty()) GTEST_SKIP() << "no Outlook-made .pst samples in " << kSamples

// Checks a Unicode page's trailer: ptype twice, CRC of the 496 data bytes, and
// the signature (zero for the allocation maps).
void expectPageValid(const std::vector<uint8_t>& f, uint64_t ib, uint8_t ptype, uint64_t bid) {
    ASSERT_LE(ib + kPageSize, f.size());
    size_t t = ib + kPageDataSize;
    EXPECT_EQ(f[t], ptype) << "page at " << ib;
    EXPECT_EQ(f[t + 1], ptype) << "page at " << ib;
    EXPECT_EQ(get<uint32_t>(f, t + 4), crc32({f.data() + ib, kPageDataSize})) << "page at " << ib;
    EXPECT_EQ(get<uint64_t>(f, t + 8), bid) << "page at " << ib;
    bool mapPage = ptype >= kPtypeFMap && ptype <= kPtypeFPMap;
    EXPECT_EQ(get<uint16_t>(f, t + 2), mapPage ? 0 : computeSig(ib, bid)) << "page at " << ib;
}

// Finds a key in the NBT or BBT starting at the root page; returns the offset
// of the leaf entry.
std::optional<size_t> findLeafEntry(const std::vector<uint8_t>& f, uint64_t pageIb, uint64_t key) {
    uint8_t cEnt = f[pageIb + kBtCEnt];
    uint8_t cbEnt = f[pageIb + kBtCbEnt];
    uint8_t level = f[pageIb + kBtCLevel];
    std::optional<size_t> child;
    for (unsigned i = 0; i < cEnt; ++i) {
        size_t e = pageIb + i * cbEnt;
        uint64_t k = get<uint64_t>(f, e);
        if (level == 0) {
            if (k == key) return e;
        } else if (k <= key) {
            child = get<uint64_t>(f, e + 16);  // BREF.ib
        }
    }
    if (level == 0 || !child) return std::nullopt;
    return findLeafEntry(f, *child, key);
}

}  // namespace

TEST(OutlookSamples, HeaderCrcsVerify) {
    auto samples = unicodeSamples();
    REQUIRE_SAMPLES(samples);
    for (auto& p : samples) {
        auto f = readFile(p);
        EXPECT_EQ(get<uint32_t>(f, kHdrMagic), kHeaderMagic) << p;
        EXPECT_EQ(get<uint16_t>(f, kHdrMagicClient), kHeaderMagicClient) << p;
        EXPECT_EQ(f[kHdrSentinel], kSentinel) << p;
        EXPECT_EQ(get<uint32_t>(f, kHdrCrcPartial), crc32({f.data() + kHdrCrcStart, kHdrCrcPartialLength})) << p;
        EXPECT_EQ(get<uint32_t>(f, kHdrCrcFull), crc32({f.data() + kHdrCrcStart, kHdrCrcFullLength})) << p;
        EXPECT_EQ(get<uint64_t>(f, kHdrRoot + kRootFileEof), f.size()) << p;
    }
}

TEST(OutlookSamples, AnsiHeaderPartialCrcVerifies) {
    if (!fs::is_directory(kSamples)) GTEST_SKIP() << "no Outlook-made .pst samples in " << kSamples;
    bool any = false;
    for (auto& e : fs::directory_iterator(kSamples)) {
        auto f = readFile(e.path());
        if (f.size() < kAnsiHeaderSize || get<uint16_t>(f, kHdrVer) > kVersionAnsi15) continue;
        any = true;
        EXPECT_EQ(get<uint32_t>(f, kHdrCrcPartial), crc32({f.data() + kHdrCrcStart, kHdrCrcPartialLength}));
        EXPECT_EQ(get<uint32_t>(f, kAnsiHdrRoot + kAnsiRootFileEof), f.size());
    }
    if (!any) GTEST_SKIP() << "no ANSI sample in " << kSamples;
}

TEST(OutlookSamples, AllocationMapPagesSitWhereTheLayoutSaysAndVerify) {
    auto samples = unicodeSamples();
    REQUIRE_SAMPLES(samples);
    for (auto& p : samples) {
        auto f = readFile(p);
        uint64_t last = 0;
        for (uint64_t i = 0; amapOffset(i) < f.size(); ++i) {
            expectPageValid(f, amapOffset(i), kPtypeAMap, amapOffset(i));
            // An AMap maps itself (and the PMap after it) as allocated:
            // eight 64-byte units per page.
            EXPECT_EQ(f[amapOffset(i)], 0xFF) << p;
            if (hasPMap(i)) {
                EXPECT_EQ(f[amapOffset(i) + 1], 0xFF) << p;
            }
            if (hasPMap(i)) expectPageValid(f, pmapOffset(i), kPtypePMap, pmapOffset(i));
            last = amapOffset(i);
        }
        EXPECT_EQ(get<uint64_t>(f, kHdrRoot + kRootAMapLast), last) << p;
        EXPECT_EQ(pmapOffset(0), kFirstPMapOffset);
    }
}

TEST(OutlookSamples, BTreeRootPagesAndTheStoreBlockVerifyAndDecode) {
    auto samples = unicodeSamples();
    REQUIRE_SAMPLES(samples);
    for (auto& p : samples) {
        SCOPED_TRACE(p.string());
        auto f = readFile(p);
        uint64_t nbtBid = get<uint64_t>(f, kHdrRoot + kRootBrefNbt), nbtIb = get<uint64_t>(f, kHdrRoot + kRootBrefNbt + 8);
        uint64_t bbtBid = get<uint64_t>(f, kHdrRoot + kRootBrefBbt), bbtIb = get<uint64_t>(f, kHdrRoot + kRootBrefBbt + 8);
        expectPageValid(f, nbtIb, kPtypeNBT, nbtBid);
        expectPageValid(f, bbtIb, kPtypeBBT, bbtBid);

        auto node = findLeafEntry(f, nbtIb, kNidMessageStore);
        ASSERT_TRUE(node);
        uint64_t bidData = get<uint64_t>(f, *node + 8);
        ASSERT_EQ(bidData & kBidInternalBit, 0u);
        auto block = findLeafEntry(f, bbtIb, bidData);
        ASSERT_TRUE(block);
        uint64_t ib = get<uint64_t>(f, *block + 8);
        uint16_t cb = get<uint16_t>(f, *block + 16);
        EXPECT_EQ(ib % kBlockAlign, 0u);

        size_t trailer = ib + blockSizeOnDisk(cb) - kBlockTrailerSize;
        EXPECT_EQ(get<uint16_t>(f, trailer), cb);
        EXPECT_EQ(get<uint16_t>(f, trailer + 2), computeSig(ib, bidData));
        EXPECT_EQ(get<uint32_t>(f, trailer + 4), crc32({f.data() + ib, cb}));
        EXPECT_EQ(get<uint64_t>(f, trailer + 8), bidData);

        // The store's PC is a heap: HNHDR.bSig 0xEC, bClientSig bTypePC 0xBC,
        // and the page map offset inside the block.
        std::vector<uint8_t> data(f.begin() + ib, f.begin() + ib + cb);
        uint8_t crypt = f[kHdrCryptMethod];
        if (crypt == kCryptPermute) {
            EXPECT_NE(data[2], 0xEC) << "block should be stored encoded";
            permuteDecode(data);
        } else if (crypt == kCryptCyclic) {
            cyclicDecode(data, static_cast<uint32_t>(bidData));
        }
        EXPECT_EQ(data[2], 0xEC);
        EXPECT_EQ(data[3], 0xBC);
        EXPECT_LT(get<uint16_t>(data, 0), cb);
    }
}
