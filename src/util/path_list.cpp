#include "util/path_list.h"

#include <limits>
#include <stdexcept>

namespace quillmere {

uint32_t PathList::folderIndex(std::u16string_view folder) {
    // Lists come folder by folder: the last folder is the usual answer.
    if (!folders_.empty() && folders_.back() == folder) return static_cast<uint32_t>(folders_.size() - 1);
    auto [it, added] = folderIndexes_.try_emplace(std::u16string(folder), static_cast<uint32_t>(folders_.size()));
    if (added) folders_.emplace_back(folder);
    return it->second;
}

void PathList::push_back(std::u16string_view path) {
    const size_t split = path.find_last_of(u"/\\");
    const size_t nameStart = split == std::u16string_view::npos ? 0 : split + 1;
    if (names_.size() + (path.size() - nameStart) > std::numeric_limits<uint32_t>::max() ||
        entries_.size() >= std::numeric_limits<uint32_t>::max())
        throw std::length_error("too many paths for one list");
    const uint32_t folder = folderIndex(path.substr(0, nameStart));
    names_.append(path.substr(nameStart));
    entries_.push_back({folder, static_cast<uint32_t>(names_.size())});
}

std::u16string PathList::at(size_t index) const {
    if (index >= entries_.size()) throw std::out_of_range("no path " + std::to_string(index) + " in the list");
    const size_t begin = index ? entries_[index - 1].nameEnd : 0;
    const Entry& e = entries_[index];
    std::u16string path = folders_[e.folder];
    path.append(names_, begin, e.nameEnd - begin);
    return path;
}

void PathList::shrink_to_fit() {
    names_.shrink_to_fit();
    entries_.shrink_to_fit();
    folders_.shrink_to_fit();
}

size_t PathList::heldBytes() const {
    size_t n = 2 * names_.capacity() + sizeof(Entry) * entries_.capacity();
    for (const auto& f : folders_) n += 2 * (sizeof f + 2 * f.capacity());  // in the vector and the map
    return n;
}

}  // namespace quillmere
