// The LTP and messaging passes: every heap, BTH, PC and TC; the mandatory
// nodes; the store, the name-to-id map and the templates; the folder tree
// with its tables against the nodes they list; messages and attachments.

#include <algorithm>
#include <optional>
#include <set>

#include "pst/check/checker.h"
#include "pst/format/constants.h"
#include "pst/format/crc.h"
#include "pst/read/bytes.h"
#include "pst/read/ltp.h"
#include "pst/read/named_map.h"

namespace pst::check {

namespace fmt = pst::format;
using read::hex;
using read::NodeData;
using read::Table;
using read::TableRow;

namespace {

constexpr uint32_t kTypeInternal = 0x01, kTypeFolder = 0x02, kTypeSearchFolder = 0x03, kTypeMessage = 0x04,
                   kTypeAttachment = 0x05, kTypeAssocMessage = 0x08, kTypeHierarchy = 0x0D, kTypeContents = 0x0E,
                   kTypeAssocContents = 0x0F, kTypeSearchContents = 0x10, kTypeAttachmentTable = 0x11,
                   kTypeRecipientTable = 0x12, kTypeLtp = 0x1F;

constexpr uint16_t kIdDisplayName = 0x3001;
constexpr uint16_t kIdSubject = 0x0037;
constexpr uint16_t kIdMessageClass = 0x001A;
constexpr PropTag kRecordKey = 0x0FF90102;
constexpr PropTag kIpmSubtreeEntryId = 0x35E00102;
constexpr PropTag kWastebasketEntryId = 0x35E30102;
constexpr PropTag kFinderEntryId = 0x35E70102;
constexpr PropTag kContentCount = 0x36020003;
constexpr PropTag kContentUnread = 0x36030003;
constexpr PropTag kSubfolders = 0x360A000B;
constexpr PropTag kAssocContentCount = 0x36170003;
constexpr PropTag kMessageFlags = 0x0E070003;
constexpr int32_t kMsgFlagRead = 0x01, kMsgFlagHasAttach = 0x10;
constexpr PropTag kAttachMethod = 0x37050003;
constexpr PropTag kAttachDataObject = 0x3701000D;
constexpr PropTag kAttachDataBinary = 0x37010102;
constexpr int32_t kAttachByValue = 1, kAttachEmbedded = 5;

// Columns every template must have, by property id ([MS-PST] "Hierarchy
// Table Template", "Contents Table Template", "FAI Contents Table Template",
// "Recipient Table Template", "Attachment Table Template").
const std::vector<uint16_t> kHierarchyColumns = {0x0E30, 0x0E33, 0x0E34, 0x0E38, 0x3001, 0x3602, 0x3603,
                                                 0x360A, 0x3613, 0x6635, 0x6636, 0x67F2, 0x67F3};
const std::vector<uint16_t> kContentsColumns = {0x0017, 0x001A, 0x0036, 0x0037, 0x0039, 0x0042, 0x0057, 0x0058, 0x0070,
                                                0x0071, 0x0E03, 0x0E04, 0x0E06, 0x0E07, 0x0E08, 0x0E17, 0x0E30, 0x0E33,
                                                0x0E34, 0x0E38, 0x0E3C, 0x0E3D, 0x1097, 0x3008, 0x65C6, 0x67F2, 0x67F3};
const std::vector<uint16_t> kAssocContentsColumns = {0x001A, 0x0E07, 0x0E17, 0x3001, 0x67F2, 0x67F3, 0x6800,
                                                     0x6803, 0x6805, 0x7003, 0x7004, 0x7005, 0x7006, 0x7007};
const std::vector<uint16_t> kRecipientColumns = {0x0C15, 0x0E0F, 0x0FF9, 0x0FFE, 0x0FFF, 0x3001, 0x3002,
                                                 0x3003, 0x300B, 0x3900, 0x39FF, 0x3A40, 0x67F2, 0x67F3};
const std::vector<uint16_t> kAttachmentColumns = {0x0E20, 0x3704, 0x3705, 0x370B, 0x67F2, 0x67F3};

const PropValue* byId(const std::vector<Property>& props, uint16_t id) {
    for (auto& p : props)
        if (tagId(p.tag) == id) return &p.value;
    return nullptr;
}

std::optional<int32_t> intValue(const std::vector<Property>& props, PropTag tag) {
    if (auto v = read::findProp(props, tag))
        if (auto i = std::get_if<int32_t>(v)) return *i;
    return std::nullopt;
}

class MessagingPass {
public:
    explicit MessagingPass(Checker& c) : c_(c) {}

