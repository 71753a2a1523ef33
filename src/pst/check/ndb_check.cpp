// The NDB pass: HEADER, allocation maps, B-trees, blocks, reference counts.

#include <algorithm>
#include <optional>
#include <set>

#include "pst/check/checker.h"
#include "pst/format/constants.h"
#include "pst/format/nid.h"
#include "pst/format/crc.h"
#include "pst/format/signature.h"
#include "pst/read/bytes.h"

namespace pst::check {

namespace fmt = pst::format;
using read::hex;

namespace {

// What an internal block holds, for the tree checks.
struct InternalBlock {
    uint8_t btype = 0;
    uint8_t level = 0;
    uint32_t lcbTotal = 0;
    std::vector<uint64_t> children;                    // XBLOCK/XXBLOCK rgbid, SIBLOCK bids
    std::vector<read::SubnodeLeaf> leaves;             // SLBLOCK entries
    std::vector<uint32_t> keys;                        // SIENTRY / SLENTRY nids
};

class NdbPass {
public:
    explicit NdbPass(Checker& c) : c_(c), fileSize_(c.ndb.file().size()) {}

    void run() {
        checkHeader();
        units_.assign(static_cast<size_t>((fileSize_ + 63) / 64), false);
        checkMapPages();
        checkDList();
        bool nbtOk = walkTree(fmt::kPtypeNBT);
        bool bbtOk = walkTree(fmt::kPtypeBBT);
        c_.btreesReadable = nbtOk && bbtOk;
        checkBlocks();
        checkReferences();
        checkCounters();
        checkAMapBits();
        auto& s = c_.report.summary;
        s.nodes = c_.nodes.size();
        s.blocks = c_.blocks.size();
    }

private:
    // --- HEADER --------------------------------------------------------------
    void checkHeader() {
        auto& h = c_.header;
        auto& s = c_.report.summary;
        s.fileSize = fileSize_;
        s.unicode = h.unicode;
        s.version = h.ver;
        s.cryptMethod = h.cryptMethod;
        const std::string w = "HEADER";
        if (h.magicClient != fmt::kHeaderMagicClient) c_.defect(w, "wMagicClient is " + hex(h.magicClient));
        if (h.platformCreate != fmt::kPlatform || h.platformAccess != fmt::kPlatform) c_.defect(w, "bPlatformCreate/bPlatformAccess are not 0x01");
        if (h.crcPartial != h.crcPartialComputed) c_.defect(w, "dwCRCPartial " + hex(h.crcPartial) + " should be " + hex(h.crcPartialComputed));
        if (h.unicode && h.crcFull != h.crcFullComputed) c_.defect(w, "dwCRCFull " + hex(h.crcFull) + " should be " + hex(h.crcFullComputed));
        if (h.sentinel != fmt::kSentinel) c_.defect(w, "bSentinel is " + hex(h.sentinel));
        if (h.cryptMethod != fmt::kCryptNone && h.cryptMethod != fmt::kCryptPermute && h.cryptMethod != fmt::kCryptCyclic)
            c_.defect(w, "bCryptMethod " + hex(h.cryptMethod) + " is not one this checker can read");
        if (!h.rgbFmAllFF) c_.tolerated(w, "rgbFM is not filled with 0xFF");
        if (!h.rgbFpAllFF) c_.tolerated(w, "rgbFP is not filled with 0xFF");
        // Growing the file and writing the HEADER are two writes: a writer stopped
        // between them leaves unused space past ibFileEof, which loses nothing.
        if (h.fileEof > fileSize_)
            c_.defect("ROOT", "ibFileEof is " + std::to_string(h.fileEof) + " but the file has only " + std::to_string(fileSize_) + " bytes");
        else if (h.fileEof < fileSize_)
            c_.tolerated("ROOT", "the file has " + std::to_string(fileSize_ - h.fileEof) + " unused bytes past ibFileEof");
        if (h.amapValid != fmt::kAMapValid2 && h.amapValid != fmt::kAMapValid1) c_.defect("ROOT", "fAMapValid is " + hex(h.amapValid) + ": the AMaps are marked invalid");
        if (h.pmapFree != 0) c_.note("ROOT.cbPMapFree is " + std::to_string(h.pmapFree) + " (deprecated, normally 0)");

        end_ = std::min(h.fileEof, fileSize_);
        if (end_ <= fmt::kFirstAMapOffset) {
            c_.defect("ROOT", "the file ends before the first AMap");
            amaps_ = 0;
            return;
        }
        amaps_ = (end_ - fmt::kFirstAMapOffset + fmt::kAMapCoverage - 1) / fmt::kAMapCoverage;
        if ((end_ - fmt::kFirstAMapOffset) % fmt::kAMapCoverage != 0)
            c_.defect("ROOT", "the file size is not the first AMap offset plus whole AMap sections");
        if (h.amapLast != fmt::amapOffset(amaps_ - 1))
            c_.defect("ROOT", "ibAMapLast is " + hex(h.amapLast) + ", the last AMap is at " + hex(fmt::amapOffset(amaps_ - 1)));
    }

