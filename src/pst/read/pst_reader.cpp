#include "pst/read/pst_reader.h"

#include <algorithm>
#include <map>

#include "pst/format/constants.h"
#include "pst/format/property_tags.h"
#include "pst/format/nid.h"
#include "pst/read/bytes.h"
#include "pst/read/ltp.h"
#include "pst/read/named_map.h"
#include "pst/read/ndb.h"
#include "util/text.h"

namespace pst::read {

namespace fmt = pst::format;

const PropValue* findProp(const std::vector<Property>& props, PropTag tag) {
    for (auto& p : props)
        if (p.tag == tag) return &p.value;
    return nullptr;
}

std::u16string stringProp(const std::vector<Property>& props, PropTag tag) {
    // Either string type of the same id will do (ANSI files hold String8).
    for (auto& p : props)
        if (tagId(p.tag) == tagId(tag))
            if (auto s = std::get_if<std::u16string>(&p.value)) return *s;
    return {};
}

namespace {


int32_t intProp(const std::vector<Property>& props, PropTag tag) {
    if (auto v = findProp(props, tag))
        if (auto i = std::get_if<int32_t>(v)) return *i;
    return 0;
}

class Reader : public PstReader {
public:
    explicit Reader(const std::filesystem::path& file) : ndb_(Ndb::open(file)) {}

    bool isUnicode() const override { return ndb_->header().unicode; }
    uint8_t cryptMethod() const override { return ndb_->header().cryptMethod; }
    uint64_t fileSize() const override { return ndb_->file().size(); }

    std::u16string displayName() override { return stringProp(storeProperties(), makeTag(tagId(tags::PR_DISPLAY_NAME_W), PropType::Unicode)); }
    std::vector<Property> storeProperties() override { return properties(fmt::kNidMessageStore); }
    Bytes recordKey() override {
        auto props = storeProperties();
        if (auto v = findProp(props, tags::PR_RECORD_KEY))
            if (auto b = std::get_if<Bytes>(v)) return *b;
        return {};
    }

    std::vector<NodeInfo> nodes() override {
        std::vector<NodeInfo> out;
        for (auto& [nid, n] : ndb_->nodes()) out.push_back(info(n));
        return out;
    }
    std::optional<NodeInfo> node(uint32_t nid) override {
        auto n = ndb_->findNode(nid);
        if (!n) return std::nullopt;
        return info(*n);
    }

    std::vector<Property> properties(uint32_t nid) override {
        try {
            return readPc(nodeData(nid));
        } catch (const ReadError& e) {
            throw ReadError("node " + hex(nid) + ": " + e.what());
        }
    }

    Table table(uint32_t nid) override {
        try {
            return readTc(nodeData(nid));
        } catch (const ReadError& e) {
            throw ReadError("table " + hex(nid) + ": " + e.what());
        }
    }

    FolderView root() override { return folder(fmt::kNidRootFolder); }

    FolderView ipmSubtree() override {
        auto props = storeProperties();
        auto v = findProp(props, tags::PR_IPM_SUBTREE_ENTRYID);
        auto b = v ? std::get_if<Bytes>(v) : nullptr;
        if (!b || b->size() < 24) throw ReadError("the store has no valid PR_IPM_SUBTREE_ENTRYID");
        return folder(u32(*b, b->size() - 4));
    }

    FolderView folder(uint32_t nid) override {
        auto n = ndb_->findNode(nid);
        if (!n) throw ReadError("folder " + hex(nid) + " is not in the node B-tree");
        auto props = properties(nid);
        FolderView f;
        f.nid = nid;
        f.nidParent = n->nidParent;
        f.name = stringProp(props, makeTag(tagId(tags::PR_DISPLAY_NAME_W), PropType::Unicode));
        f.containerClass = stringProp(props, makeTag(tagId(tags::PR_CONTAINER_CLASS_W), PropType::Unicode));
        f.unreadCount = intProp(props, tags::PR_CONTENT_UNREAD);
        // Outlook leaves these out of some folders' PCs; the tables then say.
        if (findProp(props, tags::PR_CONTENT_COUNT))
            f.contentCount = intProp(props, tags::PR_CONTENT_COUNT);
        else
            f.contentCount = static_cast<int32_t>(messageNids(nid).size());
        if (auto v = findProp(props, tags::PR_SUBFOLDERS); v && std::holds_alternative<bool>(*v))
            f.hasSubfolders = std::get<bool>(*v);
        else if (fmt::nidType(nid) != fmt::NID_TYPE_SEARCH_FOLDER)
            f.hasSubfolders = !table(fmt::relatedNid(nid, fmt::NID_TYPE_HIERARCHY_TABLE)).rows.empty();
        return f;
    }

    std::vector<FolderView> subfolders(uint32_t folderNid) override {
        std::vector<FolderView> out;
        if (fmt::nidType(folderNid) == fmt::NID_TYPE_SEARCH_FOLDER) return out;  // search folders have no hierarchy table
        for (auto& row : table(fmt::relatedNid(folderNid, fmt::NID_TYPE_HIERARCHY_TABLE)).rows) out.push_back(folder(row.rowId));
        return out;
    }

    std::optional<FolderView> findSubfolder(uint32_t folderNid, const std::u16string& name) override {
        auto wanted = quillmere::foldCase(name);
        for (auto& f : subfolders(folderNid))
            if (quillmere::foldCase(f.name) == wanted) return f;
        return std::nullopt;
    }