    void run() {
        for (auto& [nid, n] : c_.nodes) children_.emplace(n.parentNid, nid);
        checkMandatoryNodes();
        checkStore();
        checkNameToIdMap();
        checkTemplates();
        if (c_.nodes.count(fmt::kNidRootFolder)) walkFolder(fmt::kNidRootFolder, fmt::kNidRootFolder, 0);
        checkReachability();
        checkRemainingNodes();
    }

private:
    // --- loading ---------------------------------------------------------------
    std::optional<NodeData> load(uint32_t nid, const std::string& what) {
        auto it = c_.nodes.find(nid);
        if (it == c_.nodes.end()) {
            c_.defect(what + " " + hex(nid), "is missing from the NBT");
            return std::nullopt;
        }
        return loadData(it->second.bidData, it->second.bidSub, what + " " + hex(nid));
    }

    std::optional<NodeData> loadData(uint64_t bidData, uint64_t bidSub, const std::string& where) {
        if (bidData == 0) {
            c_.defect(where, "has no data block");
            return std::nullopt;
        }
        try {
            return NodeData(c_.ndb, bidData, bidSub);
        } catch (const read::ReadError& e) {
            c_.defect(where, e.what());
            return std::nullopt;
        }
    }

    std::optional<std::vector<Property>> pc(const NodeData& node, const std::string& where) {
        try {
            return read::readPc(node);
        } catch (const read::ReadError& e) {
            c_.defect(where, std::string("property context: ") + e.what());
            return std::nullopt;
        }
    }

    std::optional<Table> tc(const NodeData& node, const std::string& where) {
        try {
            return read::readTc(node);
        } catch (const read::ReadError& e) {
            c_.defect(where, std::string("table context: ") + e.what());
            return std::nullopt;
        }
    }

    std::optional<std::vector<Property>> pcNode(uint32_t nid, const std::string& what) {
        checked_.insert(nid);
        auto n = load(nid, what);
        return n ? pc(*n, what + " " + hex(nid)) : std::nullopt;
    }

    std::optional<Table> tcNode(uint32_t nid, const std::string& what) {
        checked_.insert(nid);
        auto n = load(nid, what);
        return n ? tc(*n, what + " " + hex(nid)) : std::nullopt;
    }

    // --- fixed nodes -------------------------------------------------------------
    void checkMandatoryNodes() {
        for (uint32_t nid : {fmt::kNidMessageStore, fmt::kNidNameToIdMap, fmt::kNidRootFolder,
                             fmt::relatedNid(fmt::kNidRootFolder, kTypeHierarchy), fmt::relatedNid(fmt::kNidRootFolder, kTypeContents),
                             fmt::relatedNid(fmt::kNidRootFolder, kTypeAssocContents), fmt::kNidSearchManagementQueue,
                             fmt::kNidSearchActivityList, fmt::kNidHierarchyTableTemplate, fmt::kNidContentsTableTemplate,
                             fmt::kNidAssocContentsTableTemplate, fmt::kNidSearchContentsTableTemplate,
                             fmt::kNidRecipientTable, fmt::kNidAttachmentTable})
            if (!c_.nodes.count(nid)) c_.defect("mandatory node " + hex(nid), "is missing");
    }

