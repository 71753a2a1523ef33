#pragma once
// The headless converter run as a child process, its peak memory measured.

#include <filesystem>

namespace testing_support {

struct ChildRun {
    int exitCode = -1;
    long peakKb = 0;  // the child's peak resident memory
};

// Runs `converter --quiet src out` in `cwd`, through a small process of its
// own, so the peak is the converter's alone; what the converter writes to
// stderr is dropped.
ChildRun convertInChild(const char* converter, const std::filesystem::path& cwd);

}  // namespace testing_support
