// The LTP and messaging passes: every heap, BTH, PC and TC; the mandatory
// nodes; the store, the name-to-id map and the templates; the folder tree
// with its tables against the nodes they list; messages and attachments.

#include <algorithm>
#include <optional>
#include <set>

#include "pst/check/checker.h"
#include "pst/format/constants.h"
#include "pst/format/nid.h"
#include "pst/format/crc.h"
#include "pst/format/property_tags.h"
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

using namespace pst::tags;

// Columns every template must have, by property id ([MS-PST] "Hierarchy
// Table Template", "Contents Table Template", "FAI Contents Table Template",
// "Recipient Table Template", "Attachment Table Template").
const std::vector<PropTag> kHierarchyColumns = {
    PR_REPL_ITEMID, PR_REPL_CHANGENUM, PR_REPL_VERSIONHISTORY, PR_REPL_FLAGS, PR_DISPLAY_NAME_W,
    PR_CONTENT_COUNT, PR_CONTENT_UNREAD, PR_SUBFOLDERS, PR_CONTAINER_CLASS_W, PR_PST_HIDDEN_COUNT,
    PR_PST_HIDDEN_UNREAD, PR_LTP_ROW_ID, PR_LTP_ROW_VER};
const std::vector<PropTag> kContentsColumns = {
    PR_IMPORTANCE, PR_MESSAGE_CLASS_W, PR_SENSITIVITY, PR_SUBJECT_W, PR_CLIENT_SUBMIT_TIME,
    PR_SENT_REPRESENTING_NAME_W, PR_MESSAGE_TO_ME, PR_MESSAGE_CC_ME, PR_CONVERSATION_TOPIC_W,
    PR_CONVERSATION_INDEX, PR_DISPLAY_CC_W, PR_DISPLAY_TO_W, PR_MESSAGE_DELIVERY_TIME, PR_MESSAGE_FLAGS,
    PR_MESSAGE_SIZE, PR_MSG_STATUS, PR_REPL_ITEMID, PR_REPL_CHANGENUM, PR_REPL_VERSIONHISTORY, PR_REPL_FLAGS,
    PR_REPL_COPIEDFROM_VERSIONHISTORY, PR_REPL_COPIEDFROM_ITEMID, PR_ITEM_TEMPORARY_FLAGS,
    PR_LAST_MODIFICATION_TIME, PR_SECURE_SUBMIT_FLAGS, PR_LTP_ROW_ID, PR_LTP_ROW_VER};
const std::vector<PropTag> kAssocContentsColumns = {
    PR_MESSAGE_CLASS_W, PR_MESSAGE_FLAGS, PR_MSG_STATUS, PR_DISPLAY_NAME_W, PR_LTP_ROW_ID, PR_LTP_ROW_VER,
    PR_OFFLINE_ADDRBOOK_NAME_W, PR_SEND_OUTLOOK_RECALL_REPORT, PR_OAB_TRUNCATED_PROPS, PR_VD_FLAGS,
    PR_VD_LINK_TO, PR_VD_VIEW_FOLDER, PR_VD_NAME_W, PR_VD_VERSION};
const std::vector<PropTag> kRecipientColumns = {
    PR_RECIPIENT_TYPE, PR_RESPONSIBILITY, PR_RECORD_KEY, PR_OBJECT_TYPE, PR_ENTRYID, PR_DISPLAY_NAME_W,
    PR_ADDRTYPE_W, PR_EMAIL_ADDRESS_W, PR_SEARCH_KEY, PR_DISPLAY_TYPE, PR_7BIT_DISPLAY_NAME_W,
    PR_SEND_RICH_INFO, PR_LTP_ROW_ID, PR_LTP_ROW_VER};
