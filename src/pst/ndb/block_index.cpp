#include "pst/ndb/block_index.h"

#include <algorithm>
#include <limits>
#include <string>

namespace pst::ndb {

BlockRecord::BlockRecord(Bid bid, uint64_t ib, uint16_t cb, uint16_t cRef)
    : cb(cb), cRef(cRef), halfBid_(static_cast<uint32_t>(bid >> 1)), ibUnits_(static_cast<uint32_t>(ib / kUnit)) {
    if ((bid & 1) || ib % kUnit) throw NdbError(NdbError::Kind::InvalidArgument, "misaligned block " + std::to_string(bid));
    if ((bid >> 1) > std::numeric_limits<uint32_t>::max() || ib / kUnit > std::numeric_limits<uint32_t>::max())
        throw NdbError(NdbError::Kind::InvalidArgument,
                       "the store file is full: it holds the most blocks or bytes (256 GiB) this writer can index");
}

void BlockIndex::append(Bid bid, uint64_t ib, uint16_t cb) {
    if (!records_.empty() && records_.back().bid() >= bid)
        throw NdbError(NdbError::Kind::InvalidArgument, "block ids out of order");
    records_.emplace_back(bid, ib, cb, 1);
}

BlockRecord* BlockIndex::find(Bid bid) {
    auto it = std::lower_bound(records_.begin(), records_.end(), bid,
                               [](const BlockRecord& r, Bid b) { return r.bid() < b; });
    if (it == records_.end() || it->bid() != bid || it->cRef == 0) return nullptr;
    return &*it;
}

void BlockIndex::dropFreed() {
    std::erase_if(records_, [](const BlockRecord& r) { return r.cRef == 0; });
}

}  // namespace pst::ndb
