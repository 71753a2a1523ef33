#pragma once
// BREF ([MS-PST] "BREF"): a block or page reference, its BID and its file offset.

#include <cstdint>

namespace pst::format {

struct Bref {
    uint64_t bid = 0;
    uint64_t ib = 0;
};

}  // namespace pst::format
