#pragma once
// The block CRC (see crc.h) once per instruction set, alone and after the
// substitution of permute encoding. crc.cpp and encoding.cpp pick the best
// ones this processor runs; the others stay reachable so that tests and
// benchmarks can compare every path with the plain one.

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

// Substitutes `size` bytes in place through a 256-entry table and returns
// the CRC (seed 0) of the result: the permute encoding of a data block and
// its trailer's CRC, in one pass where the processor allows.
struct SubstituteCrcKernel {
    const char* name;
    uint32_t (*run)(uint8_t* data, size_t size, const uint8_t* table);
};

// The fastest substitution then the fastest CRC first, one pass last.
std::span<const SubstituteCrcKernel> substituteCrcKernels();

}  // namespace pst::format
