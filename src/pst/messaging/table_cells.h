#pragma once
// What a contents table row holds of a long value. Like Outlook's own tables
// (MAPI "Working with Large Columns"), a string column keeps the first 255
// characters of the message's value and a binary column its first 255
// bytes; the message itself keeps the whole value. So a folder's table stays
// small whatever a message's subject or sender.

#include <cstddef>
#include <optional>

#include "pst/property.h"

namespace pst::messaging {

inline constexpr size_t kTableCellMaxChars = 255;  // UTF-16 code units, or bytes for binary

// The value as a table cell holds it, when that differs from the value.
// A cut never splits a surrogate pair: the cell then ends one unit earlier.
std::optional<Property> shortenedForTable(const Property& p);

}  // namespace pst::messaging
