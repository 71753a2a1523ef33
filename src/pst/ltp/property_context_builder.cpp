#include "pst/ltp/property_context_builder.h"

#include <algorithm>
#include <bit>

#include "pst/ltp/bth_builder.h"
#include "pst/ltp/byte_writer.h"
#include "pst/ltp/heap_builder.h"
#include "pst/ltp/value_encoding.h"

namespace pst::ltp {
using namespace format;

uint64_t PropertyContextBuilder::set(PropTag tag, const PropValue& value) {
    PropType type = storedType(tagType(tag));
    if (type == PropType::Binary) {
        if (auto* bytes = std::get_if<Bytes>(&value)) {  // no copy of a large binary
            setBytes(makeTag(tagId(tag), type), *bytes);
            return 0;
        }
    }
    // A streamed string gives its UTF-16LE bytes.
    if (type == PropType::Binary || type == PropType::Unicode)
        if (auto* source = std::get_if<StreamedBytes>(&value); source && *source)
            return setStreamed(makeTag(tagId(tag), type), **source);
    if (type == PropType::Unicode && std::endian::native == std::endian::little) {
        if (auto* text = std::get_if<std::u16string>(&value)) {  // a long body is written without a copy
            setBytes(makeTag(tagId(tag), type),
                     std::span(reinterpret_cast<const uint8_t*>(text->data()), text->size() * sizeof(char16_t)));
            return 0;
        }
    }
    setBytes(makeTag(tagId(tag), type), encodeValue(type, value));
    return 0;
}

bool PropertyContextBuilder::has(uint16_t propId) const {
    auto at = std::lower_bound(props_.begin(), props_.end(), propId,
                               [](const auto& p, uint16_t id) { return p.first < id; });
    return at != props_.end() && at->first == propId;
}

void PropertyContextBuilder::put(uint16_t propId, const Value& value) {
    auto at = std::lower_bound(props_.begin(), props_.end(), propId,
                               [](const auto& p, uint16_t id) { return p.first < id; });
    if (at != props_.end() && at->first == propId) at->second = value;  // its old heap bytes stay unused
    else props_.insert(at, {propId, value});
}

PropertyContextBuilder::Value PropertyContextBuilder::heapValue(PropType type, std::span<const uint8_t> bytes) {
    Value v{type, Value::Where::Heap};
    v.heapOffset = static_cast<uint32_t>(heapBytes_.size());
    v.heapSize = static_cast<uint32_t>(bytes.size());
    heapBytes_.insert(heapBytes_.end(), bytes.begin(), bytes.end());
    return v;
}

uint64_t PropertyContextBuilder::setStreamed(PropTag tag, ValueSource& source) {
    // Whether the value fits the heap is known only once that much is read.
    constexpr size_t kChunk = 64 * 1024;
    std::vector<uint8_t> buffer(kChunk);
    size_t held = 0;
    while (held <= kMaxHeapAllocation) {
        size_t n = source.read(std::span(buffer).subspan(held));
        if (n == 0) {
            setBytes(tag, std::span(buffer.data(), held));
            return held;
        }
        held += n;
    }
    auto stream = ndb_.openDataStream();
    uint64_t total = held;
    stream->write(std::span(buffer.data(), held));
    while (size_t n = source.read(buffer)) {
        stream->write(std::span(buffer.data(), n));
        total += n;
    }
    setWrittenValue(tag, stream->finish());
    return total;
}

void PropertyContextBuilder::setBytes(PropTag tag, std::span<const uint8_t> bytes) {
    PropType type = storedType(tagType(tag));
    Value v{type, Value::Where::Inline};
    if (storedInline(type)) {
        uint32_t x = 0;
        for (size_t i = 0; i < bytes.size() && i < 4; ++i) x |= uint32_t(bytes[i]) << (8 * i);
        v.inlineValue = x;
    } else if (bytes.empty()) {
        v.where = Value::Where::HnidRaw;  // HNID 0: an empty value
    } else if (bytes.size() <= kMaxHeapAllocation) {
        v = heapValue(type, bytes);
    } else {
        ndb::Nid nid = subnodes_.allocate(format::NID_TYPE_LTP);
        subnodes_.add(nid, ndb_.writeData(bytes));
        v.where = Value::Where::HnidRaw;
        v.inlineValue = nid;
    }
    put(tagId(tag), v);
}

void PropertyContextBuilder::setWrittenValue(PropTag tag, ndb::Bid data) {
    ndb::Nid nid = subnodes_.allocate(format::NID_TYPE_LTP);
    subnodes_.add(nid, data);
    put(tagId(tag), Value{storedType(tagType(tag)), Value::Where::HnidRaw, nid});
}

void PropertyContextBuilder::setObject(PropTag tag, ndb::Nid subnode, uint32_t size) {
    std::vector<uint8_t> bytes;
    putU32(bytes, subnode);
    putU32(bytes, size);
    put(tagId(tag), heapValue(PropType::Object, bytes));
}

ndb::Bid PropertyContextBuilder::write() const {
    HeapBuilder heap(kClientSigPropertyContext);
    Hid header = heap.allocate(std::vector<uint8_t>(kBthHeaderSize));  // first, where readers look for it
    std::vector<uint8_t> records;  // PC BTH records: wPropId | wPropType, dwValueHnid
    records.reserve(props_.size() * 8);
    for (auto& [id, v] : props_) {
        uint32_t hnid = v.inlineValue;
        if (v.where == Value::Where::Heap) hnid = heap.allocate(std::span(heapBytes_).subspan(v.heapOffset, v.heapSize));
        putU16(records, id);
        putU16(records, static_cast<uint16_t>(v.type));
        putU32(records, hnid);
    }
    Hid root = buildBthPacked(heap, 2, 6, records, header);  // props_ is sorted by id
    heap.setUserRoot(root);
    return ndb_.writeBlocks(heap.takePages());
}

}  // namespace pst::ltp
