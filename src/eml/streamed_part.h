#pragma once
// A large part read straight from the message file: its transfer encoding is
// undone piece by piece while the store writes it, so the part is never
// whole in memory.

#include <gmime/gmime.h>

#include "pst/value_source.h"

namespace eml {

// Parts whose encoded content is at least this long are streamed, when they
// are read from a file rather than from memory.
inline constexpr gint64 kStreamedPartMinimum = 1 << 20;

// The part's content as a streamed value, or null when it is better decoded
// at once (small, held in memory, or uuencoded).
pst::StreamedBytes streamedContent(GMimePart* part, gint64 minimum = kStreamedPartMinimum);

// A part of a message held in memory whose encoded content is at least
// `minimum` long, as a streamed value that decodes it from the message's
// buffer while the store writes it (the buffer stays in memory until then);
// null for a smaller or uuencoded part or one not held in memory.
pst::StreamedBytes streamedHeldContent(GMimePart* part, gint64 minimum);

}  // namespace eml
