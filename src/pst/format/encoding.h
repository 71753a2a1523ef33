#pragma once
// Obfuscation of the bytes of external data blocks, chosen by the HEADER's
// bCryptMethod ([MS-PST] "Permutative Encoding", "Cyclic Encoding").
// Internal blocks (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK) are never encoded.
// All functions work in place.

#include <cstdint>
#include <span>

namespace pst::format {

// NDB_CRYPT_PERMUTE.
void permuteEncode(std::span<uint8_t> data);
void permuteDecode(std::span<uint8_t> data);
// permuteEncode, returning the CRC (crc.h) of the encoded bytes: a data
// block's encoding and its trailer's CRC in one pass over it.
uint32_t permuteEncodeWithCrc(std::span<uint8_t> data);

// NDB_CRYPT_CYCLIC; key is the low 32 bits of the block's BID.
void cyclicEncode(std::span<uint8_t> data, uint32_t key);
void cyclicDecode(std::span<uint8_t> data, uint32_t key);

}  // namespace pst::format
