#include <algorithm>
#include <cstdlib>
#include <functional>
#include <unistd.h>

#include "independent_readers.h"

namespace test_readers {

const SeenFolder* SeenFolder::find(const std::string& path) const {
    if (path.empty()) return this;
    auto slash = path.find('/');
    std::string head = path.substr(0, slash);
    for (auto& f : subfolders)
        if (f.name == head) return slash == std::string::npos ? &f : f.find(path.substr(slash + 1));
    return nullptr;
}

size_t SeenFolder::totalMessages() const {
    size_t n = messages.size();
    for (auto& f : subfolders) n += f.totalMessages();
    return n;
}

std::vector<std::string> SeenFolder::outline() const {
    std::vector<std::string> out;
    std::function<void(const SeenFolder&, const std::string&)> walk = [&](const SeenFolder& f, const std::string& path) {
        for (auto& s : f.subfolders) {
            std::string p = path.empty() ? s.name : path + "/" + s.name;
            out.push_back(p + ": " + std::to_string(s.messages.size()));
            walk(s, p);
        }
    };
    walk(*this, "");
    std::sort(out.begin(), out.end());
    return out;
}

const SeenFolder* ReaderResult::topOfStore() const {
    if (tool == "readpst") return root.subfolders.empty() ? nullptr : &root.subfolders.front();
    for (auto& f : root.subfolders)
        if (f.name.rfind("Top of ", 0) == 0) return &f;
    return nullptr;
}

bool toolInstalled(const std::string& command) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string p = path;
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find(':', start);
        if (end == std::string::npos) end = p.size();
        std::filesystem::path candidate = std::filesystem::path(p.substr(start, end - start)) / command;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace test_readers
