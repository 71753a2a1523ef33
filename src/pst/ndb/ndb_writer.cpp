// The append-mostly NDB writer. See ndb_writer.h for the contract and
// docs/ARCHITECTURE.md for how a commit keeps the file consistent.

#include "pst/ndb/ndb_writer.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "pst/ndb/block_index.h"
#include "pst/ndb/btree_writer.h"
#include "pst/ndb/disk_format.h"
#include "pst/ndb/node_index.h"
#include "pst/ndb/space_map.h"
#include "pst/ndb/write_behind_file.h"

namespace pst::ndb {

namespace {

using namespace format;

constexpr uint64_t kFirstBid = 4;
constexpr uint64_t kFirstPageBid = 1;
constexpr uint16_t kMaxRefCount = 0xFFFF;

// One BBT entry (BlockRecord). cRef counts the BBT's own reference plus one
// for every NBTENTRY, SLENTRY and XBLOCK slot that points at the block
// ([MS-PST] "Reference Counts"), counted only once the referring structure is
// itself reachable from a node. A block at 1 is written but not yet
// reachable: it stays out of the BBT and the AMaps until something live
// points at it. 0 marks a freed entry awaiting compaction.
using BlockEntry = BlockRecord;

uint32_t firstNidIndex(uint8_t type) {
    switch (type) {
        case NID_TYPE_SEARCH_FOLDER: return kFirstSearchFolderNidIndex;
        case NID_TYPE_NORMAL_MESSAGE: return kFirstMessageNidIndex;
        case NID_TYPE_ASSOC_MESSAGE: return kFirstAssocMessageNidIndex;
        default: return kFirstNidIndex;
    }
}

uint32_t sectionOf(uint64_t ib) { return static_cast<uint32_t>((ib - kFirstAMapOffset) / kAMapCoverage); }

NdbError invalid(const std::string& what) { return NdbError(NdbError::Kind::InvalidArgument, what); }

class Writer;

// Builds one data tree block by block: a single data block, an XBLOCK over
// up to 1021 blocks, or an XXBLOCK over XBLOCKs ([MS-PST] "Data Tree").
class TreeBuilder {
public:
    explicit TreeBuilder(Writer& w) : w_(w) {}
    void add(std::span<const uint8_t> block);
    void addExisting(Bid bid, size_t size);
    Bid finish();
    bool empty() const { return leaves_.empty() && xblocks_.empty(); }

private:
    void closeXBlock();
    Writer& w_;
    std::vector<Bid> leaves_;
    uint64_t leafBytes_ = 0;
    std::vector<Bid> xblocks_;
    uint64_t total_ = 0;
};

class Writer final : public NdbWriter {
public:
    Writer(const std::filesystem::path& path, CryptMethod crypt) : file_(path), crypt_(crypt) {
        for (uint8_t t = 0; t < 32; ++t) rgnid_[t] = firstNidIndex(t);
    }
    ~Writer() override {
        try {
            if (!closed_) file_.close();
        } catch (...) {
        }
        dropIfUnnamed();
    }

    // Named at the first commit() or close() (see NdbWriter::createStaged).
    void stage(std::filesystem::path finalPath, bool nextFreeName) {
        finalPath_ = std::move(finalPath);
        nextFreeName_ = nextFreeName;
        staged_ = true;
    }

    std::filesystem::path path() const override { return file_.path(); }

    void initialize() {
        guarded([&] {
            // Reserved area between the HEADER and the DList, the DList, then
            // section 0 comes with the first allocation.
            std::vector<uint8_t> zeros(kDListOffset, 0);
            file_.write(0, zeros);
            file_.write(kDListOffset, dlistPage(bidNextP_++));
            treesDirty_ = true;
            commitNow();
        });
    }

    Bid writeData(std::span<const uint8_t> data) override {
        return guarded([&] {
            if (data.size() <= kMaxBlockPayload) return writeBlock(data, false);
            TreeBuilder tree(*this);
            for (size_t at = 0; at < data.size(); at += kMaxBlockPayload)
                tree.add(data.subspan(at, std::min(kMaxBlockPayload, data.size() - at)));
            return tree.finish();
        });
    }

