#pragma once
// The headless converter run as a child process of its own, with its peak
// resident memory.

#include <filesystem>

namespace testing_support {

struct ChildRun {
    int exitCode = -1;
    // The converter's own peak: it is started by a small process of its own
    // (peak_memory), so the pages this process holds do not count in it.
    long peakKb = 0;
    long parentKb = 0;  // what this process held when it started the run
};

// Runs `converter --quiet src out` in `cwd`; what the converter writes to
// stderr is dropped.
ChildRun convertInChild(const char* converter, const std::filesystem::path& cwd);

}  // namespace testing_support
