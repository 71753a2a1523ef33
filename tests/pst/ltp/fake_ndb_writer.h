#pragma once
// An in-memory node database for testing the LTP builders: keeps every
// block it is handed so tests can decode exactly what would reach the file.

#include <map>
#include <stdexcept>
#include <string>

#include "pst/ndb/ndb_writer.h"

namespace pst::testing {

class FakeNdbWriter : public ndb::NdbWriter {
public:
    std::map<ndb::Bid, std::vector<std::vector<uint8_t>>> blocks;  // bid -> its data blocks
    std::map<ndb::Bid, std::vector<ndb::SubnodeEntry>> subnodeTrees;
    struct Node { ndb::Bid data, subnode; ndb::Nid parent; };
    std::map<ndb::Nid, Node> nodes;

    ndb::Bid writeData(std::span<const uint8_t> data) override {
        std::vector<std::vector<uint8_t>> out;
        if (data.empty()) out.emplace_back();
        for (size_t at = 0; at < data.size(); at += ndb::kMaxBlockPayload)
            out.emplace_back(data.begin() + at, data.begin() + std::min(at + ndb::kMaxBlockPayload, data.size()));
        return store(std::move(out));
    }
    ndb::Bid writeBlocks(const std::vector<std::vector<uint8_t>>& b) override {
        for (auto& block : b)
            if (block.size() > ndb::kMaxBlockPayload) throw std::invalid_argument("block too large");
        return store(b);
    }
    ndb::Bid writeDataTree(const std::vector<ndb::Bid>& bids) override {
        if (bids.size() == 1) return bids[0];
        std::vector<std::vector<uint8_t>> out;
        for (ndb::Bid bid : bids) {
            auto& b = blocks.at(bid);
            if (b.size() != 1) throw std::invalid_argument("writeDataTree over a tree");
            out.push_back(b[0]);
        }
        ndb::Bid bid = next_ += 4;
        blocks[bid] = std::move(out);
        ++treesOverExisting;
        return bid;
    }
    size_t treesOverExisting = 0;
    class Stream : public DataStream {
    public:
        explicit Stream(FakeNdbWriter& w) : w_(w) {}
        void write(std::span<const uint8_t> d) override { bytes_.insert(bytes_.end(), d.begin(), d.end()); }
        ndb::Bid finish() override { return w_.writeData(bytes_); }
    private:
        FakeNdbWriter& w_;
        std::vector<uint8_t> bytes_;
    };
    std::unique_ptr<DataStream> openDataStream() override { return std::make_unique<Stream>(*this); }
    ndb::Bid writeSubnodes(std::vector<ndb::SubnodeEntry> entries) override {
        ndb::Bid bid = next_ += 4;
        subnodeTrees[bid] = std::move(entries);
        return bid;
    }
    ndb::Nid allocateNid(uint8_t type) override { return format::makeNid(type, 0x400 + nextNid_++); }
    void putNode(ndb::Nid nid, ndb::Bid data, ndb::Bid subnode, ndb::Nid parent) override {
        nodes[nid] = {data, subnode, parent};
    }
    void deleteNode(ndb::Nid nid) override { nodes.erase(nid); }
    bool hasNode(ndb::Nid nid) const override { return nodes.count(nid) != 0; }
    void commit() override { sinceCommit_ = 0; }
    uint64_t bytesWrittenSinceCommit() const override { return sinceCommit_; }
    void close() override {}

    // The whole value behind a bid.
    std::vector<uint8_t> read(ndb::Bid bid) const {
        std::vector<uint8_t> out;
        for (auto& b : blocks.at(bid)) out.insert(out.end(), b.begin(), b.end());
        return out;
    }
    // The subnode entry of a NID in a subnode tree.
    ndb::SubnodeEntry subnode(ndb::Bid tree, ndb::Nid nid) const {
        for (auto& e : subnodeTrees.at(tree))
            if (e.nid == nid) return e;
        throw std::out_of_range("no subnode " + std::to_string(nid));
    }

private:
    ndb::Bid store(std::vector<std::vector<uint8_t>> b) {
        ndb::Bid bid = next_ += 4;
        for (auto& block : b) sinceCommit_ += block.size();
        blocks[bid] = std::move(b);
        return bid;
    }
    ndb::Bid next_ = 0;
    uint32_t nextNid_ = 0;
    uint64_t sinceCommit_ = 0;
};

}  // namespace pst::testing
