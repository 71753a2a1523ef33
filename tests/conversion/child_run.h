#pragma once
// The headless converter run as a child process of its own, with its peak
// resident memory.

#include <filesystem>

namespace testing_support {

struct ChildRun {
    int exitCode = -1;
    long peakKb = 0;
};

// Runs `converter --quiet src out` in `cwd`.
ChildRun convertInChild(const char* converter, const std::filesystem::path& cwd);

}  // namespace testing_support
