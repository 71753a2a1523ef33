#pragma once
// Serialising the NDB's on-disk structures: little-endian fields, block
// trailers, page trailers and the fixed map pages.

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "pst/format/constants.h"
#include "pst/ndb/ndb_types.h"

namespace pst::ndb {

using Page = std::array<uint8_t, format::kPageSize>;

inline void put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void put32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i)); }
inline void put64(uint8_t* p, uint64_t v) { for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i)); }
inline uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t get32(const uint8_t* p) { uint32_t v = 0; for (int i = 3; i >= 0; --i) v = (v << 8) | p[i]; return v; }
inline uint64_t get64(const uint8_t* p) { uint64_t v = 0; for (int i = 7; i >= 0; --i) v = (v << 8) | p[i]; return v; }

// A whole block as it goes to disk: data (encoded for external blocks),
// padding to a multiple of 64 and the BLOCKTRAILER ([MS-PST] "BLOCKTRAILER").
// The trailer's dwCRC covers the data as stored.
// `out` is reused from block to block.
void buildBlock(std::span<const uint8_t> data, Bid bid, uint64_t ib, CryptMethod crypt, std::vector<uint8_t>& out);
// The same in place: `block` is blockSizeOnDisk(cb) bytes whose first cb
// bytes hold the data.
void sealBlock(std::span<uint8_t> block, size_t cb, Bid bid, uint64_t ib, CryptMethod crypt);

// Fills in the PAGETRAILER of a page whose first 496 bytes are set
// ([MS-PST] "PAGETRAILER"). BT and DList pages carry a signature, map
// pages a zero wSig and their own offset as bid.
void sealPage(Page& page, uint8_t ptype, uint64_t bid, uint64_t ib);

Page amapPage(uint64_t ib, std::span<const uint8_t, format::kPageDataSize> bits);
// PMap, FMap and FPMap pages are written once when their section is created
// and never changed, as the format asks of them: they claim no free space,
// so a client that still consults them only ever grows the file.
Page pmapPage(uint64_t ib);
Page fmapPage(uint64_t ib);
Page fpmapPage(uint64_t ib);
// The Density List as Outlook leaves it in a new file: no entries.
Page dlistPage(uint64_t bid);

}  // namespace pst::ndb

namespace pst::ndb {

// What the HEADER and its ROOT record ([MS-PST] "HEADER", "ROOT").
struct HeaderFields {
    std::array<uint32_t, 32> rgnid{};
    uint64_t bidNextB = 0;
    uint64_t bidNextP = 0;
    uint32_t unique = 0;
    CryptMethod crypt = CryptMethod::Permute;
    uint64_t fileEof = 0;
    uint64_t amapLast = 0;
    uint64_t amapFree = 0;
    uint64_t nbtBid = 0, nbtIb = 0;
    uint64_t bbtBid = 0, bbtIb = 0;
    uint8_t amapValid = format::kAMapValid2;
};

std::array<uint8_t, format::kHeaderSize> buildHeader(const HeaderFields& h);

}  // namespace pst::ndb
