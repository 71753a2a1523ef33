#pragma once
// The node database's own vocabulary, shared by its writer, its on-disk
// structures and its node index: ids, the encoding choice, subnode entries
// and the one error every part of it throws.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "pst/format/btree_entries.h"
#include "pst/format/nid.h"

namespace pst::ndb {

using format::Nid;
using Bid = uint64_t;

enum class CryptMethod : uint8_t { None = 0x00, Permute = 0x01 };  // bCryptMethod

// Largest payload of one data block ([MS-PST] "Data Blocks": 8192 - 16-byte trailer).
inline constexpr size_t kMaxBlockPayload = 8176;

// One entry of a node's subnode B-tree.
using SubnodeEntry = format::SlEntry;

// Thrown for every failure of the file: I/O errors, a full disk, a closed writer.
// The last committed state on disk stays intact.
class NdbError : public std::runtime_error {
public:
    enum class Kind { Io, DiskFull, Closed, InvalidArgument, Exists };
    NdbError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }
private:
    Kind kind_;
};

}  // namespace pst::ndb