    // --- space accounting ----------------------------------------------------
    // Marks [ib, ib+size) as reached; reports what lies outside the data
    // sections or overlaps something already reached.
    bool claim(uint64_t ib, uint64_t size, const std::string& what) {
        if (ib < fmt::kFirstAMapOffset || ib + size > end_ || ib + size < ib) {
            c_.defect(what, "at " + hex(ib) + " (+" + std::to_string(size) + ") lies outside the file's data sections");
            return false;
        }
        bool overlap = false;
        for (uint64_t u = ib / 64; u < (ib + size + 63) / 64; ++u) {
            if (units_[u]) overlap = true;
            units_[u] = true;
        }
        if (overlap) c_.defect(what, "at " + hex(ib) + " overlaps another page or block");
        return !overlap;
    }

    // --- map pages -----------------------------------------------------------
    std::optional<std::vector<uint8_t>> checkPage(uint64_t ib, uint8_t ptype, const std::string& what, bool mapPage) {
        if (ib + fmt::kPageSize > fileSize_) {
            c_.defect(what, "page at " + hex(ib) + " lies past the end of the file");
            return std::nullopt;
        }
        auto page = c_.ndb.readPage(ib);
        auto t = read::parsePageTrailer(page, c_.layout);
        bool ok = true;
        if (t.ptype != ptype || t.ptypeRepeat != ptype) {
            c_.defect(what, "page at " + hex(ib) + " has ptype " + hex(t.ptype) + "/" + hex(t.ptypeRepeat) + ", expected " + hex(ptype));
            ok = false;
        }
        if (t.crc != read::pageCrc(page, c_.layout)) {
            c_.defect(what, "page at " + hex(ib) + " fails its CRC");
            ok = false;
        }
        if (mapPage) {
            if (t.sig != 0) c_.defect(what, "page at " + hex(ib) + " has signature " + hex(t.sig) + ", expected 0");
            if (t.bid != ib) c_.defect(what, "page at " + hex(ib) + " has bid " + hex(t.bid) + ", expected its own offset");
        }
        if (!ok) return std::nullopt;
        return page;
    }

    void checkMapPages() {
        auto& s = c_.report.summary;
        amapBits_.assign(amaps_, {});
        for (uint64_t i = 0; i < amaps_; ++i) {
            uint64_t ib = fmt::amapOffset(i);
            if (auto page = checkPage(ib, fmt::kPtypeAMap, "AMap " + std::to_string(i), true)) {
                size_t off = c_.layout.unicode ? 0 : 4;  // ANSI has dwPadding first
                amapBits_[i].assign(page->begin() + off, page->begin() + off + fmt::kPageDataSize);
            }
            claim(ib, fmt::kPageSize, "AMap " + std::to_string(i));
            ++s.amapPages;
            if (fmt::hasPMap(i)) {
                checkPage(fmt::pmapOffset(i), fmt::kPtypePMap, "PMap at AMap " + std::to_string(i), true);
                claim(fmt::pmapOffset(i), fmt::kPageSize, "PMap");
                ++s.pmapPages;
            }
            if (fmt::hasFMap(i)) {
                checkPage(fmt::fmapOffset(i), fmt::kPtypeFMap, "FMap at AMap " + std::to_string(i), true);
                claim(fmt::fmapOffset(i), fmt::kPageSize, "FMap");
                ++s.fmapPages;
            }
            if (c_.layout.unicode && fmt::hasFPMap(i)) {
                checkPage(fmt::fpmapOffset(i), fmt::kPtypeFPMap, "FPMap at AMap " + std::to_string(i), true);
                claim(fmt::fpmapOffset(i), fmt::kPageSize, "FPMap");
                ++s.fpmapPages;
            }
        }
    }

