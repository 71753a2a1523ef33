#pragma once
// Block and page signatures ([MS-PST] "Block Signature", ComputeSig): the
// XOR of the high and low 16 bits of (ib ^ bid), truncated to 32 bits first.

#include <cstdint>

namespace pst::format {

constexpr uint16_t computeSig(uint64_t ib, uint64_t bid) {
    uint32_t x = static_cast<uint32_t>(ib ^ bid);
    return static_cast<uint16_t>((x >> 16) ^ (x & 0xFFFF));
}

}  // namespace pst::format
