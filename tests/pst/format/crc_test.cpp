#include "pst/format/crc.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <string_view>
#include <vector>

using pst::format::crc32;

namespace {

std::span<const uint8_t> bytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// One byte at a time, straight from the definition, to compare the
// eight-bytes-per-step loop against.
uint32_t slowCrc(std::span<const uint8_t> data, uint32_t crc = 0) {
    for (uint8_t b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

}  // namespace

TEST(Crc32, NoInversionVariantOfTheCheckString) {
    // The reflected CRC-32 without pre/post inversion, seed 0.
    EXPECT_EQ(crc32(bytes("123456789")), 0x2DFD2D88u);
    EXPECT_EQ(crc32({}), 0u);
    EXPECT_EQ(crc32({}, 0x1234u), 0x1234u);
}

TEST(Crc32, EveryLengthAndAlignmentMatchesBytewiseDefinition) {
    std::vector<uint8_t> data(300);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
    for (size_t offset = 0; offset < 8; ++offset)
        for (size_t len = 0; len + offset <= data.size(); len += 7) {
            std::span<const uint8_t> s(data.data() + offset, len);
            ASSERT_EQ(crc32(s), slowCrc(s)) << "offset " << offset << " length " << len;
        }
}

TEST(Crc32, SeedContinuesARunningCrc) {
    std::vector<uint8_t> data(1000);
    std::iota(data.begin(), data.end(), 0);
    std::span<const uint8_t> all(data);
    for (size_t split : {0, 1, 5, 8, 13, 512, 999, 1000})
        EXPECT_EQ(crc32(all.subspan(split), crc32(all.first(split))), crc32(all)) << split;
}

TEST(Crc32, RandomSpansAndSeedsMatchBitwiseDefinition) {
    std::mt19937 rng(20261207);
    std::vector<uint8_t> data(70000);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    for (int round = 0; round < 200; ++round) {
        size_t offset = rng() % 64;
        size_t len = round < 100 ? rng() % 100 : rng() % (data.size() - offset);
        uint32_t seed = round % 3 == 0 ? 0 : static_cast<uint32_t>(rng());
        std::span<const uint8_t> s(data.data() + offset, len);
        ASSERT_EQ(crc32(s, seed), slowCrc(s, seed))
            << "offset " << offset << " length " << len << " seed " << seed;
    }
}
