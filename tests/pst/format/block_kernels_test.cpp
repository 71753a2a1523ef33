// Every vector path of the per-block work (substitution, CRC, both in one
// pass) against the plain one, over random lengths (tails shorter than a
// vector included), alignments, contents and seeds. Only the paths this
// processor runs can be checked here.

#include "pst/format/crc_kernels.h"
#include "pst/format/encoding.h"
#include "pst/format/substitute_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

using namespace pst::format;

namespace {

std::vector<uint8_t> randomBytes(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

std::vector<uint8_t> encodingTable() {
    std::vector<uint8_t> table(256);
    std::iota(table.begin(), table.end(), 0);
    permuteEncode(table);
    return table;
}

// Lengths around every vector width and unrolled step, then longer ones.
std::vector<size_t> lengths(std::mt19937& rng) {
    std::vector<size_t> out;
    for (size_t n = 0; n <= 600; ++n) out.push_back(n);
    for (int i = 0; i < 60; ++i) out.push_back(rng() % 20000);
    out.push_back(8176);  // the largest data block
    return out;
}

uint32_t bitwiseCrc(const uint8_t* p, size_t n, uint32_t crc) {
    for (; n > 0; --n, ++p) {
        crc ^= *p;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

}  // namespace

TEST(SubstituteKernels, PlainLoopComesFirstAndFastestIsUsed) {
    auto kernels = substituteKernels();
    ASSERT_FALSE(kernels.empty());
    EXPECT_STREQ(kernels.front().name, "plain");
    std::vector<std::string> names;
    for (auto& k : kernels) names.push_back(k.name);
    RecordProperty("kernels", ::testing::PrintToString(names));
}

TEST(SubstituteKernels, EveryPathMatchesThePlainLoopAndTouchesNothingOutside) {
    std::mt19937 rng(20261208);
    auto kernels = substituteKernels();
    const auto plain = kernels.front();
    std::vector<uint8_t> randomTable(256);
    std::iota(randomTable.begin(), randomTable.end(), 0);
    std::shuffle(randomTable.begin(), randomTable.end(), rng);
    for (const auto& table : {encodingTable(), randomTable}) {
        for (size_t n : lengths(rng)) {
            const size_t offset = rng() % 64;
            // Guard bytes on both sides catch a store past either end.
            const auto source = randomBytes(rng, offset + n + 64);
            auto expected = source;
            plain.run(expected.data() + offset, n, table.data());
            for (const auto& kernel : kernels.subspan(1)) {
                auto actual = source;
                kernel.run(actual.data() + offset, n, table.data());
                ASSERT_EQ(actual, expected) << kernel.name << ": offset " << offset << " length " << n;
            }
        }
    }
}

TEST(SubstituteKernels, EveryPathTranslatesEveryByteValue) {
    // All 256 values in every position of a vector, so each slice and each
    // half of the table is reached from each lane.
    const auto table = encodingTable();
    std::vector<uint8_t> source(256 * 64);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i + i / 256);
    for (const auto& kernel : substituteKernels()) {
        auto data = source;
        kernel.run(data.data(), data.size(), table.data());
        for (size_t i = 0; i < data.size(); ++i)
            ASSERT_EQ(data[i], table[source[i]]) << kernel.name << " byte " << i;
    }
}

TEST(CrcKernels, ZlibComesFirstAndEveryPathGivesTheCheckValue) {
    auto kernels = crcKernels();
    ASSERT_FALSE(kernels.empty());
    EXPECT_STREQ(kernels.front().name, "zlib");
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    for (const auto& kernel : kernels) {
        EXPECT_EQ(kernel.run(0, check, sizeof check), 0x2DFD2D88u) << kernel.name;
        EXPECT_EQ(kernel.run(0x1234u, check, 0), 0x1234u) << kernel.name;
    }
}

TEST(CrcKernels, EveryPathMatchesZlibAndTheBitwiseDefinition) {
    std::mt19937 rng(20261209);
    auto kernels = crcKernels();
    const auto data = randomBytes(rng, 20000 + 64);
    for (size_t n : lengths(rng)) {
        const size_t offset = rng() % 64;
        const uint32_t seed = n % 3 == 0 ? 0 : static_cast<uint32_t>(rng());
        const uint8_t* p = data.data() + offset;
        const uint32_t expected = kernels.front().run(seed, p, n);
        if (n <= 600) {
            ASSERT_EQ(expected, bitwiseCrc(p, n, seed)) << "length " << n;
        }
        for (const auto& kernel : kernels.subspan(1)) {
            ASSERT_EQ(kernel.run(seed, p, n), expected)
                << kernel.name << ": offset " << offset << " length " << n << " seed " << seed;
        }
    }
}

TEST(CrcKernels, EveryPathContinuesARunningCrcAcrossAnySplit) {
    std::mt19937 rng(20261210);
    const auto data = randomBytes(rng, 9000);
    for (const auto& kernel : crcKernels()) {
        const uint32_t whole = kernel.run(0, data.data(), data.size());
        for (size_t split : {size_t{1}, size_t{15}, size_t{64}, size_t{255}, size_t{256}, size_t{4097}}) {
            const uint32_t first = kernel.run(0, data.data(), split);
            ASSERT_EQ(kernel.run(first, data.data() + split, data.size() - split), whole)
                << kernel.name << " split " << split;
        }
    }
}

TEST(SubstituteCrcKernels, EveryPathEncodesAsThePlainLoopAndGivesTheCrcOfTheResult) {
    std::mt19937 rng(20261211);
    const auto table = encodingTable();
    const auto plainSubstitute = substituteKernels().front();
    const auto zlibCrc = crcKernels().front();
    auto kernels = substituteCrcKernels();
    EXPECT_STREQ(kernels.front().name, "two passes");
    for (size_t n : lengths(rng)) {
        const size_t offset = rng() % 64;
        const auto source = randomBytes(rng, offset + n + 64);
        auto expected = source;
        plainSubstitute.run(expected.data() + offset, n, table.data());
        const uint32_t expectedCrc = zlibCrc.run(0, expected.data() + offset, n);
        for (const auto& kernel : kernels) {
            auto actual = source;
            ASSERT_EQ(kernel.run(actual.data() + offset, n, table.data()), expectedCrc)
                << kernel.name << ": offset " << offset << " length " << n;
            ASSERT_EQ(actual, expected) << kernel.name << ": offset " << offset << " length " << n;
        }
    }
}

TEST(PermuteEncoding, WithCrcEncodesAsAloneAndGivesTheBlockCrc) {
    std::mt19937 rng(20261212);
    for (size_t n : {size_t{0}, size_t{1}, size_t{255}, size_t{256}, size_t{8176}}) {
        auto alone = randomBytes(rng, n);
        auto withCrc = alone;
        permuteEncode(alone);
        EXPECT_EQ(permuteEncodeWithCrc(withCrc), crcKernels().front().run(0, alone.data(), n)) << n;
        EXPECT_EQ(withCrc, alone) << n;
    }
}
