#include "pst/format/crc_kernels.h"

#include "pst/format/substitute_kernels.h"
#include "pst/format/substitute_vbmi.h"

#include <array>

#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pst::format {
namespace {

// zlib computes the same polynomial with the input and output inverted:
// zlib(~seed, data) == ~crc(seed, data).
uint32_t crcZlib(uint32_t crc, const uint8_t* p, size_t n) {
    if (n == 0) return crc;
    return ~static_cast<uint32_t>(crc32_z(~crc & 0xFFFFFFFFul, p, n));
}

#if defined(__x86_64__)

// Carry-less multiplication folding ("Fast CRC Computation for Generic
// Polynomials Using PCLMULQDQ", Intel, 2009), in the reflected bit order:
// 128 bits of running remainder R followed by D more bits of message are
// replaced by R.lo * (x^(D+32) mod P) XOR R.hi * (x^(D-32) mod P) XOR the
// message's next 128 bits, which leaves the CRC unchanged. The last 128 bits
// are brought down to 32 through two folds and a Barrett reduction.

constexpr uint32_t kPolynomial = 0xEDB88320u;

// x^n mod P, bit-reflected.
constexpr uint32_t xPowerModP(unsigned n) {
    uint32_t r = 0x80000000u;
    for (; n > 0; --n) r = (r & 1) ? (r >> 1) ^ kPolynomial : r >> 1;
    return r;
}

// A multiplier for the reflected product, which comes out one bit short.
constexpr uint64_t foldConstant(unsigned n) { return uint64_t{xPowerModP(n)} << 1; }

// P itself and floor(x^64 / P), both as 33-bit reflected values.
constexpr uint64_t kPolynomialReflected = (uint64_t{kPolynomial} << 1) | 1;
constexpr uint64_t barrettQuotient() {
    const uint64_t p = 0x104C11DB7ull;  // P in the usual bit order
    unsigned __int128 rest = static_cast<unsigned __int128>(1) << 64;
    uint64_t quotient = 0;
    for (int bit = 64; bit >= 32; --bit)
        if ((rest >> bit) & 1) {
            quotient |= uint64_t{1} << (bit - 32);
            rest ^= static_cast<unsigned __int128>(p) << (bit - 32);
        }
    uint64_t reflected = 0;
    for (int bit = 0; bit < 33; ++bit)
        if ((quotient >> bit) & 1) reflected |= uint64_t{1} << (32 - bit);
    return reflected;
}

// Low word: the multiplier of the 64 bits met first; high word: the other.
#define QM_FOLD_PAIR(distance) \
    static_cast<long long>(foldConstant((distance) - 32)), static_cast<long long>(foldConstant((distance) + 32))

__attribute__((target("pclmul,sse4.1"), always_inline)) inline __m128i fold128(__m128i r, __m128i k, __m128i next) {
    __m128i a = _mm_clmulepi64_si128(r, k, 0x00);
    __m128i b = _mm_clmulepi64_si128(r, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(a, b), next);
}

__m128i load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Folds the rest 16 bytes at a time into r, reduces r to the CRC, and
// continues with zlib over the last bytes (fewer than 16).
__attribute__((target("pclmul,sse4.1"))) uint32_t finish(__m128i r, const uint8_t* p, size_t n) {
    const __m128i by16 = _mm_set_epi64x(QM_FOLD_PAIR(128));
    for (; n >= 16; n -= 16, p += 16) r = fold128(r, by16, load128(p));

    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    // 128 bits to 96: the low half moves 64 bits on.
    __m128i t = _mm_clmulepi64_si128(r, by16, 0x10);
    r = _mm_xor_si128(_mm_srli_si128(r, 8), t);
    // 96 bits to 64: the low 32 bits move 32 bits on.
    t = _mm_srli_si128(r, 4);
    r = _mm_clmulepi64_si128(_mm_and_si128(r, low32), _mm_set_epi64x(0, foldConstant(64)), 0x00);
    r = _mm_xor_si128(r, t);
    // Barrett: r mod P without a division.
    const __m128i barrett = _mm_set_epi64x(barrettQuotient(), kPolynomialReflected);
    t = _mm_clmulepi64_si128(_mm_and_si128(r, low32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
    r = _mm_xor_si128(r, t);
    const uint32_t crc = static_cast<uint32_t>(_mm_extract_epi32(r, 1));
    return crcZlib(crc, p, n);
}

// Four 128-bit lanes folded 64 bytes apart.
__attribute__((target("pclmul,sse4.1"))) uint32_t crcPclmul(uint32_t crc, const uint8_t* p, size_t n) {
    if (n < 64) return crcZlib(crc, p, n);
    __m128i r0 = _mm_xor_si128(load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i r1 = load128(p + 16), r2 = load128(p + 32), r3 = load128(p + 48);
    p += 64, n -= 64;
    const __m128i by64 = _mm_set_epi64x(QM_FOLD_PAIR(512));
    for (; n >= 64; n -= 64, p += 64) {
        r0 = fold128(r0, by64, load128(p));
        r1 = fold128(r1, by64, load128(p + 16));
        r2 = fold128(r2, by64, load128(p + 32));
        r3 = fold128(r3, by64, load128(p + 48));
    }
    const __m128i by16 = _mm_set_epi64x(QM_FOLD_PAIR(128));
    r0 = fold128(fold128(fold128(r0, by16, r1), by16, r2), by16, r3);
    return finish(r0, p, n);
}

// The 512-bit kernels assume the whole AVX-512 set of the processors that
// brought VPCLMULQDQ (VBMI among it), so that they can share their code.
#define QM_AVX512_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,vpclmulqdq,pclmul,sse4.1")))

QM_AVX512_TARGET __attribute__((always_inline)) inline __m512i fold512(__m512i r, __m512i k, __m512i next) {
    __m512i a = _mm512_clmulepi64_epi128(r, k, 0x00);
    __m512i b = _mm512_clmulepi64_epi128(r, k, 0x11);
    return _mm512_ternarylogic_epi64(a, b, next, 0x96);  // a ^ b ^ next
}

// Where the main loop of the 512-bit kernel takes its next 64 bytes from, and
// what happens to the rest (under 256 bytes) before it is read: either the
// bytes as they are, or the bytes substituted in place through a table first,
// so that a block is encoded and its CRC computed in one pass.
struct AsTheyAre {
    QM_AVX512_TARGET __attribute__((always_inline)) __m512i next(const uint8_t* p) const {
        return _mm512_loadu_si512(p);
    }
    void prepareRest(const uint8_t*, size_t) const {}
};

struct Substituted {
    vbmi::Table table;
    QM_AVX512_TARGET __attribute__((always_inline)) __m512i next(uint8_t* p) const {
        return vbmi::substitute64(table, p);
    }
    QM_AVX512_TARGET __attribute__((always_inline)) void prepareRest(uint8_t* p, size_t n) const {
        vbmi::substitute(table, p, n);
    }
};

// Sixteen 128-bit lanes in four 512-bit registers, folded 256 bytes apart.
template <class Byte, class Source>
QM_AVX512_TARGET __attribute__((always_inline)) inline uint32_t fold512Lanes(uint32_t crc, Byte* p, size_t n,
                                                                             const Source& source) {
    if (n < 256) {
        source.prepareRest(p, n);
        return crcPclmul(crc, p, n);
    }
    __m512i r0 = _mm512_xor_si512(source.next(p), _mm512_maskz_set1_epi32(1, static_cast<int>(crc)));
    __m512i r1 = source.next(p + 64), r2 = source.next(p + 128), r3 = source.next(p + 192);
    p += 256, n -= 256;
    const __m512i by256 = _mm512_set_epi64(QM_FOLD_PAIR(2048), QM_FOLD_PAIR(2048), QM_FOLD_PAIR(2048), QM_FOLD_PAIR(2048));
    for (; n >= 256; n -= 256, p += 256) {
        r0 = fold512(r0, by256, source.next(p));
        r1 = fold512(r1, by256, source.next(p + 64));
        r2 = fold512(r2, by256, source.next(p + 128));
        r3 = fold512(r3, by256, source.next(p + 192));
    }
    source.prepareRest(p, n);
    const __m512i by64 = _mm512_set_epi64(QM_FOLD_PAIR(512), QM_FOLD_PAIR(512), QM_FOLD_PAIR(512), QM_FOLD_PAIR(512));
    r0 = fold512(fold512(fold512(r0, by64, r1), by64, r2), by64, r3);
    for (; n >= 64; n -= 64, p += 64) r0 = fold512(r0, by64, _mm512_loadu_si512(p));
    const __m128i by16 = _mm_set_epi64x(QM_FOLD_PAIR(128));
    __m128i r = fold128(_mm512_maskz_extracti32x4_epi32(0xF, r0, 0), by16, _mm512_maskz_extracti32x4_epi32(0xF, r0, 1));
    r = fold128(r, by16, _mm512_maskz_extracti32x4_epi32(0xF, r0, 2));
    r = fold128(r, by16, _mm512_maskz_extracti32x4_epi32(0xF, r0, 3));
    return finish(r, p, n);
}

QM_AVX512_TARGET uint32_t crcVpclmul(uint32_t crc, const uint8_t* p, size_t n) {
    return fold512Lanes(crc, p, n, AsTheyAre{});
}

QM_AVX512_TARGET uint32_t substituteThenCrcVpclmul(uint8_t* p, size_t n, const uint8_t* table) {
    return fold512Lanes(0, p, n, Substituted{vbmi::loadTable(table)});
}

bool supportsAvx512Kernels() {
    return vbmi::supported() && __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("pclmul");
}

#undef QM_AVX512_TARGET
#undef QM_FOLD_PAIR

#endif

struct Available {
    std::array<CrcKernel, 3> kernels{};
    size_t count = 0;
    Available() {
        kernels[count++] = {"zlib", crcZlib};
#if defined(__x86_64__)
        __builtin_cpu_init();
        const bool pclmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
        if (pclmul) kernels[count++] = {"pclmul", crcPclmul};
        if (pclmul && supportsAvx512Kernels()) kernels[count++] = {"vpclmul", crcVpclmul};
#endif
    }
};

}  // namespace

std::span<const CrcKernel> crcKernels() {
    static const Available available;
    return {available.kernels.data(), available.count};
}

namespace {

// The fastest substitution, then the fastest CRC over its result.
uint32_t substituteThenCrc(uint8_t* p, size_t n, const uint8_t* table) {
    static const auto substitute = substituteKernels().back().run;
    static const auto crc = crcKernels().back().run;
    substitute(p, n, table);
    return crc(0, p, n);
}

struct AvailableInOnePass {
    std::array<SubstituteCrcKernel, 2> kernels{};
    size_t count = 0;
    AvailableInOnePass() {
        kernels[count++] = {"two passes", substituteThenCrc};
#if defined(__x86_64__)
        __builtin_cpu_init();
        if (supportsAvx512Kernels()) kernels[count++] = {"vbmi+vpclmul", substituteThenCrcVpclmul};
#endif
    }
};

}  // namespace

std::span<const SubstituteCrcKernel> substituteCrcKernels() {
    static const AvailableInOnePass available;
    return {available.kernels.data(), available.count};
}

}  // namespace pst::format
