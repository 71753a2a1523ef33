#pragma once
// The byte substitution behind permute encoding (a 256-entry table applied to
// every byte, in place), once per instruction set. encoding.cpp picks the
// best one this processor runs; the others stay reachable so that tests and
// benchmarks can compare every path with the plain loop.

#include <cstddef>
#include <cstdint>
#include <span>

namespace pst::format {

struct SubstituteKernel {
    const char* name;
    void (*run)(uint8_t* data, size_t size, const uint8_t* table);
};

// The kernels this processor can run, the plain loop first and the fastest last.
std::span<const SubstituteKernel> substituteKernels();

}  // namespace pst::format
