#pragma once
// The store's name-to-id map ([MS-PST] "Named Property Lookup Map"): gives
// each named property its id (0x8000 + index) and writes the GUID, entry and
// string streams and the hash buckets as the map's property context.

#include <cstdint>
#include <map>
#include <vector>

#include "pst/ltp/subnodes.h"
#include "pst/property.h"

namespace pst::messaging {

class NameToIdMap {
public:
    // Starts with a few well-known names, so that every stream of the map
    // has content as in the maps Outlook writes (some readers reject an
    // empty stream).
    NameToIdMap();

    // The id of a name, assigning the next free one on first use.
    uint16_t idFor(const NamedPropertyName& name);
    size_t size() const { return entries_.size(); }
    bool dirty() const { return dirty_; }

    // Writes the map's PC (and its large streams as subnodes).
    ltp::NodeBlocks write(ndb::NdbWriter& ndb);

private:
    struct Entry {
        NamedPropertyName name;
        uint16_t guidIndex;      // wGuid
        uint32_t stringOffset;   // into the string stream, for string names
    };
    uint16_t guidIndex(const Guid& guid);

    std::vector<Entry> entries_;  // index i has id 0x8000 + i
    std::vector<Guid> guids_;     // the GUID stream
    std::vector<uint8_t> strings_;
    std::map<std::pair<Guid, uint32_t>, uint16_t> byLid_;
    std::map<std::pair<Guid, std::u16string>, uint16_t> byName_;
    bool dirty_ = true;
};

}  // namespace pst::messaging