    // The folder an entry id of this store names, or nullopt (reported).
    std::optional<uint32_t> entryIdFolder(const std::vector<Property>& store, PropTag tag, const std::string& name) {
        auto v = read::findProp(store, tag);
        auto b = v ? std::get_if<Bytes>(v) : nullptr;
        if (!b) {
            c_.defect("message store", name + " is missing");
            return std::nullopt;
        }
        if (b->size() != 24) {
            c_.defect("message store", name + " is " + std::to_string(b->size()) + " bytes, not an entry id of 24");
            return std::nullopt;
        }
        if (read::u32(*b, 0) != 0) c_.defect("message store", name + " has nonzero flags");
        if (!std::equal(b->begin() + 4, b->begin() + 20, recordKey_.begin(), recordKey_.end()))
            c_.defect("message store", name + " does not carry the store's record key");
        uint32_t nid = read::u32(*b, 20);
        auto it = c_.nodes.find(nid);
        uint32_t type = fmt::nidTypeOf(nid);
        if (it == c_.nodes.end() || (type != kTypeFolder && type != kTypeSearchFolder)) {
            c_.defect("message store", name + " names " + hex(nid) + ", which is not a folder node");
            return std::nullopt;
        }
        return nid;
    }

    void checkStore() {
        auto store = pcNode(fmt::kNidMessageStore, "message store");
        if (!store) return;
        auto rk = read::findProp(*store, kRecordKey);
        if (!rk || !std::holds_alternative<Bytes>(*rk) || std::get<Bytes>(*rk).size() != 16)
            c_.defect("message store", "PR_RECORD_KEY is missing or not 16 bytes");
        else
            recordKey_ = std::get<Bytes>(*rk);
        if (!byId(*store, kIdDisplayName)) c_.defect("message store", "PR_DISPLAY_NAME is missing");
        if (recordKey_.empty()) return;
        ipm_ = entryIdFolder(*store, kIpmSubtreeEntryId, "PR_IPM_SUBTREE_ENTRYID");
        wastebasket_ = entryIdFolder(*store, kWastebasketEntryId, "PR_IPM_WASTEBASKET_ENTRYID");
        finder_ = entryIdFolder(*store, kFinderEntryId, "PR_FINDER_ENTRYID");
    }

    void checkNameToIdMap() {
        auto props = pcNode(fmt::kNidNameToIdMap, "name-to-id map");
        if (!props) return;
        read::NamedMap map;
        try {
            map = read::decodeNamedMap(*props);
        } catch (const read::ReadError& e) {
            return c_.defect("name-to-id map", e.what());
        }
        auto count = intValue(*props, read::kTagNameidBucketCount);
        if (!count || *count <= 0) return c_.defect("name-to-id map", "PidTagNameidBucketCount is missing");
        // Every name must sit in the hash bucket its record selects.
        auto entries = read::findProp(*props, read::kTagNameidStreamEntry);
        if (!entries) return;
        auto& e = std::get<Bytes>(*entries);
        size_t misplaced = 0;
        for (size_t o = 0; o + 8 <= e.size(); o += 8) {
            uint32_t key = read::u32(e, o);
            uint16_t w = read::u16(e, o + 4);
            uint16_t index = read::u16(e, o + 6);
            if (w & 1) {
                auto& name = map.byId.at(static_cast<uint16_t>(0x8000 + index)).name;
                key = fmt::crc32({reinterpret_cast<const uint8_t*>(name.data()), name.size() * 2});
            }
            uint32_t bucket = (key ^ w) % static_cast<uint32_t>(*count);
            auto b = read::findProp(*props, makeTag(static_cast<uint16_t>(read::kNameidBucketBase + bucket), PropType::Binary));
            bool found = false;
            if (b && std::holds_alternative<Bytes>(*b)) {
                auto& bytes = std::get<Bytes>(*b);
                for (size_t i = 0; i + 8 <= bytes.size() && !found; i += 8)
                    found = read::u32(bytes, i) == key && read::u16(bytes, i + 4) == w && read::u16(bytes, i + 6) == index;
            }
            if (!found) ++misplaced;
        }
        if (misplaced) c_.defect("name-to-id map", std::to_string(misplaced) + " named propert(ies) missing from their hash bucket");
    }

    void requireColumns(const Table& t, const std::vector<uint16_t>& ids, const std::string& where) {
        for (uint16_t id : ids)
            if (std::none_of(t.columns.begin(), t.columns.end(), [&](PropTag tag) { return tagId(tag) == id; }))
                c_.defect(where, "lacks the column " + hex(id));
    }