    Bid writeBlocks(const std::vector<std::vector<uint8_t>>& blocks) override {
        return guarded([&] {
            if (blocks.empty()) throw invalid("writeBlocks: no blocks");
            for (auto& b : blocks)
                if (b.size() > kMaxBlockPayload) throw invalid("writeBlocks: block larger than 8176 bytes");
            if (blocks.size() == 1) return writeBlock(blocks[0], false);
            TreeBuilder tree(*this);
            for (auto& b : blocks) tree.add(b);
            return tree.finish();
        });
    }

    Bid writeDataTree(const std::vector<Bid>& blocks) override {
        return guarded([&] {
            if (blocks.empty()) throw invalid("writeDataTree: no blocks");
            for (Bid b : blocks) {
                if (b & kBidInternalBit) throw invalid("writeDataTree: not a data block");
                requireBlock(b);
            }
            if (blocks.size() == 1) return blocks[0];
            TreeBuilder tree(*this);
            for (Bid b : blocks) tree.addExisting(b, find(b)->cb);
            return tree.finish();
        });
    }

    class Stream final : public DataStream {
    public:
        explicit Stream(Writer& w) : w_(w), tree_(w) { buffer_.reserve(kMaxBlockPayload); }
        void write(std::span<const uint8_t> data) override {
            w_.guarded([&] {
                if (finished_) throw invalid("data stream already finished");
                while (!data.empty()) {
                    if (buffer_.size() == kMaxBlockPayload) {
                        tree_.add(buffer_);
                        buffer_.clear();
                    }
                    size_t n = std::min(data.size(), kMaxBlockPayload - buffer_.size());
                    buffer_.insert(buffer_.end(), data.begin(), data.begin() + n);
                    data = data.subspan(n);
                }
                return 0;
            });
        }
        Bid finish() override {
            return w_.guarded([&] {
                if (finished_) throw invalid("data stream already finished");
                finished_ = true;
                if (!buffer_.empty() || tree_.empty()) tree_.add(buffer_);
                buffer_.clear();
                return tree_.finish();
            });
        }

    private:
        Writer& w_;
        TreeBuilder tree_;
        std::vector<uint8_t> buffer_;
        bool finished_ = false;
    };

    std::unique_ptr<DataStream> openDataStream() override {
        checkUsable();
        return std::make_unique<Stream>(*this);
    }

