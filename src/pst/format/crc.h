#pragma once
// The CRC every checksum of a PST file uses ([MS-PST] "CRC Calculation"):
// the reflected CRC-32 polynomial 0xEDB88320 with no pre- or post-inversion.
// The seed is 0 for every checksum the format defines; a running CRC can be
// continued by passing the previous result as the seed.

#include <cstdint>
#include <span>

namespace pst::format {

uint32_t crc32(std::span<const uint8_t> data, uint32_t seed = 0);

}  // namespace pst::format
