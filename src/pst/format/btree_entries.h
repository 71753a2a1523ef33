#pragma once
// The leaf entries of the node database's B-trees, as writer, reader and
// checker all hold them. In Unicode files a NID in a B-tree key is widened to
// 8 bytes ([MS-PST] "NBTENTRY", "SLENTRY"); the entries keep that width so a
// key with stray high bits can be told from a NID.

#include <cstdint>

#include "pst/format/bref.h"
#include "pst/format/nid.h"

namespace pst::format {

// NBTENTRY ([MS-PST] "NBTENTRY (Leaf NBT Entry)"): one node.
struct NbtEntry {
    uint64_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;    // 0: the node has no subnodes
    Nid nidParent = 0;
};

// BBTENTRY ([MS-PST] "BBTENTRY (Leaf BBT Entry)"): one block.
struct BbtEntry {
    Bref bref;
    uint16_t cb = 0;
    uint16_t cRef = 0;
};

// SLENTRY ([MS-PST] "SLENTRY (Leaf Block Entry)"): one subnode.
struct SlEntry {
    uint64_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;    // 0: the subnode has no subnodes of its own
};

}  // namespace pst::format
