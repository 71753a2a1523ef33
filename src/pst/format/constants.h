#pragma once
// Layout constants of the PST file format shared by the writer, the reader
// and the checker. Each group names the [MS-PST] section it comes from.
// Sizes and offsets are for the Unicode format unless the name says Ansi.

#include <cstddef>
#include <cstdint>

#include "pst/format/nid.h"

namespace pst::format {

// --- HEADER ([MS-PST] "HEADER") -------------------------------------------
inline constexpr uint32_t kHeaderMagic = 0x4E444221;       // dwMagic "!BDN" as a little-endian DWORD
inline constexpr uint16_t kHeaderMagicClient = 0x4D53;     // wMagicClient { 0x53, 0x4D }
inline constexpr uint16_t kVersionUnicode = 23;            // wVer Outlook writes for Unicode files
inline constexpr uint16_t kVersionUnicodeMin = 23;         // readers accept wVer >= 23 as Unicode
inline constexpr uint16_t kVersionUnicodeWip = 37;         // written by clients with WIP support
inline constexpr uint16_t kVersionAnsi14 = 14;
inline constexpr uint16_t kVersionAnsi15 = 15;
inline constexpr uint16_t kVersionClient = 19;             // wVerClient
inline constexpr uint8_t kPlatform = 0x01;                 // bPlatformCreate, bPlatformAccess
inline constexpr uint8_t kSentinel = 0x80;                 // bSentinel

// bCryptMethod values.
inline constexpr uint8_t kCryptNone = 0x00;     // NDB_CRYPT_NONE
inline constexpr uint8_t kCryptPermute = 0x01;  // NDB_CRYPT_PERMUTE
inline constexpr uint8_t kCryptCyclic = 0x02;   // NDB_CRYPT_CYCLIC
inline constexpr uint8_t kCryptEdp = 0x10;      // NDB_CRYPT_EDPCRYPTED

// Unicode HEADER field offsets.
inline constexpr size_t kHeaderSize = 564;
inline constexpr size_t kHdrMagic = 0;
inline constexpr size_t kHdrCrcPartial = 4;
inline constexpr size_t kHdrMagicClient = 8;
inline constexpr size_t kHdrVer = 10;
inline constexpr size_t kHdrVerClient = 12;
inline constexpr size_t kHdrPlatformCreate = 14;
inline constexpr size_t kHdrPlatformAccess = 15;
inline constexpr size_t kHdrBidUnused = 24;
inline constexpr size_t kHdrBidNextP = 32;
inline constexpr size_t kHdrUnique = 40;
inline constexpr size_t kHdrRgnid = 44;        // 32 NIDs, one per nidType
inline constexpr size_t kHdrQwUnused = 172;
inline constexpr size_t kHdrRoot = 180;        // ROOT, 72 bytes
inline constexpr size_t kHdrAlign = 252;
inline constexpr size_t kHdrRgbFM = 256;       // 128 bytes of 0xFF
inline constexpr size_t kHdrRgbFP = 384;       // 128 bytes of 0xFF
inline constexpr size_t kHdrSentinel = 512;
inline constexpr size_t kHdrCryptMethod = 513;
inline constexpr size_t kHdrBidNextB = 516;
inline constexpr size_t kHdrCrcFull = 524;
inline constexpr size_t kHdrReserved2 = 528;   // rgbReserved2, bReserved, rgbReserved3 to 564
// dwCRCPartial covers 471 bytes from wMagicClient; dwCRCFull covers 516.
inline constexpr size_t kHdrCrcStart = 8;
inline constexpr size_t kHdrCrcPartialLength = 471;
inline constexpr size_t kHdrCrcFullLength = 516;
inline constexpr size_t kHdrFreeMapBytes = 128;   // size of rgbFM and of rgbFP

// ANSI HEADER field offsets.
inline constexpr size_t kAnsiHeaderSize = 512;
inline constexpr size_t kAnsiHdrBidNextB = 24;
inline constexpr size_t kAnsiHdrBidNextP = 28;
inline constexpr size_t kAnsiHdrUnique = 32;
inline constexpr size_t kAnsiHdrRgnid = 36;
inline constexpr size_t kAnsiHdrRoot = 164;    // ROOT, 40 bytes
inline constexpr size_t kAnsiHdrRgbFM = 204;
inline constexpr size_t kAnsiHdrRgbFP = 332;
inline constexpr size_t kAnsiHdrSentinel = 460;
inline constexpr size_t kAnsiHdrCryptMethod = 461;

// --- ROOT ([MS-PST] "ROOT"), offsets inside the structure ------------------
inline constexpr size_t kRootSize = 72;
inline constexpr size_t kRootFileEof = 4;
inline constexpr size_t kRootAMapLast = 12;
inline constexpr size_t kRootAMapFree = 20;
inline constexpr size_t kRootPMapFree = 28;
inline constexpr size_t kRootBrefNbt = 36;   // BREF: bid, ib
inline constexpr size_t kRootBrefBbt = 52;
inline constexpr size_t kRootAMapValid = 68;
inline constexpr size_t kAnsiRootSize = 40;
inline constexpr size_t kAnsiRootFileEof = 4;
inline constexpr size_t kAnsiRootAMapLast = 8;
inline constexpr size_t kAnsiRootAMapFree = 12;
inline constexpr size_t kAnsiRootPMapFree = 16;
inline constexpr size_t kAnsiRootBrefNbt = 20;
inline constexpr size_t kAnsiRootBrefBbt = 28;
inline constexpr size_t kAnsiRootAMapValid = 36;

// fAMapValid values.
inline constexpr uint8_t kAMapInvalid = 0x00;  // INVALID_AMAP
inline constexpr uint8_t kAMapValid1 = 0x01;   // VALID_AMAP1 (deprecated)
inline constexpr uint8_t kAMapValid2 = 0x02;   // VALID_AMAP2

// --- Pages ([MS-PST] "Pages", "PAGETRAILER") --------------------------------
inline constexpr size_t kPageSize = 512;
inline constexpr size_t kPageTrailerSize = 16;       // ptype, ptypeRepeat, wSig, dwCRC, bid
inline constexpr size_t kAnsiPageTrailerSize = 12;   // ptype, ptypeRepeat, wSig, bid, dwCRC
inline constexpr size_t kPageDataSize = kPageSize - kPageTrailerSize;  // 496, covered by dwCRC

// ptype values.
inline constexpr uint8_t kPtypeBBT = 0x80;
inline constexpr uint8_t kPtypeNBT = 0x81;
inline constexpr uint8_t kPtypeFMap = 0x82;
inline constexpr uint8_t kPtypePMap = 0x83;
inline constexpr uint8_t kPtypeAMap = 0x84;
inline constexpr uint8_t kPtypeFPMap = 0x85;
inline constexpr uint8_t kPtypeDL = 0x86;

// --- BTrees ([MS-PST] "BTPAGE", "BTENTRY", "BBTENTRY", "NBTENTRY") ---------
inline constexpr size_t kBtEntriesSize = 488;        // rgentries
inline constexpr size_t kBtCEnt = 488;               // cEnt, cEntMax, cbEnt, cLevel follow rgentries
inline constexpr size_t kBtCEntMax = 489;
inline constexpr size_t kBtCbEnt = 490;
inline constexpr size_t kBtCLevel = 491;
inline constexpr size_t kBtEntrySize = 24;           // BTENTRY: btkey, BREF
inline constexpr size_t kBbtEntrySize = 24;          // BBTENTRY: BREF, cb, cRef, dwPadding
inline constexpr size_t kNbtEntrySize = 32;          // NBTENTRY: nid, bidData, bidSub, nidParent, dwPadding
inline constexpr size_t kBtEntryMax = kBtEntriesSize / kBtEntrySize;    // 20
inline constexpr size_t kBbtEntryMax = kBtEntriesSize / kBbtEntrySize;  // 20
inline constexpr size_t kNbtEntryMax = kBtEntriesSize / kNbtEntrySize;  // 15
inline constexpr uint8_t kBtMaxLevel = 8;            // "up to 8 intermediate levels"
inline constexpr size_t kAnsiBtEntriesSize = 496;
inline constexpr size_t kAnsiBtEntrySize = 12;
inline constexpr size_t kAnsiBbtEntrySize = 12;
inline constexpr size_t kAnsiNbtEntrySize = 16;

// --- Blocks ([MS-PST] "Blocks", "BLOCKTRAILER", "Block Types") -------------
inline constexpr size_t kBlockAlign = 64;
inline constexpr size_t kMaxBlockSize = 8192;
inline constexpr size_t kBlockTrailerSize = 16;      // cb, wSig, dwCRC, bid
inline constexpr size_t kAnsiBlockTrailerSize = 12;  // cb, wSig, bid, dwCRC
inline constexpr size_t kMaxBlockData = kMaxBlockSize - kBlockTrailerSize;  // 8176

// BID flag bits ([MS-PST] "BID (Block ID)"): bit 0 reserved, bit 1 internal.
inline constexpr uint64_t kBidReservedBit = 0x1;
inline constexpr uint64_t kBidInternalBit = 0x2;
inline constexpr uint64_t kBidIncrement = 4;

// btype / cLevel of internal blocks.
inline constexpr uint8_t kBtypeDataTree = 0x01;  // XBLOCK (cLevel 1), XXBLOCK (cLevel 2)
inline constexpr uint8_t kBtypeSubnode = 0x02;   // SLBLOCK (cLevel 0), SIBLOCK (cLevel 1)
inline constexpr size_t kXBlockHeaderSize = 8;   // btype, cLevel, cEnt, lcbTotal
inline constexpr size_t kSBlockHeaderSize = 8;   // btype, cLevel, cEnt, dwPadding
inline constexpr size_t kSlEntrySize = 24;       // SLENTRY: nid, bidData, bidSub
inline constexpr size_t kSiEntrySize = 16;       // SIENTRY: nid, bid
inline constexpr size_t kAnsiSBlockHeaderSize = 4;
inline constexpr size_t kAnsiSlEntrySize = 12;
inline constexpr size_t kAnsiSiEntrySize = 8;
inline constexpr size_t kXBlockMaxEntries = (kMaxBlockData - kXBlockHeaderSize) / 8;           // 1021
inline constexpr size_t kSlBlockMaxEntries = (kMaxBlockData - kSBlockHeaderSize) / kSlEntrySize;  // 340
inline constexpr size_t kSiBlockMaxEntries = (kMaxBlockData - kSBlockHeaderSize) / kSiEntrySize;  // 510

// Bytes a block of cb data bytes occupies on disk: data + trailer, rounded up to 64.
constexpr size_t blockSizeOnDisk(size_t cb, size_t trailer = kBlockTrailerSize) {
    return (cb + trailer + kBlockAlign - 1) / kBlockAlign * kBlockAlign;
}

// --- Allocation maps ([MS-PST] "AMap", "PMap", "FMap", "FPMap", "DList") ---
// Each AMap page maps the 496*8*64 = 253,952 bytes that start with the AMap
// page itself; the first sits at 0x4400 and the rest follow at that interval.
inline constexpr uint64_t kFirstAMapOffset = 0x4400;
inline constexpr uint64_t kAMapCoverage = 496 * 8 * 64;        // 253,952
inline constexpr uint64_t kAMapBytesPerBit = 64;
// One PMap page for every eight AMaps, directly after the AMap it shares a
// section with; the first at 0x4600.
inline constexpr uint64_t kFirstPMapOffset = 0x4600;
inline constexpr uint64_t kAMapsPerPMap = 8;
inline constexpr uint64_t kPMapCoverage = 496 * 8 * 512;       // 2,031,616
// The HEADER's rgbFM holds one byte for each of the first 128 AMaps; from
// the 128th AMap on, an FMap page (one byte per AMap) appears after the AMap
// and PMap of every 496th section.
inline constexpr uint64_t kAMapsInHeaderFMap = 128;
inline constexpr uint64_t kAMapsPerFMap = 496;
// The HEADER's rgbFP holds one bit for each of the first 1024 PMaps (8192
// AMaps, about 2 GB); from there an FPMap page (one bit per PMap) appears
// after the AMap and PMap of every 496*8 PMaps. Unicode files only.
inline constexpr uint64_t kAMapsInHeaderFPMap = 128 * 8 * kAMapsPerPMap;   // 8192
inline constexpr uint64_t kAMapsPerFPMap = 496 * 8 * kAMapsPerPMap;        // 31,744
// The one Density List page, in the reserved area before the first AMap.
inline constexpr uint64_t kDListOffset = 0x4200;
inline constexpr size_t kDListEntriesOffset = 8;      // after bFlags, cEntDList, wPadding, ulCurrentPage
inline constexpr size_t kDListEntriesSize = 476;
inline constexpr size_t kDListMaxEntries = kDListEntriesSize / 4;
inline constexpr uint8_t kDListBackfillComplete = 0x01;  // DFL_BACKFILL_COMPLETE

constexpr uint64_t amapOffset(uint64_t amapIndex) { return kFirstAMapOffset + amapIndex * kAMapCoverage; }
constexpr bool hasPMap(uint64_t amapIndex) { return amapIndex % kAMapsPerPMap == 0; }
constexpr bool hasFMap(uint64_t amapIndex) {
    return amapIndex >= kAMapsInHeaderFMap && (amapIndex - kAMapsInHeaderFMap) % kAMapsPerFMap == 0;
}
constexpr bool hasFPMap(uint64_t amapIndex) {
    return amapIndex >= kAMapsInHeaderFPMap && (amapIndex - kAMapsInHeaderFPMap) % kAMapsPerFPMap == 0;
}
// Offsets of the map pages of an AMap's section (valid when has*Map is true).
constexpr uint64_t pmapOffset(uint64_t amapIndex) { return amapOffset(amapIndex) + kPageSize; }
constexpr uint64_t fmapOffset(uint64_t amapIndex) { return amapOffset(amapIndex) + 2 * kPageSize; }
constexpr uint64_t fpmapOffset(uint64_t amapIndex) {
    return amapOffset(amapIndex) + (hasFMap(amapIndex) ? 3 : 2) * kPageSize;
}
// Number of fixed map pages (AMap, PMap, FMap, FPMap) at the start of a section.
constexpr unsigned mapPagesInSection(uint64_t amapIndex) {
    return 1u + hasPMap(amapIndex) + hasFMap(amapIndex) + hasFPMap(amapIndex);
}

}  // namespace pst::format
