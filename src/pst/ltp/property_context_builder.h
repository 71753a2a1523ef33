#pragma once
// A property context ([MS-PST] "Property Context (PC)"): a BTH of
// (property id -> type, value or HNID) on a heap, with values too large for
// the heap in subnodes of the node being written.

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "pst/ltp/subnodes.h"
#include "pst/property.h"

namespace pst::ltp {

class PropertyContextBuilder {
public:
    // Large values are written to `ndb` at once and listed in `subnodes`,
    // which the caller writes as the node's subnode tree.
    PropertyContextBuilder(ndb::NdbWriter& ndb, Subnodes& subnodes) : ndb_(ndb), subnodes_(subnodes) {}

    // Sets a property (String8 is stored as Unicode). Replaces an earlier value.
    // Returns the bytes of a streamed value, read to its end, else 0.
    uint64_t set(PropTag tag, const PropValue& value);
    // A binary value read from `source` to its end and written as it comes:
    // in the heap when small, else as a data tree in a subnode. Returns its size.
    uint64_t setStreamed(PropTag tag, ValueSource& source);
    // A value whose bytes are already in their stored form.
    void setBytes(PropTag tag, std::span<const uint8_t> bytes);
    // A variable-size value already written as a data tree (a streamed
    // attachment): the property refers to it through a new subnode.
    void setWrittenValue(PropTag tag, ndb::Bid data);
    // A PtypObject value ([MS-PST] "PtypObject Properties"): the subnode
    // holding the object and its size.
    void setObject(PropTag tag, ndb::Nid subnode, uint32_t size);

    bool has(uint16_t propId) const;
    size_t size() const { return props_.size(); }

    // Writes the heap and returns the bid of the node's data.
    ndb::Bid write() const;

private:
    // Heap values are kept in one buffer for the whole context, and the
    // properties in a vector sorted by id: no allocation per property.
    struct Value {
        PropType type;
        enum class Where { Inline, Heap, HnidRaw } where;
        uint32_t inlineValue = 0;  // Inline: the value; HnidRaw: the HNID (0 or a subnode NID)
        uint32_t heapOffset = 0;   // Heap: where its bytes are in heapBytes_
        uint32_t heapSize = 0;
    };

    void put(uint16_t propId, const Value& value);
    Value heapValue(PropType type, std::span<const uint8_t> bytes);

    ndb::NdbWriter& ndb_;
    Subnodes& subnodes_;
    std::vector<std::pair<uint16_t, Value>> props_;
    std::vector<uint8_t> heapBytes_;
};

}  // namespace pst::ltp
