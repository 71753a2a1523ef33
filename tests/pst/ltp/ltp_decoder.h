#pragma once
// Decodes heaps, BTHs, property and table contexts from the blocks a
// FakeNdbWriter kept, following the format's reading rules independently of
// the builders.

#include <cstdint>
#include <map>
#include <vector>

#include "fake_ndb_writer.h"

namespace pst::testing {

struct DecodedHeap {
    uint8_t clientSig = 0;
    uint32_t userRoot = 0;
    std::vector<std::vector<uint8_t>> pages;
    std::vector<uint8_t> item(uint32_t hid) const;  // throws on a bad HID
    size_t itemCount() const;
};
DecodedHeap decodeHeap(const std::vector<std::vector<uint8_t>>& pages);

// Leaf records of the BTH at hid, in tree order, as key|data byte strings.
struct DecodedBth {
    uint8_t keySize = 0, dataSize = 0, levels = 0;
    std::vector<std::vector<uint8_t>> records;
};
DecodedBth decodeBth(const DecodedHeap& heap, uint32_t hid);

// A PC: property id -> (type, value bytes) where large values come from subnodes.
struct DecodedProp {
    uint16_t type = 0;
    std::vector<uint8_t> bytes;
};
std::map<uint16_t, DecodedProp> decodePc(const FakeNdbWriter& ndb, ndb::Bid data, ndb::Bid subnode);

struct DecodedColumn {
    uint32_t tag;
    uint16_t ib;
    uint8_t cb, bit;
};
struct DecodedTable {
    std::vector<DecodedColumn> columns;
    uint16_t rgib[4] = {};
    std::vector<std::pair<uint32_t, uint32_t>> rowIndex;  // (row id, row number)
    // Rows in matrix order: tag -> value bytes for existing cells (variable ones resolved).
    std::vector<std::map<uint32_t, std::vector<uint8_t>>> rows;
    size_t matrixBlocks = 0;  // data blocks of the row matrix when in a subnode
};
DecodedTable decodeTc(const FakeNdbWriter& ndb, ndb::Bid data, ndb::Bid subnode);

}  // namespace pst::testing
