#pragma once
// A BTree-on-heap ([MS-PST] "BTree-on-Heap (BTH)") built bottom-up from
// records sorted by key, with as many index levels as the records need.

#include <cstdint>
#include <vector>

#include "pst/ltp/heap_builder.h"

namespace pst::ltp {

struct BthRecord {
    std::vector<uint8_t> key;   // cbKey bytes, little-endian
    std::vector<uint8_t> data;  // cbEnt bytes
};

// Writes the records (sorted here by key as an unsigned little-endian number)
// into the heap and returns the HID of the BTHHEADER, allocated before the
// records (so the first BTH of a heap has its header at the first HID).
Hid buildBth(HeapBuilder& heap, uint8_t keySize, uint8_t dataSize, std::vector<BthRecord> records);

// Same, for records already packed as key|data of fixed size and sorted.
// `reservedHeader`, when not 0, is an earlier kBthHeaderSize allocation to
// hold the header.
Hid buildBthPacked(HeapBuilder& heap, uint8_t keySize, uint8_t dataSize, const std::vector<uint8_t>& packed,
                   Hid reservedHeader = 0);

}  // namespace pst::ltp