    Bid writeSubnodes(std::vector<SubnodeEntry> entries) override {
        return guarded([&]() -> Bid {
            if (entries.empty()) return 0;
            std::sort(entries.begin(), entries.end(),
                      [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
            for (size_t i = 0; i < entries.size(); ++i) {
                if (i && entries[i].nid == entries[i - 1].nid) throw invalid("writeSubnodes: duplicate NID");
                requireBlock(entries[i].bidData);
                if (entries[i].bidSub) requireBlock(entries[i].bidSub);
            }
            const size_t leaves = (entries.size() + kSlBlockMaxEntries - 1) / kSlBlockMaxEntries;
            if (leaves > kSiBlockMaxEntries) throw invalid("writeSubnodes: too many subnodes for one node");
            // SLBLOCKs as evenly filled as possible ([MS-PST] "SLBLOCK").
            std::vector<std::pair<Nid, Bid>> slblocks;
            size_t first = 0;
            for (size_t i = 0; i < leaves; ++i) {
                size_t n = entries.size() / leaves + (i < entries.size() % leaves ? 1 : 0);
                std::vector<uint8_t> b(kSBlockHeaderSize + n * kSlEntrySize, 0);
                b[0] = kBtypeSubnode;
                b[1] = 0;
                put16(&b[2], static_cast<uint16_t>(n));
                std::vector<Bid> children;
                for (size_t k = 0; k < n; ++k) {
                    const SubnodeEntry& e = entries[first + k];
                    uint8_t* d = &b[kSBlockHeaderSize + k * kSlEntrySize];
                    put64(d, e.nid);
                    put64(d + 8, e.bidData);
                    put64(d + 16, e.bidSub);
                    children.push_back(e.bidData);
                    if (e.bidSub) children.push_back(e.bidSub);
                }
                Bid bid = writeInternal(b, std::move(children));
                slblocks.emplace_back(entries[first].nid, bid);
                first += n;
            }
            if (slblocks.size() == 1) return slblocks[0].second;
            std::vector<uint8_t> b(kSBlockHeaderSize + slblocks.size() * kSiEntrySize, 0);
            b[0] = kBtypeSubnode;
            b[1] = 1;
            put16(&b[2], static_cast<uint16_t>(slblocks.size()));
            std::vector<Bid> children;
            for (size_t k = 0; k < slblocks.size(); ++k) {
                put64(&b[kSBlockHeaderSize + k * kSiEntrySize], slblocks[k].first);
                put64(&b[kSBlockHeaderSize + k * kSiEntrySize + 8], slblocks[k].second);
                children.push_back(slblocks[k].second);
            }
            return writeInternal(b, std::move(children));
        });
    }

    Nid allocateNid(uint8_t type) override {
        checkUsable();
        if (type > 0x1F) throw invalid("allocateNid: bad NID type");
        for (;;) {
            if (rgnid_[type] >= (1u << 27)) throw invalid("allocateNid: NID space of this type exhausted");
            Nid nid = makeNid(type, rgnid_[type]++);
            if (!nodes_.find(nid)) return nid;
        }
    }

    void putNode(Nid nid, Bid data, Bid subnode, Nid parent) override {
        guarded([&] {
            // bidData 0 is an empty node, as Outlook writes for some queues.
            if (data) requireBlock(data);
            if (subnode) requireBlock(subnode);
            if (data) incRef(data);
            if (subnode) incRef(subnode);
            NodeRecord old;
            if (nodes_.put({nid, data, subnode, parent}, old)) {
                if (old.bidData) decRef(old.bidData);
                if (old.bidSub) decRef(old.bidSub);
            }
            uint8_t type = nidType(nid);
            rgnid_[type] = std::max(rgnid_[type], nidIndex(nid) + 1);
            treesDirty_ = true;
            return 0;
        });
    }

    void deleteNode(Nid nid) override {
        guarded([&] {
            NodeRecord old;
            if (!nodes_.erase(nid, old)) return 0;
            if (old.bidData) decRef(old.bidData);
            if (old.bidSub) decRef(old.bidSub);
            treesDirty_ = true;
            return 0;
        });
    }

    bool hasNode(Nid nid) const override { return nodes_.find(nid) != nullptr; }

    void commit() override {
        guarded([&] {
            commitNow();
            nameIfStaged();
            return 0;
        });
    }

    uint64_t startCommit() override {
        return guarded([&] {
            // The first commit names the file, which needs it on the disk.
            if (staged_) {
                commitNow();
                nameIfStaged();
                return commitNumber_;
            }
            awaitCommitBehind();
            if (!hasUncommitted()) return commitNumber_;
            writeCommitStructures();
            // What this commit stops reaching stays in use until it is durable.
            held_ = std::move(released_);
            released_.clear();
            heldFor_ = ++commitNumber_;
            file_.commitBehind(currentState(), heldFor_);
            markCommitted();
            return heldFor_;
        });
    }

    uint64_t durableCommit() const override { return std::max(file_.durableCommit(), durableInOneGo_); }

    uint64_t bytesWrittenSinceCommit() const override { return bytesSinceCommit_; }

    void close() override {
        if (closed_) throw NdbError(NdbError::Kind::Closed, "writer is closed");
        if (broken_) {
            closed_ = true;
            file_.close();
            dropIfUnnamed();
            throw NdbError(brokenKind_, brokenMessage());
        }
        guarded([&] {
            commitNow();
            nameIfStaged();
            return 0;
        });
        closed_ = true;
        file_.close();
    }

    // --- used by TreeBuilder ------------------------------------------------
    Bid writeBlock(std::span<const uint8_t> data, bool internal) {
        Bid bid = bidNextB_ | (internal ? kBidInternalBit : 0);
        bidNextB_ += kBidIncrement;
        const uint64_t size = blockSizeOnDisk(data.size());
        const uint64_t ib = allocate(size, kBlockAlign);
        blocks_.append(bid, ib, static_cast<uint16_t>(data.size()));
        // Encoding, CRC and the write itself happen on the file's own thread.
        file_.writeBlock(data, bid, ib, crypt_);
        bytesSinceCommit_ += size;
        return bid;
    }

    Bid writeInternal(std::span<const uint8_t> data, std::vector<Bid> children) {
        Bid bid = writeBlock(data, true);
        pendingChildren_.emplace(bid, std::move(children));
        return bid;
    }

    template <class F>
    auto guarded(F&& f) -> decltype(f()) {
        checkUsable();
        try {
            file_.throwIfFailed();
            return f();
        } catch (const NdbError& e) {
            if (e.kind() == NdbError::Kind::Io || e.kind() == NdbError::Kind::DiskFull) {
                broken_ = true;
                brokenKind_ = e.kind();
                brokenCause_ = e.what();
                // No more is written: the space reserved ahead goes back at
                // once, where a report of the failure may need it.
                file_.releaseReservation();
            }
            throw;
        }
    }

private:
    void nameIfStaged() {
        if (!staged_) return;
        for (int n = 1; n <= kMaxNameNumber; ++n) {
            if (file_.renameNoReplace(n == 1 ? finalPath_ : numberedName(finalPath_, n))) {
                staged_ = false;
                return;
            }
            if (!nextFreeName_) break;
        }
        throw NdbError(NdbError::Kind::Exists, "cannot create " + finalPath_.string() + ": the file exists");
    }

    static std::filesystem::path numberedName(const std::filesystem::path& file, int n) {
        return file.parent_path() / (file.stem().string() + " (" + std::to_string(n) + ")" + file.extension().string());
    }

    // A staged file that never got its name holds nothing anyone asked for.
    void dropIfUnnamed() {
        if (!staged_) return;
        staged_ = false;
        std::error_code ignored;
        std::filesystem::remove(file_.path(), ignored);
    }

    void checkUsable() const {
        if (closed_) throw NdbError(NdbError::Kind::Closed, "writer is closed");
        if (broken_) throw NdbError(brokenKind_, brokenMessage());
    }

    // Every later call names the first failure, which is the true cause.
    std::string brokenMessage() const { return brokenCause_ + " (the file holds its last commit)"; }

    uint64_t allocate(uint64_t size, uint64_t align) {
        if (heldFor_ && file_.durableCommit() >= heldFor_) releaseHeld();
        const uint32_t before = space_.sectionCount();
        const uint64_t ib = space_.allocate(size, align);
        if (space_.sectionCount() != before) {
            // Nothing else between the size change and the HEADER that
            // describes it: the file's queue keeps these writes in order.
            file_.extendTo(space_.fileEnd());
            for (uint32_t s = before; s < space_.sectionCount(); ++s) {
                if (hasPMap(s)) file_.writeNow(pmapOffset(s), pmapPage(pmapOffset(s)));
                if (hasFMap(s)) file_.writeNow(fmapOffset(s), fmapPage(fmapOffset(s)));
                if (hasFPMap(s)) file_.writeNow(fpmapOffset(s), fpmapPage(fpmapOffset(s)));
            }
            if (committedOnce_) recordGrowth(before);
        }
        return ib;
    }

    // Growing the file between commits ([MS-PST] "Growing the PST File"):
    // the new sections get AMaps that hold only their map pages, and the
    // HEADER, still with the last commit's ROOT, takes the new ibFileEof.
    // So the file on disk never runs past what its HEADER describes for
    // longer than it takes to write one page and the HEADER.
    void recordGrowth(uint32_t firstNew) {
        diskFree_.resize(space_.sectionCount(), 0);
        for (uint32_t s = firstNew; s < space_.sectionCount(); ++s) {
            AMapBits bits{};
            const unsigned fixed = mapPagesInSection(s) * (kPageSize / kAMapBytesPerBit);
            for (unsigned i = 0; i < fixed; ++i) bits[i >> 3] |= uint8_t(0x80u >> (i & 7));
            diskFree_[s] = kSlotsPerSection - fixed;
            file_.writeNow(amapOffset(s), amapPage(amapOffset(s), bits));
            space_.markDirty(amapOffset(s));
        }
        writeHeader(currentState(), false);
    }

    BlockEntry* find(Bid bid) { return blocks_.find(bid); }

    void requireBlock(Bid bid) {
        if (!find(bid)) throw invalid("unknown or freed block id " + std::to_string(bid));
    }

    void incRef(Bid bid) {
        BlockEntry* e = find(bid);
        if (!e) throw invalid("unknown or freed block id " + std::to_string(bid));
        if (e->cRef == kMaxRefCount) throw invalid("block referenced too often");
        if (++e->cRef == 2) {
            // Becomes reachable: so do the blocks it points at.
            space_.markDirty(e->ib());
            auto pending = pendingChildren_.find(bid);
            if (pending != pendingChildren_.end()) {
                std::vector<Bid> children = std::move(pending->second);
                pendingChildren_.erase(pending);
                for (Bid c : children) incRef(c);
            }
        }
    }

    void decRef(Bid bid) {
        BlockEntry* e = find(bid);
        if (!e || e->cRef < 2) throw std::logic_error("NDB: reference count underflow");
        if (--e->cRef > 1) return;
        // No longer reachable: free it, and release what it pointed at. Its
        // space stays reserved until the commit that stops reaching it is on disk.
        const BlockEntry gone = *e;
        e->cRef = 0;
        released_.emplace_back(gone.ib(), blockSizeOnDisk(gone.cb));
        for (Bid c : childrenOnDisk(gone)) decRef(c);
    }

    std::vector<Bid> childrenOnDisk(const BlockEntry& e) {
        std::vector<Bid> out;
        if (!(e.bid() & kBidInternalBit)) return out;
        std::vector<uint8_t> b(e.cb);
        file_.read(e.ib(), b);
        if (b.size() < 8) return out;
        const uint16_t n = get16(&b[2]);
        if (b[0] == kBtypeDataTree) {
            for (size_t i = 0; i < n; ++i) out.push_back(get64(&b[8 + 8 * i]));
        } else if (b[0] == kBtypeSubnode && b[1] == 0) {
            for (size_t i = 0; i < n; ++i) {
                const uint8_t* d = &b[kSBlockHeaderSize + i * kSlEntrySize];
                out.push_back(get64(d + 8));
                if (Bid sub = get64(d + 16)) out.push_back(sub);
            }
        } else if (b[0] == kBtypeSubnode && b[1] == 1) {
            for (size_t i = 0; i < n; ++i) out.push_back(get64(&b[kSBlockHeaderSize + i * kSiEntrySize + 8]));
        }
        return out;
    }

    BTreeSink sink() {
        return BTreeSink{
            [this] { return allocate(kPageSize, kPageSize); },
            [this] { return bidNextP_++; },
            [this](uint64_t ib, const Page& p) {
                file_.write(ib, p);
                bytesSinceCommit_ += kPageSize;
            }};
    }

    void writeTrees() {
        blocks_.dropFreed();
        nodes_.merge();
        size_t live = 0;
        for (const BlockEntry& e : blocks_) live += e.cRef >= 2;

        std::vector<uint64_t> pages;
        BTreeSink s = sink();
        auto block = blocks_.begin();
        Bref bbt = writeBTree(kPtypeBBT, kBbtEntrySize, live, [&](uint8_t* d) {
            while (block->cRef < 2) ++block;
            const BlockEntry& e = *block++;
            put64(d, e.bid());
            put64(d + 8, e.ib());
            put16(d + 16, e.cb);
            put16(d + 18, e.cRef);
            return e.bid();
        }, s, pages);
        auto node = nodes_.sorted().begin();
        Bref nbt = writeBTree(kPtypeNBT, kNbtEntrySize, nodes_.size(), [&](uint8_t* d) {
            const NodeRecord& n = *node++;
            put64(d, n.nid);
            put64(d + 8, n.bidData);
            put64(d + 16, n.bidSub);
            put32(d + 24, n.nidParent);
            return uint64_t(n.nid);
        }, s, pages);
        for (uint64_t ib : btPages_) released_.emplace_back(ib, kPageSize);
        btPages_ = std::move(pages);
        nbt_ = nbt;
        bbt_ = bbt;
    }

    // Writes the AMap pages of changed sections: the slots in use, less the
    // blocks that nothing reachable points at yet.
    void writeAMaps() {
        std::vector<uint32_t> dirty = space_.takeDirty();
        if (dirty.empty()) return;
        std::sort(dirty.begin(), dirty.end());
        std::map<uint32_t, std::vector<const BlockEntry*>> unreachable;
        for (const BlockEntry& e : blocks_)
            if (e.cRef == 1 && std::binary_search(dirty.begin(), dirty.end(), sectionOf(e.ib())))
                unreachable[sectionOf(e.ib())].push_back(&e);
        diskFree_.resize(space_.sectionCount(), 0);
        for (uint32_t s : dirty) {
            AMapBits bits = space_.bits(s);
            auto u = unreachable.find(s);
            if (u != unreachable.end()) {
                for (const BlockEntry* e : u->second) {
                    uint64_t from = (e->ib() - amapOffset(s)) / kAMapBytesPerBit;
                    uint64_t n = blockSizeOnDisk(e->cb) / kAMapBytesPerBit;
                    for (uint64_t i = from; i < from + n; ++i) bits[i >> 3] &= uint8_t(~(0x80u >> (i & 7)));
                }
            }
            uint32_t used = 0;
            for (uint8_t byte : bits) used += static_cast<uint32_t>(__builtin_popcount(byte));
            diskFree_[s] = kSlotsPerSection - used;
            file_.write(amapOffset(s), amapPage(amapOffset(s), bits));
        }
    }

    HeaderFields currentState() const {
        HeaderFields h;
        for (size_t i = 0; i < 32; ++i) h.rgnid[i] = rgnid_[i];
        h.bidNextB = bidNextB_;
        h.bidNextP = bidNextP_;
        h.crypt = crypt_;
        h.fileEof = space_.fileEnd();
        h.amapLast = amapOffset(space_.sectionCount() - 1);
        uint64_t freeSlots = 0;
        for (uint32_t f : diskFree_) freeSlots += f;
        h.amapFree = freeSlots * kAMapBytesPerBit;
        h.nbtBid = nbt_.bid;
        h.nbtIb = nbt_.ib;
        h.bbtBid = bbt_.bid;
        h.bbtIb = bbt_.ib;
        return h;
    }

    // Unless `newRoot`, the HEADER keeps the ROOT of the last one written:
    // the file grew, and a commit made behind may not be on the disk yet.
    void writeHeader(HeaderFields h, bool newRoot) {
        h.amapValid = kAMapValid2;
        file_.writeHeader(h, newRoot);
    }

    bool hasUncommitted() const { return treesDirty_ || !released_.empty(); }

    // The first step of either kind of commit: the B-trees and the AMaps
    // that reach them.
    void writeCommitStructures() {
        if (treesDirty_) writeTrees();
        writeAMaps();
        freedSinceAMaps_ = false;
    }

    // Once the commit's HEADER is written, or queued behind.
    void markCommitted() {
        committedOnce_ = true;
        treesDirty_ = false;
        bytesSinceCommit_ = 0;
    }

    // A commit made behind is on the disk (or has failed): what it stopped
    // reaching can be used again.
    void awaitCommitBehind() {
        if (!heldFor_) return;
        file_.waitForCommits();
        file_.throwIfFailed();
        releaseHeld();
    }

    void releaseHeld() {
        for (auto [ib, size] : held_) space_.release(ib, size);
        freedSinceAMaps_ = freedSinceAMaps_ || !held_.empty();
        held_.clear();
        heldFor_ = 0;
    }

    // A commit in two steps. The new B-trees go to space the last commit
    // leaves free, and the AMaps are rewritten in place to mark the space of
    // both the old and the new state; once that is on disk the HEADER
    // switches to the new ROOT. Then the space only the old state used is
    // freed and the AMaps and HEADER written again. A crash anywhere leaves
    // a live HEADER whose every page and block is allocated in the AMaps
    // (at worst some space stays marked in use and cbAMapFree is stale, both
    // harmless), so fAMapValid can stay VALID_AMAP2 throughout; a completed
    // commit leaves the AMaps exact. A commit made behind (startCommit) does
    // the first step; the space it frees is marked free by the next commit.
    void commitNow() {
        awaitCommitBehind();
        if (hasUncommitted()) {
            writeCommitStructures();
            file_.sync();
            writeHeader(currentState(), true);
            file_.sync();
            markCommitted();
            durableInOneGo_ = ++commitNumber_;
            for (auto [ib, size] : released_) space_.release(ib, size);
            freedSinceAMaps_ = !released_.empty();
            released_.clear();
        }
        if (!freedSinceAMaps_) return;
        freedSinceAMaps_ = false;
        writeAMaps();
        writeHeader(currentState(), true);
        file_.sync();
    }

    friend class TreeBuilder;

    WriteBehindFile file_;
    CryptMethod crypt_;
    SpaceMap space_;
    std::array<uint32_t, 32> rgnid_{};
    uint64_t bidNextB_ = kFirstBid;
    uint64_t bidNextP_ = kFirstPageBid;
    BlockIndex blocks_;
    std::unordered_map<Bid, std::vector<Bid>> pendingChildren_;
    NodeIndex nodes_;
    std::vector<std::pair<uint64_t, uint64_t>> released_;
    std::vector<uint64_t> btPages_;
    std::vector<uint32_t> diskFree_;
    Bref nbt_, bbt_;
    // Commits are numbered; the last one made in one go, the one made
    // behind whose freed space (held_) waits for it to be durable.
    uint64_t commitNumber_ = 0;
    uint64_t durableInOneGo_ = 0;
    uint64_t heldFor_ = 0;
    std::vector<std::pair<uint64_t, uint64_t>> held_;
    bool freedSinceAMaps_ = false;  // freed space the AMaps on disk still mark in use
    bool treesDirty_ = false;
    bool committedOnce_ = false;
    uint64_t bytesSinceCommit_ = 0;
    bool closed_ = false;
    bool broken_ = false;
    NdbError::Kind brokenKind_ = NdbError::Kind::Io;
    std::string brokenCause_;
    static constexpr int kMaxNameNumber = 9999;
    std::filesystem::path finalPath_;
    bool staged_ = false;
    bool nextFreeName_ = false;
};

void TreeBuilder::add(std::span<const uint8_t> block) { addExisting(w_.writeBlock(block, false), block.size()); }

void TreeBuilder::addExisting(Bid bid, size_t size) {
    leaves_.push_back(bid);
    leafBytes_ += size;
    total_ += size;
    if (total_ > UINT32_MAX) throw invalid("value larger than a data tree can hold (4 GiB)");
    if (leaves_.size() == kXBlockMaxEntries) closeXBlock();
}

void TreeBuilder::closeXBlock() {
    if (xblocks_.size() == kXBlockMaxEntries) throw invalid("value larger than a data tree can hold");
    std::vector<uint8_t> b(kXBlockHeaderSize + leaves_.size() * 8, 0);
    b[0] = kBtypeDataTree;
    b[1] = 1;
    put16(&b[2], static_cast<uint16_t>(leaves_.size()));
    put32(&b[4], static_cast<uint32_t>(leafBytes_));
    for (size_t i = 0; i < leaves_.size(); ++i) put64(&b[kXBlockHeaderSize + 8 * i], leaves_[i]);
    xblocks_.push_back(w_.writeInternal(b, leaves_));
    leaves_.clear();
    leafBytes_ = 0;
}

Bid TreeBuilder::finish() {
    if (xblocks_.empty() && leaves_.size() == 1) return leaves_[0];
    if (!leaves_.empty()) closeXBlock();
    if (xblocks_.size() == 1) return xblocks_[0];
    std::vector<uint8_t> b(kXBlockHeaderSize + xblocks_.size() * 8, 0);
    b[0] = kBtypeDataTree;
    b[1] = 2;
    put16(&b[2], static_cast<uint16_t>(xblocks_.size()));
    put32(&b[4], static_cast<uint32_t>(total_));
    for (size_t i = 0; i < xblocks_.size(); ++i) put64(&b[kXBlockHeaderSize + 8 * i], xblocks_[i]);
    return w_.writeInternal(b, xblocks_);
}

}  // namespace

std::unique_ptr<NdbWriter> NdbWriter::create(const std::filesystem::path& file, CryptMethod crypt) {
    if (crypt != CryptMethod::None && crypt != CryptMethod::Permute)
        throw NdbError(NdbError::Kind::InvalidArgument, "unsupported bCryptMethod");
    auto w = std::make_unique<Writer>(file, crypt);
    try {
        w->initialize();
    } catch (...) {
        // A file that never held a commit is of no use to anyone.
        w.reset();
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        throw;
    }
    return w;
}

std::unique_ptr<NdbWriter> NdbWriter::createStaged(const std::filesystem::path& file, CryptMethod crypt,
                                                   bool nextFreeName) {
    // A temporary name of this process; another run may be staging the same
    // name in the same folder.
    for (int n = 1;; ++n) {
        std::filesystem::path temporary = file;
        temporary += ".partial";
        if (n > 1) temporary += '-' + std::to_string(n);
        std::unique_ptr<NdbWriter> w;
        try {
            w = create(temporary, crypt);
        } catch (const NdbError& e) {
            if (e.kind() == NdbError::Kind::Exists && n < 1000) continue;
            // The user knows the file by its own name.
            std::string what = e.what();
            if (auto at = what.find(temporary.string()); at != std::string::npos)
                what.replace(at, temporary.string().size(), file.string());
            throw NdbError(e.kind(), what);
        }
        static_cast<Writer&>(*w).stage(file, nextFreeName);
        return w;
    }
}

}  // namespace pst::ndb
