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

// Largest single heap allocation.
inline constexpr size_t kMaxHeapAllocation = 3580;

// 5 bits of hidType (always 0, NID_TYPE_HID), 11 of hidIndex (1-based), 16 of
// hidBlockIndex.
constexpr Hid makeHid(uint32_t blockIndex, uint32_t index) { return (blockIndex << 16) | (index << 5); }
constexpr uint32_t hidType(Hid hid) { return hid & 0x1F; }
constexpr uint32_t hidIndex(Hid hid) { return (hid >> 5) & 0x7FF; }
constexpr uint32_t hidBlockIndex(Hid hid) { return hid >> 16; }

}  // namespace pst::format
