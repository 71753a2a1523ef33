#pragma once
// An ordered collection of values with unique text keys. Entries are reached
// by their 1-based position in order of addition or by key; keys compare
// without regard to letter case. Hold it through a shared_ptr: whoever keeps
// the pointer keeps the collection alive after its producer has let go.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "util/text.h"

namespace quillmere {

class DuplicateKeyError : public std::invalid_argument {
public:
    explicit DuplicateKeyError(const std::string& what) : std::invalid_argument(what) {}
};

template <typename T>
class KeyedCollection {
public:
    // Appends `value` under `key`. Throws DuplicateKeyError, leaving the
    // collection as it was, if an entry with that key (in any case) exists.
    void add(T value, const std::u16string& key)
    {
        auto folded = foldCase(key);
        if (index_.count(folded))
            throw DuplicateKeyError("key already present in the collection");
        values_.push_back(std::move(value));
        try {
            keys_.push_back(key);
            index_.emplace(std::move(folded), values_.size() - 1);
        } catch (...) {
            values_.pop_back();
            if (keys_.size() > values_.size())
                keys_.pop_back();
            throw;
        }
    }

    std::int32_t count() const { return static_cast<std::int32_t>(values_.size()); }
    bool empty() const { return values_.empty(); }

    // 1-based position; throws std::out_of_range outside 1..count().
    const T& item(std::int32_t position) const { return values_.at(checked(position)); }
    const std::u16string& keyAt(std::int32_t position) const { return keys_.at(checked(position)); }

    // Throws std::out_of_range when no entry has that key.
    const T& item(const std::u16string& key) const
    {
        auto it = index_.find(foldCase(key));
        if (it == index_.end())
            throw std::out_of_range("no entry with that key");
        return values_[it->second];
    }
    bool contains(const std::u16string& key) const { return index_.count(foldCase(key)) != 0; }
    // 1-based position of the entry with that key, 0 when there is none.
    std::int32_t positionOf(const std::u16string& key) const
    {
        auto it = index_.find(foldCase(key));
        return it == index_.end() ? 0 : static_cast<std::int32_t>(it->second + 1);
    }

    // The values in order of addition.
    const std::vector<T>& values() const { return values_; }
    auto begin() const { return values_.begin(); }
    auto end() const { return values_.end(); }

private:
    std::size_t checked(std::int32_t position) const
    {
        if (position < 1 || static_cast<std::size_t>(position) > values_.size())
            throw std::out_of_range("collection position out of range");
        return static_cast<std::size_t>(position - 1);
    }

    std::vector<T> values_;
    std::vector<std::u16string> keys_;
    std::unordered_map<std::u16string, std::size_t> index_;
};

using StringCollection = KeyedCollection<std::u16string>;
using IntCollection = KeyedCollection<std::int32_t>;

}  // namespace quillmere
