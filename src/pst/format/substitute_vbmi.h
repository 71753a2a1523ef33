#pragma once
// The AVX-512 VBMI byte substitution, shared by the substitution kernel and by
// the kernel that substitutes and computes the CRC in one pass. vpermi2b
// looks a byte up in 128 entries (two registers), so the two halves of the
// table take one lookup each and the top bit of the byte picks between them.
// Callers check that the processor has AVX-512 VBMI first.

#if defined(__x86_64__)

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace pst::format::vbmi {

#define QM_VBMI_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline

struct Table {
    __m512i q0, q1, q2, q3;  // the four quarters of the table
};

QM_VBMI_TARGET Table loadTable(const uint8_t* t) {
    return {_mm512_loadu_si512(t), _mm512_loadu_si512(t + 64), _mm512_loadu_si512(t + 128),
            _mm512_loadu_si512(t + 192)};
}

QM_VBMI_TARGET __m512i lookup(const Table& t, __m512i x) {
    __m512i low = _mm512_permutex2var_epi8(t.q0, x, t.q1);
    __m512i high = _mm512_permutex2var_epi8(t.q2, x, t.q3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// Substitutes 64 bytes in place and gives them back.
QM_VBMI_TARGET __m512i substitute64(const Table& t, uint8_t* p) {
    __m512i v = lookup(t, _mm512_loadu_si512(p));
    _mm512_storeu_si512(p, v);
    return v;
}

// Any length; the tail goes through masked loads and stores.
QM_VBMI_TARGET void substitute(const Table& t, uint8_t* p, size_t n) {
    for (; n >= 128; n -= 128, p += 128) {
        substitute64(t, p);
        substitute64(t, p + 64);
    }
    while (n > 0) {
        const size_t chunk = n < 64 ? n : 64;
        const __mmask64 mask = chunk == 64 ? ~__mmask64{0} : (__mmask64{1} << chunk) - 1;
        _mm512_mask_storeu_epi8(p, mask, lookup(t, _mm512_maskz_loadu_epi8(mask, p)));
        p += chunk;
        n -= chunk;
    }
}

#undef QM_VBMI_TARGET

inline bool supported() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

}  // namespace pst::format::vbmi

#endif
