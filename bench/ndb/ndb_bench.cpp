// Throughput and peak memory of the NDB writer.
//   ndb_bench [MB=1024] [DIR=/tmp]
// Three runs, each writing about MB megabytes of payload and committing
// every 64 MB: large values (1 MB each, data trees), small values (5 KB
// nodes with a subnode each, the shape of small messages) and streamed
// values (50 MB each). Prints MB/s of payload, nodes/s and peak RSS.
// NDB_BENCH_KEEP=1 keeps the files (FILE.1, .2, .3) for a checker run.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pst/ndb/ndb_writer.h"

using namespace pst::ndb;
using namespace pst::format;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t kCommitEvery = 64ull << 20;
int kept = 0;

long currentRssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

std::vector<uint8_t> bytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) b = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    return v;
}

double cpuSeconds() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Result {
    double seconds;
    double cpu;
    uint64_t payload;
    uint64_t nodes;
    uint64_t fileSize;
    long rssGrowthKb;
};

template <class Body>
Result measure(const std::filesystem::path& file, Body body) {
    std::filesystem::remove(file);
    long rssBefore = currentRssKb();
    double cpuBefore = cpuSeconds();
    auto start = Clock::now();
    auto w = NdbWriter::create(file, CryptMethod::Permute);
    uint64_t payload = 0, nodes = 0;
    body(*w, payload, nodes);
    w->close();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Result r{seconds, cpuSeconds() - cpuBefore, payload, nodes, std::filesystem::file_size(file), currentRssKb() - rssBefore};
    if (!std::getenv("NDB_BENCH_KEEP")) std::filesystem::remove(file);
    else std::filesystem::rename(file, file.string() + "." + std::to_string(++kept));
    return r;
}

void print(const char* name, const Result& r) {
    // MB/s per CPU second shows the writer's own cost on a busy machine.
    std::printf("%-34s %7.1f MB/s (%7.1f per CPU s)  %8.0f nodes/s  %5.1f s  file %7.1f MB  RSS growth %5.1f MB\n",
                name, r.payload / 1048576.0 / r.seconds, r.payload / 1048576.0 / r.cpu, r.nodes / r.seconds,
                r.seconds, r.fileSize / 1048576.0, r.rssGrowthKb / 1024.0);
}

void commitIfDue(NdbWriter& w) {
    if (w.bytesWrittenSinceCommit() >= kCommitEvery) w.commit();
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t total = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024) << 20;
    const std::filesystem::path dir = argc > 2 ? argv[2] : "/tmp";
    const auto file = dir / ("ndb-bench-" + std::to_string(::getpid()) + ".pst");
    std::printf("NDB writer, %.0f MB of payload per run, commit every %llu MB\n", total / 1048576.0,
                static_cast<unsigned long long>(kCommitEvery >> 20));

    const auto large = bytes(1 << 20, 1);
    print("large values (1 MB, data trees)", measure(file, [&](NdbWriter& w, uint64_t& payload, uint64_t& nodes) {
        for (uint32_t i = 0; payload < total; ++i) {
            w.putNode(makeNid(NID_TYPE_ATTACHMENT, 0x400 + i), w.writeData(large), 0, 0);
            payload += large.size();
            ++nodes;
            commitIfDue(w);
        }
    }));

    const auto small = bytes(5000, 2);
    const auto tiny = bytes(300, 3);
    print("small values (5 KB + subnode)", measure(file, [&](NdbWriter& w, uint64_t& payload, uint64_t& nodes) {
        for (uint32_t i = 0; payload < total; ++i) {
            Bid sub = w.writeSubnodes({{makeNid(NID_TYPE_LTP, 1), w.writeData(tiny), 0}});
            w.putNode(makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000 + i), w.writeData(small), sub, 0);
            payload += small.size() + tiny.size();
            ++nodes;
            commitIfDue(w);
        }
    }));

    const auto chunk = bytes(64 << 10, 4);
    print("streamed values (50 MB each)", measure(file, [&](NdbWriter& w, uint64_t& payload, uint64_t& nodes) {
        for (uint32_t i = 0; payload < total; ++i) {
            auto s = w.openDataStream();
            for (uint64_t done = 0; done < (50u << 20); done += chunk.size()) s->write(chunk);
            w.putNode(makeNid(NID_TYPE_ATTACHMENT, 0x400 + i), s->finish(), 0, 0);
            payload += 50u << 20;
            ++nodes;
            commitIfDue(w);
        }
    }));

    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    std::printf("peak RSS of the whole run: %.1f MB\n", ru.ru_maxrss / 1024.0);
}