    void checkTemplates() {
        struct Template { uint32_t nid; const char* name; const std::vector<uint16_t>* columns; };
        for (auto& t : {Template{fmt::kNidHierarchyTableTemplate, "hierarchy table template", &kHierarchyColumns},
                        Template{fmt::kNidContentsTableTemplate, "contents table template", &kContentsColumns},
                        Template{fmt::kNidAssocContentsTableTemplate, "FAI contents table template", &kAssocContentsColumns},
                        Template{fmt::kNidSearchContentsTableTemplate, "search contents table template", nullptr},
                        Template{fmt::kNidRecipientTable, "recipient table template", &kRecipientColumns},
                        Template{fmt::kNidAttachmentTable, "attachment table template", &kAttachmentColumns}}) {
            if (!c_.nodes.count(t.nid)) continue;  // reported as a mandatory node
            auto table = tcNode(t.nid, t.name);
            if (!table) continue;
            if (!table->rows.empty()) c_.defect(std::string(t.name) + " " + hex(t.nid), "has " + std::to_string(table->rows.size()) + " rows; templates have none");
            if (t.columns) requireColumns(*table, *t.columns, std::string(t.name) + " " + hex(t.nid));
        }
    }

    // --- folders -----------------------------------------------------------------
    void walkFolder(uint32_t nid, uint32_t expectedParent, int depth) {
        std::string where = "folder " + hex(nid);
        if (!visitedFolders_.insert(nid).second) return c_.defect(where, "is listed in more than one hierarchy table");
        if (depth > 1000) return c_.defect(where, "nests too deep");
        auto& node = c_.nodes.at(nid);
        if (node.parentNid != expectedParent) c_.defect(where, "has nidParent " + hex(node.parentNid) + ", but is listed under " + hex(expectedParent));
        bool search = fmt::nidTypeOf(nid) == kTypeSearchFolder;
        ++(search ? c_.report.summary.searchFolders : c_.report.summary.folders);
        auto props = pcNode(nid, search ? "search folder" : "folder");
        if (!props) return;
        if (!byId(*props, kIdDisplayName)) c_.defect(where, "PR_DISPLAY_NAME is missing");
        cachedFolderProps_[nid] = *props;
        if (search) {
            auto contents = fmt::relatedNid(nid, kTypeSearchContents);
            if (c_.nodes.count(contents)) tcNode(contents, "search contents table");
            return;
        }
        std::string missing;
        for (PropTag tag : {kContentCount, kContentUnread, kSubfolders})
            if (!read::findProp(*props, tag)) missing += (missing.empty() ? "" : ", ") + hex(tag);
        if (!missing.empty()) c_.tolerated(where, "lacks " + missing);

        auto hierarchy = tcNode(fmt::relatedNid(nid, kTypeHierarchy), "hierarchy table");
        auto contents = tcNode(fmt::relatedNid(nid, kTypeContents), "contents table");
        auto assoc = tcNode(fmt::relatedNid(nid, kTypeAssocContents), "FAI contents table");
        if (!contents || !assoc) unreadableTables_.insert(nid);

        if (auto v = read::findProp(*props, kSubfolders); v && hierarchy && std::holds_alternative<bool>(*v))
            if (std::get<bool>(*v) != !hierarchy->rows.empty())
                c_.defect(where, std::string("PR_SUBFOLDERS is ") + (std::get<bool>(*v) ? "true" : "false") + " but the hierarchy table has " +
                                     std::to_string(hierarchy->rows.size()) + " row(s)");
        if (auto n = intValue(*props, kContentCount); n && contents && size_t(*n) != contents->rows.size())
            c_.defect(where, "PR_CONTENT_COUNT is " + std::to_string(*n) + " but the contents table has " + std::to_string(contents->rows.size()) + " row(s)");
        if (auto n = intValue(*props, kAssocContentCount); n && assoc && size_t(*n) != assoc->rows.size())
            c_.defect(where, "PR_ASSOC_CONTENT_COUNT is " + std::to_string(*n) + " but the FAI contents table has " + std::to_string(assoc->rows.size()) + " row(s)");

        if (contents) {
            matchRows(*contents, nid, {kTypeMessage}, where + " contents table");
            size_t unread = 0;
            for (auto& row : contents->rows) {
                if (fmt::nidTypeOf(row.rowId) != kTypeMessage || !c_.nodes.count(row.rowId)) continue;
                auto message = checkTopMessage(row.rowId, nid, &row);
                if (message && !(intValue(*message, kMessageFlags).value_or(0) & kMsgFlagRead)) ++unread;
            }
            if (auto n = intValue(*props, kContentUnread); n && size_t(*n) != unread)
                c_.defect(where, "PR_CONTENT_UNREAD is " + std::to_string(*n) + " but " + std::to_string(unread) + " message(s) are unread");
        }
        if (assoc) {
            matchRows(*assoc, nid, {kTypeAssocMessage}, where + " FAI contents table");
            for (auto& row : assoc->rows)
                if (fmt::nidTypeOf(row.rowId) == kTypeAssocMessage && c_.nodes.count(row.rowId)) checkTopMessage(row.rowId, nid, nullptr);
        }
        if (hierarchy) {
            matchRows(*hierarchy, nid, {kTypeFolder, kTypeSearchFolder}, where + " hierarchy table");
            for (auto& row : hierarchy->rows) {
                uint32_t child = row.rowId;
                uint32_t type = fmt::nidTypeOf(child);
                if ((type != kTypeFolder && type != kTypeSearchFolder) || !c_.nodes.count(child)) continue;
                walkFolder(child, nid, depth + 1);
                if (type == kTypeFolder) compareFolderRow(row, child);
            }
        }
    }