    void checkDList() {
        if (fileSize_ < fmt::kDListOffset + fmt::kPageSize) return;
        auto page = c_.ndb.readPage(fmt::kDListOffset);
        auto t = read::parsePageTrailer(page, c_.layout);
        if (t.ptype != fmt::kPtypeDL) return;  // optional
        if (t.ptypeRepeat != fmt::kPtypeDL || t.crc != read::pageCrc(page, c_.layout)) {
            c_.note("the density list at 0x4200 is not valid and would be rebuilt (allowed)");
            return;
        }
        c_.report.summary.dlistPresent = true;
        if (t.sig != fmt::computeSig(fmt::kDListOffset, t.bid)) c_.defect("DList", "signature does not match its offset and bid");
        unsigned n = page[1];
        size_t max = c_.layout.unicode ? 476 / 4 : 480 / 4;
        if (n > max) {
            c_.defect("DList", "cEntDList " + std::to_string(n) + " exceeds the page");
            return;
        }
        for (unsigned i = 0; i < n; ++i) {
            uint32_t e = read::u32(page, 8 + 4 * i);
            uint32_t pageNum = e & 0xFFFFF;
            if (pageNum >= amaps_) c_.defect("DList", "entry " + std::to_string(i) + " names AMap " + std::to_string(pageNum) + " of " + std::to_string(amaps_));
        }
    }

    // --- B-trees -------------------------------------------------------------
    bool walkTree(uint8_t ptype) {
        const auto& root = ptype == fmt::kPtypeNBT ? c_.header.nbt : c_.header.bbt;
        std::string name = ptype == fmt::kPtypeNBT ? "NBT" : "BBT";
        bool ok = true;
        walkPage(ptype, name, root, -1, std::nullopt, std::nullopt, 0, ok);
        return ok;
    }

