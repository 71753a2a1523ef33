#include "pst/ltp/bth_builder.h"

#include <algorithm>
#include <span>
#include <stdexcept>

#include "pst/ltp/byte_writer.h"

namespace pst::ltp {
using namespace format;
namespace {

bool keyLess(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    for (size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i];
    return false;
}

}  // namespace

Hid buildBthPacked(HeapBuilder& heap, uint8_t keySize, uint8_t dataSize, const std::vector<uint8_t>& packed,
                   Hid reservedHeader) {
    size_t leafRecord = size_t(keySize) + dataSize;
    if (packed.size() % leafRecord) throw std::invalid_argument("BTH records of the wrong size");

    // The header comes first: readers expect a context's BTHHEADER at the
    // heap's first HID.
    Hid headerHid = reservedHeader ? reservedHeader : heap.allocate(std::vector<uint8_t>(kBthHeaderSize));
    Hid root = 0;
    uint8_t levels = 0;
    if (!packed.empty()) {
        // Each level is a run of heap allocations of whole records; an index
        // level above holds (first key, HID) for each allocation below.
        std::vector<uint8_t> level = packed;
        size_t recordSize = leafRecord;
        for (;;) {
            size_t perAlloc = kMaxHeapAllocation / recordSize;
            size_t count = level.size() / recordSize;
            std::vector<uint8_t> above;
            size_t allocs = 0;
            for (size_t first = 0; first < count; first += perAlloc, ++allocs) {
                size_t n = std::min(perAlloc, count - first);
                std::span<const uint8_t> chunk(level.data() + first * recordSize, n * recordSize);
                Hid hid = heap.allocate(chunk);
                putBytes(above, chunk.first(keySize));
                putU32(above, hid);
                root = hid;
            }
            if (allocs == 1) break;
            level = std::move(above);
            recordSize = size_t(keySize) + 4;
            ++levels;
        }
    }
    std::vector<uint8_t> header;  // BTHHEADER
    putU8(header, kClientSigBTreeOnHeap);
    putU8(header, keySize);
    putU8(header, dataSize);
    putU8(header, levels);
    putU32(header, root);
    heap.overwrite(headerHid, header);
    return headerHid;
}

Hid buildBth(HeapBuilder& heap, uint8_t keySize, uint8_t dataSize, std::vector<BthRecord> records) {
    std::sort(records.begin(), records.end(), [](const BthRecord& a, const BthRecord& b) { return keyLess(a.key, b.key); });
    std::vector<uint8_t> packed;
    packed.reserve(records.size() * (keySize + dataSize));
    for (auto& r : records) {
        if (r.key.size() != keySize || r.data.size() != dataSize) throw std::invalid_argument("BTH record size");
        putBytes(packed, r.key);
        putBytes(packed, r.data);
    }
    return buildBthPacked(heap, keySize, dataSize, packed);
}

}  // namespace pst::ltp
