#pragma once
// The node database of a new Unicode PST file, written append-mostly:
// immutable blocks, a node B-tree (NBT) and a block B-tree (BBT) rebuilt at
// each commit, and a HEADER whose write is the commit point.
//
// Callers above this layer (heap-on-node, property and table contexts, the
// messaging layer) only ever hand over payload bytes and receive block ids;
// block trailers, encoding, data trees, subnode trees, reference counts and
// the allocation maps are this layer's business.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pst/ndb/ndb_types.h"

namespace pst::ndb {

class NdbWriter {
public:
    // Creates a new file (fails if it exists) with an empty NDB and commits it.
    static std::unique_ptr<NdbWriter> create(const std::filesystem::path& file, CryptMethod crypt);
    // The same, written under a temporary name beside `file` that the first
    // commit() or close() turns into `file`; when that name is taken, into
    // the next free "name (2).pst", "name (3).pst"... if `nextFreeName`, else
    // that commit fails with Exists. So no unreadable file ever carries the
    // name, and a writer dropped before that commit leaves no file behind.
    static std::unique_ptr<NdbWriter> createStaged(const std::filesystem::path& file, CryptMethod crypt,
                                                   bool nextFreeName);
    virtual ~NdbWriter() = default;

    // The file's name now (the temporary one until a staged file is named).
    virtual std::filesystem::path path() const { return {}; }

    // --- data ------------------------------------------------------------
    // Any size: one data block up to kMaxBlockPayload bytes, else an XBLOCK
    // (or XXBLOCK) data tree of full blocks. Returns the bid to put in a node
    // or subnode entry (bidData).
    virtual Bid writeData(std::span<const uint8_t> data) = 0;
    // Exactly these blocks in this order (each at most kMaxBlockPayload
    // bytes): one block gives that block's bid, more give a data tree. Used
    // by the heap-on-node, whose pages must be the data tree's blocks.
    virtual Bid writeBlocks(const std::vector<std::vector<uint8_t>>& blocks) = 0;
    // A data tree over data blocks written before (bids from writeData or
    // writeBlocks of single blocks, each at most kMaxBlockPayload bytes), so
    // that a value that grows at its end (a table's row matrix) rewrites only
    // its last block and the tree above it. One bid gives that bid back.
    // Readers find offsets in a data tree by block, so every block but the
    // last should be as full as the value's own format requires.
    virtual Bid writeDataTree(const std::vector<Bid>& blocks) {
        throw NdbError(NdbError::Kind::InvalidArgument, "writeDataTree is not supported by this writer");
    }

    // Streams a large value block by block without holding it in memory.
    // A stream must not outlive its writer; one dropped unfinished leaves
    // nothing in the file.
    class DataStream {
    public:
        virtual ~DataStream() = default;
        virtual void write(std::span<const uint8_t> data) = 0;
        virtual Bid finish() = 0;  // the bid of the whole value
    };
    virtual std::unique_ptr<DataStream> openDataStream() = 0;

    // A subnode B-tree (SLBLOCK, or SIBLOCK over SLBLOCKs) of these entries;
    // they need not be sorted. Returns bidSub, or 0 for no entries.
    //
    // Blocks count as part of the file only once a node reaches them: until
    // then a commit leaves them out of the BBT and the AMaps.
    virtual Bid writeSubnodes(std::vector<SubnodeEntry> entries) = 0;

    // --- nodes -----------------------------------------------------------
    // A new NID of the given type, from the HEADER's rgnid counters.
    virtual Nid allocateNid(uint8_t type) = 0;
    // Adds the node or replaces it; the blocks it referenced before are
    // released (freed once no committed state reaches them). data 0 makes an
    // empty node (Outlook has some); subnode 0 means none. A fixed NID put
    // here moves the rgnid counter of its type past it.
    virtual void putNode(Nid nid, Bid data, Bid subnode, Nid parent) = 0;
    virtual void deleteNode(Nid nid) = 0;
    virtual bool hasNode(Nid nid) const = 0;

    // --- durability ------------------------------------------------------
    // Writes the allocation maps, both B-trees and then the HEADER: after it
    // returns, everything put so far survives a crash.
    virtual void commit() = 0;
    // Starts a commit that becomes durable later, while the caller goes on:
    // what is put so far is its state, and the syncs and the HEADER write
    // happen behind on the file's own threads. Returns the commit's number;
    // durableCommit() reaches it once the commit is on the disk. A commit
    // started before is waited for first; commit() and close() wait for it
    // too. Space this commit stops reaching is reused only once it is
    // durable. A failure of it is thrown by a later call, like any write's.
    virtual uint64_t startCommit() {
        commit();
        return 0;
    }
    // The number of the last commit known to be on the disk (commit() and
    // startCommit() number their commits alike).
    virtual uint64_t durableCommit() const { return 0; }
    virtual uint64_t bytesWrittenSinceCommit() const = 0;
    // Commits and closes. Further calls throw NdbError(Closed).
    //
    // After an Io or DiskFull error every call (close too) throws that kind
    // again: the file keeps its last commit and nothing more is written.
    virtual void close() = 0;
};

}  // namespace pst::ndb
