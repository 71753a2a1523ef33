#include "pst/ndb/disk_format.h"

#include "pst/format/crc.h"
#include "pst/format/encoding.h"
#include "pst/format/signature.h"

namespace pst::ndb {

void buildBlock(std::span<const uint8_t> data, Bid bid, uint64_t ib, CryptMethod crypt, std::vector<uint8_t>& out) {
    out.resize(format::blockSizeOnDisk(data.size()));
    if (!data.empty()) std::memcpy(out.data(), data.data(), data.size());
    sealBlock(out, data.size(), bid, ib, crypt);
}

void sealBlock(std::span<uint8_t> block, size_t cb, Bid bid, uint64_t ib, CryptMethod crypt) {
    const size_t total = block.size();
    std::memset(block.data() + cb, 0, total - cb);
    const bool internal = bid & format::kBidInternalBit;
    std::span<uint8_t> stored(block.data(), cb);
    const uint32_t crc = !internal && crypt == CryptMethod::Permute ? format::permuteEncodeWithCrc(stored)
                                                                    : format::crc32(stored);
    uint8_t* t = block.data() + total - format::kBlockTrailerSize;
    put16(t, static_cast<uint16_t>(cb));
    put16(t + 2, format::computeSig(ib, bid));
    put32(t + 4, crc);
    put64(t + 8, bid);
}

void sealPage(Page& page, uint8_t ptype, uint64_t bid, uint64_t ib) {
    uint8_t* t = page.data() + format::kPageDataSize;
    const bool signedPage = ptype == format::kPtypeBBT || ptype == format::kPtypeNBT || ptype == format::kPtypeDL;
    t[0] = ptype;
    t[1] = ptype;
    put16(t + 2, signedPage ? format::computeSig(ib, bid) : 0);
    put32(t + 4, format::crc32(std::span<const uint8_t>(page.data(), format::kPageDataSize)));
    put64(t + 8, bid);
}

Page amapPage(uint64_t ib, std::span<const uint8_t, format::kPageDataSize> bits) {
    Page p{};
    std::memcpy(p.data(), bits.data(), bits.size());
    sealPage(p, format::kPtypeAMap, ib, ib);
    return p;
}

Page pmapPage(uint64_t ib) {
    Page p{};
    std::memset(p.data(), 0xFF, format::kPageDataSize);
    sealPage(p, format::kPtypePMap, ib, ib);
    return p;
}

Page fmapPage(uint64_t ib) {
    Page p{};  // each byte: longest free run in its AMap; zero claims none
    sealPage(p, format::kPtypeFMap, ib, ib);
    return p;
}

Page fpmapPage(uint64_t ib) {
    Page p{};
    std::memset(p.data(), 0xFF, format::kPageDataSize);  // a set bit: that PMap has no free page
    sealPage(p, format::kPtypeFPMap, ib, ib);
    return p;
}

Page dlistPage(uint64_t bid) {
    Page p{};
    sealPage(p, format::kPtypeDL, bid, format::kDListOffset);
    return p;
}

}  // namespace pst::ndb

namespace pst::ndb {

std::array<uint8_t, format::kHeaderSize> buildHeader(const HeaderFields& h) {
    using namespace format;
    std::array<uint8_t, kHeaderSize> b{};
    uint8_t* p = b.data();
    put32(p + kHdrMagic, kHeaderMagic);
    put16(p + kHdrMagicClient, kHeaderMagicClient);
    put16(p + kHdrVer, kVersionUnicode);
    put16(p + kHdrVerClient, kVersionClient);
    p[kHdrPlatformCreate] = kPlatform;
    p[kHdrPlatformAccess] = kPlatform;
    put64(p + kHdrBidNextP, h.bidNextP);
    put32(p + kHdrUnique, h.unique);
    for (size_t i = 0; i < 32; ++i) put32(p + kHdrRgnid + 4 * i, h.rgnid[i]);
    uint8_t* r = p + kHdrRoot;
    put64(r + kRootFileEof, h.fileEof);
    put64(r + kRootAMapLast, h.amapLast);
    put64(r + kRootAMapFree, h.amapFree);
    put64(r + kRootPMapFree, 0);  // the PMap is deprecated: always zero
    put64(r + kRootBrefNbt, h.nbtBid);
    put64(r + kRootBrefNbt + 8, h.nbtIb);
    put64(r + kRootBrefBbt, h.bbtBid);
    put64(r + kRootBrefBbt + 8, h.bbtIb);
    r[kRootAMapValid] = h.amapValid;
    std::memset(p + kHdrRgbFM, 0xFF, kHdrFreeMapBytes);  // deprecated maps, filled with 0xFF
    std::memset(p + kHdrRgbFP, 0xFF, kHdrFreeMapBytes);
    p[kHdrSentinel] = kSentinel;
    p[kHdrCryptMethod] = static_cast<uint8_t>(h.crypt);
    put64(p + kHdrBidNextB, h.bidNextB);
    put32(p + kHdrCrcPartial, crc32(std::span<const uint8_t>(p + kHdrCrcStart, kHdrCrcPartialLength)));
    put32(p + kHdrCrcFull, crc32(std::span<const uint8_t>(p + kHdrCrcStart, kHdrCrcFullLength)));
    return b;
}

}  // namespace pst::ndb
