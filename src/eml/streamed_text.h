#pragma once
// Long texts that become string properties without being whole in memory:
// read from the file, decoded piece by piece and given to the store as
// UTF-16LE while it writes them.

#include <cstdint>
#include <string>

#include "pst/value_source.h"

namespace eml {

// The message's header block, bytes [from, to) of the open file `fd`, as
// PR_TRANSPORT_MESSAGE_HEADERS holds it: CRLF line ends, NUL bytes left out,
// read as UTF-8 when all of it is, else in `fallbackCharset`.
pst::StreamedBytes streamedHeaderBlock(int fd, uint64_t from, uint64_t to, std::string fallbackCharset);

}  // namespace eml
