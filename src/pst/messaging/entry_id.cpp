#include "pst/messaging/entry_id.h"

namespace pst::messaging {

Bytes makeEntryId(const Bytes& providerUid, uint32_t nid) {
    Bytes out(4, 0);
    out.insert(out.end(), providerUid.begin(), providerUid.end());
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(nid >> (8 * i)));
    return out;
}

}  // namespace pst::messaging
