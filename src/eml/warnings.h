#pragma once
// The list of repairs made while reading one message, without repeats.

#include <algorithm>
#include <string>
#include <vector>

namespace eml {

class Warnings {
public:
    void add(std::string text) {
        if (std::find(items_.begin(), items_.end(), text) == items_.end())
            items_.push_back(std::move(text));
    }
    const std::vector<std::string>& items() const { return items_; }
    std::vector<std::string> take() { return std::move(items_); }

private:
    std::vector<std::string> items_;
};

}  // namespace eml
