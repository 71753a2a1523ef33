#pragma once
// Entry ids of objects in this store ([MS-PST] "Mapping between EntryID and
// NID"): four zero flag bytes, the store's provider UID, the NID.

#include <cstdint>
#include <optional>

#include "pst/property.h"

namespace pst::messaging {

Bytes makeEntryId(const Bytes& providerUid, uint32_t nid);
// The NID of an entry id of this store, or nullopt when it belongs elsewhere.
std::optional<uint32_t> nidFromEntryId(const Bytes& providerUid, const Bytes& entryId);

}  // namespace pst::messaging
