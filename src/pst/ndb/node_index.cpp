#include "pst/ndb/node_index.h"

#include <algorithm>

namespace pst::ndb {

namespace {
bool nidBefore(const NodeRecord& r, Nid n) { return r.nid < n; }
}  // namespace

NodeRecord* NodeIndex::findBase(Nid nid) {
    auto it = std::lower_bound(base_.begin(), base_.end(), nid, nidBefore);
    return it != base_.end() && it->nid == nid ? &*it : nullptr;
}

std::vector<NodeRecord>::iterator NodeIndex::findAdded(Nid nid) {
    if (!added_.empty() && added_.back().nid < nid) return added_.end();  // the usual case: a new, higher NID
    return std::lower_bound(added_.begin(), added_.end(), nid, nidBefore);
}

const NodeRecord* NodeIndex::find(Nid nid) const {
    auto* self = const_cast<NodeIndex*>(this);
    if (NodeRecord* r = self->findBase(nid)) return r->bidSub == kDeleted ? nullptr : r;
    auto it = self->findAdded(nid);
    return it != added_.end() && it->nid == nid ? &*it : nullptr;
}

bool NodeIndex::put(const NodeRecord& node, NodeRecord& replaced) {
    if (NodeRecord* r = findBase(node.nid)) {
        bool existed = r->bidSub != kDeleted;
        if (existed) replaced = *r; else ++live_;
        *r = node;
        return existed;
    }
    auto it = findAdded(node.nid);
    if (it != added_.end() && it->nid == node.nid) {
        replaced = *it;
        *it = node;
        return true;
    }
    added_.insert(it, node);
    ++live_;
    return false;
}

bool NodeIndex::erase(Nid nid, NodeRecord& erased) {
    if (NodeRecord* r = findBase(nid)) {
        if (r->bidSub == kDeleted) return false;
        erased = *r;
        r->bidSub = kDeleted;
        --live_;
        return true;
    }
    auto it = findAdded(nid);
    if (it == added_.end() || it->nid != nid) return false;
    erased = *it;
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
        while (from > 0 && base_[from - 1].nid > b->nid) base_[--to] = base_[--from];
        base_[--to] = *b;
    }
    added_.clear();
    added_.shrink_to_fit();
}

}  // namespace pst::ndb
