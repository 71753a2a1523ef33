#pragma once
// Property contexts and table contexts of a node ([MS-PST] "Property
// Context (PC)", "Table Context (TC)"), decoded into pst::Property values.

#include <cstdint>
#include <optional>
#include <vector>

#include "pst/property.h"
#include "pst/read/heap.h"
#include "pst/read/ndb.h"
#include "pst/read/pst_reader.h"

namespace pst::read {

// A node's heap and subnodes: what an HNID can refer to.
class NodeData {
public:
    // Reads the heap from bidData and the subnode tree from bidSub.
    NodeData(Ndb& ndb, uint64_t bidData, uint64_t bidSub);

    Ndb& ndb() const { return *ndb_; }
    const Heap& heap() const { return heap_; }
    const SubnodeMap& subnodes() const { return subnodes_; }
    std::optional<SubnodeLeaf> subnode(uint32_t nid) const;
    // The bytes an HNID refers to: a heap item, or a subnode's whole data
    // (0 is an empty value).
    std::vector<uint8_t> hnid(uint32_t hnid) const;

private:
    Ndb* ndb_;
    Heap heap_;
    SubnodeMap subnodes_;
};

// Size of a fixed-size value, or 0 when the type is stored by reference.
inline size_t fixedSize(uint16_t type) { return fixedValueSize(static_cast<PropType>(type)); }
// A value from its stored bytes; unknown types come back as raw Bytes.
// Throws ReadError when the bytes cannot hold such a value.
PropValue decodeValue(uint16_t type, std::span<const uint8_t> bytes);

// A PC record as stored, for callers that need the raw HNID (PtypObject).
struct PcRecord {
    PropTag tag = 0;
    uint32_t valueHnid = 0;
};
std::vector<PcRecord> readPcRecords(const NodeData& node);
// Every property of a PC. PtypObject values come back as the 8-byte
// (nid, size) reference; the caller follows it.
std::vector<Property> readPc(const NodeData& node);

struct TableColumn {
    PropTag tag = 0;
    uint16_t ibData = 0;
    uint8_t cbData = 0;
    uint8_t iBit = 0;
};
struct TableLayout {
    std::vector<TableColumn> columns;
    uint16_t rgib[4] = {0, 0, 0, 0};  // TCI_4b, TCI_2b, TCI_1b, TCI_bm
    uint32_t hidRowIndex = 0;
    uint32_t hnidRows = 0;
    std::vector<std::pair<uint32_t, uint32_t>> rowIndex;  // (dwRowID, dwRowIndex) in key order
};
// Validates the TCINFO, column descriptors, row index and row matrix (each
// row-index entry pointing at a row of that id); throws ReadError.
Table readTc(const NodeData& node, TableLayout* layout = nullptr);

}  // namespace pst::read
