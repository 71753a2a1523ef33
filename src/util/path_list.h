#pragma once
// A long list of file paths held compactly: each folder once, the file names
// back to back in one buffer, 8 bytes of index a path. A run's list of
// 100,000 messages holds a few MB instead of tens.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmere {

class PathList {
public:
    // Keeps the path exactly; it is split after its last '/' or '\'.
    void push_back(std::u16string_view path);
    std::u16string at(size_t index) const;  // throws std::out_of_range
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // Gives back what growing left unused.
    void shrink_to_fit();
    // The memory the list holds.
    size_t heldBytes() const;

private:
    struct Entry {
        uint32_t folder;   // index into folders_
        uint32_t nameEnd;  // end of the name in names_; it starts where the one before ends
    };
    uint32_t folderIndex(std::u16string_view folder);

    std::vector<std::u16string> folders_;
    std::unordered_map<std::u16string, uint32_t> folderIndexes_;
    std::u16string names_;
    std::vector<Entry> entries_;
};

}  // namespace quillmere
