#include "pst/messaging/entry_id.h"

#include <algorithm>

namespace pst::messaging {

Bytes makeEntryId(const Bytes& providerUid, uint32_t nid) {
    Bytes out(4 + providerUid.size() + 4, 0);  // rgbFlags, uid, nid
    std::copy(providerUid.begin(), providerUid.end(), out.begin() + 4);
    for (size_t i = 0; i < 4; ++i) out[4 + providerUid.size() + i] = uint8_t(nid >> (8 * i));
    return out;
}

}  // namespace pst::messaging
