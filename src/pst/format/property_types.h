#pragma once
// Property tags and types ([MS-PST] "Property Data Types", [MS-OXCDATA]).

#include <array>
#include <cstddef>
#include <cstdint>

namespace pst {

// Property types ([MS-PST] "Property Data Types", [MS-OXCDATA]).
enum class PropType : uint16_t {
    Int16 = 0x0002,
    Int32 = 0x0003,
    Float = 0x0004,
    Double = 0x0005,
    Currency = 0x0006,
    AppTime = 0x0007,
    ErrorCode = 0x000A,
    Boolean = 0x000B,
    Object = 0x000D,
    Int64 = 0x0014,
    String8 = 0x001E,
    Unicode = 0x001F,
    SysTime = 0x0040,
    Guid = 0x0048,
    Binary = 0x0102,
    MvInt16 = 0x1002,
    MvInt32 = 0x1003,
    MvFloat = 0x1004,
    MvDouble = 0x1005,
    MvCurrency = 0x1006,
    MvAppTime = 0x1007,
    MvInt64 = 0x1014,
    MvString8 = 0x101E,
    MvUnicode = 0x101F,
    MvSysTime = 0x1040,
    MvGuid = 0x1048,
    MvBinary = 0x1102,
};

using PropTag = uint32_t;  // id << 16 | type

// Size of a value of a fixed-size type, or 0 for the variable-size ones
// ([MS-PST] "Property Data Types"). A GUID has a fixed size, yet the store
// keeps it out of line as a variable-size value is kept.
constexpr size_t fixedValueSize(PropType type) {
    switch (type) {
        case PropType::Int16: return 2;
        case PropType::Int32:
        case PropType::Float:
        case PropType::ErrorCode: return 4;
        case PropType::Boolean: return 1;
        case PropType::Double:
        case PropType::Currency:
        case PropType::AppTime:
        case PropType::Int64:
        case PropType::SysTime: return 8;
        case PropType::Guid: return 16;
        default: return 0;
    }
}

// Named properties take the ids from 0x8000 on, in the order the store's
// name-to-id map lists them ([MS-PST] "Named Property Lookup Map").
inline constexpr uint16_t kFirstNamedPropertyId = 0x8000;

constexpr PropTag makeTag(uint16_t id, PropType type) {
    return (static_cast<uint32_t>(id) << 16) | static_cast<uint16_t>(type);
}
constexpr uint16_t tagId(PropTag tag) { return static_cast<uint16_t>(tag >> 16); }
constexpr PropType tagType(PropTag tag) { return static_cast<PropType>(tag & 0xFFFF); }

using Guid = std::array<uint8_t, 16>;  // in its on-disk (little-endian fields) byte order

}  // namespace pst
