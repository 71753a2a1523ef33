#pragma once
// Little-endian field access with bounds checks, for parsing on-disk records.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "pst/read/read_error.h"

namespace pst::read {

template <class T>
T load(std::span<const uint8_t> data, size_t offset) {
    if (offset > data.size() || sizeof(T) > data.size() - offset)
        throw ReadError("field at offset " + std::to_string(offset) + " lies outside a record of " +
                        std::to_string(data.size()) + " bytes");
    T v;
    std::memcpy(&v, data.data() + offset, sizeof v);
    return v;
}

inline uint8_t u8(std::span<const uint8_t> d, size_t o) { return load<uint8_t>(d, o); }
inline uint16_t u16(std::span<const uint8_t> d, size_t o) { return load<uint16_t>(d, o); }
inline uint32_t u32(std::span<const uint8_t> d, size_t o) { return load<uint32_t>(d, o); }
inline uint64_t u64(std::span<const uint8_t> d, size_t o) { return load<uint64_t>(d, o); }

// A BID or IB: 8 bytes in Unicode files, 4 in ANSI files.
inline uint64_t uid(std::span<const uint8_t> d, size_t o, bool unicode) {
    return unicode ? u64(d, o) : u32(d, o);
}

std::string hex(uint64_t v);

}  // namespace pst::read
