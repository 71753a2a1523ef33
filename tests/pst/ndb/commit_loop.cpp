// Writes nodes and commits in an endless loop, printing the number of each
// commit once it has returned. Killed by the durability tests.
//   ndb_commit_loop FILE [none]
// Node i (a normal message NID) holds `payload(i)`; every 7th commit also
// replaces node 0 and every 5th deletes the oldest node beyond 16.

#include <cstdio>
#include <vector>

#include "pst/ndb/ndb_writer.h"

using namespace pst::ndb;
using namespace pst::format;

static std::vector<uint8_t> payload(uint32_t i) {
    std::vector<uint8_t> v((i * 7919) % 30000 + 1);
    for (size_t k = 0; k < v.size(); ++k) v[k] = static_cast<uint8_t>(i * 31 + k);
    return v;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    auto crypt = argc > 2 ? CryptMethod::None : CryptMethod::Permute;
    auto w = NdbWriter::create(argv[1], crypt);
    uint32_t next = 0;
    for (uint32_t commit = 1;; ++commit) {
        for (int k = 0; k < 5; ++k, ++next) {
            Nid nid = makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000 + next);
            auto data = payload(next);
            Bid bid = w->writeData(data);
            std::vector<SubnodeEntry> subs;
            for (uint32_t s = 0; s < next % 4; ++s) subs.push_back({makeNid(NID_TYPE_LTP, s + 1), w->writeData(payload(s)), 0});
            w->putNode(nid, bid, w->writeSubnodes(subs), 0);
        }
        if (commit % 7 == 0) w->putNode(makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000), w->writeData(payload(0)), 0, 0);
        if (commit % 5 == 0 && next > 16) w->deleteNode(makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000 + next - 16));
        w->commit();
        std::printf("%u %u\n", commit, next);
        std::fflush(stdout);
    }
}
