// A new store laid out as Outlook lays out its own. Every node a new store
// holds before the user's first folder, every property of the store object,
// the root folder, the IPM subtree, the search folders and Deleted Items, and
// every column of the table templates, are compared with each Outlook-made
// sample store. A difference passes only where an allowance below names the
// section of [MS-PST] (or [MS-OXPROPS], [MS-OXCFOLD]) that allows it.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "pst/format/heap.h"
#include "pst/format/nid.h"
#include "pst/read/ndb.h"
#include "pst/read/pst_reader.h"
#include "store_test_support.h"

using namespace pst;
using namespace pst::format;
using namespace pst::tags;
using namespace pst::testing;

namespace {

std::string hex(uint32_t v) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << v;
    return s.str();
}

template <class... Parts>
std::string text(const Parts&... parts) {
    std::ostringstream s;
    (s << ... << parts);
    return s.str();
}

std::string bytesText(const std::vector<uint8_t>& b) {
    std::ostringstream s;
    s << b.size() << " bytes";
    for (size_t i = 0; i < b.size() && i < 24; ++i) s << (i ? ' ' : ':') << std::hex << std::uppercase << int(b[i]);
    if (b.size() > 24) s << " ...";
    return s.str();
}

std::string describe(const PropValue& v) {
    if (auto* i = std::get_if<int32_t>(&v)) return hex(uint32_t(*i));
    if (auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto* b = std::get_if<bool>(&v)) return *b ? "true" : "false";
    if (auto* t = std::get_if<std::u16string>(&v)) {
        std::string ascii;
        for (char16_t c : *t) ascii += c < 0x80 ? char(c) : '?';
        return text('"', ascii.substr(0, 60), '"');
    }
    if (auto* b = std::get_if<Bytes>(&v)) return bytesText(*b);
    if (auto* t = std::get_if<FileTime>(&v)) return text("time ", t->value);
    return "a value";
}

enum class NodeKind { PropertyContext, TableContext, OtherHeap, Raw };

const char* kindName(NodeKind k) {
    switch (k) {
        case NodeKind::PropertyContext: return "a property context";
        case NodeKind::TableContext: return "a table context";
        case NodeKind::OtherHeap: return "a heap of another kind";
        case NodeKind::Raw: return "raw data";
    }
    return "?";
}

bool isSpecialInternalNid(Nid nid) {
    static const std::set<Nid> special = {
        kNidMessageStore,         kNidNameToIdMap,         kNidNormalFolderTemplate, kNidSearchFolderTemplate,
        kNidSearchManagementQueue, kNidSearchActivityList, kNidReserved1,            kNidSearchDomainObject,
        kNidSearchGathererQueue,  kNidSearchGathererDescriptor, kNidReserved2,       kNidReserved3,
        kNidSearchGathererFolderQueue};
    return special.count(nid) != 0;
}

bool isTemplate(Nid nid) {
    static const std::set<Nid> templates = {
        kNidHierarchyTableTemplate, kNidContentsTableTemplate, kNidAssocContentsTableTemplate,
        kNidSearchContentsTableTemplate, kNidAttachmentTable, kNidRecipientTable, kNidReceiveFolderTable,
        kNidOutgoingQueueTable, kNidReplicationTables[0], kNidReplicationTables[1], kNidReplicationTables[2]};
    return templates.count(nid) != 0;
}

// The folder template a folder's table was made from (a folder template
// is its own).
Nid templateOf(Nid folderTable) {
    if (folderTable == kNidRecipientTable || folderTable == kNidAttachmentTable) return folderTable;
    switch (nidType(folderTable)) {
        case NID_TYPE_HIERARCHY_TABLE: return kNidHierarchyTableTemplate;
        case NID_TYPE_CONTENTS_TABLE: return kNidContentsTableTemplate;
        case NID_TYPE_ASSOC_CONTENTS_TABLE: return kNidAssocContentsTableTemplate;
        case NID_TYPE_SEARCH_CONTENTS_TABLE: return kNidSearchContentsTableTemplate;
        default: return 0;
    }
}

// One store, opened both as a whole and at the node level.
struct StoreView {
    std::string label;
    std::unique_ptr<read::PstReader> reader;
    std::unique_ptr<read::Ndb> ndb;

    StoreView(std::string name, const std::filesystem::path& file)
        : label(std::move(name)), reader(read::PstReader::open(file)), ndb(read::Ndb::open(file)) {}

