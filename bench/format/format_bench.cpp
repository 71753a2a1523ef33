// Prints the throughput of the work done on every data block written: the
// block CRC, the permute encoding and both in one call, for every path this
// processor runs (the last of each is the one used). Two figures each: over one large
// buffer (memory bound) and block by block over 8176-byte blocks that stay
// in the cache, as the writer thread sees them. CPU time of this thread,
// best of ten runs, so that other load on the machine disturbs the figure less.
#include "pst/format/crc_kernels.h"
#include "pst/format/substitute_kernels.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

namespace {

constexpr size_t kBlock = 8176;  // the largest data block's payload

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// GB/s of `work` over `bytes`, best of ten runs.
double gbPerSecond(size_t bytes, const std::function<void()>& work) {
    double best = 1e9;
    for (int run = 0; run < 10; ++run) {
        double t0 = cpuSeconds();
        work();
        best = std::min(best, cpuSeconds() - t0);
    }
    return double(bytes) / best / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    if (mb == 0) mb = 64;
    std::vector<uint8_t> large(mb << 20);
    std::mt19937 rng(1);
    for (auto& b : large) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> block(large.begin(), large.begin() + kBlock);
    const size_t blockRounds = large.size() / kBlock;
    std::vector<uint8_t> table(256);
    std::iota(table.begin(), table.end(), 0);
    std::shuffle(table.begin(), table.end(), rng);

    std::printf("%-28s %12s %12s\n", "GB/s", "large buffer", "8 KB blocks");
    volatile uint32_t sink = 0;
    for (const auto& k : pst::format::crcKernels()) {
        double onLarge = gbPerSecond(large.size(), [&] { sink = k.run(sink, large.data(), large.size()); });
        double onBlocks = gbPerSecond(blockRounds * kBlock, [&] {
            for (size_t i = 0; i < blockRounds; ++i) sink = k.run(sink, block.data(), block.size());
        });
        std::printf("block CRC, %-17s %12.2f %12.2f\n", k.name, onLarge, onBlocks);
    }
    for (const auto& k : pst::format::substituteKernels()) {
        double onLarge = gbPerSecond(large.size(), [&] { k.run(large.data(), large.size(), table.data()); });
        double onBlocks = gbPerSecond(blockRounds * kBlock, [&] {
            for (size_t i = 0; i < blockRounds; ++i) k.run(block.data(), block.size(), table.data());
        });
        std::printf("permute encoding, %-10s %12.2f %12.2f\n", k.name, onLarge, onBlocks);
    }
    // Encoding and CRC of each block of the large buffer, as the writer
    // thread meets blocks that another thread has just written.
    for (const auto& k : pst::format::substituteCrcKernels()) {
        double onLarge = gbPerSecond(blockRounds * kBlock, [&] {
            for (size_t i = 0; i < blockRounds; ++i) sink = k.run(large.data() + i * kBlock, kBlock, table.data());
        });
        double onBlocks = gbPerSecond(blockRounds * kBlock, [&] {
            for (size_t i = 0; i < blockRounds; ++i) sink = k.run(block.data(), block.size(), table.data());
        });
        std::printf("both, %-22s %12.2f %12.2f\n", k.name, onLarge, onBlocks);
    }
    std::printf("(crc %08x)\n", unsigned(sink));
}