    void walkPage(uint8_t ptype, const std::string& tree, read::Bref ref, int expectedLevel,
                  std::optional<uint64_t> firstKey, std::optional<uint64_t> limit, int depth, bool& ok) {
        std::string what = tree + " page " + hex(ref.bid);
        auto fail = [&](const std::string& msg) {
            c_.defect(what, msg);
            ok = false;
        };
        if (depth > fmt::kBtMaxLevel) return fail("B-tree is deeper than " + std::to_string(fmt::kBtMaxLevel) + " levels");
        if (ref.ib % fmt::kPageSize != 0) return fail("at " + hex(ref.ib) + " is not aligned to 512 bytes");
        if (!pagesSeen_.insert(ref.ib).second) return fail("at " + hex(ref.ib) + " is referenced twice");
        if (ref.ib < fmt::kFirstAMapOffset || ref.ib + fmt::kPageSize > end_) return fail("at " + hex(ref.ib) + " lies outside the file");
        auto page = c_.ndb.readPage(ref.ib);
        auto t = read::parsePageTrailer(page, c_.layout);
        claim(ref.ib, fmt::kPageSize, what);
        if (t.ptype != ptype || t.ptypeRepeat != ptype) return fail("ptype is " + hex(t.ptype) + "/" + hex(t.ptypeRepeat));
        if (t.crc != read::pageCrc(page, c_.layout)) return fail("fails its CRC");
        if (t.bid != ref.bid) fail("trailer bid " + hex(t.bid) + " differs from the reference");
        if (t.sig != fmt::computeSig(ref.ib, ref.bid)) fail("signature " + hex(t.sig) + " should be " + hex(fmt::computeSig(ref.ib, ref.bid)));
        maxPageBid_ = std::max(maxPageBid_, t.bid);
        read::BtPage p;
        try {
            p = read::parseBtPage(page, ptype, c_.layout);
        } catch (const read::ReadError& e) {
            return fail(e.what());
        }
        auto& s = c_.report.summary;
        (ptype == fmt::kPtypeNBT ? s.nbtPages : s.bbtPages)++;
        if (expectedLevel < 0) {
            (ptype == fmt::kPtypeNBT ? s.nbtLevels : s.bbtLevels) = p.cLevel + 1u;
            if (p.cLevel > fmt::kBtMaxLevel) return fail("root level " + std::to_string(p.cLevel) + " is above the limit");
        } else if (p.cLevel != expectedLevel) {
            return fail("cLevel is " + std::to_string(p.cLevel) + ", its parent expects " + std::to_string(expectedLevel));
        }
        size_t natural = p.cLevel > 0 ? c_.layout.btEntrySize() : ptype == fmt::kPtypeNBT ? c_.layout.nbtEntrySize() : c_.layout.bbtEntrySize();
        if (p.cbEnt != natural) c_.note(what + ": cbEnt " + std::to_string(p.cbEnt) + " (entries are " + std::to_string(natural) + " bytes)");
        if (p.cEnt > p.cEntMax) fail("cEnt " + std::to_string(p.cEnt) + " exceeds cEntMax " + std::to_string(p.cEntMax));
        if (size_t(p.cEntMax) * p.cbEnt > c_.layout.btEntriesSize()) fail("cEntMax " + std::to_string(p.cEntMax) + " entries do not fit the page");
        if (p.cEnt == 0 && (expectedLevel >= 0 || p.cLevel > 0)) fail("has no entries");
        for (size_t i = 0; i < p.size(); ++i) {
            uint64_t k = p.key(i);
            if (i > 0 && k <= p.key(i - 1)) fail("keys are not in ascending order at " + hex(k) + (k == p.key(i - 1) ? " (duplicate)" : ""));
            if (limit && k >= *limit) fail("key " + hex(k) + " is not below the next key of the parent page " + hex(*limit));
        }
        if (firstKey && p.size() > 0 && p.key(0) != *firstKey)
            fail("first key " + hex(p.key(0)) + " differs from the parent entry's key " + hex(*firstKey));
        if (p.cLevel > 0) {
            for (size_t i = 0; i < p.index.size(); ++i) {
                std::optional<uint64_t> next = i + 1 < p.index.size() ? std::optional(p.index[i + 1].key) : limit;
                walkPage(ptype, tree, p.index[i].child, p.cLevel - 1, p.index[i].key, next, depth + 1, ok);
            }
        } else if (ptype == fmt::kPtypeNBT) {
            for (auto& n : p.nodes) {
                if (n.nid > 0xFFFFFFFFull) fail("node key " + hex(n.nid) + " is wider than a NID");
                if (!c_.nodes.emplace(static_cast<uint32_t>(n.nid), n).second) fail("node " + hex(n.nid) + " appears twice");
            }
        } else {
            for (auto& b : p.blocks) {
                if (b.bref.bid & fmt::kBidReservedBit) fail("block " + hex(b.bref.bid) + " has the reserved bid bit set");
                if (!c_.blocks.emplace(read::bidKey(b.bref.bid), b).second) fail("block " + hex(b.bref.bid) + " appears twice");
            }
        }
    }

