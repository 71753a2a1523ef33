#pragma once
// What mail readers forgive in a file's bytes, repaired before GMime reads
// them: junk before the first header (a byte-order mark, blank lines, an
// mbox "From " line, indentation), NUL bytes and damaged names among the
// message's headers, a repeated or incomplete Content-Type in any part, a
// closing boundary with no line end. Each repair is named in the warnings.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gmime/gmime.h>

#include "eml/warnings.h"

namespace eml {

struct RepairedInput {
    // The message's header block as it stood before names and types were
    // repaired (junk before it left out): what the item keeps as its
    // Internet headers. Empty when nothing in it was changed, or when the
    // block is longer than the caller holds (it then reads the file).
    std::string originalHeaders;
    bool headersChanged = false;
    // Where that block stands in the file (junk before it left out).
    size_t headersStart = 0;
    size_t headersEnd = 0;
    // The whole file as it came, kept only when something was repaired: a
    // file that turns out to have no headers is read from it as text.
    std::string original;
};

RepairedInput repairRawMessage(GByteArray* array, Warnings& warnings);

// One repair: `remove` bytes at `at` replaced by `insert`. A skipped body
// is not a repair: its bytes are left out of what GMime parses, with a mark
// in their place, and put back into the part that holds the mark.
struct RawEdit {
    size_t at = 0;
    size_t remove = 0;
    std::string insert;
    // A skipped body: how many of its bytes stand before `at` (and as many
    // after the bytes removed), kept for GMime to find the part's ends.
    size_t keptEnds = 0;
    bool skipsBody() const { return keptEnds > 0; }
};

// The repairs without applying them: edits in file order, none overlapping
// (originalHeaders is set, `original` is not).
struct RepairPlan {
    RepairedInput input;
    std::vector<RawEdit> edits;
};

// `readAt` copies `size` bytes of the same data from `at` into `into` and
// returns how many it copied: a long body is scanned through it, a piece at
// a time, rather than through the data itself (reading a file into a buffer
// is faster than faulting its mapping in, page by page).
using ReadAt = std::function<size_t(size_t at, char* into, size_t size)>;

struct RepairScan {
    // Told, now and then, how far the scan has gone: the bytes before are
    // not looked at again but by the rare look back at the file's end.
    std::function<void(size_t)> passed;
    ReadAt readAt;
    // A header block longer than this is not kept in originalHeaders.
    size_t holdHeadersUpTo = SIZE_MAX;
    // The body of a part that is neither multipart nor a message, with a
    // Content-Type of its own, is skipped when at least this long: all of it
    // but its first and last few kilobytes, which is where GMime finds the
    // part's ends. `skipMark` followed by the skip's number and the mark's
    // first byte again stands in its place.
    size_t skipBodiesFrom = SIZE_MAX;
    std::string skipMark;
};
RepairPlan planRawRepairs(std::string_view data, Warnings& warnings, const RepairScan& scan = {});

// A header field of the message longer than this, or one longer than the
// part kept of it once the fields read whole reach the block's bound, is cut
// for GMime to its first words (about the part kept); the item's header
// block keeps it whole.
inline constexpr size_t kLongHeaderField = 2u << 20;
inline constexpr size_t kLongHeaderFieldKept = 64u << 10;
inline constexpr size_t kHeaderBlockHeld = 4u << 20;

}  // namespace eml
