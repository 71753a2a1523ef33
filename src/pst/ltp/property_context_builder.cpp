#include "pst/ltp/property_context_builder.h"

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
    std::vector<uint8_t> bytes = encodeValue(type, value);
    if (!storedInline(type) && !bytes.empty() && bytes.size() <= kMaxHeapAllocation) {
        props_[tagId(tag)] = Value{type, Value::Where::Heap, 0, std::move(bytes)};
        return 0;
    }
    setBytes(makeTag(tagId(tag), type), bytes);
    return 0;
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
    Value v{type, Value::Where::Inline, 0, {}};
    if (storedInline(type)) {
        uint32_t x = 0;
        for (size_t i = 0; i < bytes.size() && i < 4; ++i) x |= uint32_t(bytes[i]) << (8 * i);
        v.inlineValue = x;
    } else if (bytes.empty()) {
        v.where = Value::Where::HnidRaw;  // HNID 0: an empty value
    } else if (bytes.size() <= kMaxHeapAllocation) {
        v.where = Value::Where::Heap;
        v.heapBytes.assign(bytes.begin(), bytes.end());
    } else {
        ndb::Nid nid = subnodes_.allocate(format::NID_TYPE_LTP);
        subnodes_.add(nid, ndb_.writeData(bytes));
        v.where = Value::Where::HnidRaw;
        v.inlineValue = nid;
    }
    props_[tagId(tag)] = std::move(v);
}

void PropertyContextBuilder::setWrittenValue(PropTag tag, ndb::Bid data) {
    ndb::Nid nid = subnodes_.allocate(format::NID_TYPE_LTP);
    subnodes_.add(nid, data);
    props_[tagId(tag)] = Value{storedType(tagType(tag)), Value::Where::HnidRaw, nid, {}};
}

void PropertyContextBuilder::setObject(PropTag tag, ndb::Nid subnode, uint32_t size) {
    Value v{PropType::Object, Value::Where::Heap, 0, {}};
    putU32(v.heapBytes, subnode);
    putU32(v.heapBytes, size);
    props_[tagId(tag)] = std::move(v);
}

ndb::Bid PropertyContextBuilder::write() const {
    HeapBuilder heap(kClientSigPropertyContext);
    Hid header = heap.allocate(std::vector<uint8_t>(kBthHeaderSize));  // first, where readers look for it
    std::vector<uint8_t> records;  // PC BTH records: wPropId | wPropType, dwValueHnid
    records.reserve(props_.size() * 8);
    for (auto& [id, v] : props_) {
        uint32_t hnid = v.inlineValue;
        if (v.where == Value::Where::Heap) hnid = heap.allocate(v.heapBytes);
        putU16(records, id);
        putU16(records, static_cast<uint16_t>(v.type));
        putU32(records, hnid);
    }
    Hid root = buildBthPacked(heap, 2, 6, records, header);  // std::map keeps ids sorted
    heap.setUserRoot(root);
    return ndb_.writeBlocks(heap.takePages());
}

}  // namespace pst::ltp
