#include "pst/ndb/node_index.h"

#include <algorithm>

namespace pst::ndb {

NodeRecord* NodeIndex::findBase(Nid nid) {
    auto it = std::lower_bound(base_.begin(), base_.end(), nid,
                               [](const NodeRecord& r, Nid n) { return r.nid < n; });
    return it != base_.end() && it->nid == nid ? &*it : nullptr;
}

const NodeRecord* NodeIndex::find(Nid nid) const {
    NodeRecord* r = const_cast<NodeIndex*>(this)->findBase(nid);
    if (r) return r->bidSub == kDeleted ? nullptr : r;
    auto it = added_.find(nid);
    return it == added_.end() ? nullptr : &it->second;
}

bool NodeIndex::put(const NodeRecord& node, NodeRecord& replaced) {
    if (NodeRecord* r = findBase(node.nid)) {
        bool existed = r->bidSub != kDeleted;
        if (existed) replaced = *r; else ++live_;
        *r = node;
        return existed;
    }
    auto [it, inserted] = added_.try_emplace(node.nid, node);
    if (inserted) {
        ++live_;
        return false;
    }
    replaced = it->second;
    it->second = node;
    return true;
}

bool NodeIndex::erase(Nid nid, NodeRecord& erased) {
    if (NodeRecord* r = findBase(nid)) {
        if (r->bidSub == kDeleted) return false;
        erased = *r;
        r->bidSub = kDeleted;
        --live_;
        return true;
    }
    auto it = added_.find(nid);
    if (it == added_.end()) return false;
    erased = it->second;
    added_.erase(it);
    --live_;
    return true;
}

void NodeIndex::merge() {
    std::erase_if(base_, [](const NodeRecord& r) { return r.bidSub == kDeleted; });
    // From the back: the new nodes go to the end, where most of them belong.
    size_t from = base_.size();
    base_.resize(base_.size() + added_.size());
    size_t to = base_.size();
    for (auto b = added_.rbegin(); b != added_.rend(); ++b) {
        while (from > 0 && base_[from - 1].nid > b->first) base_[--to] = base_[--from];
        base_[--to] = b->second;
    }
    added_.clear();
}

}  // namespace pst::ndb
