#include "ndb_image.h"

#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "pst/format/constants.h"
#include "pst/format/crc.h"
#include "pst/format/encoding.h"
#include "pst/format/signature.h"

namespace ndbtest {

using namespace pst::format;

namespace {

uint16_t g16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t g32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint64_t g64(const uint8_t* p) { return uint64_t(g32(p)) | uint64_t(g32(p + 4)) << 32; }

struct Reader {
    std::ifstream in;
    uint64_t size = 0;
    bool read(uint64_t at, void* out, size_t n) {
        if (at + n > size) return false;
        in.seekg(static_cast<std::streamoff>(at));
        in.read(static_cast<char*>(out), static_cast<std::streamsize>(n));
        return bool(in);
    }
};

std::string hex(uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << v;
    return s.str();
}

}  // namespace

std::string NdbImage::report() const {
    std::string out;
    for (auto& p : problems) out += p + "\n";
    return out;
}

std::vector<uint8_t> NdbImage::rawBlock(uint64_t bid) {
    auto it = blocks.find(bid & ~kBidReservedBit);
    if (it == blocks.end()) return {};
    Reader r{std::ifstream(path, std::ios::binary), std::filesystem::file_size(path)};
    std::vector<uint8_t> b(it->second.cb);
    r.read(it->second.ib, b.data(), b.size());
    return b;
}

std::vector<uint8_t> NdbImage::read(uint64_t bid) {
    std::vector<uint8_t> b = rawBlock(bid);
    if (!(bid & kBidInternalBit)) {
        if (crypt == kCryptPermute) permuteDecode(b);
        return b;
    }
    std::vector<uint8_t> out;
    if (b.size() < 8 || b[0] != kBtypeDataTree) return out;
    for (size_t i = 0; i < g16(&b[2]); ++i) {
        auto part = read(g64(&b[8 + 8 * i]));
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

int NdbImage::treeLevel(uint64_t bid) {
    if (!(bid & kBidInternalBit)) return 0;
    auto b = rawBlock(bid);
    return b.size() >= 2 ? b[1] : -1;
}

std::vector<SubnodeRecord> NdbImage::subnodes(uint64_t bid) {
    std::vector<SubnodeRecord> out;
    auto b = rawBlock(bid);
    if (b.size() < 8 || b[0] != kBtypeSubnode) return out;
    for (size_t i = 0; i < g16(&b[2]); ++i) {
        if (b[1] == 0) {
            const uint8_t* e = &b[8 + 24 * i];
            out.push_back({g64(e), g64(e + 8), g64(e + 16)});
        } else {
            auto sub = subnodes(g64(&b[8 + 16 * i + 8]));
            out.insert(out.end(), sub.begin(), sub.end());
        }
    }
    return out;
}

NdbImage loadNdb(const std::filesystem::path& path, Expect expect) {
    const bool exactAMaps = expect == Expect::Clean;
    NdbImage img;
    img.path = path;
    auto problem = [&](std::string s) { img.problems.push_back(std::move(s)); };
    Reader r{std::ifstream(path, std::ios::binary), 0};
    std::error_code ec;
    r.size = std::filesystem::file_size(path, ec);
    uint8_t h[kHeaderSize];
    if (ec || !r.read(0, h, sizeof h)) {
        problem("cannot read the HEADER");
        return img;
    }
    if (g32(h) != kHeaderMagic || g16(h + kHdrMagicClient) != kHeaderMagicClient) problem("bad magic");
    if (g16(h + kHdrVer) < kVersionUnicodeMin) problem("not a Unicode file");
    if (g32(h + kHdrCrcPartial) != crc32({h + kHdrCrcStart, kHdrCrcPartialLength})) problem("dwCRCPartial wrong");
    if (g32(h + kHdrCrcFull) != crc32({h + kHdrCrcStart, kHdrCrcFullLength})) problem("dwCRCFull wrong");
    if (h[kHdrSentinel] != kSentinel) problem("bSentinel wrong");
    img.crypt = h[kHdrCryptMethod];
    img.bidNextB = g64(h + kHdrBidNextB);
    img.bidNextP = g64(h + kHdrBidNextP);
    for (int i = 0; i < 32; ++i) img.rgnid[i] = g32(h + kHdrRgnid + 4 * i);
    const uint8_t* root = h + kHdrRoot;
    img.fileEof = g64(root + kRootFileEof);
    const uint64_t amapLast = g64(root + kRootAMapLast);
    const uint64_t amapFree = g64(root + kRootAMapFree);
    img.amapValid = root[kRootAMapValid];
    if (img.amapValid != kAMapValid2) problem("fAMapValid is not VALID_AMAP2");
    if (r.size < img.fileEof) problem("file shorter than ibFileEof");
    if (img.fileEof < kFirstAMapOffset || (img.fileEof - kFirstAMapOffset) % kAMapCoverage)
        problem("ibFileEof not at a section boundary");
    if (img.fileEof <= kFirstAMapOffset || img.fileEof > r.size) return img;
    const uint64_t sections = (img.fileEof - kFirstAMapOffset) / kAMapCoverage;
    if (sections == 0 || amapLast != amapOffset(sections - 1)) problem("ibAMapLast wrong");

    // Allocation maps.
    std::vector<std::vector<uint8_t>> amap(sections);
    std::vector<std::vector<uint8_t>> reached(sections, std::vector<uint8_t>(496, 0));
    auto mark = [&](uint64_t ib, uint64_t size, const std::string& what) {
        if (ib < kFirstAMapOffset || ib + size > img.fileEof) {
            problem(what + " outside the file at " + hex(ib));
            return;
        }
        uint64_t rel = ib - kFirstAMapOffset;
        uint64_t s = rel / kAMapCoverage, from = rel % kAMapCoverage / 64;
        if (from + size / 64 > 496 * 8) problem(what + " crosses a section");
        for (uint64_t i = from; i < from + size / 64 && i < 496 * 8; ++i) {
            uint8_t bit = uint8_t(0x80 >> (i & 7));
            if (reached[s][i >> 3] & bit) problem(what + " overlaps other data at " + hex(ib));
            reached[s][i >> 3] |= bit;
            if (!amap[s].empty() && !(amap[s][i >> 3] & bit)) {
                problem(what + " at " + hex(ib) + " not allocated in its AMap");
                break;
            }
        }
    };
    auto checkMapPage = [&](uint64_t ib, uint8_t ptype, std::vector<uint8_t>* keep) {
        uint8_t p[kPageSize];
        if (!r.read(ib, p, sizeof p)) return problem("map page missing at " + hex(ib));
        const uint8_t* t = p + kPageDataSize;
        if (t[0] != ptype || t[1] != ptype) problem("map page type wrong at " + hex(ib));
        if (g64(t + 8) != ib) problem("map page bid wrong at " + hex(ib));
        if (g32(t + 4) != crc32({p, kPageDataSize})) problem("map page CRC wrong at " + hex(ib));
        if (keep) keep->assign(p, p + kPageDataSize);
    };
    uint64_t freeSlots = 0;
    for (uint64_t s = 0; s < sections; ++s) {
        checkMapPage(amapOffset(s), kPtypeAMap, &amap[s]);
        for (uint8_t byte : amap[s]) freeSlots += 8 - __builtin_popcount(byte);
    }
    for (uint64_t s = 0; s < sections; ++s) {
        mark(amapOffset(s), kPageSize, "AMap");
        if (hasPMap(s)) { checkMapPage(pmapOffset(s), kPtypePMap, nullptr); mark(pmapOffset(s), kPageSize, "PMap"); }
        if (hasFMap(s)) { checkMapPage(fmapOffset(s), kPtypeFMap, nullptr); mark(fmapOffset(s), kPageSize, "FMap"); }
        if (hasFPMap(s)) { checkMapPage(fpmapOffset(s), kPtypeFPMap, nullptr); mark(fpmapOffset(s), kPageSize, "FPMap"); }
    }
    if (expect == Expect::Clean && freeSlots * 64 != amapFree) problem("cbAMapFree " + std::to_string(amapFree) + " but AMaps free " + std::to_string(freeSlots * 64));

    // B-trees.
    std::function<void(uint64_t, uint64_t, uint8_t, int, uint64_t, unsigned&)> walk =
        [&](uint64_t bid, uint64_t ib, uint8_t ptype, int level, uint64_t minKey, unsigned& levels) {
            uint8_t p[kPageSize];
            if (!r.read(ib, p, sizeof p)) return problem("BT page missing at " + hex(ib));
            mark(ib, kPageSize, "BT page");
            const uint8_t* t = p + kPageDataSize;
            if (t[0] != ptype || t[1] != ptype) return problem("BT page type wrong at " + hex(ib));
            if (g64(t + 8) != bid) problem("BT page bid wrong at " + hex(ib));
            if (g16(t + 2) != computeSig(ib, bid)) problem("BT page signature wrong at " + hex(ib));
            if (g32(t + 4) != crc32({p, kPageDataSize})) problem("BT page CRC wrong at " + hex(ib));
            const unsigned cEnt = p[kBtCEnt], cbEnt = p[kBtCbEnt], cLevel = p[kBtCLevel];
            if (level >= 0 && int(cLevel) != level) problem("BT page level wrong at " + hex(ib));
            if (level < 0) levels = cLevel + 1;
            const size_t want = cLevel ? kBtEntrySize : ptype == kPtypeNBT ? kNbtEntrySize : kBbtEntrySize;
            if (cbEnt != want || p[kBtCEntMax] != kBtEntriesSize / want || cEnt > kBtEntriesSize / want)
                return problem("BT page entry sizes wrong at " + hex(ib));
            uint64_t prev = 0;
            for (unsigned i = 0; i < cEnt; ++i) {
                const uint8_t* e = p + i * cbEnt;
                uint64_t key = g64(e);
                if ((i && key <= prev) || key < minKey) problem("BT keys out of order at " + hex(ib));
                prev = key;
                if (cLevel) {
                    walk(g64(e + 8), g64(e + 16), ptype, int(cLevel) - 1, key, levels);
                } else if (ptype == kPtypeNBT) {
                    img.nodes[uint32_t(key)] = {g64(e + 8), g64(e + 16), g32(e + 24)};
                } else {
                    img.blocks[key] = {g64(e + 8), g16(e + 16), g16(e + 18)};
                }
            }
        };
    walk(g64(root + kRootBrefNbt), g64(root + kRootBrefNbt + 8), kPtypeNBT, -1, 0, img.nbtLevels);
    walk(g64(root + kRootBrefBbt), g64(root + kRootBrefBbt + 8), kPtypeBBT, -1, 0, img.bbtLevels);

    // Blocks and reference counts.
    std::map<uint64_t, unsigned> refs;
    auto ref = [&](uint64_t bid, const std::string& from) {
        if (!img.blocks.count(bid)) problem(from + " points at missing block " + hex(bid));
        ++refs[bid];
    };
    for (auto& [nid, n] : img.nodes) {
        if (n.data) ref(n.data, "node " + hex(nid));
        if (n.subnode) ref(n.subnode, "node " + hex(nid));
    }
    for (auto& [bid, b] : img.blocks) {
        const uint64_t size = blockSizeOnDisk(b.cb);
        mark(b.ib, size, "block " + hex(bid));
        std::vector<uint8_t> d(size);
        if (!r.read(b.ib, d.data(), size)) { problem("block beyond the file " + hex(bid)); continue; }
        const uint8_t* t = d.data() + size - kBlockTrailerSize;
        if (g16(t) != b.cb) problem("block cb differs from BBT " + hex(bid));
        if (g16(t + 2) != computeSig(b.ib, bid)) problem("block signature wrong " + hex(bid));
        if (g32(t + 4) != crc32({d.data(), b.cb})) problem("block CRC wrong " + hex(bid));
        if (g64(t + 8) != bid) problem("block trailer bid wrong " + hex(bid));
        if (bid >= img.bidNextB) problem("block bid not below bidNextB " + hex(bid));
        if (!(bid & kBidInternalBit)) continue;
        const uint8_t btype = d[0], level = d[1];
        const uint16_t n = g16(&d[2]);
        if (btype == kBtypeDataTree && (level == 1 || level == 2) && 8 + 8u * n <= b.cb) {
            uint64_t total = 0;
            for (unsigned i = 0; i < n; ++i) {
                uint64_t child = g64(&d[8 + 8 * i]);
                ref(child, "data tree " + hex(bid));
                auto c = img.blocks.find(child);
                if (c == img.blocks.end()) continue;
                if (level == 1) {
                    if (child & kBidInternalBit) problem("XBLOCK child is internal " + hex(bid));
                    total += c->second.cb;
                } else {
                    std::vector<uint8_t> x(8);
                    r.read(c->second.ib, x.data(), 8);
                    if (x[0] != kBtypeDataTree || x[1] != 1) problem("XXBLOCK child is no XBLOCK " + hex(bid));
                    total += g32(&x[4]);
                }
            }
            if (total != g32(&d[4])) problem("lcbTotal wrong in " + hex(bid));
        } else if (btype == kBtypeSubnode && level == 0 && 8 + 24u * n <= b.cb && n > 0) {
            for (unsigned i = 0; i < n; ++i) {
                const uint8_t* e = &d[8 + 24 * i];
                if (i && g32(e) <= g32(e - 24)) problem("SLBLOCK out of order " + hex(bid));
                ref(g64(e + 8), "SLBLOCK " + hex(bid));
                if (g64(e + 16)) ref(g64(e + 16), "SLBLOCK " + hex(bid));
            }
        } else if (btype == kBtypeSubnode && level == 1 && 8 + 16u * n <= b.cb && n > 0) {
            for (unsigned i = 0; i < n; ++i) ref(g64(&d[8 + 16 * i + 8]), "SIBLOCK " + hex(bid));
        } else {
            problem("internal block of unknown form " + hex(bid));
        }
    }
    for (auto& [bid, b] : img.blocks) {
        unsigned want = 1 + refs[bid];
        if (b.cRef != want)
            problem("cRef of " + hex(bid) + " is " + std::to_string(b.cRef) + ", references say " + std::to_string(want));
    }
    // Space marked in use that nothing reaches.
    for (uint64_t s = 0; s < sections; ++s) {
        if (amap[s].empty()) continue;
        for (size_t i = 0; i < 496; ++i) img.leakedBytes += 64 * __builtin_popcount(amap[s][i] & ~reached[s][i]);
    }
    if (exactAMaps && img.leakedBytes) problem(std::to_string(img.leakedBytes) + " bytes allocated but unreached");
    return img;
}

}  // namespace ndbtest
