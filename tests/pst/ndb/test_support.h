#pragma once
// Helpers shared by the NDB tests: scratch files and the external readers.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>

namespace ndbtest {

inline std::filesystem::path scratchFile(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() / ("ndb-tests-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto p = dir / name;
    std::filesystem::remove(p);
    return p;
}

// For a forked child: writes that would take a file past `bytes` fail with
// EFBIG, as on a full disk, instead of the signal ending the process.
inline void limitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

inline std::vector<uint8_t> pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    std::mt19937 g(seed);
    for (auto& b : v) b = static_cast<uint8_t>(g());
    return v;
}

struct ToolRun {
    int status = -1;
    std::string output;
};

inline ToolRun run(const std::string& cmd) {
    ToolRun r;
    FILE* p = ::popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    r.status = ::pclose(p);
    return r;
}

inline bool haveTool(const std::string& tool) { return run("command -v " + tool).status == 0; }

// pffinfo (pff-tools) opens the file and prints its header summary.
inline void expectPffinfoAccepts(const std::filesystem::path& file) {
    if (!haveTool("pffinfo")) GTEST_SKIP() << "pffinfo (pff-tools) is not installed";
    ToolRun r = run("pffinfo '" + file.string() + "'");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("Unable"), std::string::npos) << r.output;
}

// Our own checker in its NDB-only mode, when it is part of the build;
// strict for files whose writer finished. A writer killed between growing
// the file and writing the HEADER that records it leaves unused space past
// ibFileEof, which only the strict mode counts.
inline void expectCheckerAccepts(const std::filesystem::path& file, bool strict = true) {
    std::string checker = PSTCHECK;
    if (checker.empty()) return;
    ToolRun r = run(checker + " --ndb-only " + (strict ? "--strict '" : "'") + file.string() + "'");
    EXPECT_EQ(r.status, 0) << r.output;
}

}  // namespace ndbtest
