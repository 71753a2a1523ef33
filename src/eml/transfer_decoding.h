#pragma once
// Content-Transfer-Encodings undone as the most forgiving mail readers do:
// base64 that lost its final padding keeps its last bytes, uuencoded lines
// that lost their trailing blanks are read by their own length byte.

#include <cstdint>
#include <string_view>
#include <vector>

#include <gmime/gmime.h>

namespace eml {

struct TransferDecoded {
    std::vector<uint8_t> bytes;
    // Part of the data could not be read (a base64 group cut short, a
    // uuencoded line shorter than its length byte says).
    bool damaged = false;
};

TransferDecoded decodeTransfer(std::string_view encoded, GMimeContentEncoding encoding);

}  // namespace eml
