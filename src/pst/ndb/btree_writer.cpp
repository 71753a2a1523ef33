#include "pst/ndb/btree_writer.h"

#include <stdexcept>

namespace pst::ndb {

namespace {

struct Child {
    uint64_t key;
    Bref bref;
};

Page makePage(size_t count, size_t entrySize, uint8_t level,
              const std::function<void(size_t, uint8_t*)>& fillAt, size_t first) {
    Page page{};
    for (size_t i = 0; i < count; ++i) fillAt(first + i, page.data() + i * entrySize);
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
                const std::function<uint64_t(size_t)>& key,
                const std::function<void(size_t, uint8_t*)>& fill,
                const BTreeSink& sink, std::vector<uint64_t>& pages) {
    auto emit = [&](Page& page) {
        Bref ref{sink.nextPageBid(), sink.allocatePage()};
        sealPage(page, ptype, ref.bid, ref.ib);
        sink.writePage(ref.ib, page);
        pages.push_back(ref.ib);
        return ref;
    };

    std::vector<Child> level;
    size_t first = 0;
    for (size_t n : pageSizes(count, packedEntries(format::kBtEntriesSize / entrySize))) {
        Page page = makePage(n, entrySize, 0, fill, first);
        level.push_back({n ? key(first) : 0, emit(page)});
        first += n;
    }

    uint8_t depth = 0;
    while (level.size() > 1) {
        if (++depth > format::kBtMaxLevel) throw std::length_error("B-tree deeper than the format allows");
        std::vector<Child> upper;
        auto fillChild = [&](size_t i, uint8_t* dst) {
            put64(dst, level[i].key);
            put64(dst + 8, level[i].bref.bid);
            put64(dst + 16, level[i].bref.ib);
        };
        first = 0;
        for (size_t n : pageSizes(level.size(), packedEntries(format::kBtEntryMax))) {
            Page page = makePage(n, format::kBtEntrySize, depth, fillChild, first);
            upper.push_back({level[first].key, emit(page)});
            first += n;
        }
        level.swap(upper);
    }
    return level.front().bref;
}

}  // namespace pst::ndb