    // --- blocks --------------------------------------------------------------
    void checkBlocks() {
        std::vector<uint64_t> bids;
        for (auto& [bid, e] : c_.blocks) bids.push_back(bid);
        std::sort(bids.begin(), bids.end());
        auto& s = c_.report.summary;
        for (uint64_t bid : bids) {
            auto& e = c_.blocks[bid];
            std::string what = "block " + hex(bid);
            s.blockBytes += e.cb;
            maxBlockBid_ = std::max(maxBlockBid_, bid);
            size_t size = fmt::blockSizeOnDisk(e.cb, c_.layout.blockTrailer());
            if (e.cb > c_.layout.maxBlockData()) {
                c_.defect(what, "cb " + std::to_string(e.cb) + " exceeds the largest block");
                continue;
            }
            if (e.bref.ib % fmt::kBlockAlign != 0) {
                c_.defect(what, "at " + hex(e.bref.ib) + " is not aligned to 64 bytes");
                continue;
            }
            if (!claim(e.bref.ib, size, what) && (e.bref.ib < fmt::kFirstAMapOffset || e.bref.ib + size > end_)) continue;
            auto raw = c_.ndb.file().read(e.bref.ib, size);
            auto t = read::parseBlockTrailer(raw, c_.layout);
            if (t.cb != e.cb) c_.defect(what, "trailer cb " + std::to_string(t.cb) + " differs from the BBT's " + std::to_string(e.cb));
            if (read::bidKey(t.bid) != bid) c_.defect(what, "trailer carries bid " + hex(t.bid));
            if (t.sig != fmt::computeSig(e.bref.ib, t.bid)) c_.defect(what, "signature " + hex(t.sig) + " should be " + hex(fmt::computeSig(e.bref.ib, t.bid)));
            raw.resize(e.cb);
            if (fmt::crc32(raw) != t.crc) {
                c_.defect(what, "fails its CRC");
                continue;
            }
            if (read::bidInternal(bid)) parseInternal(bid, raw);
        }
    }

    void parseInternal(uint64_t bid, const std::vector<uint8_t>& d) {
        std::string what = "internal block " + hex(bid);
        InternalBlock b;
        if (d.size() < 4) return c_.defect(what, "is too short");
        b.btype = d[0];
        b.level = d[1];
        size_t cEnt = read::u16(d, 2);
        size_t w = c_.layout.bidSize();
        if (b.btype == fmt::kBtypeDataTree) {
            if (b.level != 1 && b.level != 2) return c_.defect(what, "data tree level " + std::to_string(b.level));
            if (d.size() < 8 || d.size() != 8 + cEnt * w) return c_.defect(what, "size " + std::to_string(d.size()) + " does not match its " + std::to_string(cEnt) + " entries");
            if (cEnt == 0) c_.defect(what, "data tree block has no entries");
            b.lcbTotal = read::u32(d, 4);
            for (size_t i = 0; i < cEnt; ++i) b.children.push_back(read::uid(d, 8 + i * w, c_.layout.unicode));
        } else if (b.btype == fmt::kBtypeSubnode) {
            size_t h = c_.layout.sblockHeader();
            size_t es = b.level == 0 ? c_.layout.slEntrySize() : c_.layout.siEntrySize();
            if (b.level > 1) return c_.defect(what, "subnode block level " + std::to_string(b.level));
            if (d.size() != h + cEnt * es) return c_.defect(what, "size " + std::to_string(d.size()) + " does not match its " + std::to_string(cEnt) + " entries");
            if (cEnt == 0) c_.defect(what, "subnode block has no entries");
            for (size_t i = 0; i < cEnt; ++i) {
                size_t o = h + i * es;
                uint64_t nid = read::uid(d, o, c_.layout.unicode);
                if (nid > 0xFFFFFFFFull) widePadding_ = true;  // Outlook leaves junk in the upper half
                if (!b.keys.empty() && uint32_t(nid) <= b.keys.back()) c_.defect(what, "subnode keys are not in ascending order at " + hex(nid));
                b.keys.push_back(static_cast<uint32_t>(nid));
                if (b.level == 0)
                    b.leaves.push_back({static_cast<uint32_t>(nid), read::uid(d, o + w, c_.layout.unicode), read::uid(d, o + 2 * w, c_.layout.unicode)});
                else
                    b.children.push_back(read::uid(d, o + w, c_.layout.unicode));
            }
        } else {
            return c_.defect(what, "has unknown btype " + hex(b.btype));
        }
        internal_[bid] = std::move(b);
    }