    // The table's rows are exactly the nodes of these types whose nidParent is the folder.
    void matchRows(const Table& t, uint32_t folder, std::initializer_list<uint32_t> types, const std::string& where) {
        std::set<uint32_t> rows;
        for (auto& row : t.rows) {
            uint32_t type = fmt::nidTypeOf(row.rowId);
            if (std::find(types.begin(), types.end(), type) == types.end()) {
                c_.defect(where, "row " + hex(row.rowId) + " is not a node of the kind the table lists");
                continue;
            }
            if (!rows.insert(row.rowId).second) c_.defect(where, "lists " + hex(row.rowId) + " twice");
            if (!c_.nodes.count(row.rowId)) c_.defect(where, "lists " + hex(row.rowId) + ", which is not in the NBT");
        }
        auto [first, last] = children_.equal_range(folder);
        for (auto it = first; it != last; ++it) {
            uint32_t nid = it->second;
            if (nid == folder) continue;
            if (std::find(types.begin(), types.end(), fmt::nidTypeOf(nid)) == types.end()) continue;
            if (!rows.count(nid)) c_.defect(where, "does not list " + hex(nid) + ", whose nidParent is this folder");
        }
    }

    void compareFolderRow(const TableRow& row, uint32_t child) {
        auto props = cachedFolderProps_.find(child);
        if (props == cachedFolderProps_.end()) return;
        for (PropTag tag : {kContentCount, kContentUnread, kSubfolders}) {
            auto cell = row.find(tag);
            auto own = read::findProp(props->second, tag);
            if (cell && own && !(*cell == *own))
                c_.defect("folder " + hex(child), "its row in the parent's hierarchy table disagrees on " + hex(tag));
        }
        auto name = byId(props->second, kIdDisplayName);
        for (auto& cell : row.cells)
            if (tagId(cell.tag) == kIdDisplayName && name && !(cell.value == *name))
                c_.defect("folder " + hex(child), "its row in the parent's hierarchy table has another display name");
    }

    // --- messages ------------------------------------------------------------------
    std::optional<std::vector<Property>> checkTopMessage(uint32_t nid, uint32_t folder, const TableRow* row) {
        std::string where = "message " + hex(nid);
        if (!visitedMessages_.insert(nid).second) {
            c_.defect(where, "is listed in more than one contents table");
            return std::nullopt;
        }
        checked_.insert(nid);
        auto& n = c_.nodes.at(nid);
        if (n.parentNid != folder) c_.defect(where, "has nidParent " + hex(n.parentNid) + ", but is listed in folder " + hex(folder));
        ++c_.report.summary.messages;
        auto data = loadData(n.bidData, n.bidSub, where);
        if (!data) return std::nullopt;
        auto props = checkMessage(*data, where, 0);
        if (props && row) {
            for (uint16_t id : {kIdSubject, kIdMessageClass}) {
                auto own = byId(*props, id);
                for (auto& cell : row->cells)
                    if (tagId(cell.tag) == id && own && !(cell.value == *own))
                        c_.defect(where, "its contents-table row disagrees on property " + hex(id));
            }
        }
        return props;
    }

