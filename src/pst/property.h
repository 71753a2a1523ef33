#pragma once
// MAPI property values as the store holds them. Shared by the message parser
// (which produces them) and the store library (which writes and reads them).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "pst/format/property_types.h"
#include "pst/value_source.h"

namespace pst {

using Bytes = std::vector<uint8_t>;

// FILETIME: 100-ns intervals since 1601-01-01 UTC.
inline constexpr int64_t kFileTimeTicksPerSecond = 10'000'000;
inline constexpr int64_t kUnixEpochInFileTimeSeconds = 11'644'473'600;  // 1970-01-01 as seconds since 1601
struct FileTime {
    uint64_t value = 0;
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

// One value of any supported type. Int16/Int32/ErrorCode use int32_t, Int64 and
// Currency use int64_t, Float/Double/AppTime use double, String8 is carried as
// text and written as Unicode. A binary or string value may instead come as
// a StreamedBytes (a string's as UTF-16LE bytes), which only the store's
// writer reads (once).
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
    std::vector<Guid>,
    StreamedBytes>;

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