    std::vector<uint32_t> messageNids(uint32_t folderNid) override {
        bool search = fmt::nidType(folderNid) == fmt::NID_TYPE_SEARCH_FOLDER;
        return rowIds(fmt::relatedNid(folderNid, search ? fmt::NID_TYPE_SEARCH_CONTENTS_TABLE : fmt::NID_TYPE_CONTENTS_TABLE));
    }
    std::vector<uint32_t> associatedMessageNids(uint32_t folderNid) override { return rowIds(fmt::relatedNid(folderNid, fmt::NID_TYPE_ASSOC_CONTENTS_TABLE)); }

    MessageContent readMessage(uint32_t nid) override {
        auto n = ndb_->findNode(nid);
        if (!n) throw ReadError("message " + hex(nid) + " is not in the node B-tree");
        try {
            return message(NodeData(*ndb_, n->bidData, n->bidSub), 0);
        } catch (const ReadError& e) {
            throw ReadError("message " + hex(nid) + ": " + e.what());
        }
    }

    std::optional<NamedPropertyName> namedPropertyName(uint16_t propId) override {
        auto& m = namedMap();
        auto it = m.byId.find(propId);
        if (it == m.byId.end()) return std::nullopt;
        return it->second;
    }

    std::optional<uint16_t> namedPropertyId(const NamedPropertyName& name) override {
        for (auto& [id, n] : namedMap().byId)
            if (n == name) return id;
        return std::nullopt;
    }

private:
    static NodeInfo info(const NbtEntry& n) {
        return {static_cast<uint32_t>(n.nid), n.bidData, n.bidSub, n.nidParent};
    }

    NodeData nodeData(uint32_t nid) {
        auto n = ndb_->findNode(nid);
        if (!n) throw ReadError("not in the node B-tree");
        return NodeData(*ndb_, n->bidData, n->bidSub);
    }

    std::vector<uint32_t> rowIds(uint32_t tableNid) {
        std::vector<uint32_t> out;
        for (auto& row : table(tableNid).rows) out.push_back(row.rowId);
        return out;
    }

    const NamedMap& namedMap() {
        if (!named_) named_ = decodeNamedMap(properties(fmt::kNidNameToIdMap));
        return *named_;
    }

    static std::vector<Property> withoutRowColumns(std::vector<Property> cells) {
        std::erase_if(cells, [](const Property& p) { return p.tag == tags::PR_LTP_ROW_ID || p.tag == tags::PR_LTP_ROW_VER; });
        return cells;
    }

    MessageContent message(const NodeData& node, int depth) {
        if (depth > 32) throw ReadError("embedded messages nest deeper than 32 levels");
        MessageContent m;
        for (auto& p : readPc(node)) {
            if (tagId(p.tag) >= kFirstNamedPropertyId) {
                if (auto name = namedPropertyName(tagId(p.tag))) {
                    m.named.push_back({*name, tagType(p.tag), std::move(p.value)});
                    continue;
                }
            }
            m.props.push_back(std::move(p));
        }
        if (auto rt = node.subnode(fmt::kNidRecipientTable)) {
            NodeData t(*ndb_, rt->bidData, rt->bidSub);
            for (auto& row : readTc(t).rows) m.recipients.push_back({withoutRowColumns(std::move(row.cells))});
        }
        if (auto at = node.subnode(fmt::kNidAttachmentTable)) {
            NodeData t(*ndb_, at->bidData, at->bidSub);
            for (auto& row : readTc(t).rows) {
                auto sub = node.subnode(row.rowId);
                if (!sub) throw ReadError("attachment " + hex(row.rowId) + " listed in the attachment table is missing");
                m.attachments.push_back(attachment(NodeData(*ndb_, sub->bidData, sub->bidSub), depth));
            }
        }
        return m;
    }

    AttachmentContent attachment(const NodeData& node, int depth) {
        AttachmentContent a;
        a.props = readPc(node);
        if (intProp(a.props, tags::PR_ATTACH_METHOD) == tags::ATTACH_EMBEDDED_MSG) {
            auto it = std::find_if(a.props.begin(), a.props.end(), [](auto& p) { return p.tag == tags::PR_ATTACH_DATA_OBJ; });
            if (it != a.props.end()) {
                auto& ref = std::get<Bytes>(it->value);
                uint32_t nid = u32(ref, 0);
                auto sub = node.subnode(nid);
                if (!sub) throw ReadError("embedded message subnode " + hex(nid) + " is missing");
                a.embedded = std::make_shared<MessageContent>(message(NodeData(*ndb_, sub->bidData, sub->bidSub), depth + 1));
                a.props.erase(it);
            }
        } else {
            // Other objects (OLE storages) come back as the bytes of their subnode.
            for (auto& p : a.props)
                if (tagType(p.tag) == PropType::Object) {
                    auto& ref = std::get<Bytes>(p.value);
                    p.value = node.hnid(u32(ref, 0));
                }
        }
        return a;
    }

    std::unique_ptr<Ndb> ndb_;
    std::optional<NamedMap> named_;
};

}  // namespace

std::unique_ptr<PstReader> PstReader::open(const std::filesystem::path& file) {
    return std::make_unique<Reader>(file);
}

}  // namespace pst::read
