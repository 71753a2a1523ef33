// Prints the throughput of the work done on every data block written:
// the block CRC and the permute encoding. CPU time of this thread, best of
// ten runs, so that other load on the machine disturbs the figure less.
#include "pst/format/crc.h"
#include "pst/format/encoding.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

namespace {
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
}  // namespace

int main(int argc, char** argv) {
    size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32;
    if (mb == 0) mb = 32;
    std::vector<uint8_t> data(mb << 20);
    std::mt19937 rng(1);
    for (auto& b : data) b = static_cast<uint8_t>(rng());

    double crcBest = 1e9, permuteBest = 1e9;
    uint32_t crc = 0;
    for (int run = 0; run < 10; ++run) {
        double t0 = cpuSeconds();
        crc = pst::format::crc32(data, crc);
        double t1 = cpuSeconds();
        pst::format::permuteEncode(data);
        double t2 = cpuSeconds();
        crcBest = std::min(crcBest, t1 - t0);
        permuteBest = std::min(permuteBest, t2 - t1);
    }
    std::printf("block CRC:         %7.0f MB/s\n", double(mb) / crcBest);
    std::printf("permute encoding:  %7.0f MB/s\n", double(mb) / permuteBest);
    std::printf("(crc %08x)\n", crc);
}
