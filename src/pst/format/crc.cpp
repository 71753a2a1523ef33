#include "pst/format/crc.h"

#include <zlib.h>

namespace pst::format {

// zlib computes the same polynomial with the input and output inverted:
// zlib(~seed, data) == ~crc(seed, data). Its loop is faster than a
// table-per-byte one, so both inversions are undone around it.
uint32_t crc32(std::span<const uint8_t> data, uint32_t seed) {
    if (data.empty()) return seed;
    return ~static_cast<uint32_t>(crc32_z(~seed & 0xFFFFFFFFul, data.data(), data.size()));
}

}  // namespace pst::format
