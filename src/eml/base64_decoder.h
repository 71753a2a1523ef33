#pragma once
// Base64 undone piece by piece at memory speed, as leniently as mail readers
// undo it: every byte outside the alphabet is skipped, the first '=' ends
// the data (what follows is not read), and a last group left without its
// padding still gives its whole bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "eml/base64_decoder_simd.h"

namespace eml {

// How the long clean stretches are decoded: table lookups, or vector
// instructions where the processor has them. Every kernel gives the same
// bytes and the same damage.
enum class Base64Kernel { scalar, avx2, avx512vbmi };

class Base64Decoder {
public:
    // With the fastest kernel this processor runs.
    Base64Decoder();
    // With `kernel`, one of `availableKernels()`.
    explicit Base64Decoder(Base64Kernel kernel);
    // The kernels this processor runs, the scalar one first, the fastest last.
    static std::vector<Base64Kernel> availableKernels();

    // Decodes the next piece into `out`, which has room for the piece's
    // size plus 8 bytes; returns the bytes written.
    size_t step(std::string_view piece, uint8_t* out);
    // The bytes an unpadded last group still holds (at most 2).
    size_t finish(uint8_t* out);
    // Letters came after the padding, or one letter was left over at the end.
    bool damaged() const { return damaged_; }

private:
    size_t slowStep(const uint8_t*& at, uint8_t* out);

    base64::RunDecoder runs_;
    uint32_t bits_ = 0;  // the letters of the group being read, 6 bits each
    int letters_ = 0;    // how many of them
    bool ended_ = false;
    bool damaged_ = false;
};

}  // namespace eml
