#include "pst/format/crc.h"

#include "pst/format/crc_kernels.h"

namespace pst::format {

uint32_t crc32(std::span<const uint8_t> data, uint32_t seed) {
    static const auto fastest = crcKernels().back().run;
    return fastest(seed, data.data(), data.size());
}

}  // namespace pst::format
