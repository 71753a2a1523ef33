#pragma once
// A folder tree under the system's temporary folder, removed at the end.

#include "util/platform_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TempTree {
public:
    TempTree()
    {
        std::random_device seed;
        root_ = std::filesystem::temp_directory_path() /
                ("quillmere-walk-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(root_);
    }
    ~TempTree()
    {
        std::error_code ec;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(root_, ec);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::u16string rootText() const { return quillmere::fromFileSystemPath(root_); }
    // The root with a trailing "/", as the walker records it.
    std::u16string rootEntry() const { return rootText() + u"/"; }

    void folder(const std::string& relative) { std::filesystem::create_directories(root_ / relative); }
    void file(const std::string& relative)
    {
        std::filesystem::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative) << "x";
    }

private:
    std::filesystem::path root_;
};
