#pragma once
// The nodes of the NBT, compact: a sorted sequence holds what the last commit
// wrote, a small map what was added since; a commit merges the two in place,
// so the index never needs twice its size. Node ids mostly grow, so the map
// stays small between commits.

#include <cstdint>
#include <deque>
#include <vector>

#include "pst/ndb/ndb_types.h"

namespace pst::ndb {

using NodeRecord = format::NbtEntry;

class NodeIndex {
public:
    const NodeRecord* find(Nid nid) const;
    // Adds or replaces; returns the record replaced, if any.
    bool put(const NodeRecord& node, NodeRecord& replaced);
    bool erase(Nid nid, NodeRecord& erased);
    size_t size() const { return live_; }
    // Folds new nodes in and drops deleted ones; afterwards `sorted()` holds
    // every node in NID order.
    void merge();
    const std::deque<NodeRecord>& sorted() const { return base_; }

private:
    static constexpr Bid kDeleted = ~Bid{0};  // in `bidSub`: a deleted base entry
    NodeRecord* findBase(Nid nid);
    std::vector<NodeRecord>::iterator findAdded(Nid nid);
    std::deque<NodeRecord> base_;  // in chunks: growing never copies it whole
    std::vector<NodeRecord> added_;  // sorted by NID; new NIDs mostly come last
    size_t live_ = 0;
};

}  // namespace pst::ndb
