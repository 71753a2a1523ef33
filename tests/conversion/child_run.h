#pragma once
// The headless converter run as a child process of its own, with its peak
// resident memory.

#include <filesystem>

namespace testing_support {

struct ChildRun {
    int exitCode = -1;
    // The child's peak counts what this process held when it forked
    // (`parentKb`): a test measuring it runs in a process of its own.
    long peakKb = 0;
    long parentKb = 0;
};

// Runs `converter --quiet src out` in `cwd`.
ChildRun convertInChild(const char* converter, const std::filesystem::path& cwd);

}  // namespace testing_support
