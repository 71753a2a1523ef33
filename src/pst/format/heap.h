#pragma once
// Heap-on-node and BTree-on-heap identifiers ([MS-PST] "HID", "HNHDR",
// "BTHHEADER"), shared by the writer, the reader and the checker.

#include <cstddef>
#include <cstdint>

namespace pst::format {

using Hid = uint32_t;

inline constexpr uint8_t kHeapSignature = 0xEC;              // HNHDR.bSig
// bClientSig values.
inline constexpr uint8_t kClientSigTableContext = 0x7C;      // bTypeTC
inline constexpr uint8_t kClientSigBTreeOnHeap = 0xB5;       // bTypeBTH
inline constexpr uint8_t kClientSigPropertyContext = 0xBC;   // bTypePC

// Heap page headers ([MS-PST] "HNHDR", "HNPAGEHDR", "HNBITMAPHDR"): the
// first block carries HNHDR; block 8 and every 128th after it an
// HNBITMAPHDR; the others an HNPAGEHDR.
inline constexpr size_t kHnHdrSize = 12;
inline constexpr size_t kHnPageHdrSize = 2;
inline constexpr size_t kHnBitmapHdrSize = 66;
inline constexpr size_t kHnHdrFillLevelOffset = 8;      // HNHDR.rgbFillLevel, blocks 0-7
inline constexpr size_t kHnBitmapFillLevelOffset = 2;   // HNBITMAPHDR.rgbFillLevel, its next 128
inline constexpr size_t kFirstBitmapBlock = 8;
inline constexpr size_t kBlocksPerBitmap = 128;
constexpr bool hasBitmapHeader(size_t blockIndex) {
    return blockIndex >= kFirstBitmapBlock && (blockIndex - kFirstBitmapBlock) % kBlocksPerBitmap == 0;
}
constexpr size_t heapBlockHeaderSize(size_t blockIndex) {
    if (blockIndex == 0) return kHnHdrSize;
    return hasBitmapHeader(blockIndex) ? kHnBitmapHdrSize : kHnPageHdrSize;
}

// BTHHEADER ([MS-PST] "BTHHEADER"): bType, cbKey, cbEnt, bIdxLevels, hidRoot.
inline constexpr size_t kBthHeaderSize = 8;
// TCINFO ([MS-PST] "TCINFO"): its fixed part, then one TCOLDESC a column.
inline constexpr size_t kTcInfoFixedSize = 22;
inline constexpr size_t kTcColDescSize = 8;

// Largest single heap allocation.
inline constexpr size_t kMaxHeapAllocation = 3580;

// 5 bits of hidType (always 0, NID_TYPE_HID), 11 of hidIndex (1-based), 16 of
// hidBlockIndex.
constexpr Hid makeHid(uint32_t blockIndex, uint32_t index) { return (blockIndex << 16) | (index << 5); }
constexpr uint32_t hidType(Hid hid) { return hid & 0x1F; }
constexpr uint32_t hidIndex(Hid hid) { return (hid >> 5) & 0x7FF; }
constexpr uint32_t hidBlockIndex(Hid hid) { return hid >> 16; }

}  // namespace pst::format
