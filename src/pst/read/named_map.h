#pragma once
// The name-to-id map ([MS-PST] "Named Property Lookup Map"): named property
// ids (0x8000 + wPropIdx) and the (property set, LID or name) they stand for.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "pst/property.h"

namespace pst::read {

// PS_MAPI and PS_PUBLIC_STRINGS in their on-disk byte order (wGuid 1 and 2).
inline constexpr Guid kPsMapi = {0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr Guid kPsPublicStrings = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

inline constexpr PropTag kTagNameidBucketCount = 0x00010003;
inline constexpr PropTag kTagNameidStreamGuid = 0x00020102;
inline constexpr PropTag kTagNameidStreamEntry = 0x00030102;
inline constexpr PropTag kTagNameidStreamString = 0x00040102;
inline constexpr uint16_t kNameidBucketBase = 0x1000;

struct NamedMap {
    std::map<uint16_t, NamedPropertyName> byId;
};

// Decodes the streams of the map's properties; throws ReadError on a
// record that points outside them.
NamedMap decodeNamedMap(const std::vector<Property>& mapProps);

}  // namespace pst::read
