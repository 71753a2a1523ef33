#pragma once
// The name-to-id map ([MS-PST] "Named Property Lookup Map"): named property
// ids (0x8000 + wPropIdx) and the (property set, LID or name) they stand for.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "pst/property.h"

namespace pst::read {

struct NamedMap {
    std::map<uint16_t, NamedPropertyName> byId;
};

// Decodes the streams of the map's properties; throws ReadError on a
// record that points outside them.
NamedMap decodeNamedMap(const std::vector<Property>& mapProps);

}  // namespace pst::read
