#pragma once
// An independent reading of a file's node database for the tests: it walks
// from the HEADER only, recomputes every checksum, signature, reference
// count and AMap bit, and lists what it finds wrong.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ndbtest {

struct Block {
    uint64_t ib = 0;
    uint16_t cb = 0;
    uint16_t cRef = 0;
};

struct Node {
    uint64_t data = 0;
    uint64_t subnode = 0;
    uint32_t parent = 0;
};

struct SubnodeRecord {
    uint64_t nid, data, subnode;
};

struct NdbImage {
    std::filesystem::path path;
    uint8_t crypt = 0;
    uint8_t amapValid = 0;
    uint64_t fileEof = 0;
    uint64_t bidNextB = 0, bidNextP = 0;
    uint32_t rgnid[32] = {};
    std::map<uint64_t, Block> blocks;  // the BBT
    std::map<uint32_t, Node> nodes;    // the NBT
    unsigned nbtLevels = 0, bbtLevels = 0;
    uint64_t leakedBytes = 0;  // allocated in an AMap, reached by nothing
    std::vector<std::string> problems;

    bool ok() const { return problems.empty(); }
    std::string report() const;
    // The bytes of a node's or subnode's data, walking data trees.
    std::vector<uint8_t> read(uint64_t bid);
    std::vector<SubnodeRecord> subnodes(uint64_t bid);
    // Levels of a data tree: 0 for a single block, 1 XBLOCK, 2 XXBLOCK.
    int treeLevel(uint64_t bid);
    std::vector<uint8_t> rawBlock(uint64_t bid);  // stored bytes, not decoded
};

enum class Expect {
    Clean,     // a file we closed: exact AMaps and free count
    Crashed,   // a file whose writer died: AMaps may claim unreached space
               // and cbAMapFree may lag behind them
    Outlook,   // Outlook's own files: its free count is a loose hint
};
// Reads and checks.
NdbImage loadNdb(const std::filesystem::path& path, Expect expect = Expect::Clean);

}  // namespace ndbtest