    // --- references ----------------------------------------------------------
    enum class Want { Data, DataLeaf, XBlock, Subnode, SlBlock };

    const InternalBlock* internal(uint64_t bid) {
        auto it = internal_.find(read::bidKey(bid));
        return it == internal_.end() ? nullptr : &it->second;
    }

    void reference(uint64_t bid, Want want, const std::string& from) {
        uint64_t key = read::bidKey(bid);
        auto it = c_.blocks.find(key);
        if (it == c_.blocks.end()) return c_.defect(from, "references block " + hex(bid) + ", which is not in the BBT");
        ++refs_[key];
        bool isInternal = read::bidInternal(bid);
        auto ib = internal(bid);
        switch (want) {
            case Want::DataLeaf:
                if (isInternal) c_.defect(from, "references internal block " + hex(bid) + " where a data block belongs");
                break;
            case Want::Data:
                if (isInternal && ib && ib->btype != fmt::kBtypeDataTree) c_.defect(from, "references subnode block " + hex(bid) + " as data");
                break;
            case Want::XBlock:
                if (!isInternal || (ib && (ib->btype != fmt::kBtypeDataTree || ib->level != 1)))
                    c_.defect(from, "references " + hex(bid) + ", which is not an XBLOCK");
                break;
            case Want::Subnode:
                if (!isInternal || (ib && ib->btype != fmt::kBtypeSubnode)) c_.defect(from, "references " + hex(bid) + " as a subnode tree, which it is not");
                break;
            case Want::SlBlock:
                if (!isInternal || (ib && (ib->btype != fmt::kBtypeSubnode || ib->level != 0)))
                    c_.defect(from, "references " + hex(bid) + ", which is not an SLBLOCK");
                break;
        }
    }

    uint64_t dataSize(uint64_t bid) {
        if (!read::bidInternal(bid)) {
            auto it = c_.blocks.find(read::bidKey(bid));
            return it == c_.blocks.end() ? 0 : it->second.cb;
        }
        auto b = internal(bid);
        return b ? b->lcbTotal : 0;
    }

    void checkReferences() {
        for (auto& [nid, n] : c_.nodes) {
            std::string from = "node " + hex(nid);
            if (n.bidData != 0) reference(n.bidData, Want::Data, from);
            if (n.bidSub != 0) reference(n.bidSub, Want::Subnode, from);
        }
        for (auto& [bid, b] : internal_) {
            std::string from = "internal block " + hex(bid);
            if (b.btype == fmt::kBtypeDataTree) {
                uint64_t total = 0;
                for (auto child : b.children) {
                    reference(child, b.level == 1 ? Want::DataLeaf : Want::XBlock, from);
                    total += dataSize(child);
                }
                if (total != b.lcbTotal) c_.defect(from, "lcbTotal " + std::to_string(b.lcbTotal) + " but its blocks hold " + std::to_string(total) + " bytes");
            } else if (b.level == 0) {
                for (auto& l : b.leaves) {
                    if (l.bidData != 0) reference(l.bidData, Want::Data, from + " subnode " + hex(l.nid));
                    else c_.defect(from, "subnode " + hex(l.nid) + " has no data block");
                    if (l.bidSub != 0) reference(l.bidSub, Want::Subnode, from + " subnode " + hex(l.nid));
                }
            } else {
                for (size_t i = 0; i < b.children.size(); ++i) {
                    reference(b.children[i], Want::SlBlock, from);
                    auto child = internal(b.children[i]);
                    if (child && !child->keys.empty() && child->keys.front() != b.keys[i])
                        c_.defect(from, "entry key " + hex(b.keys[i]) + " differs from the first key " + hex(child->keys.front()) + " of its SLBLOCK");
                    if (child && i + 1 < b.keys.size() && !child->keys.empty() && child->keys.back() >= b.keys[i + 1])
                        c_.defect(from, "SLBLOCK " + hex(b.children[i]) + " holds keys beyond the next entry's key");
                }
            }
        }
        size_t unreferenced = 0;
        for (auto& [bid, e] : c_.blocks) {
            auto it = refs_.find(bid);
            unsigned count = it == refs_.end() ? 0 : it->second;
            if (count == 0) ++unreferenced;
            if (e.cRef != count + 1)
                c_.defect("block " + hex(bid), "cRef is " + std::to_string(e.cRef) + ", but the BBT and " + std::to_string(count) + " reference(s) make " + std::to_string(count + 1));
        }
        if (widePadding_) c_.note("some subnode entries carry nonzero upper halves in their 8-byte NIDs");
        if (unreferenced) c_.note(std::to_string(unreferenced) + " block(s) in the BBT are referenced by nothing");
    }

