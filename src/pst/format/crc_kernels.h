#pragma once
// The block CRC (see crc.h) once per instruction set. crc.cpp picks the best
// one this processor runs; the others stay reachable so that tests and
// benchmarks can compare every path with zlib's.

#include <cstddef>
#include <cstdint>
#include <span>

namespace pst::format {

struct CrcKernel {
    const char* name;
    // Continues the CRC `crc` over `size` bytes; no inversions.
    uint32_t (*run)(uint32_t crc, const uint8_t* data, size_t size);
};

// The kernels this processor can run, zlib's first and the fastest last.
std::span<const CrcKernel> crcKernels();

}  // namespace pst::format