    std::optional<std::vector<Property>> checkMessage(const NodeData& node, const std::string& where, int depth) {
        if (depth > 64) {
            c_.defect(where, "embedded messages nest deeper than 64 levels");
            return std::nullopt;
        }
        auto props = pc(node, where);
        if (!props) return std::nullopt;
        if (!byId(*props, kIdMessageClass)) c_.defect(where, "PR_MESSAGE_CLASS is missing");
        auto flags = intValue(*props, kMessageFlags);
        if (!flags) c_.tolerated(where, "PR_MESSAGE_FLAGS is missing");

        size_t attachmentNodes = 0;
        for (auto& [sub, leaf] : node.subnodes()) {
            uint32_t type = fmt::nidTypeOf(sub);
            if (type == kTypeAttachment) ++attachmentNodes;
            else if (type != kTypeRecipientTable && type != kTypeAttachmentTable && type != kTypeLtp)
                c_.note(where + ": subnode " + hex(sub) + " has an unexpected type");
        }
        if (auto rt = node.subnode(fmt::kNidRecipientTable)) {
            if (auto d = loadData(rt->bidData, rt->bidSub, where + " recipient table"))
                if (auto t = tc(*d, where + " recipient table")) c_.report.summary.recipients += t->rows.size();
        } else {
            c_.tolerated(where, "has no recipient table");
        }
        size_t rows = 0;
        if (auto at = node.subnode(fmt::kNidAttachmentTable)) {
            auto d = loadData(at->bidData, at->bidSub, where + " attachment table");
            auto t = d ? tc(*d, where + " attachment table") : std::nullopt;
            if (t) {
                rows = t->rows.size();
                std::set<uint32_t> listed;
                for (auto& row : t->rows) {
                    std::string aw = where + " attachment " + hex(row.rowId);
                    if (fmt::nidTypeOf(row.rowId) != kTypeAttachment || !listed.insert(row.rowId).second) {
                        c_.defect(aw, "is not a distinct attachment subnode id");
                        continue;
                    }
                    auto sub = node.subnode(row.rowId);
                    if (!sub) {
                        c_.defect(aw, "is listed in the attachment table but missing from the subnodes");
                        continue;
                    }
                    checkAttachment(*sub, row, aw, depth);
                }
                if (listed.size() != attachmentNodes)
                    c_.defect(where, "has " + std::to_string(attachmentNodes) + " attachment subnode(s) but " + std::to_string(listed.size()) + " attachment table row(s)");
            }
        } else if (attachmentNodes) {
            c_.defect(where, "has attachment subnodes but no attachment table");
        }
        if (flags && bool(*flags & kMsgFlagHasAttach) != (rows > 0))
            c_.tolerated(where, std::string("MSGFLAG_HASATTACH is ") + ((*flags & kMsgFlagHasAttach) ? "set" : "clear") + " with " + std::to_string(rows) + " attachment(s)");
        return props;
    }

    void checkAttachment(const read::SubnodeLeaf& sub, const TableRow& row, const std::string& where, int depth) {
        ++c_.report.summary.attachments;
        auto data = loadData(sub.bidData, sub.bidSub, where);
        if (!data) return;
        auto props = pc(*data, where);
        if (!props) return;
        auto method = intValue(*props, kAttachMethod);
        if (!method) c_.defect(where, "PR_ATTACH_METHOD is missing");
        if (auto cell = row.find(kAttachMethod); cell && method && !(*cell == PropValue(*method)))
            c_.defect(where, "its attachment-table row disagrees on PR_ATTACH_METHOD");
        if (method == kAttachEmbedded) {
            auto v = read::findProp(*props, kAttachDataObject);
            if (!v) return c_.defect(where, "an embedded message without PR_ATTACH_DATA_OBJ");
            uint32_t nid = read::u32(std::get<Bytes>(*v), 0);
            auto msg = data->subnode(nid);
            if (!msg) return c_.defect(where, "embedded message subnode " + hex(nid) + " is missing");
            if (auto m = loadData(msg->bidData, msg->bidSub, where + " embedded message")) checkMessage(*m, where + " embedded message", depth + 1);
        } else if (method == kAttachByValue && !read::findProp(*props, kAttachDataBinary)) {
            c_.tolerated(where, "attached by value without PR_ATTACH_DATA_BIN");
        }
    }

