#pragma once
// The blocks of the BBT in memory, 12 bytes a block: the bid halved, the
// offset in 64-byte units, the size and the reference count. Bids only
// grow, so entries are appended in order and found by binary search; they
// live in fixed-size chunks, so the index never needs twice its size while
// it grows. Within these widths a file holds up to 2^31 blocks and 256 GiB.

#include <cstdint>
#include <deque>

#include "pst/ndb/ndb_types.h"

namespace pst::ndb {

class BlockRecord {
public:
    BlockRecord(Bid bid, uint64_t ib, uint16_t cb, uint16_t cRef);
    Bid bid() const { return Bid{halfBid_} << 1; }
    uint64_t ib() const { return uint64_t{ibUnits_} * kUnit; }
    uint16_t cb;
    // 1: written, not yet reachable; 2 and more: reachable; 0: freed.
    uint16_t cRef;

private:
    static constexpr uint64_t kUnit = 64;  // blocks start on 64-byte boundaries
    uint32_t halfBid_;
    uint32_t ibUnits_;
};

class BlockIndex {
public:
    using const_iterator = std::deque<BlockRecord>::const_iterator;

    // Bids must grow from one call to the next. Throws NdbError
    // (InvalidArgument) past what a record can hold.
    void append(Bid bid, uint64_t ib, uint16_t cb);
    // The block, unless unknown or freed.
    BlockRecord* find(Bid bid);
    // Forgets the freed blocks.
    void dropFreed();

    const_iterator begin() const { return records_.begin(); }
    const_iterator end() const { return records_.end(); }
    size_t size() const { return records_.size(); }

private:
    std::deque<BlockRecord> records_;
};

}  // namespace pst::ndb