    NodeKind kind(Nid nid) {
        auto node = ndb->findNode(nid);
        if (!node || node->bidData == 0) return NodeKind::Raw;
        auto data = ndb->readDataBlocks(node->bidData);
        if (data.empty() || data[0].size() < kHnHdrSize || data[0][2] != kHeapSignature) return NodeKind::Raw;
        switch (data[0][3]) {
            case kClientSigPropertyContext: return NodeKind::PropertyContext;
            case kClientSigTableContext: return NodeKind::TableContext;
            default: return NodeKind::OtherHeap;
        }
    }
    std::vector<uint8_t> rawData(Nid nid) {
        auto node = ndb->findNode(nid);
        return node && node->bidData ? ndb->readData(node->bidData) : std::vector<uint8_t>{};
    }
    // The nodes a store has before the user's first folder: every NID below
    // the first index handed out (internal nodes, templates, the root folder
    // and the spam search folder) and the nodes of the folders made at the
    // first indexes (IPM subtree, search root, Deleted Items).
    std::set<Nid> fixedNodes() {
        std::set<Nid> out;
        std::set<uint32_t> mandatory = {nidIndex(kNidIpmSubtree), nidIndex(kNidSearchRootFolder),
                                        nidIndex(kNidDeletedItems)};
        for (auto& [nid, entry] : ndb->nodes())
            if (nidIndex(nid) < kFirstNidIndex || mandatory.count(nidIndex(nid))) out.insert(nid);
        return out;
    }
    std::map<PropTag, PropValue> properties(Nid nid) {
        std::map<PropTag, PropValue> out;
        for (auto& p : reader->properties(nid)) out.emplace(p.tag, p.value);
        return out;
    }
    std::set<PropTag> columns(Nid nid) {
        auto t = reader->table(nid);
        return {t.columns.begin(), t.columns.end()};
    }
};

// A difference found between our store and one Outlook-made store.
struct Difference {
    enum Kind { MissingNode, ExtraNode, NodeContent, MissingProperty, ExtraProperty, PropertyValue, MissingColumn,
                ExtraColumn, Rows };
    Kind kind;
    Nid nid = 0;
    PropTag tag = 0;
    std::string text;
};

// Everything the Outlook-made stores hold, to judge a difference against
// all of them at once.
struct Outlook {
    std::vector<std::unique_ptr<StoreView>> stores;

    bool everyStoreHasProperty(Nid nid, PropTag tag) {
        for (auto& s : stores)
            if (!s->properties(nid).count(tag)) return false;
        return true;
    }
    bool someStoreHasProperty(Nid nid, PropTag tag) {
        for (auto& s : stores)
            if (s->properties(nid).count(tag)) return true;
        return false;
    }
    bool someStoreHasValue(Nid nid, PropTag tag, const PropValue& value) {
        for (auto& s : stores) {
            auto props = s->properties(nid);
            auto it = props.find(tag);
            if (it != props.end() && it->second == value) return true;
        }
        return false;
    }
    bool someTemplateHasColumn(Nid templateNid, PropTag tag) {
        for (auto& s : stores)
            if (s->columns(templateNid).count(tag)) return true;
        return false;
    }
};