    // --- reachability ------------------------------------------------------------------
    void checkReachability() {
        size_t orphans = 0;
        for (auto& [nid, n] : c_.nodes) {
            uint32_t type = fmt::nidTypeOf(nid);
            if ((type == kTypeFolder || type == kTypeSearchFolder) && !visitedFolders_.count(nid))
                c_.defect("folder " + hex(nid), "is not reachable from the root folder's hierarchy");
            if ((type == kTypeMessage || type == kTypeAssocMessage) && !visitedMessages_.count(nid)) {
                // A folder whose table could not be read is reported once, not per message.
                if (unreadableTables_.count(n.parentNid)) continue;
                if (++orphans <= 10) c_.defect("message " + hex(nid), "is not listed in any folder's contents table");
            }
            if (type == kTypeHierarchy || type == kTypeContents || type == kTypeAssocContents) {
                bool isTemplate = nid == fmt::kNidHierarchyTableTemplate || nid == fmt::kNidContentsTableTemplate ||
                                  nid == fmt::kNidAssocContentsTableTemplate;
                if (!isTemplate && !c_.nodes.count(fmt::relatedNid(nid, kTypeFolder)))
                    c_.defect("table " + hex(nid), "belongs to no folder");
            }
        }
        if (orphans > 10) c_.defect("messages", std::to_string(orphans - 10) + " more are not listed in any folder's contents table");
        if (ipm_ && !visitedFolders_.count(*ipm_)) c_.defect("IPM subtree " + hex(*ipm_), "is not in the folder tree");
        if (ipm_ && c_.nodes.count(*ipm_) && c_.nodes.at(*ipm_).parentNid != fmt::kNidRootFolder)
            c_.defect("IPM subtree " + hex(*ipm_), "is not a child of the root folder");
        if (wastebasket_ && ipm_ && c_.nodes.count(*wastebasket_) && c_.nodes.at(*wastebasket_).parentNid != *ipm_)
            c_.defect("Deleted Items " + hex(*wastebasket_), "is not a child of the IPM subtree");
        if (finder_ && c_.nodes.count(*finder_) && c_.nodes.at(*finder_).parentNid != fmt::kNidRootFolder)
            c_.defect("search root " + hex(*finder_), "is not a child of the root folder");
        bool spam = false;
        for (auto& [nid, n] : c_.nodes)
            if (fmt::nidTypeOf(nid) == kTypeSearchFolder && n.parentNid == fmt::kNidRootFolder) spam = true;
        if (!spam) c_.tolerated("root folder", "has no search folder (the spam search folder)");
    }

    // Structure of the PCs and TCs nothing above has visited.
    void checkRemainingNodes() {
        for (auto& [nid, n] : c_.nodes) {
            if (checked_.count(nid) || n.bidData == 0) continue;
            uint32_t type = fmt::nidTypeOf(nid);
            bool isPc = type == kTypeFolder || type == kTypeSearchFolder || type == kTypeMessage || type == kTypeAssocMessage;
            bool isTc = (type >= kTypeHierarchy && type <= kTypeRecipientTable) || type == 0x0B || type == 0x0C;
            if (isPc) pcNode(nid, "node");
            else if (isTc) tcNode(nid, "table");
            (void)kTypeInternal;
        }
    }

    Checker& c_;
    Bytes recordKey_;
    std::optional<uint32_t> ipm_, wastebasket_, finder_;
    std::set<uint32_t> visitedFolders_, visitedMessages_, checked_;
    std::map<uint32_t, std::vector<Property>> cachedFolderProps_;
    std::multimap<uint32_t, uint32_t> children_;  // nidParent -> nid
    std::set<uint32_t> unreadableTables_;         // folders whose contents tables failed
};

}  // namespace

void checkMessaging(Checker& c) { MessagingPass(c).run(); }

}  // namespace pst::check
