#include "pst/ndb/btree_writer.h"

#include <stdexcept>

namespace pst::ndb {

namespace {

struct Child {
    uint64_t key;
    Bref bref;
};

Page makePage(size_t count, size_t entrySize, uint8_t level, const std::function<uint64_t(uint8_t*)>& next,
              uint64_t& firstKey) {
    Page page{};
    for (size_t i = 0; i < count; ++i) {
        uint64_t key = next(page.data() + i * entrySize);
        if (i == 0) firstKey = key;
    }
    page[format::kBtCEnt] = static_cast<uint8_t>(count);
    page[format::kBtCEntMax] = static_cast<uint8_t>(format::kBtEntriesSize / entrySize);
    page[format::kBtCbEnt] = static_cast<uint8_t>(entrySize);
    page[format::kBtCLevel] = level;
    return page;
}

// Splits n entries into pages of at most `per`, as evenly as possible.
std::vector<size_t> pageSizes(size_t n, size_t per) {
    size_t pages = n == 0 ? 1 : (n + per - 1) / per;
    std::vector<size_t> sizes(pages, n / pages);
    for (size_t i = 0; i < n % pages; ++i) ++sizes[i];
    return sizes;
}

}  // namespace

Bref writeBTree(uint8_t ptype, size_t entrySize, size_t count,
                const std::function<uint64_t(uint8_t*)>& next,
                const BTreeSink& sink, std::vector<uint64_t>& pages) {
    auto emit = [&](Page& page) {
        Bref ref{sink.nextPageBid(), sink.allocatePage()};
        sealPage(page, ptype, ref.bid, ref.ib);
        sink.writePage(ref.ib, page);
        pages.push_back(ref.ib);
        return ref;
    };

    std::vector<Child> level;
    for (size_t n : pageSizes(count, packedEntries(format::kBtEntriesSize / entrySize))) {
        uint64_t firstKey = 0;
        Page page = makePage(n, entrySize, 0, next, firstKey);
        level.push_back({firstKey, emit(page)});
    }

    uint8_t depth = 0;
    while (level.size() > 1) {
        if (++depth > format::kBtMaxLevel) throw std::length_error("B-tree deeper than the format allows");
        std::vector<Child> upper;
        size_t at = 0;
        auto nextChild = [&](uint8_t* dst) {
            const Child& c = level[at++];
            put64(dst, c.key);
            put64(dst + 8, c.bref.bid);
            put64(dst + 16, c.bref.ib);
            return c.key;
        };
        for (size_t n : pageSizes(level.size(), packedEntries(format::kBtEntryMax))) {
            uint64_t firstKey = 0;
            Page page = makePage(n, format::kBtEntrySize, depth, nextChild, firstKey);
            upper.push_back({firstKey, emit(page)});
        }
        level.swap(upper);
    }
    return level.front().bref;
}

}  // namespace pst::ndb
