#pragma once
// Vector decoding of the clean stretches of base64: whole groups of four
// letters and the line breaks between them, 32 or 64 letters an instruction.
// Each kernel is compiled for its instruction set alone and chosen at run
// time, so the program still runs on any x86-64 and elsewhere.

#include <cstddef>
#include <cstdint>

namespace eml::base64 {

// The alphabet: 'A'-'Z', 'a'-'z', '0'-'9', '+', '/' are worth 0 to 63.
constexpr bool isLetter(unsigned c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

constexpr uint8_t letterValue(unsigned c) {
    if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0' + 52);
    return c == '+' ? 62 : 63;
}

// Decodes from `at` whole groups of letters, skipping the CR and LF bytes
// found between groups, and stops before anything else: '=', any other byte,
// a group a line break cuts, or a tail too short for the vector. Moves `at`
// past what it read and returns the bytes written; `out` has room for
// `end - at` plus 4 bytes (bytes past the returned count may be overwritten
// within that room).
using RunDecoder = size_t (*)(const uint8_t*& at, const uint8_t* end, uint8_t* out);

// The kernels this processor runs, or nullptr where it (or the compiler)
// has no such instructions.
RunDecoder avx2Runs();
RunDecoder avx512VbmiRuns();

}  // namespace eml::base64
