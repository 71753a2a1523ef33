#pragma once
// The node database of an existing file: HEADER and ROOT, the node and block
// B-trees, data blocks, data trees and subnode trees. Unicode and ANSI.
//
// The parse* functions decode one on-disk structure without judging it; the
// checker uses them to walk a file and report every defect, the Ndb class
// uses them to read a file and throws ReadError at the first one.

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "pst/format/bref.h"
#include "pst/format/btree_entries.h"
#include "pst/format/constants.h"
#include "pst/read/file_view.h"

namespace pst::read {

using format::Bref;

struct HeaderInfo {
    bool unicode = true;
    uint32_t magic = 0;
    uint16_t magicClient = 0;
    uint16_t ver = 0;
    uint16_t verClient = 0;
    uint8_t platformCreate = 0, platformAccess = 0;
    uint32_t crcPartial = 0;      // as stored
    uint32_t crcFull = 0;         // as stored (Unicode only)
    uint32_t crcPartialComputed = 0;
    uint32_t crcFullComputed = 0;
    uint64_t bidNextB = 0;
    uint64_t bidNextP = 0;
    uint32_t unique = 0;
    std::array<uint32_t, 32> rgnid{};
    uint8_t sentinel = 0;
    uint8_t cryptMethod = 0;
    // ROOT
    uint64_t fileEof = 0;
    uint64_t amapLast = 0;
    uint64_t amapFree = 0;
    uint64_t pmapFree = 0;
    Bref nbt;
    Bref bbt;
    uint8_t amapValid = 0;
    bool rgbFmAllFF = false, rgbFpAllFF = false;
};

// Throws ReadError when the bytes are not a PST HEADER (magic, version).
HeaderInfo parseHeader(std::span<const uint8_t> header);

// Sizes that differ between the two formats.
struct Layout {
    bool unicode = true;
    size_t pageTrailer() const { return unicode ? format::kPageTrailerSize : format::kAnsiPageTrailerSize; }
    size_t blockTrailer() const { return unicode ? format::kBlockTrailerSize : format::kAnsiBlockTrailerSize; }
    size_t bidSize() const { return unicode ? sizeof(uint64_t) : sizeof(uint32_t); }
    size_t btEntriesSize() const { return unicode ? format::kBtEntriesSize : format::kAnsiBtEntriesSize; }
    size_t btEntrySize() const { return unicode ? format::kBtEntrySize : format::kAnsiBtEntrySize; }
    size_t nbtEntrySize() const { return unicode ? format::kNbtEntrySize : format::kAnsiNbtEntrySize; }
    size_t bbtEntrySize() const { return unicode ? format::kBbtEntrySize : format::kAnsiBbtEntrySize; }
    size_t slEntrySize() const { return unicode ? format::kSlEntrySize : format::kAnsiSlEntrySize; }
    size_t siEntrySize() const { return unicode ? format::kSiEntrySize : format::kAnsiSiEntrySize; }
    size_t sblockHeader() const { return unicode ? format::kSBlockHeaderSize : format::kAnsiSBlockHeaderSize; }
    size_t maxBlockData() const { return format::kMaxBlockSize - blockTrailer(); }
};

struct PageTrailer {
    uint8_t ptype = 0, ptypeRepeat = 0;
    uint16_t sig = 0;
    uint32_t crc = 0;
    uint64_t bid = 0;
};
PageTrailer parsePageTrailer(std::span<const uint8_t> page, const Layout& layout);
// The CRC a page's trailer should hold (over everything before the trailer).
uint32_t pageCrc(std::span<const uint8_t> page, const Layout& layout);

using format::NbtEntry;
using format::BbtEntry;
struct BtEntry {
    uint64_t key = 0;
    Bref child;
};
struct BtPage {
    uint8_t cEnt = 0, cEntMax = 0, cbEnt = 0, cLevel = 0;
    std::vector<BtEntry> index;   // cLevel > 0
    std::vector<NbtEntry> nodes;  // cLevel == 0, NBT
    std::vector<BbtEntry> blocks; // cLevel == 0, BBT
    uint64_t key(size_t i) const {
        return cLevel > 0 ? index[i].key : !nodes.empty() ? nodes[i].nid : blocks[i].bref.bid;
    }
    size_t size() const { return cLevel > 0 ? index.size() : nodes.empty() ? blocks.size() : nodes.size(); }
};
// Throws ReadError when cEnt/cbEnt do not fit the page.
BtPage parseBtPage(std::span<const uint8_t> page, uint8_t ptype, const Layout& layout);

struct BlockTrailer {
    uint16_t cb = 0;
    uint16_t sig = 0;
    uint32_t crc = 0;
    uint64_t bid = 0;
};
BlockTrailer parseBlockTrailer(std::span<const uint8_t> block, const Layout& layout);

using SubnodeLeaf = format::SlEntry;
using SubnodeMap = std::map<uint32_t, SubnodeLeaf>;

inline constexpr uint64_t bidKey(uint64_t bid) { return bid & ~format::kBidReservedBit; }  // reserved bit ignored
inline constexpr bool bidInternal(uint64_t bid) { return (bid & format::kBidInternalBit) != 0; }

class Ndb {
public:
    static std::unique_ptr<Ndb> open(const std::filesystem::path& file);

    const HeaderInfo& header() const { return header_; }
    const Layout& layout() const { return layout_; }
    const FileView& file() const { return file_; }

    // Whole B-trees, read on first use (ReadError on a damaged tree).
    const std::map<uint32_t, NbtEntry>& nodes();
    const std::unordered_map<uint64_t, BbtEntry>& blocks();
    std::optional<NbtEntry> findNode(uint32_t nid);
    std::optional<BbtEntry> findBlock(uint64_t bid);

    // The cb data bytes of one block, decoded when the block is external.
    // Verifies the trailer (bid, cb, CRC).
    std::vector<uint8_t> readBlock(uint64_t bid);
    // The data blocks of a data tree, in order (one for a plain block).
    std::vector<std::vector<uint8_t>> readDataBlocks(uint64_t bid);
    // The whole stream of a data tree.
    std::vector<uint8_t> readData(uint64_t bid);
    // Every leaf entry of a subnode tree (empty for bid 0).
    SubnodeMap readSubnodes(uint64_t bidSub);

    std::vector<uint8_t> readPage(uint64_t ib) const;

private:
    Ndb(const std::filesystem::path& file);
    void collectDataBlocks(uint64_t bid, int depth, std::vector<std::vector<uint8_t>>& out);
    void collectSubnodes(uint64_t bid, int depth, SubnodeMap& out);
    void walkNbt(uint64_t ib, uint64_t bid, int depth, int expectedLevel);
    void walkBbt(uint64_t ib, uint64_t bid, int depth, int expectedLevel);

    FileView file_;
    HeaderInfo header_;
    Layout layout_;
    std::optional<std::map<uint32_t, NbtEntry>> nodes_;
    std::optional<std::unordered_map<uint64_t, BbtEntry>> blocks_;
};

}  // namespace pst::read
