#pragma once
// The list of repairs made while reading one message, without repeats.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstddef>
#include <string>
#include <vector>

#include "pst/value_source.h"

namespace eml {

// A streamed value whose warnings are known only once it has been read,
// and where they stand among the others: before the warning at `at`.
struct WarningsWhenRead {
    size_t at = 0;
    pst::StreamedBytes source;
};

class Warnings {
public:
    void add(std::string text) {
        if (std::find(items_.begin(), items_.end(), text) == items_.end())
            items_.push_back(std::move(text));
    }
    // What reading `source` finds wrong belongs here, where decoding it at
    // once would have put it.
    void addWhenRead(pst::StreamedBytes source) { whenRead_.push_back({items_.size(), std::move(source)}); }
    const std::vector<std::string>& items() const { return items_; }
    std::vector<std::string> take() { return std::move(items_); }
    std::vector<WarningsWhenRead> takeWhenRead() { return std::move(whenRead_); }

private:
    std::vector<std::string> items_;
    std::vector<WarningsWhenRead> whenRead_;
};

// `warnings` with those of the values read since put in their places, as
// one list without repeats. A value not read yet (one the store did not
// write) is read to its end here. (Inline: the conversion uses it without
// the parser's library.)
inline std::vector<std::string> withWarningsWhenRead(const std::vector<std::string>& warnings,
                                                     const std::vector<WarningsWhenRead>& whenRead) {
    std::vector<std::string> out;
    out.reserve(warnings.size());
    auto add = [&](const std::string& text) {
        if (std::find(out.begin(), out.end(), text) == out.end()) out.push_back(text);
    };
    size_t next = 0;
    for (const auto& late : whenRead) {
        if (!late.source) continue;
        for (; next < late.at && next < warnings.size(); ++next) add(warnings[next]);
        std::array<uint8_t, 16384> scratch;
        while (late.source->read(scratch) != 0) {
        }
        for (const auto& text : late.source->warnings()) add(text);
    }
    for (; next < warnings.size(); ++next) add(warnings[next]);
    return out;
}

}  // namespace eml
