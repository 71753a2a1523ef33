#include "pst/ltp/value_encoding.h"

#include <stdexcept>

#include "pst/ltp/byte_writer.h"

namespace pst::ltp {
namespace {

template <class T>
const T& as(const PropValue& v, PropType type) {
    if (auto* p = std::get_if<T>(&v)) return *p;
    throw std::invalid_argument("property value does not match type 0x" + std::to_string(uint16_t(type)));
}

int64_t asInteger(const PropValue& v, PropType type) {
    if (auto* p = std::get_if<int32_t>(&v)) return *p;
    if (auto* p = std::get_if<int64_t>(&v)) return *p;
    if (auto* p = std::get_if<bool>(&v)) return *p ? 1 : 0;
    if (auto* p = std::get_if<FileTime>(&v)) return static_cast<int64_t>(p->value);
    throw std::invalid_argument("property value is not an integer for type 0x" + std::to_string(uint16_t(type)));
}

double asReal(const PropValue& v, PropType type) {
    if (auto* p = std::get_if<double>(&v)) return *p;
    return static_cast<double>(asInteger(v, type));
}

void putDouble(std::vector<uint8_t>& out, double d) {
    uint64_t bits;
    static_assert(sizeof bits == sizeof d);
    std::memcpy(&bits, &d, sizeof d);
    putU64(out, bits);
}

// Multi-valued variable-size values: ulCount, rgulDataOffsets, then the items.
std::vector<uint8_t> packVariable(const std::vector<std::vector<uint8_t>>& items) {
    std::vector<uint8_t> out;
    putU32(out, static_cast<uint32_t>(items.size()));
    uint32_t offset = 4 + 4 * static_cast<uint32_t>(items.size());
    for (auto& item : items) {
        putU32(out, offset);
        offset += static_cast<uint32_t>(item.size());
    }
    for (auto& item : items) putBytes(out, item);
    return out;
}

}  // namespace

PropType storedType(PropType type) {
    if (type == PropType::String8) return PropType::Unicode;
    return type;
}

size_t fixedSize(PropType type) { return type == PropType::Guid ? 0 : fixedValueSize(type); }

size_t cellSize(PropType type) {
    size_t s = fixedSize(type);
    return s ? s : 4;  // an HNID
}

std::vector<uint8_t> utf16Bytes(const std::u16string& s) {
    std::vector<uint8_t> out;
    out.reserve(s.size() * 2);
    for (char16_t c : s) putU16(out, static_cast<uint16_t>(c));
    return out;
}

std::vector<uint8_t> encodeValue(PropType type, const PropValue& value) {
    std::vector<uint8_t> out;
    switch (type) {
        case PropType::Int16: putU16(out, static_cast<uint16_t>(asInteger(value, type))); break;
        case PropType::Int32:
        case PropType::ErrorCode: putU32(out, static_cast<uint32_t>(asInteger(value, type))); break;
        case PropType::Float: {
            float f = static_cast<float>(asReal(value, type));
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            putU32(out, bits);
            break;
        }
        case PropType::Boolean: putU8(out, asInteger(value, type) ? 1 : 0); break;
        case PropType::Double:
        case PropType::AppTime: putDouble(out, asReal(value, type)); break;
        case PropType::Currency:
        case PropType::Int64:
        case PropType::SysTime: putU64(out, static_cast<uint64_t>(asInteger(value, type))); break;
        case PropType::String8:
        case PropType::Unicode: out = utf16Bytes(as<std::u16string>(value, type)); break;
        case PropType::Binary: out = as<Bytes>(value, type); break;
        case PropType::Guid: {
            auto& g = as<Guid>(value, type);
            out.assign(g.begin(), g.end());
            break;
        }
        case PropType::MvInt16:
            for (int32_t v : as<std::vector<int32_t>>(value, type)) putU16(out, static_cast<uint16_t>(v));
            break;
        case PropType::MvInt32:
            for (int32_t v : as<std::vector<int32_t>>(value, type)) putU32(out, static_cast<uint32_t>(v));
            break;
        case PropType::MvInt64:
        case PropType::MvSysTime:
            for (int64_t v : as<std::vector<int64_t>>(value, type)) putU64(out, static_cast<uint64_t>(v));
            break;
        case PropType::MvGuid:
            for (auto& g : as<std::vector<Guid>>(value, type)) putBytes(out, g);
            break;
        case PropType::MvUnicode: {
            std::vector<std::vector<uint8_t>> items;
            for (auto& s : as<std::vector<std::u16string>>(value, type)) items.push_back(utf16Bytes(s));
            out = packVariable(items);
            break;
        }
        case PropType::MvBinary: out = packVariable(as<std::vector<Bytes>>(value, type)); break;
        case PropType::Object: throw std::invalid_argument("object properties are written by the messaging layer");
        default: throw std::invalid_argument("unsupported property type 0x" + std::to_string(uint16_t(type)));
    }
    return out;
}

}  // namespace pst::ltp
