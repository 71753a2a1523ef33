#include "pst/format/encoding.h"
#include "pst/format/signature.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace pst::format;

namespace {
std::vector<uint8_t> allBytes() {
    std::vector<uint8_t> v(256);
    for (int i = 0; i < 256; ++i) v[i] = static_cast<uint8_t>(i);
    return v;
}
}  // namespace

TEST(PermuteEncoding, IsAPermutationAndDecodeUndoesIt) {
    auto data = allBytes();
    permuteEncode(data);
    EXPECT_EQ(std::set<uint8_t>(data.begin(), data.end()).size(), 256u);
    EXPECT_NE(data, allBytes());
    // First entries of the encoding table.
    EXPECT_EQ(data[0], 65);
    EXPECT_EQ(data[1], 54);
    EXPECT_EQ(data[255], 61);
    permuteDecode(data);
    EXPECT_EQ(data, allBytes());
}

TEST(PermuteEncoding, EveryLengthAndAlignmentMatchesTheSingleByteTable) {
    // The byte table itself, as the encoding of one byte at a time.
    std::vector<uint8_t> table = allBytes();
    for (auto& b : table) permuteEncode(std::span<uint8_t>(&b, 1));
    std::vector<uint8_t> source(200);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 131 + 7);
    for (size_t offset = 0; offset < 8; ++offset)
        for (size_t len = 0; len + offset <= 40; ++len) {
            auto data = source;
            permuteEncode(std::span<uint8_t>(data.data() + offset, len));
            for (size_t i = 0; i < data.size(); ++i) {
                bool inside = i >= offset && i < offset + len;
                ASSERT_EQ(data[i], inside ? table[source[i]] : source[i])
                    << "offset " << offset << " length " << len << " byte " << i;
            }
            permuteDecode(std::span<uint8_t>(data.data() + offset, len));
            ASSERT_EQ(data, source) << "offset " << offset << " length " << len;
        }
}

TEST(CyclicEncoding, RoundTripsAndDependsOnTheKey) {
    std::vector<uint8_t> plain(1000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7);
    for (uint32_t key : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
        auto data = plain;
        cyclicEncode(data, key);
        EXPECT_NE(data, plain) << key;
        auto other = plain;
        cyclicEncode(other, key + 4);
        EXPECT_NE(data, other) << key;
        cyclicDecode(data, key);
        EXPECT_EQ(data, plain) << key;
    }
}

TEST(Signature, XorsHalvesOfTheLow32BitsOfIbXorBid) {
    EXPECT_EQ(computeSig(0, 0), 0);
    EXPECT_EQ(computeSig(0x5000, 0x4), 0x5004);
    EXPECT_EQ(computeSig(0x12340000, 0), 0x1234);
    EXPECT_EQ(computeSig(0x12345678, 0), 0x1234 ^ 0x5678);
    // Only the low DWORD of ib ^ bid takes part.
    EXPECT_EQ(computeSig(0x100000000ull + 0x4400, 0x4400), 0);
}
