#include "pst/format/substitute_kernels.h"

#include "pst/format/substitute_vbmi.h"

#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pst::format {
namespace {

// Eight lookups before eight stores: the stores cannot then be taken to
// change the table, so the loads are not serialised behind them.
void substitutePlain(uint8_t* p, size_t n, const uint8_t* t) {
    for (; n >= 8; n -= 8, p += 8) {
        uint8_t b0 = t[p[0]], b1 = t[p[1]], b2 = t[p[2]], b3 = t[p[3]];
        uint8_t b4 = t[p[4]], b5 = t[p[5]], b6 = t[p[6]], b7 = t[p[7]];
        p[0] = b0, p[1] = b1, p[2] = b2, p[3] = b3;
        p[4] = b4, p[5] = b5, p[6] = b6, p[7] = b7;
    }
    for (; n > 0; --n, ++p) *p = t[*p];
}

#if defined(__x86_64__)

// AVX2: pshufb looks up 16-byte tables only, so the 256 entries are sixteen
// slices. Within each half of the table the slices are stored as differences
// (slice j XOR slice j-1), and a byte is looked up in every slice of its half
// up to its own: the XOR of those lookups telescopes to its entry. The index
// for slice j is the byte minus 16*j with signed saturation; it turns
// negative (pshufb then gives 0) exactly for the slices past the byte's own,
// and the bytes of the other half are negative from the start.
__attribute__((target("avx2"))) void substituteAvx2(uint8_t* p, size_t n, const uint8_t* t) {
    if (n >= 32) {
        __m256i slice[16];
        __m128i previous = _mm_setzero_si128();
        for (int j = 0; j < 16; ++j) {
            __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 16 * j));
            __m128i stored = j % 8 == 0 ? current : _mm_xor_si128(current, previous);
            slice[j] = _mm256_broadcastsi128_si256(stored);
            previous = current;
        }
        const __m256i step = _mm256_set1_epi8(16);
        const __m256i topBit = _mm256_set1_epi8(static_cast<char>(0x80));
        for (; n >= 32; n -= 32, p += 32) {
            __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            __m256i high = _mm256_xor_si256(low, topBit);
            __m256i result = _mm256_setzero_si256();
            for (int j = 0; j < 8; ++j) {
                result = _mm256_xor_si256(result, _mm256_shuffle_epi8(slice[j], low));
                result = _mm256_xor_si256(result, _mm256_shuffle_epi8(slice[8 + j], high));
                low = _mm256_subs_epi8(low, step);
                high = _mm256_subs_epi8(high, step);
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), result);
        }
    }
    substitutePlain(p, n, t);
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void substituteVbmi(uint8_t* p, size_t n,
                                                                           const uint8_t* table) {
    vbmi::substitute(vbmi::loadTable(table), p, n);
}

#endif

struct Available {
    std::array<SubstituteKernel, 3> kernels{};
    size_t count = 0;
    Available() {
        kernels[count++] = {"plain", substitutePlain};
#if defined(__x86_64__)
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2")) kernels[count++] = {"avx2", substituteAvx2};
        if (vbmi::supported()) kernels[count++] = {"avx512vbmi", substituteVbmi};
#endif
    }
};

}  // namespace

std::span<const SubstituteKernel> substituteKernels() {
    static const Available available;
    return {available.kernels.data(), available.count};
}

}  // namespace pst::format
