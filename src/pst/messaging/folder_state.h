#pragma once
// What the store keeps in memory about one folder between commits: its own
// properties, its subfolders and the rows of its contents table.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pst/ltp/table_context_builder.h"
#include "pst/ndb/ndb_writer.h"

namespace pst::messaging {

struct FolderState {
    ndb::Nid nid = 0;
    ndb::Nid parent = 0;
    std::u16string name;
    std::u16string foldedName;       // for case-insensitive lookup
    std::u16string containerClass;   // empty for none
    bool searchFolder = false;       // a search folder has no tables of its own
    uint32_t contentCount = 0;
    uint32_t unreadCount = 0;
    std::vector<ndb::Nid> children;  // in order of creation
    std::unique_ptr<ltp::TableContextBuilder> contents;

    // Parts to rewrite at the next commit.
    bool pcDirty = true;
    bool hierarchyDirty = true;
    bool contentsDirty = true;
    bool assocWritten = false;
};

}  // namespace pst::messaging
