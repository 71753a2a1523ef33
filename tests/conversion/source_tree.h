#pragma once
// A temporary folder for one test: the mail tree under src/, the written
// stores under out/. Kept after a failing test so it can be looked at.

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A small, valid RFC 822 message; with one text attachment when asked.
std::string sampleMessage(const std::string& subject, bool attachment = false);

class SourceTree {
public:
    explicit SourceTree(const std::string& label);
    ~SourceTree();
    SourceTree(const SourceTree&) = delete;
    SourceTree& operator=(const SourceTree&) = delete;

    std::filesystem::path write(const std::filesystem::path& relative, const std::string& content);
    std::vector<std::filesystem::path> stores() const;
    // The store folder path of src/, as "/"-joined names.
    std::string prefix() const;

    std::filesystem::path base;
};

}  // namespace testing_support
