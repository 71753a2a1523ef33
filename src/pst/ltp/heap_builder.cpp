#include "pst/ltp/heap_builder.h"

#include <algorithm>
#include <stdexcept>

#include "pst/ltp/byte_writer.h"
#include "pst/ndb/ndb_writer.h"

namespace pst::ltp {
using namespace format;
namespace {

constexpr size_t kMaxAllocsPerPage = 2047;  // hidIndex is 11 bits, 1-based

}  // namespace

uint8_t fillLevel(size_t freeBytes) {
    static constexpr size_t kThresholds[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024,
                                             768,  512,  256,  128,  64,   32,   16, 8};
    for (uint8_t level = 0; level < 15; ++level)
        if (freeBytes >= kThresholds[level]) return level;
    return 0x0F;
}

size_t HeapBuilder::headerSize(size_t pageIndex) { return heapBlockHeaderSize(pageIndex); }

size_t HeapBuilder::pageSize(size_t pageIndex, size_t dataSize, size_t allocCount) {
    size_t beforeMap = headerSize(pageIndex) + dataSize;
    beforeMap += beforeMap & 1;  // the page map starts on an even offset
    return beforeMap + 4 + 2 * (allocCount + 1);
}

Hid HeapBuilder::allocate(std::span<const uint8_t> bytes) {
    if (bytes.size() > kMaxHeapAllocation) throw std::invalid_argument("heap allocation too large");
    if (pages_.empty() ||
        pages_.back().offsets.size() >= kMaxAllocsPerPage ||
        pageSize(pages_.size() - 1, pages_.back().data.size() + bytes.size(), pages_.back().offsets.size() + 1) >
            ndb::kMaxBlockPayload)
        pages_.emplace_back();
    Page& page = pages_.back();
    page.offsets.push_back(static_cast<uint16_t>(page.data.size()));
    page.data.insert(page.data.end(), bytes.begin(), bytes.end());
    return makeHid(static_cast<uint32_t>(pages_.size() - 1), static_cast<uint32_t>(page.offsets.size()));
}

void HeapBuilder::overwrite(Hid hid, std::span<const uint8_t> bytes) {
    Page& page = pages_.at(hidBlockIndex(hid));
    if (page.frozen) throw std::logic_error("a frozen heap page cannot be overwritten");
    size_t index = hidIndex(hid) - 1;
    size_t begin = page.offsets.at(index);
    size_t end = index + 1 < page.offsets.size() ? page.offsets[index + 1] : page.data.size();
    if (end - begin != bytes.size()) throw std::invalid_argument("heap overwrite changes the size");
    std::copy(bytes.begin(), bytes.end(), page.data.begin() + begin);
}

std::vector<std::vector<uint8_t>> HeapBuilder::pages() const {
    return const_cast<HeapBuilder*>(this)->buildPages(false);
}

std::vector<std::vector<uint8_t>> HeapBuilder::takePages() {
    auto out = buildPages(true);
    pages_.clear();
    return out;
}

std::vector<uint8_t> HeapBuilder::fillLevels() const {
    std::vector<uint8_t> levels(std::max<size_t>(pages_.size(), 1), fillLevel(ndb::kMaxBlockPayload - pageSize(0, 0, 0)));
    for (size_t i = 0; i < pages_.size(); ++i)
        levels[i] = pages_[i].frozen ? pages_[i].frozenLevel
                                     : fillLevel(ndb::kMaxBlockPayload -
                                                 pageSize(i, pages_[i].data.size(), pages_[i].offsets.size()));
    return levels;
}

std::vector<uint8_t> HeapBuilder::pageBytes(size_t i, const std::vector<uint8_t>& levels) const {
    static const Page emptyPage;
    const Page& page = i < pages_.size() ? pages_[i] : emptyPage;
    if (page.frozen) throw std::logic_error("a frozen heap page has no bytes in memory");
    std::vector<uint8_t> bytes;
    bytes.reserve(pageSize(i, page.data.size(), page.offsets.size()));
    size_t hdr = headerSize(i);
    size_t mapOffset = hdr + page.data.size();
    mapOffset += mapOffset & 1;
    putU16(bytes, static_cast<uint16_t>(mapOffset));  // ibHnpm
    if (i == 0) {
        putU8(bytes, kHeapSignature);
        putU8(bytes, clientSig_);
        putU32(bytes, userRoot_);
        uint32_t packed = 0;  // fill levels of the first 8 pages, 4 bits each
        for (size_t k = 0; k < kFirstBitmapBlock && k < levels.size(); ++k) packed |= uint32_t(levels[k]) << (4 * k);
        putU32(bytes, packed);
    } else if (hasBitmapHeader(i)) {
        for (size_t k = 0; k < kBlocksPerBitmap / 2; ++k) {
            uint8_t b = 0;
            size_t lo = i + 2 * k, hi = lo + 1;
            if (lo < levels.size()) b |= levels[lo];
            if (hi < levels.size()) b |= uint8_t(levels[hi] << 4);
            putU8(bytes, b);
        }
    }
    putBytes(bytes, page.data);
    if (bytes.size() & 1) putU8(bytes, 0);
    // HNPAGEMAP
    putU16(bytes, static_cast<uint16_t>(page.offsets.size()));  // cAlloc
    putU16(bytes, 0);                                            // cFree
    for (uint16_t off : page.offsets) putU16(bytes, static_cast<uint16_t>(hdr + off));
    putU16(bytes, static_cast<uint16_t>(hdr + page.data.size()));
    return bytes;
}

std::vector<std::vector<uint8_t>> HeapBuilder::buildPages(bool release) {
    for (auto& p : pages_)
        if (p.frozen) throw std::logic_error("a heap with frozen pages is written with write()");
    std::vector<uint8_t> levels = fillLevels();
    std::vector<std::vector<uint8_t>> out;
    out.reserve(levels.size());
    for (size_t i = 0; i < levels.size(); ++i) {
        out.push_back(pageBytes(i, levels));
        if (release && i < pages_.size()) pages_[i].release();
    }
    return out;
}

void HeapBuilder::Page::release() {
    // Assigning {} would keep the capacity: a frozen page must give its memory back.
    data = std::vector<uint8_t>();
    offsets = std::vector<uint16_t>();
}

size_t HeapBuilder::heldBytes() const {
    size_t n = pages_.capacity() * sizeof(Page);
    for (const Page& p : pages_) n += p.data.capacity() + 2 * p.offsets.capacity();
    return n;
}

HeapBuilder::Mark HeapBuilder::mark() const {
    if (pages_.empty()) return {};
    return {pages_.size(), pages_.back().offsets.size(), pages_.back().data.size()};
}

void HeapBuilder::rollback(const Mark& m) {
    if (m.pages > pages_.size()) throw std::logic_error("heap rollback past its end");
    pages_.resize(m.pages);
    frozenBelow_ = std::min(frozenBelow_, std::max<size_t>(pages_.size(), 1) - 1);
    if (pages_.empty()) return;
    Page& last = pages_.back();
    if (last.frozen) throw std::logic_error("heap rollback into a frozen page");
    last.offsets.resize(m.allocs);
    last.data.resize(m.dataSize);
}

ndb::Bid HeapBuilder::write(ndb::NdbWriter& ndb, size_t freezeBelow) {
    std::vector<uint8_t> levels = fillLevels();
    std::vector<ndb::Bid> bids;
    bids.reserve(levels.size());
    for (size_t i = 0; i < levels.size(); ++i) {
        if (i < pages_.size() && pages_[i].frozen) {
            bids.push_back(pages_[i].frozen);
            continue;
        }
        bids.push_back(ndb.writeData(pageBytes(i, levels)));
        if (freezable(i, freezeBelow)) freeze(i, bids.back(), levels[i]);
    }
    return bids.size() == 1 ? bids[0] : ndb.writeDataTree(bids);
}

bool HeapBuilder::freezable(size_t i, size_t freezeBelow) const {
    return i != 0 && i < freezeBelow && i + 1 < pages_.size() && !hasBitmapHeader(i) && !pages_[i].frozen;
}

void HeapBuilder::freeze(size_t i, ndb::Bid bid, uint8_t level) {
    Page& page = pages_[i];
    page.frozen = bid;
    page.frozenLevel = level;
    page.release();
}

void HeapBuilder::writeFullPages(ndb::NdbWriter& ndb) {
    if (pages_.size() < 2) return;
    // A page other than page 0 and the bitmap pages carries no fill levels:
    // its bytes are final once a page follows it.
    const std::vector<uint8_t> noLevels;
    for (size_t i = std::max<size_t>(frozenBelow_, 1); i + 1 < pages_.size(); ++i) {
        if (!freezable(i, pages_.size() - 1)) continue;
        const Page& page = pages_[i];
        const uint8_t level = fillLevel(ndb::kMaxBlockPayload - pageSize(i, page.data.size(), page.offsets.size()));
        freeze(i, ndb.writeData(pageBytes(i, noLevels)), level);
    }
    frozenBelow_ = pages_.size() - 1;
}

}  // namespace pst::ltp
