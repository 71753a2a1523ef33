#include "pst/format/substitute_kernels.h"

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

// AVX-512 VBMI: vpermi2b looks a byte up in 128 entries (two registers), so
// the two halves of the table take one lookup each and the top bit of the
// byte picks between them. The tail goes through masked loads and stores.
struct Table512 {
    __m512i q0, q1, q2, q3;  // the four quarters of the table
};

__attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline __m512i lookup(const Table512& t,
                                                                                            __m512i x) {
    __m512i low = _mm512_permutex2var_epi8(t.q0, x, t.q1);
    __m512i high = _mm512_permutex2var_epi8(t.q2, x, t.q3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void substituteVbmi(uint8_t* p, size_t n,
                                                                           const uint8_t* table) {
    const Table512 t{_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64), _mm512_loadu_si512(table + 128),
                     _mm512_loadu_si512(table + 192)};
    for (; n >= 128; n -= 128, p += 128) {
        __m512i a = _mm512_loadu_si512(p);
        __m512i b = _mm512_loadu_si512(p + 64);
        _mm512_storeu_si512(p, lookup(t, a));
        _mm512_storeu_si512(p + 64, lookup(t, b));
    }
    while (n > 0) {
        const size_t chunk = n < 64 ? n : 64;
        const __mmask64 mask = chunk == 64 ? ~__mmask64{0} : (__mmask64{1} << chunk) - 1;
        _mm512_mask_storeu_epi8(p, mask, lookup(t, _mm512_maskz_loadu_epi8(mask, p)));
        p += chunk;
        n -= chunk;
    }
}

bool supportsVbmi() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
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
        if (supportsVbmi()) kernels[count++] = {"avx512vbmi", substituteVbmi};
#endif
    }
};

}  // namespace

std::span<const SubstituteKernel> substituteKernels() {
    static const Available available;
    return {available.kernels.data(), available.count};
}

}  // namespace pst::format
