#include "eml/base64_decoder_simd.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define QUILLMERE_BASE64_X86 1
#include <immintrin.h>
#endif

#include <array>

namespace eml::base64 {

#ifdef QUILLMERE_BASE64_X86

namespace {

// Two letters of six bits make a 12-bit pair, two pairs a 24-bit group
// (vpmaddubsw, vpmaddwd); the group's three bytes are then its 32-bit
// lane's bytes 2, 1, 0.
constexpr int32_t kJoinLetters = 0x01400140;
constexpr int32_t kJoinPairs = 0x00011000;

bool isLineBreak(uint8_t c) { return c == '\r' || c == '\n'; }

// The line break last met in a window: the letters before it and the CR/LF
// bytes it took, as masks of the window's bytes. A mail's lines have one
// length, so the next window that shows the same break is taken with the
// advance known beforehand instead of one counted from its mask (which
// would chain every line's work to the previous line's).
template <typename Mask>
struct SeenBreak {
    Mask span = 0;       // the letters and the break
    Mask breakBytes = 0;  // the break alone
    unsigned step = 0;
    unsigned made = 0;

    bool matches(Mask notLetter, Mask lineEnds) const {
        return step != 0 && (notLetter & span) == breakBytes && (lineEnds & span) == breakBytes;
    }
    void remember(unsigned letters, unsigned taken) {
        span = (Mask{1} << taken) - 1;
        breakBytes = span & ~((Mask{1} << letters) - 1);
        step = taken;
        made = letters / 4 * 3;
    }
};

// ---- AVX2: 32 letters at a time ---------------------------------------------
//
// A byte is checked by its two nibbles: the high nibble picks a class of
// rows of the ASCII table, the low nibble's entry has that class's bit set
// where the byte is not a letter. Its value is the byte plus an offset
// picked by the high nibble ('/' shares its nibble with '+' and is moved
// one entry down).

constexpr uint8_t nibbleClass(unsigned high) {
    switch (high) {
        case 2: return 0x01;              // '+' '/'
        case 3: return 0x02;              // digits
        case 4: case 6: return 0x04;      // A-O, a-o
        case 5: case 7: return 0x08;      // P-Z, p-z
        default: return 0x10;             // never a letter
    }
}

using Lane = std::array<uint8_t, 32>;

constexpr Lane makeHighClasses() {
    Lane lane{};
    for (unsigned i = 0; i < 32; ++i) lane[i] = nibbleClass(i % 16);
    return lane;
}

constexpr Lane makeLowNotLetters() {
    Lane lane{};
    for (unsigned i = 0; i < 32; ++i)
        for (unsigned high = 0; high < 16; ++high)
            if (!isLetter(high << 4 | (i % 16))) lane[i] |= nibbleClass(high);
    return lane;
}

constexpr Lane makeOffsets() {
    Lane lane{};
    auto offset = [](unsigned c) { return static_cast<uint8_t>(letterValue(c) - c); };
    for (unsigned half = 0; half < 32; half += 16) {
        lane[half + 1] = offset('/');
        lane[half + 2] = offset('+');
        lane[half + 3] = offset('0');
        lane[half + 4] = lane[half + 5] = offset('A');
        lane[half + 6] = lane[half + 7] = offset('a');
    }
    return lane;
}

constexpr Lane kHighClasses = makeHighClasses();
constexpr Lane kLowNotLetters = makeLowNotLetters();
constexpr Lane kOffsets = makeOffsets();

__attribute__((target("avx2"))) inline __m256i load(const Lane& lane) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lane.data()));
}

__attribute__((target("avx2"))) size_t decodeRunsAvx2(const uint8_t*& at, const uint8_t* end, uint8_t* out) {
    const __m256i highClasses = load(kHighClasses);
    const __m256i lowNotLetters = load(kLowNotLetters);
    const __m256i offsets = load(kOffsets);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i slash = _mm256_set1_epi8('/');
    const __m256i joinLetters = _mm256_set1_epi32(kJoinLetters);
    const __m256i joinPairs = _mm256_set1_epi32(kJoinPairs);
    // Bytes 2, 1, 0 of each lane, four lanes in each 128-bit half, then the
    // two halves' 12 bytes side by side.
    const __m256i groupBytes = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                                2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i halves = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    SeenBreak<uint32_t> seen;

    const uint8_t* p = at;
    uint8_t* written = out;
    while (end - p >= 32) {
        __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        __m256i high = _mm256_and_si256(_mm256_srli_epi32(text, 4), nibble);
        __m256i low = _mm256_and_si256(text, nibble);
        __m256i notLetter = _mm256_and_si256(_mm256_shuffle_epi8(lowNotLetters, low),
                                             _mm256_shuffle_epi8(highClasses, high));
        auto clean = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(notLetter, _mm256_setzero_si256())));

        __m256i offset = _mm256_shuffle_epi8(offsets, _mm256_add_epi8(high, _mm256_cmpeq_epi8(text, slash)));
        __m256i values = _mm256_add_epi8(text, offset);
        __m256i groups = _mm256_madd_epi16(_mm256_maddubs_epi16(values, joinLetters), joinPairs);
        __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(groups, groupBytes), halves);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(written), bytes);  // 24 bytes and 8 spare

        if (clean == 0xFFFFFFFFu) {
            p += 32;
            written += 24;
            continue;
        }
        auto lineEnds = static_cast<uint32_t>(_mm256_movemask_epi8(
            _mm256_or_si256(_mm256_cmpeq_epi8(text, cr), _mm256_cmpeq_epi8(text, lf))));
        if (seen.matches(~clean, lineEnds)) {
            p += seen.step;
            written += seen.made;
            continue;
        }
        const uint8_t* window = p;
        unsigned letters = static_cast<unsigned>(__builtin_ctz(~clean));
        unsigned whole = letters & ~3u;
        p += whole;
        written += whole / 4 * 3;
        if (whole != letters || !isLineBreak(*p)) break;
        ++p;
        if (p < end && *p == '\n') ++p;
        if (p - window < 32) seen.remember(whole, static_cast<unsigned>(p - window));
    }
    at = p;
    return static_cast<size_t>(written - out);
}

