#include "pst/read/ndb.h"

#include <algorithm>
#include <cstdio>

#include "pst/format/constants.h"
#include "pst/format/crc.h"
#include "pst/format/encoding.h"
#include "pst/read/bytes.h"

namespace pst::read {

namespace fmt = pst::format;

std::string hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

HeaderInfo parseHeader(std::span<const uint8_t> d) {
    if (d.size() < fmt::kAnsiHeaderSize) throw ReadError("file too short for a PST header");
    HeaderInfo h;
    h.magic = u32(d, fmt::kHdrMagic);
    h.magicClient = u16(d, fmt::kHdrMagicClient);
    if (h.magic != fmt::kHeaderMagic) throw ReadError("not a PST file: bad HEADER magic");
    h.ver = u16(d, fmt::kHdrVer);
    h.verClient = u16(d, fmt::kHdrVerClient);
    h.platformCreate = u8(d, fmt::kHdrPlatformCreate);
    h.platformAccess = u8(d, fmt::kHdrPlatformAccess);
    h.crcPartial = u32(d, fmt::kHdrCrcPartial);
    h.crcPartialComputed = fmt::crc32(d.subspan(fmt::kHdrCrcStart, fmt::kHdrCrcPartialLength));
    if (h.ver >= fmt::kVersionUnicodeMin) {
        if (d.size() < fmt::kHeaderSize) throw ReadError("file too short for a Unicode PST header");
        h.unicode = true;
        h.bidNextP = u64(d, fmt::kHdrBidNextP);
        h.unique = u32(d, fmt::kHdrUnique);
        for (int i = 0; i < 32; ++i) h.rgnid[i] = u32(d, fmt::kHdrRgnid + 4 * i);
        size_t r = fmt::kHdrRoot;
        h.fileEof = u64(d, r + fmt::kRootFileEof);
        h.amapLast = u64(d, r + fmt::kRootAMapLast);
        h.amapFree = u64(d, r + fmt::kRootAMapFree);
        h.pmapFree = u64(d, r + fmt::kRootPMapFree);
        h.nbt = {u64(d, r + fmt::kRootBrefNbt), u64(d, r + fmt::kRootBrefNbt + 8)};
        h.bbt = {u64(d, r + fmt::kRootBrefBbt), u64(d, r + fmt::kRootBrefBbt + 8)};
        h.amapValid = u8(d, r + fmt::kRootAMapValid);
        h.rgbFmAllFF = std::all_of(d.begin() + fmt::kHdrRgbFM, d.begin() + fmt::kHdrRgbFM + fmt::kHdrFreeMapBytes, [](uint8_t b) { return b == 0xFF; });
        h.rgbFpAllFF = std::all_of(d.begin() + fmt::kHdrRgbFP, d.begin() + fmt::kHdrRgbFP + fmt::kHdrFreeMapBytes, [](uint8_t b) { return b == 0xFF; });
        h.sentinel = u8(d, fmt::kHdrSentinel);
        h.cryptMethod = u8(d, fmt::kHdrCryptMethod);
        h.bidNextB = u64(d, fmt::kHdrBidNextB);
        h.crcFull = u32(d, fmt::kHdrCrcFull);
        h.crcFullComputed = fmt::crc32(d.subspan(fmt::kHdrCrcStart, fmt::kHdrCrcFullLength));
    } else if (h.ver == fmt::kVersionAnsi14 || h.ver == fmt::kVersionAnsi15) {
        h.unicode = false;
        h.bidNextB = u32(d, fmt::kAnsiHdrBidNextB);
        h.bidNextP = u32(d, fmt::kAnsiHdrBidNextP);
        h.unique = u32(d, fmt::kAnsiHdrUnique);
        for (int i = 0; i < 32; ++i) h.rgnid[i] = u32(d, fmt::kAnsiHdrRgnid + 4 * i);
        size_t r = fmt::kAnsiHdrRoot;
        h.fileEof = u32(d, r + fmt::kAnsiRootFileEof);
        h.amapLast = u32(d, r + fmt::kAnsiRootAMapLast);
        h.amapFree = u32(d, r + fmt::kAnsiRootAMapFree);
        h.pmapFree = u32(d, r + fmt::kAnsiRootPMapFree);
        h.nbt = {u32(d, r + fmt::kAnsiRootBrefNbt), u32(d, r + fmt::kAnsiRootBrefNbt + 4)};
        h.bbt = {u32(d, r + fmt::kAnsiRootBrefBbt), u32(d, r + fmt::kAnsiRootBrefBbt + 4)};
        h.amapValid = u8(d, r + fmt::kAnsiRootAMapValid);
        h.rgbFmAllFF = std::all_of(d.begin() + fmt::kAnsiHdrRgbFM, d.begin() + fmt::kAnsiHdrRgbFM + fmt::kHdrFreeMapBytes, [](uint8_t b) { return b == 0xFF; });
        h.rgbFpAllFF = std::all_of(d.begin() + fmt::kAnsiHdrRgbFP, d.begin() + fmt::kAnsiHdrRgbFP + fmt::kHdrFreeMapBytes, [](uint8_t b) { return b == 0xFF; });
        h.sentinel = u8(d, fmt::kAnsiHdrSentinel);
        h.cryptMethod = u8(d, fmt::kAnsiHdrCryptMethod);
    } else {
        throw ReadError("unknown PST file version " + std::to_string(h.ver));
    }
    return h;
}

PageTrailer parsePageTrailer(std::span<const uint8_t> page, const Layout& l) {
    size_t t = fmt::kPageSize - l.pageTrailer();
    PageTrailer pt;
    pt.ptype = u8(page, t);
    pt.ptypeRepeat = u8(page, t + 1);
    pt.sig = u16(page, t + 2);
    if (l.unicode) {
        pt.crc = u32(page, t + 4);
        pt.bid = u64(page, t + 8);
    } else {
        pt.bid = u32(page, t + 4);
        pt.crc = u32(page, t + 8);
    }
    return pt;
}

uint32_t pageCrc(std::span<const uint8_t> page, const Layout& l) {
    return fmt::crc32(page.first(fmt::kPageSize - l.pageTrailer()));
}

BtPage parseBtPage(std::span<const uint8_t> page, uint8_t ptype, const Layout& l) {
    BtPage p;
    size_t m = l.btEntriesSize();
    p.cEnt = u8(page, m);
    p.cEntMax = u8(page, m + 1);
    p.cbEnt = u8(page, m + 2);
    p.cLevel = u8(page, m + 3);
    size_t expected = p.cLevel > 0 ? l.btEntrySize() : ptype == fmt::kPtypeNBT ? l.nbtEntrySize() : l.bbtEntrySize();
    if (p.cbEnt < expected) throw ReadError("B-tree page entry size " + std::to_string(p.cbEnt) + " is below " + std::to_string(expected));
    if (size_t(p.cEnt) * p.cbEnt > m) throw ReadError("B-tree page holds more entries than fit");
    size_t w = l.bidSize();
    for (size_t i = 0; i < p.cEnt; ++i) {
        size_t e = i * p.cbEnt;
        if (p.cLevel > 0) {
            p.index.push_back({uid(page, e, l.unicode), {uid(page, e + w, l.unicode), uid(page, e + 2 * w, l.unicode)}});
        } else if (ptype == fmt::kPtypeNBT) {
            NbtEntry n;
            n.nid = uid(page, e, l.unicode);
            n.bidData = uid(page, e + w, l.unicode);
            n.bidSub = uid(page, e + 2 * w, l.unicode);
            n.nidParent = u32(page, e + 3 * w);
            p.nodes.push_back(n);
        } else {
            BbtEntry b;
            b.bref = {uid(page, e, l.unicode), uid(page, e + w, l.unicode)};
            b.cb = u16(page, e + 2 * w);
            b.cRef = u16(page, e + 2 * w + 2);
            p.blocks.push_back(b);
        }
    }
    return p;
}

BlockTrailer parseBlockTrailer(std::span<const uint8_t> block, const Layout& l) {
    size_t t = block.size() - l.blockTrailer();
    BlockTrailer bt;
    bt.cb = u16(block, t);
    bt.sig = u16(block, t + 2);
    if (l.unicode) {
        bt.crc = u32(block, t + 4);
        bt.bid = u64(block, t + 8);
    } else {
        bt.bid = u32(block, t + 4);
        bt.crc = u32(block, t + 8);
    }
    return bt;
}

// --- Ndb ---------------------------------------------------------------------

Ndb::Ndb(const std::filesystem::path& file) : file_(file) {
    auto head = file_.read(0, static_cast<size_t>(std::min<uint64_t>(file_.size(), fmt::kHeaderSize)));
    header_ = parseHeader(head);
    layout_.unicode = header_.unicode;
}

std::unique_ptr<Ndb> Ndb::open(const std::filesystem::path& file) {
    return std::unique_ptr<Ndb>(new Ndb(file));
}

std::vector<uint8_t> Ndb::readPage(uint64_t ib) const { return file_.read(ib, fmt::kPageSize); }

void Ndb::walkNbt(uint64_t ib, uint64_t bid, int depth, int expectedLevel) {
    if (depth > fmt::kBtMaxLevel + 1) throw ReadError("node B-tree is deeper than the format allows");
    auto page = readPage(ib);
    auto trailer = parsePageTrailer(page, layout_);
    if (trailer.ptype != fmt::kPtypeNBT || trailer.bid != bid)
        throw ReadError("node B-tree page at " + hex(ib) + " is not the page its parent references");
    if (trailer.crc != pageCrc(page, layout_)) throw ReadError("node B-tree page at " + hex(ib) + " fails its CRC");
    auto p = parseBtPage(page, fmt::kPtypeNBT, layout_);
    if (expectedLevel >= 0 && p.cLevel != expectedLevel)
        throw ReadError("node B-tree page at " + hex(ib) + " has the wrong level");
    if (p.cLevel > 0) {
        for (auto& e : p.index) walkNbt(e.child.ib, e.child.bid, depth + 1, p.cLevel - 1);
    } else {
        for (auto& n : p.nodes) (*nodes_)[static_cast<uint32_t>(n.nid)] = n;
    }
}

void Ndb::walkBbt(uint64_t ib, uint64_t bid, int depth, int expectedLevel) {
    if (depth > fmt::kBtMaxLevel + 1) throw ReadError("block B-tree is deeper than the format allows");
    auto page = readPage(ib);
    auto trailer = parsePageTrailer(page, layout_);
    if (trailer.ptype != fmt::kPtypeBBT || trailer.bid != bid)
        throw ReadError("block B-tree page at " + hex(ib) + " is not the page its parent references");
    if (trailer.crc != pageCrc(page, layout_)) throw ReadError("block B-tree page at " + hex(ib) + " fails its CRC");
    auto p = parseBtPage(page, fmt::kPtypeBBT, layout_);
    if (expectedLevel >= 0 && p.cLevel != expectedLevel)
        throw ReadError("block B-tree page at " + hex(ib) + " has the wrong level");
    if (p.cLevel > 0) {
        for (auto& e : p.index) walkBbt(e.child.ib, e.child.bid, depth + 1, p.cLevel - 1);
    } else {
        for (auto& b : p.blocks) (*blocks_)[bidKey(b.bref.bid)] = b;
    }
}

const std::map<uint32_t, NbtEntry>& Ndb::nodes() {
    if (!nodes_) {
        nodes_.emplace();
        try {
            walkNbt(header_.nbt.ib, header_.nbt.bid, 0, -1);
        } catch (...) {
            nodes_.reset();
            throw;
        }
    }
    return *nodes_;
}

const std::unordered_map<uint64_t, BbtEntry>& Ndb::blocks() {
    if (!blocks_) {
        blocks_.emplace();
        try {
            walkBbt(header_.bbt.ib, header_.bbt.bid, 0, -1);
        } catch (...) {
            blocks_.reset();
            throw;
        }
    }
    return *blocks_;
}

std::optional<NbtEntry> Ndb::findNode(uint32_t nid) {
    auto& n = nodes();
    auto it = n.find(nid);
    if (it == n.end()) return std::nullopt;
    return it->second;
}

std::optional<BbtEntry> Ndb::findBlock(uint64_t bid) {
    auto& b = blocks();
    auto it = b.find(bidKey(bid));
    if (it == b.end()) return std::nullopt;
    return it->second;
}

std::vector<uint8_t> Ndb::readBlock(uint64_t bid) {
    auto entry = findBlock(bid);
    if (!entry) throw ReadError("block " + hex(bid) + " is not in the block B-tree");
    size_t size = fmt::blockSizeOnDisk(entry->cb, layout_.blockTrailer());
    if (size > fmt::kMaxBlockSize) throw ReadError("block " + hex(bid) + " is larger than 8192 bytes");
    auto raw = file_.read(entry->bref.ib, size);
    auto trailer = parseBlockTrailer(raw, layout_);
    if (bidKey(trailer.bid) != bidKey(bid)) throw ReadError("block at " + hex(entry->bref.ib) + " carries bid " + hex(trailer.bid) + ", not " + hex(bid));
    if (trailer.cb != entry->cb) throw ReadError("block " + hex(bid) + ": trailer size differs from its B-tree entry");
    raw.resize(entry->cb);
    if (fmt::crc32(raw) != trailer.crc) throw ReadError("block " + hex(bid) + " fails its CRC");
    if (!bidInternal(bid)) {
        if (header_.cryptMethod == fmt::kCryptPermute)
            fmt::permuteDecode(raw);
        else if (header_.cryptMethod == fmt::kCryptCyclic)
            fmt::cyclicDecode(raw, static_cast<uint32_t>(trailer.bid));
    }
    return raw;
}

void Ndb::collectDataBlocks(uint64_t bid, int depth, std::vector<std::vector<uint8_t>>& out) {
    auto data = readBlock(bid);
    if (!bidInternal(bid)) {
        out.push_back(std::move(data));
        return;
    }
    if (data.size() < fmt::kXBlockHeaderSize || data[0] != fmt::kBtypeDataTree)
        throw ReadError("internal block " + hex(bid) + " is not a data tree block");
    uint8_t level = data[1];
    uint16_t cEnt = u16(data, 2);
    uint32_t total = u32(data, 4);
    if (level < 1 || level > 2 || (depth == 1 && level != 1))
        throw ReadError("data tree block " + hex(bid) + " has level " + std::to_string(level));
    size_t before = 0;
    for (auto& b : out) before += b.size();
    for (size_t i = 0; i < cEnt; ++i) {
        uint64_t child = uid(data, fmt::kXBlockHeaderSize + i * layout_.bidSize(), layout_.unicode);
        if (level == 1) {
            if (bidInternal(child)) throw ReadError("XBLOCK " + hex(bid) + " references internal block " + hex(child));
            out.push_back(readBlock(child));
        } else {
            if (!bidInternal(child)) throw ReadError("XXBLOCK " + hex(bid) + " references data block " + hex(child));
            collectDataBlocks(child, depth + 1, out);
        }
    }
    size_t after = 0;
    for (auto& b : out) after += b.size();
    if (after - before != total)
        throw ReadError("data tree " + hex(bid) + " says " + std::to_string(total) + " bytes but holds " + std::to_string(after - before));
}

std::vector<std::vector<uint8_t>> Ndb::readDataBlocks(uint64_t bid) {
    std::vector<std::vector<uint8_t>> out;
    if (bid == 0) return out;
    collectDataBlocks(bid, 0, out);
    return out;
}

std::vector<uint8_t> Ndb::readData(uint64_t bid) {
    auto blocks = readDataBlocks(bid);
    if (blocks.size() == 1) return std::move(blocks[0]);
    std::vector<uint8_t> out;
    size_t total = 0;
    for (auto& b : blocks) total += b.size();
    out.reserve(total);
    for (auto& b : blocks) out.insert(out.end(), b.begin(), b.end());
    return out;
}

void Ndb::collectSubnodes(uint64_t bid, int depth, SubnodeMap& out) {
    if (depth > 2) throw ReadError("subnode tree " + hex(bid) + " is too deep");
    if (!bidInternal(bid)) throw ReadError("subnode tree " + hex(bid) + " is not an internal block");
    auto data = readBlock(bid);
    if (data.size() < layout_.sblockHeader() || data[0] != fmt::kBtypeSubnode)
        throw ReadError("block " + hex(bid) + " is not a subnode block");
    uint8_t level = data[1];
    uint16_t cEnt = u16(data, 2);
    size_t w = layout_.bidSize();
    size_t h = layout_.sblockHeader();
    if (level == 0) {
        for (size_t i = 0; i < cEnt; ++i) {
            size_t e = h + i * layout_.slEntrySize();
            SubnodeLeaf s;
            s.nid = static_cast<uint32_t>(uid(data, e, layout_.unicode));
            s.bidData = uid(data, e + w, layout_.unicode);
            s.bidSub = uid(data, e + 2 * w, layout_.unicode);
            if (!out.emplace(s.nid, s).second) throw ReadError("subnode " + hex(s.nid) + " appears twice under " + hex(bid));
        }
    } else if (level == 1 && depth == 0) {
        for (size_t i = 0; i < cEnt; ++i) {
            size_t e = h + i * layout_.siEntrySize();
            collectSubnodes(uid(data, e + w, layout_.unicode), depth + 1, out);
        }
    } else {
        throw ReadError("subnode block " + hex(bid) + " has level " + std::to_string(level));
    }
}

SubnodeMap Ndb::readSubnodes(uint64_t bidSub) {
    SubnodeMap out;
    if (bidSub != 0) collectSubnodes(bidSub, 0, out);
    return out;
}

}  // namespace pst::read
