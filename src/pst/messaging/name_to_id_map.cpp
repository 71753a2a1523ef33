#include "pst/messaging/name_to_id_map.h"

#include <stdexcept>

#include "pst/format/crc.h"
#include "pst/format/property_sets.h"
#include "pst/format/property_tags.h"
#include "pst/ltp/byte_writer.h"
#include "pst/ltp/property_context_builder.h"
#include "pst/ltp/value_encoding.h"

namespace pst::messaging {
namespace {

constexpr uint32_t kBucketCount = 251;
// PS_MAPI and PS_PUBLIC_STRINGS have fixed GUID indexes 1 and 2.
using format::PS_MAPI;
using format::PS_PUBLIC_STRINGS;
using format::PSETID_Common;
constexpr size_t kMaxNamedProperties = 0x7FFF;

}  // namespace

NameToIdMap::NameToIdMap() {
    idFor({PSETID_Common, 0x8510, {}});              // PidLidSideEffects
    idFor({PS_PUBLIC_STRINGS, 0, u"Keywords"});       // PidNameKeywords
}

uint16_t NameToIdMap::guidIndex(const Guid& guid) {
    if (guid == PS_MAPI) return 1;
    if (guid == PS_PUBLIC_STRINGS) return 2;
    for (size_t i = 0; i < guids_.size(); ++i)
        if (guids_[i] == guid) return static_cast<uint16_t>(3 + i);
    guids_.push_back(guid);
    return static_cast<uint16_t>(3 + guids_.size() - 1);
}

uint16_t NameToIdMap::idFor(const NamedPropertyName& name) {
    if (name.name.empty()) {
        auto it = byLid_.find({name.propertySet, name.lid});
        if (it != byLid_.end()) return it->second;
    } else {
        auto it = byName_.find({name.propertySet, name.name});
        if (it != byName_.end()) return it->second;
    }
    if (entries_.size() >= kMaxNamedProperties) throw std::length_error("the name-to-id map is full");
    Entry e{name, guidIndex(name.propertySet), 0};
    if (!name.name.empty()) {
        e.stringOffset = static_cast<uint32_t>(strings_.size());
        std::vector<uint8_t> text = ltp::utf16Bytes(name.name);
        ltp::putU32(strings_, static_cast<uint32_t>(text.size()));
        ltp::putBytes(strings_, text);
        while (strings_.size() % 4) strings_.push_back(0);
    }
    uint16_t id = static_cast<uint16_t>(kFirstNamedPropertyId + entries_.size());
    entries_.push_back(std::move(e));
    if (name.name.empty()) byLid_[{name.propertySet, name.lid}] = id;
    else byName_[{name.propertySet, name.name}] = id;
    dirty_ = true;
    return id;
}

ltp::NodeBlocks NameToIdMap::write(ndb::NdbWriter& ndb) {
    std::vector<uint8_t> guidStream, entryStream;
    for (auto& g : guids_) ltp::putBytes(guidStream, g);
    std::map<uint32_t, std::vector<uint8_t>> buckets;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        bool isString = !e.name.name.empty();
        uint16_t kind = static_cast<uint16_t>((e.guidIndex << 1) | (isString ? 1 : 0));  // N | wGuid
        uint32_t propertyId = isString ? e.stringOffset : e.name.lid;
        ltp::putU32(entryStream, propertyId);
        ltp::putU16(entryStream, kind);
        ltp::putU16(entryStream, static_cast<uint16_t>(i));  // wPropIdx
        // Hash records carry the CRC of a string name instead of its offset.
        uint32_t hashId = isString ? format::crc32(ltp::utf16Bytes(e.name.name)) : propertyId;
        std::vector<uint8_t>& bucket = buckets[(hashId ^ kind) % kBucketCount];
        ltp::putU32(bucket, hashId);
        ltp::putU16(bucket, kind);
        ltp::putU16(bucket, static_cast<uint16_t>(i));
    }

    ltp::Subnodes subnodes;
    ltp::PropertyContextBuilder pc(ndb, subnodes);
    pc.set(tags::PR_NAMEID_BUCKET_COUNT, int32_t(kBucketCount));
    pc.setBytes(tags::PR_NAMEID_STREAM_GUID, guidStream);
    pc.setBytes(tags::PR_NAMEID_STREAM_ENTRY, entryStream);
    pc.setBytes(tags::PR_NAMEID_STREAM_STRING, strings_);
    for (auto& [bucket, records] : buckets)
        pc.setBytes(makeTag(static_cast<uint16_t>(tags::NAMEID_BUCKET_BASE + bucket), PropType::Binary), records);
    ltp::NodeBlocks out;
    out.data = pc.write();
    out.subnode = subnodes.write(ndb);
    dirty_ = false;
    return out;
}

}  // namespace pst::messaging
