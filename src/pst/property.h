#pragma once
// MAPI property values as the store holds them. Shared by the message parser
// (which produces them) and the store library (which writes and reads them).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

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
    MvInt64 = 0x1014,
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

constexpr PropTag makeTag(uint16_t id, PropType type) {
    return (static_cast<uint32_t>(id) << 16) | static_cast<uint16_t>(type);
}
constexpr uint16_t tagId(PropTag tag) { return static_cast<uint16_t>(tag >> 16); }
constexpr PropType tagType(PropTag tag) { return static_cast<PropType>(tag & 0xFFFF); }

using Guid = std::array<uint8_t, 16>;  // in its on-disk (little-endian fields) byte order
using Bytes = std::vector<uint8_t>;

// FILETIME: 100-ns intervals since 1601-01-01 UTC.
struct FileTime {
    uint64_t value = 0;
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

// One value of any supported type. Int16/Int32/ErrorCode use int32_t, Int64 and
// Currency use int64_t, Float/Double/AppTime use double, String8 is carried as
// text and written as Unicode.
using PropValue = std::variant<
    bool,
    int32_t,
    int64_t,
    double,
    FileTime,
    std::u16string,
    Bytes,
    Guid,
    std::vector<int32_t>,
    std::vector<int64_t>,
    std::vector<std::u16string>,
    std::vector<Bytes>,
    std::vector<Guid>>;

struct Property {
    PropTag tag = 0;
    PropValue value;
};

// A named property ([MS-PST] "Named Property Lookup Map"): identified by its
// property set and either a numeric id (LID) or a string name.
struct NamedPropertyName {
    Guid propertySet{};
    uint32_t lid = 0;       // used when name is empty
    std::u16string name;    // string-named property when not empty
    friend bool operator==(const NamedPropertyName&, const NamedPropertyName&) = default;

    // A PidLid... property: its set and numeric id.
    static NamedPropertyName byLid(const Guid& set, uint32_t lid) { return {set, lid, {}}; }
    // A PidName... property: its set and name (names are case-sensitive).
    static NamedPropertyName byName(const Guid& set, std::u16string name) { return {set, 0, std::move(name)}; }
};

struct NamedProperty {
    NamedPropertyName name;
    PropType type = PropType::Unicode;
    PropValue value;
};

}  // namespace pst
