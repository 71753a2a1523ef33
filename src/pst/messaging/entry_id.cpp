#include "pst/messaging/entry_id.h"

#include <algorithm>

namespace pst::messaging {

Bytes makeEntryId(const Bytes& providerUid, uint32_t nid) {
    Bytes out(4 + providerUid.size() + 4, 0);
    std::copy(providerUid.begin(), providerUid.end(), out.begin() + 4);
    for (size_t i = 0; i < 4; ++i) out[4 + providerUid.size() + i] = uint8_t(nid >> (8 * i));
    return out;
}

std::optional<uint32_t> nidFromEntryId(const Bytes& providerUid, const Bytes& entryId) {
    if (entryId.size() != 4 + providerUid.size() + 4) return std::nullopt;
    if (!std::all_of(entryId.begin(), entryId.begin() + 4, [](uint8_t b) { return b == 0; })) return std::nullopt;
    if (!std::equal(providerUid.begin(), providerUid.end(), entryId.begin() + 4)) return std::nullopt;
    size_t at = 4 + providerUid.size();
    return uint32_t(entryId[at]) | (uint32_t(entryId[at + 1]) << 8) | (uint32_t(entryId[at + 2]) << 16) |
           (uint32_t(entryId[at + 3]) << 24);
}

}  // namespace pst::messaging