// Compares our store with one Outlook-made store.
std::vector<Difference> compare(StoreView& ours, StoreView& theirs) {
    std::vector<Difference> out;
    auto mine = ours.fixedNodes(), other = theirs.fixedNodes();
    for (Nid nid : other)
        if (!mine.count(nid)) out.push_back({Difference::MissingNode, nid, 0, "ours lacks the node"});
    for (Nid nid : mine)
        if (!other.count(nid)) out.push_back({Difference::ExtraNode, nid, 0, "ours has a node Outlook's lacks"});
    for (Nid nid : mine) {
        if (!other.count(nid)) continue;
        auto a = ours.kind(nid), b = theirs.kind(nid);
        auto pa = ours.ndb->findNode(nid)->nidParent, pb = theirs.ndb->findNode(nid)->nidParent;
        if (pa != pb) out.push_back({Difference::NodeContent, nid, 0, text("parent ", hex(pa), ", Outlook's ", hex(pb))});
        if (a != b) {
            out.push_back({Difference::NodeContent, nid, 0, text("ours holds ", kindName(a), ", Outlook's ", kindName(b))});
        } else if (a == NodeKind::PropertyContext) {
            auto pm = ours.properties(nid), po = theirs.properties(nid);
            for (auto& [tag, value] : po)
                if (!pm.count(tag))
                    out.push_back({Difference::MissingProperty, nid, tag, text("lacks ", hex(tag), " (Outlook's: ", describe(value), ")")});
            for (auto& [tag, value] : pm) {
                auto it = po.find(tag);
                if (it == po.end())
                    out.push_back({Difference::ExtraProperty, nid, tag, text("has ", hex(tag), " (", describe(value), "), Outlook's has not")});
                else if (!(it->second == value))
                    out.push_back({Difference::PropertyValue, nid, tag,
                                   text(hex(tag), " is ", describe(value), ", Outlook's ", describe(it->second))});
            }
        } else if (a == NodeKind::TableContext) {
            auto cm = ours.columns(nid), co = theirs.columns(nid);
            for (PropTag t : co)
                if (!cm.count(t)) out.push_back({Difference::MissingColumn, nid, t, text("lacks column ", hex(t))});
            for (PropTag t : cm)
                if (!co.count(t)) out.push_back({Difference::ExtraColumn, nid, t, text("has column ", hex(t), ", Outlook's has not")});
            if (templateOf(nid) == nid && (!ours.reader->table(nid).rows.empty() || !theirs.reader->table(nid).rows.empty()))
                out.push_back({Difference::Rows, nid, 0, "a template with rows"});
        } else if (ours.rawData(nid) != theirs.rawData(nid)) {
            out.push_back({Difference::NodeContent, nid, 0,
                           text("data ", bytesText(ours.rawData(nid)), ", Outlook's ", bytesText(theirs.rawData(nid)))});
        }
    }
    return out;
}

