#pragma once
// Reads an existing personal-folders file (Unicode, and ANSI as Outlook 97-2002
// wrote it): the store's properties, the folder tree and every message with
// its recipients and attachments. Read-only; the file is never written.
//
// Everything is found from the HEADER alone, so the reader judges what the
// writer produced rather than trusting it. Structural damage raises
// ReadError with a message naming the node or block at fault.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pst/format/btree_entries.h"
#include "pst/message_content.h"
#include "pst/property.h"
#include "pst/read/read_error.h"

namespace pst::read {

// A folder as its own property context describes it.
struct FolderView {
    uint32_t nid = 0;
    uint32_t nidParent = 0;        // nidParent of the folder's NBT entry
    std::u16string name;           // PR_DISPLAY_NAME
    std::u16string containerClass; // PR_CONTAINER_CLASS, empty when absent
    // PR_CONTENT_COUNT, PR_CONTENT_UNREAD, PR_SUBFOLDERS. Where the PC lacks
    // the count or the flag (Outlook omits them on some folders), the
    // contents and hierarchy tables give them.
    int32_t contentCount = 0;
    int32_t unreadCount = 0;
    bool hasSubfolders = false;
};

// One row of a table context; values only for cells whose existence bit is set.
struct TableRow {
    uint32_t rowId = 0;            // dwRowID of the row index (a NID for folder tables)
    std::vector<Property> cells;
    const PropValue* find(PropTag tag) const {
        for (auto& c : cells)
            if (c.tag == tag) return &c.value;
        return nullptr;
    }
};

struct Table {
    std::vector<PropTag> columns;  // in TCOLDESC order
    std::vector<TableRow> rows;    // in row-matrix order
};

// One node of the node B-tree.
using NodeInfo = format::NbtEntry;

class PstReader {
public:
    // Throws ReadError when the file cannot be opened or is not a PST file.
    static std::unique_ptr<PstReader> open(const std::filesystem::path& file);
    virtual ~PstReader() = default;

    virtual bool isUnicode() const = 0;
    virtual uint8_t cryptMethod() const = 0;          // bCryptMethod
    virtual uint64_t fileSize() const = 0;

    // --- store ------------------------------------------------------------
    virtual std::u16string displayName() = 0;        // the store's PR_DISPLAY_NAME
    virtual std::vector<Property> storeProperties() = 0;
    virtual Bytes recordKey() = 0;                    // PR_RECORD_KEY of the store

    // --- nodes ------------------------------------------------------------
    virtual std::vector<NodeInfo> nodes() = 0;        // every NBT entry, by NID
    virtual std::optional<NodeInfo> node(uint32_t nid) = 0;
    // The raw properties of any PC node (folder, message, store, ...).
    virtual std::vector<Property> properties(uint32_t nid) = 0;
    // Any TC node (hierarchy, contents, template, ...).
    virtual Table table(uint32_t nid) = 0;

    // --- folders ----------------------------------------------------------
    virtual FolderView root() = 0;                    // NID_ROOT_FOLDER
    virtual FolderView ipmSubtree() = 0;              // from PR_IPM_SUBTREE_ENTRYID
    virtual FolderView folder(uint32_t nid) = 0;
    // The folder's children as its hierarchy table lists them, in row order.
    virtual std::vector<FolderView> subfolders(uint32_t folderNid) = 0;
    // Case-insensitive (as Outlook matches folder names); nullopt when absent.
    virtual std::optional<FolderView> findSubfolder(uint32_t folderNid, const std::u16string& name) = 0;

    // --- messages ---------------------------------------------------------
    // The messages the folder's contents table lists, in row order (for a
    // search folder, its search contents table).
    virtual std::vector<uint32_t> messageNids(uint32_t folderNid) = 0;
    // The folder-associated (FAI) messages of its FAI contents table.
    virtual std::vector<uint32_t> associatedMessageNids(uint32_t folderNid) = 0;
    // A message with its recipients and attachments (embedded messages read
    // recursively). Properties in the named range (0x8000 and up) whose
    // names the name-to-id map resolves go into MessageContent::named; the
    // others stay in props.
    virtual MessageContent readMessage(uint32_t nid) = 0;

    // --- named properties -------------------------------------------------
    // The name of a named property id (0x8000..0xFFFE), when the map knows it.
    virtual std::optional<NamedPropertyName> namedPropertyName(uint16_t propId) = 0;
    // The id the map gives a name, when it has one.
    virtual std::optional<uint16_t> namedPropertyId(const NamedPropertyName& name) = 0;
};

// Helpers over property lists.
const PropValue* findProp(const std::vector<Property>& props, PropTag tag);
std::u16string stringProp(const std::vector<Property>& props, PropTag tag);  // empty when absent

}  // namespace pst::read
