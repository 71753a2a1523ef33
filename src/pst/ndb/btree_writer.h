#pragma once
// Bulk bottom-up construction of an NBT or BBT from entries in key order
// ([MS-PST] "BTPAGE", "BTENTRY"). Pages are filled to 90 percent, as the
// format recommends for B-tree pages, so that a client inserting later does
// not have to split every page at once.

#include <cstdint>
#include <functional>
#include <vector>

#include "pst/format/bref.h"
#include "pst/ndb/disk_format.h"

namespace pst::ndb {

using format::Bref;

struct BTreeSink {
    std::function<uint64_t()> allocatePage;       // a free, 512-aligned page
    std::function<uint64_t()> nextPageBid;        // from bidNextP
    std::function<void(uint64_t ib, const Page&)> writePage;
};

// Leaf entries: `count` entries of `entrySize` bytes, produced in key order
// by `next`, which writes one entry and returns its key. Returns the root
// page; `pages` receives the offset of every page written.
Bref writeBTree(uint8_t ptype, size_t entrySize, size_t count,
                const std::function<uint64_t(uint8_t*)>& next,
                const BTreeSink& sink, std::vector<uint64_t>& pages);

// Entries per page when packing `max` at 90 percent.
constexpr size_t packedEntries(size_t max) { return max * 9 / 10; }

}  // namespace pst::ndb