// The section that allows a difference, or nothing when none does.
std::optional<std::string> allowance(const Difference& d, StoreView& ours, StoreView& theirs, Outlook& outlook) {
    const Nid nid = d.nid;
    switch (d.kind) {
        case Difference::MissingNode:
            if (nid == kNidSearchGathererDescriptor)
                return "[MS-PST] \"Search Gatherer Descriptor (SGD)\": an opaque blob for content indexing, which the "
                       "format leaves undescribed; \"Mandatory Nodes\" does not list it";
            if (nidType(nid) == NID_TYPE_INTERNAL && !isSpecialInternalNid(nid))
                return "[MS-PST] \"Special Internal NIDs\" lists every internal NID the format knows; this one is "
                       "Outlook's own and \"Mandatory Nodes\" does not ask for it";
            return std::nullopt;
        case Difference::NodeContent:
            if (nid == kNidSearchActivityList && ours.rawData(nid).empty())
                return "[MS-PST] \"Search-Related Objects\": an empty SAL node MUST be created for the minimal PST "
                       "(Outlook lists the spam search folder in its own)";
            if (nid == kNidSearchDomainObject && ours.rawData(nid).empty())
                return "[MS-PST] \"Search Domain Object (SDO)\": the folders some search criteria refer to; a new "
                       "store's searches refer to none";
            if ((nid == kNidSearchGathererQueue || nid == kNidSearchGathererFolderQueue) && ours.rawData(nid).empty())
                return "[MS-PST] \"Search Gatherer Queue (SGQ)\", \"Search Gatherer Folder Queue (SGFQ)\": "
                       "content-indexing work Outlook has queued in a store it has used";
            return std::nullopt;
        case Difference::MissingProperty:
            if (nid == kNidNameToIdMap)
                return "[MS-PST] \"Named Property Lookup Map\": the hash buckets hold the named properties a store "
                       "has used";
            if (nid == kNidDeletedItems && d.tag == makeTag(0x3004, PropType::Unicode))
                return "[MS-PST] \"Minimum Folder Hierarchy\", \"Deleted Items\": the schema properties are the name "
                       "and counts; PidTagComment ([MS-OXPROPS] 2.633) is a free description";
            if (!outlook.everyStoreHasProperty(nid, d.tag))
                return nid == kNidMessageStore
                           ? "[MS-PST] \"Minimum Set of Required Properties\" of the message store does not list it, "
                             "and not every Outlook-made store has it"
                           : "[MS-PST] \"Property Schema of a Folder object PC\" does not require it, and not every "
                             "Outlook-made store has it";
            return std::nullopt;
        case Difference::ExtraProperty:
            if (nid == kNidDeletedItems && d.tag == PR_CONTAINER_CLASS_W)
                return "[MS-OXCFOLD] 2.2.2.2.2.6 PidTagContainerClass: \"IPF.Note\" marks a folder of mail items, "
                       "which Deleted Items holds once the user deletes mail";
            return std::nullopt;
        case Difference::PropertyValue:
            if (nid == kNidNameToIdMap)
                return "[MS-PST] \"Named Property Lookup Map\": its streams and buckets list the named properties a "
                       "store has used";
            if (d.tag == PR_REPL_VERSIONHISTORY)
                return "the version history's one entry names a GUID made for each store, as the provider UID is "
                       "([MS-PST] \"Minimum Set of Required Properties\")";
            if (d.tag == PR_RECORD_KEY)
                return "[MS-PST] \"Minimum Set of Required Properties\": PidTagRecordKey is the store's own provider UID";
            if (d.tag == PR_IPM_SUBTREE_ENTRYID || d.tag == PR_IPM_WASTEBASKET_ENTRYID || d.tag == PR_FINDER_ENTRYID)
                return "[MS-PST] \"EntryID\": an EntryID begins with the store's provider UID";
            if (d.tag == PR_DISPLAY_NAME_W && (nid == kNidMessageStore || nid == kNidRootFolder))
                return "[MS-PST] \"Minimum Set of Required Properties\": the display name of the PST is the user's";
            if (d.tag == PR_CONTENT_COUNT || d.tag == PR_CONTENT_UNREAD || d.tag == PR_SUBFOLDERS ||
                d.tag == PR_PST_HIDDEN_COUNT || d.tag == PR_PST_HIDDEN_UNREAD)
                return "[MS-PST] \"Property Schema of a Folder object PC\": the counts follow what the folder holds";
            if (d.tag == PR_PST_PASSWORD)
                return "[MS-PST] \"PST Password Security\": a nonzero PidTagPstPassword is a password the user set";
            if (outlook.someStoreHasValue(nid, d.tag, ours.properties(nid).at(d.tag)))
                return "the Outlook-made stores disagree on this value and ours is one of theirs; [MS-PST] \"Minimum "
                       "Set of Required Properties\" does not fix it";
            return std::nullopt;
        case Difference::MissingColumn:
            if (!isTemplate(nid) && templateOf(nid) && !theirs.columns(templateOf(nid)).count(d.tag))
                return "[MS-PST] \"Implications of Modifying a Folder Object TC\": columns can be added to a folder's "
                       "table after it is made from its template";
            return std::nullopt;
        case Difference::ExtraColumn: {
            Nid templ = isTemplate(nid) ? nid : templateOf(nid);
            if (templ && outlook.someTemplateHasColumn(templ, d.tag))
                return "[MS-PST] \"Contents Table Template\": the template lists only the required columns; "
                       "additional ones can be added by newer versions of Outlook, as some of its stores have";
            return std::nullopt;
        }
        case Difference::ExtraNode:
        case Difference::Rows: return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

TEST(StoreLayout, NewStoreMatchesEveryOutlookMadeStore) {
    auto refs = referenceDir();
    if (refs.empty())
        GTEST_SKIP() << "the Outlook-made sample stores are missing: no folder ../shared/reference/outlook-made-pst";
    ScratchDir dir;
    auto path = dir.file("new.pst");
    Store::create(path, u"New")->close();
    StoreView ours("ours", path);

    Outlook outlook;
    for (auto& entry : std::filesystem::directory_iterator(refs)) {
        if (entry.path().extension() != ".pst") continue;
        auto store = std::make_unique<StoreView>(entry.path().filename().string(), entry.path());
        // An ANSI store (Outlook 97-2002) is laid out by other rules.
        if (store->reader->isUnicode()) outlook.stores.push_back(std::move(store));
    }
    ASSERT_FALSE(outlook.stores.empty()) << "no Unicode store in " << refs;

    size_t allowed = 0;
    for (auto& theirs : outlook.stores)
        for (auto& d : compare(ours, *theirs)) {
            if (allowance(d, ours, *theirs, outlook)) ++allowed;
            else ADD_FAILURE() << theirs->label << ", node " << hex(d.nid) << ": " << d.text;
        }
    // The store was compared, not waved through.
    EXPECT_GT(allowed, 0u);
}
