#pragma once
// Entry ids of objects in this store ([MS-PST] "Mapping between EntryID and
// NID"): four zero flag bytes, the store's provider UID, the NID.

#include <cstdint>

#include "pst/property.h"

namespace pst::messaging {

Bytes makeEntryId(const Bytes& providerUid, uint32_t nid);

}  // namespace pst::messaging