// ---- AVX-512 VBMI: 64 letters at a time ---------------------------------------
//
// One vpermi2b looks up every byte's value in a 128-entry table (bytes
// from 0x80 up have their top bit set already); what is no letter has the
// top bit set in the table, so or-ing byte and value marks it.

using Table = std::array<uint8_t, 128>;

constexpr uint8_t kNotLetter = 0x80;

constexpr Table makeValues() {
    Table table{};
    for (unsigned c = 0; c < 128; ++c) table[c] = isLetter(c) ? letterValue(c) : kNotLetter;
    return table;
}

// Where each of the 48 bytes out of 64 letters sits in the joined lanes.
constexpr std::array<uint8_t, 64> makeGroupOrder() {
    std::array<uint8_t, 64> order{};
    for (unsigned i = 0; i < 48; ++i) order[i] = static_cast<uint8_t>(4 * (i / 3) + 2 - i % 3);
    return order;
}

constexpr Table kValues = makeValues();
constexpr uint64_t kGroupBytes = (uint64_t{1} << 48) - 1;
constexpr std::array<uint8_t, 64> kGroupOrder = makeGroupOrder();

#define QUILLMERE_AVX512_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct Avx512Tables {
    __m512i valuesLow, valuesHigh, joinLetters, joinPairs, groupOrder;
};

QUILLMERE_AVX512_VBMI inline __m512i decode64(const Avx512Tables& t, __m512i text, __mmask64& notLetter) {
    __m512i values = _mm512_permutex2var_epi8(t.valuesLow, text, t.valuesHigh);
    notLetter = _mm512_movepi8_mask(_mm512_or_si512(text, values));
    __m512i groups = _mm512_madd_epi16(_mm512_maddubs_epi16(values, t.joinLetters), t.joinPairs);
    return _mm512_maskz_permutexvar_epi8(kGroupBytes, t.groupOrder, groups);
}

QUILLMERE_AVX512_VBMI size_t decodeRunsAvx512Vbmi(const uint8_t*& at, const uint8_t* end, uint8_t* out) {
    const Avx512Tables t{_mm512_loadu_si512(kValues.data()), _mm512_loadu_si512(kValues.data() + 64),
                         _mm512_set1_epi32(kJoinLetters), _mm512_set1_epi32(kJoinPairs),
                         _mm512_loadu_si512(kGroupOrder.data())};
    const __m512i cr = _mm512_set1_epi8('\r');
    const __m512i lf = _mm512_set1_epi8('\n');
    SeenBreak<uint64_t> seen;
    const uint8_t* p = at;
    uint8_t* written = out;
    while (end - p >= 4) {
        size_t left = static_cast<size_t>(end - p);
        __mmask64 notLetter;
        __m512i bytes;
        if (left >= 64) {
            __m512i text = _mm512_loadu_si512(p);
            bytes = decode64(t, text, notLetter);
            _mm512_storeu_si512(written, bytes);  // 48 bytes and 16 spare, within the room
            if (!notLetter) {
                p += 64;
                written += 48;
                continue;
            }
            if (seen.matches(notLetter, _mm512_cmpeq_epi8_mask(text, cr) | _mm512_cmpeq_epi8_mask(text, lf))) {
                p += seen.step;
                written += seen.made;
                continue;
            }
        } else {
            __mmask64 inside = (__mmask64{1} << left) - 1;
            bytes = decode64(t, _mm512_maskz_loadu_epi8(inside, p), notLetter);
            notLetter |= ~inside;
        }
        const uint8_t* window = p;
        unsigned letters = static_cast<unsigned>(__builtin_ctzll(notLetter));
        unsigned whole = letters & ~3u;
        if (left < 64) _mm512_mask_storeu_epi8(written, (__mmask64{1} << (whole / 4 * 3)) - 1, bytes);
        p += whole;
        written += whole / 4 * 3;
        if (whole != letters || p == end || !isLineBreak(*p)) break;
        ++p;
        if (p < end && *p == '\n') ++p;
        if (left >= 64 && p - window < 64) seen.remember(whole, static_cast<unsigned>(p - window));
    }
    at = p;
    return static_cast<size_t>(written - out);
}

}  // namespace

RunDecoder avx2Runs() { return __builtin_cpu_supports("avx2") ? decodeRunsAvx2 : nullptr; }

RunDecoder avx512VbmiRuns() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vbmi")
               ? decodeRunsAvx512Vbmi
               : nullptr;
}

#else

RunDecoder avx2Runs() { return nullptr; }
RunDecoder avx512VbmiRuns() { return nullptr; }

#endif

}  // namespace eml::base64
