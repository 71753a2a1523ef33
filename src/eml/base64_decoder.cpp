#include "eml/base64_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace eml {

namespace {

constexpr uint8_t kSkipped = 0xFF;

constexpr std::array<uint8_t, 256> makeValues() {
    std::array<uint8_t, 256> values{};
    for (unsigned c = 0; c < 256; ++c) values[c] = base64::isLetter(c) ? base64::letterValue(c) : kSkipped;
    values['='] = 0;  // a letter worth nothing that ends the data
    return values;
}
constexpr std::array<uint8_t, 256> kValues = makeValues();

// Each letter's bits already in their place within a group's 24 bits, one
// table per position; anything but a letter of the alphabet sets the top
// bit, so four lookups or'ed together tell whether the group is clean.
constexpr uint32_t kNotClean = 0x80000000u;
constexpr std::array<uint32_t, 256> makePlaced(int shift) {
    std::array<uint32_t, 256> placed{};
    for (int c = 0; c < 256; ++c) {
        uint8_t v = kValues[static_cast<size_t>(c)];
        placed[static_cast<size_t>(c)] = (v == kSkipped || c == '=') ? kNotClean : static_cast<uint32_t>(v) << shift;
    }
    return placed;
}
constexpr std::array<uint32_t, 256> kPlaced0 = makePlaced(18);
constexpr std::array<uint32_t, 256> kPlaced1 = makePlaced(12);
constexpr std::array<uint32_t, 256> kPlaced2 = makePlaced(6);
constexpr std::array<uint32_t, 256> kPlaced3 = makePlaced(0);

bool hasLetter(const uint8_t* at, const uint8_t* end) {
    return std::any_of(at, end, [](uint8_t c) { return base64::isLetter(c); });
}

// The group's three bytes, written as four (the room holds the spare one).
inline void putGroup(uint32_t bits, uint8_t* out) {
    uint8_t bytes[4] = {static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits), 0};
    std::memcpy(out, bytes, 4);
}

// Two groups' six bytes, written as eight.
inline void putGroups(uint32_t first, uint32_t second, uint8_t* out) {
    uint64_t bits = __builtin_bswap64(static_cast<uint64_t>(first) << 40 | static_cast<uint64_t>(second) << 16);
    std::memcpy(out, &bits, 8);
}

base64::RunDecoder runsOf(Base64Kernel kernel) {
    switch (kernel) {
        case Base64Kernel::avx2: return base64::avx2Runs();
        case Base64Kernel::avx512vbmi: return base64::avx512VbmiRuns();
        case Base64Kernel::scalar: break;
    }
    return nullptr;
}

base64::RunDecoder fastestRuns() {
    static const base64::RunDecoder fastest = runsOf(Base64Decoder::availableKernels().back());
    return fastest;
}

}  // namespace

Base64Decoder::Base64Decoder() : runs_(fastestRuns()) {}

Base64Decoder::Base64Decoder(Base64Kernel kernel) : runs_(runsOf(kernel)) {
    if (kernel != Base64Kernel::scalar && !runs_) throw std::invalid_argument("this processor has no such base64 kernel");
}

std::vector<Base64Kernel> Base64Decoder::availableKernels() {
    std::vector<Base64Kernel> kernels = {Base64Kernel::scalar};
    for (Base64Kernel kernel : {Base64Kernel::avx2, Base64Kernel::avx512vbmi})
        if (runsOf(kernel)) kernels.push_back(kernel);
    return kernels;
}

size_t Base64Decoder::step(std::string_view piece, uint8_t* out) {
    const auto* at = reinterpret_cast<const uint8_t*>(piece.data());
    const uint8_t* end = at + piece.size();
    if (ended_) {
        damaged_ = damaged_ || hasLetter(at, end);
        return 0;
    }
    uint8_t* written = out;
    while (at < end) {
        if (letters_ == 0) {
            // Runs of whole clean groups, by the vector where there is one,
            // else two at a time, with the line breaks between them.
            while (end - at >= 4) {
                if (runs_) {
                    written += runs_(at, end, written);
                    if (end - at < 4) break;
                }
                while (end - at >= 8) {
                    uint32_t first = kPlaced0[at[0]] | kPlaced1[at[1]] | kPlaced2[at[2]] | kPlaced3[at[3]];
                    uint32_t second = kPlaced0[at[4]] | kPlaced1[at[5]] | kPlaced2[at[6]] | kPlaced3[at[7]];
                    if ((first | second) & kNotClean) break;
                    putGroups(first, second, written);
                    written += 6;
                    at += 8;
                }
                if (end - at < 4) break;
                uint32_t bits = kPlaced0[at[0]] | kPlaced1[at[1]] | kPlaced2[at[2]] | kPlaced3[at[3]];
                if (bits & kNotClean) {
                    if (at[0] == '\n' || at[0] == '\r') {
                        ++at;
                        continue;
                    }
                    break;
                }
                putGroup(bits, written);
                written += 3;
                at += 4;
            }
            if (at == end) break;
        }
        written += slowStep(at, written);
        if (ended_) {
            damaged_ = damaged_ || hasLetter(at, end);
            break;
        }
    }
    return static_cast<size_t>(written - out);
}

// One byte read as any byte: skipped, a letter, or the '=' that ends the data.
size_t Base64Decoder::slowStep(const uint8_t*& at, uint8_t* out) {
    uint8_t c = *at++;
    uint8_t value = kValues[c];
    if (value == kSkipped) return 0;
    bits_ = bits_ << 6 | value;
    ++letters_;
    if (c == '=') {
        ended_ = true;
        // "xx=" holds one byte and "xxx=" two; a lone letter before it none.
        size_t n = 0;
        if (letters_ == 3) {
            out[n++] = static_cast<uint8_t>(bits_ >> 10);
        } else if (letters_ == 4) {
            out[n++] = static_cast<uint8_t>(bits_ >> 16);
            out[n++] = static_cast<uint8_t>(bits_ >> 8);
        }
        return n;
    }
    if (letters_ < 4) return 0;
    putGroup(bits_, out);
    bits_ = 0;
    letters_ = 0;
    return 3;
}

size_t Base64Decoder::finish(uint8_t* out) {
    if (ended_) return 0;
    // Without its '=' padding the last group stays here: two or three
    // letters still carry one or two whole bytes.
    if (letters_ == 2) {
        out[0] = static_cast<uint8_t>(bits_ >> 4);
        return 1;
    }
    if (letters_ == 3) {
        out[0] = static_cast<uint8_t>(bits_ >> 10);
        out[1] = static_cast<uint8_t>(bits_ >> 2);
        return 2;
    }
    if (letters_ == 1) damaged_ = true;
    return 0;
}

}  // namespace eml