    // --- counters --------------------------------------------------------------
    void checkCounters() {
        auto& h = c_.header;
        if (!c_.blocks.empty() && h.bidNextB <= maxBlockBid_)
            c_.defect("HEADER", "bidNextB " + hex(h.bidNextB) + " is not above the largest block id " + hex(maxBlockBid_));
        if (maxPageBid_ != 0 && h.bidNextP <= maxPageBid_)
            c_.defect("HEADER", "bidNextP " + hex(h.bidNextP) + " is not above the largest page id " + hex(maxPageBid_));
        for (auto& [nid, n] : c_.nodes) {
            uint32_t type = fmt::nidType(nid);
            if (type == fmt::NID_TYPE_INTERNAL) continue;  // fixed ids, not counted
            if (fmt::nidIndex(nid) > h.rgnid[type])
                c_.defect("HEADER", "rgnid[" + hex(type) + "] " + hex(h.rgnid[type]) + " is below node " + hex(nid) + " already in use");
        }
    }

    // --- AMap bits -------------------------------------------------------------
    void checkAMapBits() {
        auto& s = c_.report.summary;
        uint64_t freeUnits = 0;
        bool inRun = false;
        for (uint64_t i = 0; i < amaps_; ++i) {
            if (amapBits_[i].empty()) continue;  // page already reported
            uint64_t base = fmt::amapOffset(i);
            for (uint64_t bit = 0; bit < fmt::kPageDataSize * 8; ++bit) {
                uint64_t ib = base + bit * 64;
                if (ib >= end_) break;
                bool set = (amapBits_[i][bit / 8] >> (7 - bit % 8)) & 1;
                bool reached = units_[ib / 64];
                if (set) s.allocatedBytes += 64;
                else ++freeUnits;
                if (set && !reached) s.unreachedBytes += 64;
                if (reached && !set) {
                    if (!inRun) c_.defect("AMap " + std::to_string(i), "marks " + hex(ib) + " free, but a page or block lies there");
                    inRun = true;
                } else {
                    inRun = false;
                }
            }
        }
        if (c_.header.amapFree != freeUnits * 64)
            c_.tolerated("ROOT", "cbAMapFree is " + std::to_string(c_.header.amapFree) + ", the AMaps hold " + std::to_string(freeUnits * 64) + " free bytes");
        if (s.unreachedBytes) c_.note(std::to_string(s.unreachedBytes) + " bytes are allocated in the AMaps but reached by nothing");
    }

    Checker& c_;
    uint64_t fileSize_;
    uint64_t end_ = 0;
    uint64_t amaps_ = 0;
    std::vector<bool> units_;                    // one per 64 bytes: reached
    std::vector<std::vector<uint8_t>> amapBits_;
    std::set<uint64_t> pagesSeen_;
    std::unordered_map<uint64_t, InternalBlock> internal_;
    std::unordered_map<uint64_t, unsigned> refs_;
    uint64_t maxPageBid_ = 0;
    uint64_t maxBlockBid_ = 0;
    bool widePadding_ = false;
};

}  // namespace

void checkNdb(Checker& c) { NdbPass(c).run(); }

}  // namespace pst::check
