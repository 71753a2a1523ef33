#pragma once
// Little-endian appends and patches into a byte vector.

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace pst::ltp {

inline void putU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }
inline void putU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
inline void putU64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
inline void putBytes(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
inline void setU16(uint8_t* at, uint16_t v) {
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}
inline void setU32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(v >> (8 * i));
}
inline void setU64(uint8_t* at, uint64_t v) {
    for (int i = 0; i < 8; ++i) at[i] = uint8_t(v >> (8 * i));
}
inline uint16_t getU16(const uint8_t* at) { return uint16_t(at[0] | (at[1] << 8)); }
inline uint32_t getU32(const uint8_t* at) {
    return uint32_t(at[0]) | (uint32_t(at[1]) << 8) | (uint32_t(at[2]) << 16) | (uint32_t(at[3]) << 24);
}
inline uint64_t getU64(const uint8_t* at) { return uint64_t(getU32(at)) | (uint64_t(getU32(at + 4)) << 32); }

}  // namespace pst::ltp
