#pragma once
// The subnodes one node is collecting while its contexts are written: large
// property values, row matrices, attachments, embedded messages.

#include <cstdint>
#include <vector>

#include "pst/ndb/ndb_writer.h"

namespace pst::ltp {

// What a top-level node or a subnode points at.
struct NodeBlocks {
    ndb::Bid data = 0;
    ndb::Bid subnode = 0;
};

class Subnodes {
public:
    // A NID unique among this node's subnodes.
    ndb::Nid allocate(uint8_t nidType) { return format::makeNid(nidType, nextIndex_++); }
    void add(ndb::Nid nid, NodeBlocks blocks) { entries_.push_back({nid, blocks.data, blocks.subnode}); }
    void add(ndb::Nid nid, ndb::Bid data) { entries_.push_back({nid, data, 0}); }
    bool empty() const { return entries_.empty(); }
    const std::vector<ndb::SubnodeEntry>& entries() const { return entries_; }

    // The subnode B-tree of the entries, or 0 when there are none.
    ndb::Bid write(ndb::NdbWriter& ndb) const;

private:
    std::vector<ndb::SubnodeEntry> entries_;
    uint32_t nextIndex_ = 1;
};

}  // namespace pst::ltp
