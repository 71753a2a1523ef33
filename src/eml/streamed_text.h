#pragma once
// Long texts that become string properties without being whole in memory:
// read from the file, decoded piece by piece and given to the store as
// UTF-16LE while it writes them.

#include <cstdint>
#include <optional>
#include <string>

#include "pst/value_source.h"

namespace eml {

// The message's header block, bytes [from, to) of the open file `fd`, as
// PR_TRANSPORT_MESSAGE_HEADERS holds it: CRLF line ends, NUL bytes left out,
// read as UTF-8 when all of it is, else in `fallbackCharset`.
pst::StreamedBytes streamedHeaderBlock(int fd, uint64_t from, uint64_t to, std::string fallbackCharset);

// A text body too long to hold: its value streamed into the store, its
// beginning (decoded, CRLF line ends for plain text) at hand for what is
// derived from it.
struct StreamedTextBody {
    pst::StreamedBytes value;  // PR_BODY_W as UTF-16LE, or PR_HTML as UTF-8 declaring itself so
    std::u16string beginning;
    std::string charset;       // what the beginning was read in, as DecodedText::charset
    bool whole = false;        // the beginning is the whole text
};

// `decoded` is the part's content with its transfer encoding undone;
// `charset` is the declared one (for HTML without one, its <meta> names
// it). Nothing when the charset can be read only whole (a shift state or
// wide code units).
std::optional<StreamedTextBody> streamedTextBody(pst::StreamedBytes decoded, std::string charset, bool html);

}  // namespace eml
