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
    std::vector<NodeRecord> merged;
    merged.reserve(live_);
    auto a = base_.begin();
    auto b = added_.begin();
    while (a != base_.end() || b != added_.end()) {
        if (b == added_.end() || (a != base_.end() && a->nid < b->first)) {
            if (a->bidSub != kDeleted) merged.push_back(*a);
            ++a;
        } else {
            merged.push_back(b->second);
            ++b;
        }
    }
    base_.swap(merged);
    added_.clear();
}

}  // namespace pst::ndb