const std::vector<PropTag> kAttachmentColumns = {
    PR_ATTACH_SIZE, PR_ATTACH_FILENAME_W, PR_ATTACH_METHOD, PR_RENDERING_POSITION, PR_LTP_ROW_ID,
    PR_LTP_ROW_VER};

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
        for (auto& [nid, n] : c_.nodes) children_.emplace(n.nidParent, nid);
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
                             fmt::relatedNid(fmt::kNidRootFolder, fmt::NID_TYPE_HIERARCHY_TABLE), fmt::relatedNid(fmt::kNidRootFolder, fmt::NID_TYPE_CONTENTS_TABLE),
                             fmt::relatedNid(fmt::kNidRootFolder, fmt::NID_TYPE_ASSOC_CONTENTS_TABLE), fmt::kNidSearchManagementQueue,
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
        uint32_t type = fmt::nidType(nid);
        if (it == c_.nodes.end() || (type != fmt::NID_TYPE_NORMAL_FOLDER && type != fmt::NID_TYPE_SEARCH_FOLDER)) {
            c_.defect("message store", name + " names " + hex(nid) + ", which is not a folder node");
            return std::nullopt;
        }
        return nid;
    }

    void checkStore() {
        auto store = pcNode(fmt::kNidMessageStore, "message store");
        if (!store) return;
        auto rk = read::findProp(*store, PR_RECORD_KEY);
        if (!rk || !std::holds_alternative<Bytes>(*rk) || std::get<Bytes>(*rk).size() != 16)
            c_.defect("message store", "PR_RECORD_KEY is missing or not 16 bytes");
        else
            recordKey_ = std::get<Bytes>(*rk);
        if (!byId(*store, tagId(PR_DISPLAY_NAME_W))) c_.defect("message store", "PR_DISPLAY_NAME is missing");
        if (recordKey_.empty()) return;
        ipm_ = entryIdFolder(*store, PR_IPM_SUBTREE_ENTRYID, "PR_IPM_SUBTREE_ENTRYID");
        wastebasket_ = entryIdFolder(*store, PR_IPM_WASTEBASKET_ENTRYID, "PR_IPM_WASTEBASKET_ENTRYID");
        finder_ = entryIdFolder(*store, PR_FINDER_ENTRYID, "PR_FINDER_ENTRYID");
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
        auto count = intValue(*props, PR_NAMEID_BUCKET_COUNT);
        if (!count || *count <= 0) return c_.defect("name-to-id map", "PidTagNameidBucketCount is missing");
        // Every name must sit in the hash bucket its record selects.
        auto entries = read::findProp(*props, PR_NAMEID_STREAM_ENTRY);
        if (!entries) return;
        auto& e = std::get<Bytes>(*entries);
        size_t misplaced = 0;
        for (size_t o = 0; o + 8 <= e.size(); o += 8) {
            uint32_t key = read::u32(e, o);
            uint16_t w = read::u16(e, o + 4);
            uint16_t index = read::u16(e, o + 6);
            if (w & 1) {
                auto& name = map.byId.at(static_cast<uint16_t>(kFirstNamedPropertyId + index)).name;
                key = fmt::crc32({reinterpret_cast<const uint8_t*>(name.data()), name.size() * 2});
            }
            uint32_t bucket = (key ^ w) % static_cast<uint32_t>(*count);
            auto b = read::findProp(*props, makeTag(static_cast<uint16_t>(NAMEID_BUCKET_BASE + bucket), PropType::Binary));
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

    void requireColumns(const Table& t, const std::vector<PropTag>& required, const std::string& where) {
        for (PropTag column : required)
            if (std::none_of(t.columns.begin(), t.columns.end(), [&](PropTag tag) { return tagId(tag) == tagId(column); }))
                c_.defect(where, "lacks the column " + hex(tagId(column)));
    }

    void checkTemplates() {
        struct Template { uint32_t nid; const char* name; const std::vector<PropTag>* columns; };
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
        if (node.nidParent != expectedParent) c_.defect(where, "has nidParent " + hex(node.nidParent) + ", but is listed under " + hex(expectedParent));
        bool search = fmt::nidType(nid) == fmt::NID_TYPE_SEARCH_FOLDER;
        ++(search ? c_.report.summary.searchFolders : c_.report.summary.folders);
        auto props = pcNode(nid, search ? "search folder" : "folder");
        if (!props) return;
        if (!byId(*props, tagId(PR_DISPLAY_NAME_W))) c_.defect(where, "PR_DISPLAY_NAME is missing");
        cachedFolderProps_[nid] = *props;
        if (search) {
            auto contents = fmt::relatedNid(nid, fmt::NID_TYPE_SEARCH_CONTENTS_TABLE);
            if (c_.nodes.count(contents)) tcNode(contents, "search contents table");
            return;
        }
        std::string missing;
        for (PropTag tag : {PR_CONTENT_COUNT, PR_CONTENT_UNREAD, PR_SUBFOLDERS})
            if (!read::findProp(*props, tag)) missing += (missing.empty() ? "" : ", ") + hex(tag);
        if (!missing.empty()) c_.tolerated(where, "lacks " + missing);

        auto hierarchy = tcNode(fmt::relatedNid(nid, fmt::NID_TYPE_HIERARCHY_TABLE), "hierarchy table");
        auto contents = tcNode(fmt::relatedNid(nid, fmt::NID_TYPE_CONTENTS_TABLE), "contents table");
        auto assoc = tcNode(fmt::relatedNid(nid, fmt::NID_TYPE_ASSOC_CONTENTS_TABLE), "FAI contents table");
        if (!contents || !assoc) unreadableTables_.insert(nid);

        if (auto v = read::findProp(*props, PR_SUBFOLDERS); v && hierarchy && std::holds_alternative<bool>(*v))
            if (std::get<bool>(*v) != !hierarchy->rows.empty())
                c_.defect(where, std::string("PR_SUBFOLDERS is ") + (std::get<bool>(*v) ? "true" : "false") + " but the hierarchy table has " +
                                     std::to_string(hierarchy->rows.size()) + " row(s)");
        if (auto n = intValue(*props, PR_CONTENT_COUNT); n && contents && size_t(*n) != contents->rows.size())
            c_.defect(where, "PR_CONTENT_COUNT is " + std::to_string(*n) + " but the contents table has " + std::to_string(contents->rows.size()) + " row(s)");
        if (auto n = intValue(*props, PR_ASSOC_CONTENT_COUNT); n && assoc && size_t(*n) != assoc->rows.size())
            c_.defect(where, "PR_ASSOC_CONTENT_COUNT is " + std::to_string(*n) + " but the FAI contents table has " + std::to_string(assoc->rows.size()) + " row(s)");

        if (contents) {
            matchRows(*contents, nid, {fmt::NID_TYPE_NORMAL_MESSAGE}, where + " contents table");
            size_t unread = 0;
            for (auto& row : contents->rows) {
                if (fmt::nidType(row.rowId) != fmt::NID_TYPE_NORMAL_MESSAGE || !c_.nodes.count(row.rowId)) continue;
                auto message = checkTopMessage(row.rowId, nid, &row);
                if (message && !(intValue(*message, PR_MESSAGE_FLAGS).value_or(0) & MSGFLAG_READ)) ++unread;
            }
            if (auto n = intValue(*props, PR_CONTENT_UNREAD); n && size_t(*n) != unread)
                c_.defect(where, "PR_CONTENT_UNREAD is " + std::to_string(*n) + " but " + std::to_string(unread) + " message(s) are unread");
        }
        if (assoc) {
            matchRows(*assoc, nid, {fmt::NID_TYPE_ASSOC_MESSAGE}, where + " FAI contents table");
            for (auto& row : assoc->rows)
                if (fmt::nidType(row.rowId) == fmt::NID_TYPE_ASSOC_MESSAGE && c_.nodes.count(row.rowId)) checkTopMessage(row.rowId, nid, nullptr);
        }
        if (hierarchy) {
            matchRows(*hierarchy, nid, {fmt::NID_TYPE_NORMAL_FOLDER, fmt::NID_TYPE_SEARCH_FOLDER}, where + " hierarchy table");
            for (auto& row : hierarchy->rows) {
                uint32_t child = row.rowId;
                uint32_t type = fmt::nidType(child);
                if ((type != fmt::NID_TYPE_NORMAL_FOLDER && type != fmt::NID_TYPE_SEARCH_FOLDER) || !c_.nodes.count(child)) continue;
                walkFolder(child, nid, depth + 1);
                if (type == fmt::NID_TYPE_NORMAL_FOLDER) compareFolderRow(row, child);
            }
        }
    }

    // The table's rows are exactly the nodes of these types whose nidParent is the folder.
    void matchRows(const Table& t, uint32_t folder, std::initializer_list<uint32_t> types, const std::string& where) {
        std::set<uint32_t> rows;
        for (auto& row : t.rows) {
            uint32_t type = fmt::nidType(row.rowId);
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
            if (std::find(types.begin(), types.end(), fmt::nidType(nid)) == types.end()) continue;
            if (!rows.count(nid)) c_.defect(where, "does not list " + hex(nid) + ", whose nidParent is this folder");
        }
    }

    void compareFolderRow(const TableRow& row, uint32_t child) {
        auto props = cachedFolderProps_.find(child);
        if (props == cachedFolderProps_.end()) return;
        for (PropTag tag : {PR_CONTENT_COUNT, PR_CONTENT_UNREAD, PR_SUBFOLDERS}) {
            auto cell = row.find(tag);
            auto own = read::findProp(props->second, tag);
            if (cell && own && !(*cell == *own))
                c_.defect("folder " + hex(child), "its row in the parent's hierarchy table disagrees on " + hex(tag));
        }
        auto name = byId(props->second, tagId(PR_DISPLAY_NAME_W));
        for (auto& cell : row.cells)
            if (tagId(cell.tag) == tagId(PR_DISPLAY_NAME_W) && name && !(cell.value == *name))
                c_.defect("folder " + hex(child), "its row in the parent's hierarchy table has another display name");
    }

    // A table cell may hold only the first 255 characters of a longer string,
    // as Outlook's tables do (one fewer where the 255th begins a surrogate pair).
    static bool isTableTruncation(const PropValue& cell, const PropValue& full) {
        auto* c = std::get_if<std::u16string>(&cell);
        auto* f = std::get_if<std::u16string>(&full);
        if (!c || !f || f->size() <= 255) return false;
        size_t keep = 255;
        if ((*f)[keep - 1] >= 0xD800 && (*f)[keep - 1] <= 0xDBFF) --keep;
        return f->compare(0, keep, *c) == 0 && c->size() == keep;
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
        if (n.nidParent != folder) c_.defect(where, "has nidParent " + hex(n.nidParent) + ", but is listed in folder " + hex(folder));
        ++c_.report.summary.messages;
        auto data = loadData(n.bidData, n.bidSub, where);
        if (!data) return std::nullopt;
        auto props = checkMessage(*data, where, 0);
        if (props && row) {
            for (uint16_t id : {tagId(PR_SUBJECT_W), tagId(PR_MESSAGE_CLASS_W)}) {
                auto own = byId(*props, id);
                for (auto& cell : row->cells)
                    if (tagId(cell.tag) == id && own && !(cell.value == *own) && !isTableTruncation(cell.value, *own))
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
        if (!byId(*props, tagId(PR_MESSAGE_CLASS_W))) c_.defect(where, "PR_MESSAGE_CLASS is missing");
        auto flags = intValue(*props, PR_MESSAGE_FLAGS);
        if (!flags) c_.tolerated(where, "PR_MESSAGE_FLAGS is missing");

        size_t attachmentNodes = 0;
        for (auto& [sub, leaf] : node.subnodes()) {
            uint32_t type = fmt::nidType(sub);
            if (type == fmt::NID_TYPE_ATTACHMENT) ++attachmentNodes;
            else if (type != fmt::NID_TYPE_RECIPIENT_TABLE && type != fmt::NID_TYPE_ATTACHMENT_TABLE && type != fmt::NID_TYPE_LTP)
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
                    if (fmt::nidType(row.rowId) != fmt::NID_TYPE_ATTACHMENT || !listed.insert(row.rowId).second) {
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
        if (flags && bool(*flags & MSGFLAG_HASATTACH) != (rows > 0))
            c_.tolerated(where, std::string("MSGFLAG_HASATTACH is ") + ((*flags & MSGFLAG_HASATTACH) ? "set" : "clear") + " with " + std::to_string(rows) + " attachment(s)");
        return props;
    }

    void checkAttachment(const read::SubnodeLeaf& sub, const TableRow& row, const std::string& where, int depth) {
        ++c_.report.summary.attachments;
        auto data = loadData(sub.bidData, sub.bidSub, where);
        if (!data) return;
        auto props = pc(*data, where);
        if (!props) return;
        auto method = intValue(*props, PR_ATTACH_METHOD);
        if (!method) c_.defect(where, "PR_ATTACH_METHOD is missing");
        if (auto cell = row.find(PR_ATTACH_METHOD); cell && method && !(*cell == PropValue(*method)))
            c_.defect(where, "its attachment-table row disagrees on PR_ATTACH_METHOD");
        if (method == ATTACH_EMBEDDED_MSG) {
            auto v = read::findProp(*props, PR_ATTACH_DATA_OBJ);
            if (!v) return c_.defect(where, "an embedded message without PR_ATTACH_DATA_OBJ");
            uint32_t nid = read::u32(std::get<Bytes>(*v), 0);
            auto msg = data->subnode(nid);
            if (!msg) return c_.defect(where, "embedded message subnode " + hex(nid) + " is missing");
            if (auto m = loadData(msg->bidData, msg->bidSub, where + " embedded message")) checkMessage(*m, where + " embedded message", depth + 1);
        } else if (method == ATTACH_BY_VALUE && !read::findProp(*props, PR_ATTACH_DATA_BIN)) {
            c_.tolerated(where, "attached by value without PR_ATTACH_DATA_BIN");
        }
    }

    // --- reachability ------------------------------------------------------------------
    void checkReachability() {
        size_t orphans = 0;
        for (auto& [nid, n] : c_.nodes) {
            uint32_t type = fmt::nidType(nid);
            if ((type == fmt::NID_TYPE_NORMAL_FOLDER || type == fmt::NID_TYPE_SEARCH_FOLDER) && !visitedFolders_.count(nid))
                c_.defect("folder " + hex(nid), "is not reachable from the root folder's hierarchy");
            if ((type == fmt::NID_TYPE_NORMAL_MESSAGE || type == fmt::NID_TYPE_ASSOC_MESSAGE) && !visitedMessages_.count(nid)) {
                // A folder whose table could not be read is reported once, not per message.
                if (unreadableTables_.count(n.nidParent)) continue;
                if (++orphans <= 10) c_.defect("message " + hex(nid), "is not listed in any folder's contents table");
            }
            if (type == fmt::NID_TYPE_HIERARCHY_TABLE || type == fmt::NID_TYPE_CONTENTS_TABLE || type == fmt::NID_TYPE_ASSOC_CONTENTS_TABLE) {
                bool isTemplate = nid == fmt::kNidHierarchyTableTemplate || nid == fmt::kNidContentsTableTemplate ||
                                  nid == fmt::kNidAssocContentsTableTemplate;
                if (!isTemplate && !c_.nodes.count(fmt::relatedNid(nid, fmt::NID_TYPE_NORMAL_FOLDER)))
                    c_.defect("table " + hex(nid), "belongs to no folder");
            }
        }
        if (orphans > 10) c_.defect("messages", std::to_string(orphans - 10) + " more are not listed in any folder's contents table");
        if (ipm_ && !visitedFolders_.count(*ipm_)) c_.defect("IPM subtree " + hex(*ipm_), "is not in the folder tree");
        if (ipm_ && c_.nodes.count(*ipm_) && c_.nodes.at(*ipm_).nidParent != fmt::kNidRootFolder)
            c_.defect("IPM subtree " + hex(*ipm_), "is not a child of the root folder");
        if (wastebasket_ && ipm_ && c_.nodes.count(*wastebasket_) && c_.nodes.at(*wastebasket_).nidParent != *ipm_)
            c_.defect("Deleted Items " + hex(*wastebasket_), "is not a child of the IPM subtree");
        if (finder_ && c_.nodes.count(*finder_) && c_.nodes.at(*finder_).nidParent != fmt::kNidRootFolder)
            c_.defect("search root " + hex(*finder_), "is not a child of the root folder");
        bool spam = false;
        for (auto& [nid, n] : c_.nodes)
            if (fmt::nidType(nid) == fmt::NID_TYPE_SEARCH_FOLDER && n.nidParent == fmt::kNidRootFolder) spam = true;
        if (!spam) c_.tolerated("root folder", "has no search folder (the spam search folder)");
    }

    // Structure of the PCs and TCs nothing above has visited.
    void checkRemainingNodes() {
        for (auto& [nid, n] : c_.nodes) {
            if (checked_.count(nid) || n.bidData == 0) continue;
            uint32_t type = fmt::nidType(nid);
            bool isPc = type == fmt::NID_TYPE_NORMAL_FOLDER || type == fmt::NID_TYPE_SEARCH_FOLDER || type == fmt::NID_TYPE_NORMAL_MESSAGE || type == fmt::NID_TYPE_ASSOC_MESSAGE;
            bool isTc = (type >= fmt::NID_TYPE_HIERARCHY_TABLE && type <= fmt::NID_TYPE_RECIPIENT_TABLE) || type == fmt::NID_TYPE_RECEIVE_FOLDER_TABLE || type == fmt::NID_TYPE_OUTGOING_QUEUE_TABLE;
            if (isPc) pcNode(nid, "node");
            else if (isTc) tcNode(nid, "table");
            (void)fmt::NID_TYPE_INTERNAL;
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
