#include "pst/read/named_map.h"

#include <cstring>

#include "pst/format/property_sets.h"
#include "pst/format/property_tags.h"
#include "pst/read/bytes.h"
#include "pst/read/pst_reader.h"

namespace pst::read {

NamedMap decodeNamedMap(const std::vector<Property>& props) {
    auto stream = [&](PropTag tag) -> Bytes {
        auto v = findProp(props, tag);
        if (!v) return {};
        if (auto b = std::get_if<Bytes>(v)) return *b;
        throw ReadError("name-to-id map stream " + hex(tag) + " is not binary");
    };
    Bytes guids = stream(tags::PR_NAMEID_STREAM_GUID);
    Bytes entries = stream(tags::PR_NAMEID_STREAM_ENTRY);
    Bytes strings = stream(tags::PR_NAMEID_STREAM_STRING);
    if (entries.size() % 8 != 0) throw ReadError("name-to-id entry stream is not a whole number of records");
    if (guids.size() % 16 != 0) throw ReadError("name-to-id GUID stream is not a whole number of GUIDs");

    NamedMap map;
    for (size_t o = 0; o < entries.size(); o += 8) {
        uint32_t idOrOffset = u32(entries, o);
        uint16_t w = u16(entries, o + 4);
        uint16_t index = u16(entries, o + 6);
        bool isString = w & 1;
        uint16_t guidIndex = w >> 1;
        NamedPropertyName name;
        if (guidIndex == 1)
            name.propertySet = format::PS_MAPI;
        else if (guidIndex == 2)
            name.propertySet = format::PS_PUBLIC_STRINGS;
        else if (guidIndex >= 3) {
            size_t g = size_t(guidIndex - 3) * 16;
            if (g + 16 > guids.size()) throw ReadError("named property " + hex(0x8000 + index) + " refers past the GUID stream");
            std::memcpy(name.propertySet.data(), guids.data() + g, 16);
        }
        if (isString) {
            uint32_t len = u32(strings, idOrOffset);
            if (size_t(idOrOffset) + 4 + len > strings.size() || len % 2 != 0)
                throw ReadError("named property " + hex(0x8000 + index) + " name lies outside the string stream");
            name.name.resize(len / 2);
            std::memcpy(name.name.data(), strings.data() + idOrOffset + 4, len);
        } else {
            name.lid = idOrOffset;
        }
        uint32_t id = 0x8000u + index;
        if (id > 0xFFFF) throw ReadError("named property index " + std::to_string(index) + " is out of range");
        if (!map.byId.emplace(static_cast<uint16_t>(id), name).second)
            throw ReadError("named property " + hex(id) + " appears twice in the map");
    }
    return map;
}

}  // namespace pst::read
