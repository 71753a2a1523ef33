#pragma once
// How a property value of each type is laid out in a property or table
// context ([MS-PST] "Property Data Types", "Multi-Valued Properties").

#include <cstdint>
#include <optional>
#include <vector>

#include "pst/property.h"

namespace pst::ltp {

// The type actually written: String8 values are carried as text and stored
// as Unicode.
PropType storedType(PropType type);
inline PropTag storedTag(PropTag tag) { return makeTag(tagId(tag), storedType(tagType(tag))); }

// Size of a fixed-size value, or 0 for types stored out of line as bytes
// (strings, binaries, GUIDs, multi-valued, objects).
size_t fixedSize(PropType type);
// Fixed values of at most 4 bytes live in the PC record itself.
inline bool storedInline(PropType type) { size_t s = fixedSize(type); return s > 0 && s <= 4; }
// Width of a table cell of this type ([MS-PST] "TCOLDESC" cbData).
size_t cellSize(PropType type);

// The value's bytes: the little-endian value for fixed types, the payload
// for the others. Throws std::invalid_argument when the value does not
// suit the type.
std::vector<uint8_t> encodeValue(PropType type, const PropValue& value);

// UTF-16LE bytes of a string, without terminator.
std::vector<uint8_t> utf16Bytes(const std::u16string& s);

}  // namespace pst::ltp
