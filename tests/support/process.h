#pragma once
// Running external programs from tests, and scratch folders.

#include <filesystem>
#include <string>
#include <vector>

namespace test_readers::detail {

struct Captured {
    int exitCode = -1;
    std::string output;  // stdout, then stderr
    std::string errors;  // stderr alone
};

// Runs argv[0] (looked up on PATH) with the arguments, no shell involved;
// gives up after timeoutSeconds.
Captured run(const std::vector<std::string>& argv, int timeoutSeconds = 600);

// A fresh folder under the system temporary folder, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string readText(const std::filesystem::path& file);

}  // namespace test_readers::detail
