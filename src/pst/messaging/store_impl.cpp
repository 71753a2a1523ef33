#include "pst/messaging/store_impl.h"

#include <random>

#include "pst/ltp/property_context_builder.h"
#include "pst/ltp/table_context_builder.h"
#include "pst/messaging/entry_id.h"
#include "pst/messaging/message_writer.h"
#include "pst/format/property_tags.h"
#include "pst/messaging/table_cells.h"
#include "pst/messaging/table_templates.h"
#include "util/text.h"

namespace pst {
namespace {

ndb::CryptMethod cryptOf(Encoding e) { return e == Encoding::None ? ndb::CryptMethod::None : ndb::CryptMethod::Permute; }

StoreError::Kind kindOf(ndb::NdbError::Kind k) {
    switch (k) {
        case ndb::NdbError::Kind::DiskFull: return StoreError::Kind::DiskFull;
        case ndb::NdbError::Kind::Closed: return StoreError::Kind::Closed;
        case ndb::NdbError::Kind::InvalidArgument: return StoreError::Kind::InvalidArgument;
        case ndb::NdbError::Kind::Exists: return StoreError::Kind::FileExists;
        default: return StoreError::Kind::Io;
    }
}

// Runs f, reporting every failure below as a StoreError.
template <class F>
auto guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const StoreError&) {
        throw;
    } catch (const ndb::NdbError& e) {
        throw StoreError(kindOf(e.kind()), e.what());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::invalid_argument& e) {
        throw StoreError(StoreError::Kind::InvalidArgument, e.what());
    } catch (const std::length_error& e) {
        throw StoreError(StoreError::Kind::InvalidArgument, e.what());
    } catch (const std::out_of_range& e) {
        throw StoreError(StoreError::Kind::InvalidArgument, e.what());
    }
}

FileTime fileTimeNow() {
    using namespace std::chrono;
    auto since1970 = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    constexpr int64_t kTicksPerMicrosecond = kFileTimeTicksPerSecond / 1'000'000;
    return FileTime{static_cast<uint64_t>((since1970 + kUnixEpochInFileTimeSeconds * 1'000'000) * kTicksPerMicrosecond)};
}

Bytes newProviderUid() {
    std::random_device rd;
    Bytes uid(16);
    for (auto& b : uid) b = static_cast<uint8_t>(rd());
    return uid;
}

constexpr int32_t kValidFolderMask =
    tags::FOLDER_IPM_SUBTREE_VALID | tags::FOLDER_IPM_WASTEBASKET_VALID | tags::FOLDER_FINDER_VALID;
// The value Outlook's own new stores carry.
constexpr int32_t kLatestPstEnsure = 0xE000D;

// The store's replication version history as Outlook starts it: one entry,
// a new GUID at version 1.
Bytes newVersionHistory() {
    Bytes history{1, 0, 0, 0};
    Bytes guid = newProviderUid();
    history.insert(history.end(), guid.begin(), guid.end());
    history.insert(history.end(), {1, 0, 0, 0});
    return history;
}

}  // namespace

std::unique_ptr<Store> Store::create(const std::filesystem::path& file, const std::u16string& displayName,
                                     const StoreOptions& options) {
    return guarded([&]() -> std::unique_ptr<Store> {
        auto ndb = ndb::NdbWriter::createStaged(file, cryptOf(options.encoding), options.nextFreeName);
        auto store = std::make_unique<messaging::StoreImpl>(std::move(ndb), displayName, options);
        store->initialize();
        return store;
    });
}

namespace messaging {
using namespace pst::tags;
using namespace pst::format;

StoreImpl::StoreImpl(std::unique_ptr<ndb::NdbWriter> ndb, std::u16string displayName, const StoreOptions& options)
    : ndb_(std::move(ndb)), displayName_(std::move(displayName)), options_(options), recordKey_(newProviderUid()),
      lastCommit_(std::chrono::steady_clock::now()) {}

StoreImpl::~StoreImpl() {
    if (!open_) return;
    try {
        close();
    } catch (...) {
        // The last committed state stays on disk; nothing else to do here.
    }
}

void StoreImpl::requireOpen() const {
    if (!open_) throw StoreError(StoreError::Kind::Closed, "the store is closed");
}

Bytes StoreImpl::entryId(uint32_t nid) const { return makeEntryId(recordKey_, nid); }

FolderState& StoreImpl::addFolderState(ndb::Nid nid, ndb::Nid parent, std::u16string name,
                                       std::u16string containerClass, bool search) {
    FolderState& f = folders_[nid];
    f.nid = nid;
    f.parent = parent;
    f.foldedName = quillmere::foldCase(name);
    f.name = std::move(name);
    f.containerClass = std::move(containerClass);
    f.searchFolder = search;
    if (!search) f.contents = std::make_unique<ltp::TableContextBuilder>(contentsTableColumns());
    if (parent != nid) {
        FolderState& p = folders_.at(parent);
        p.children.push_back(nid);
        p.pcDirty = p.hierarchyDirty = true;
        if (p.parent != p.nid) folders_.at(p.parent).hierarchyDirty = true;
    }
    return f;
}

void StoreImpl::initialize() {
    addFolderState(kNidRootFolder, kNidRootFolder, u"", u"");
    addFolderState(kNidIpmSubtree, kNidRootFolder, u"Top of Personal Folders", u"");
    addFolderState(kNidSearchRootFolder, kNidRootFolder, u"Search Root", u"");
    addFolderState(kNidSpamSearchFolder, kNidRootFolder, u"SPAM Search Folder 2", u"", true);
    addFolderState(kNidDeletedItems, kNidIpmSubtree, u"Deleted Items", u"IPF.Note");
    guarded([&] {
        writeStaticNodes();
        commit();
        return 0;
    });
}

void StoreImpl::writeStaticNodes() {
    {  // the message store ([MS-PST] "Minimum Set of Required Properties")
        ltp::Subnodes subnodes;
        ltp::PropertyContextBuilder pc(*ndb_, subnodes);
        pc.set(PR_RECORD_KEY, recordKey_);
        pc.set(PR_DISPLAY_NAME_W, displayName_);
        pc.set(PR_IPM_SUBTREE_ENTRYID, entryId(kNidIpmSubtree));
        pc.set(PR_IPM_WASTEBASKET_ENTRYID, entryId(kNidDeletedItems));
        pc.set(PR_FINDER_ENTRYID, entryId(kNidSearchRootFolder));
        pc.set(PR_VALID_FOLDER_MASK, kValidFolderMask);
        pc.set(PR_PST_PASSWORD, int32_t(0));
        pc.set(PR_PST_LR_NO_RESTRICTIONS, true);
        pc.set(PR_LATEST_PST_ENSURE, kLatestPstEnsure);
        pc.set(PR_REPL_VERSIONHISTORY, newVersionHistory());
        pc.set(PR_REPL_FLAGS, int32_t(0));
        ndb::Bid data = pc.write();
        ndb_->putNode(kNidMessageStore, data, subnodes.write(*ndb_), 0);
    }
    auto putTable = [&](ndb::Nid nid, std::vector<PropTag> columns) {
        ltp::TableContextBuilder table(std::move(columns));
        ltp::NodeBlocks b = table.write(*ndb_);
        ndb_->putNode(nid, b.data, b.subnode, 0);
    };
    putTable(kNidHierarchyTableTemplate, hierarchyTableColumns());
    putTable(kNidContentsTableTemplate, contentsTableColumns());
    putTable(kNidAssocContentsTableTemplate, assocContentsTableColumns());
    putTable(kNidSearchContentsTableTemplate, searchContentsTableColumns());
    putTable(kNidAttachmentTable, attachmentTableColumns());
    putTable(kNidRecipientTable, recipientTableColumns());
    putTable(kNidOutgoingQueueTable, outgoingQueueTableColumns());
    auto replication = replicationTableColumns();
    for (size_t i = 0; i < replication.size(); ++i) putTable(kNidReplicationTables[i], replication[i]);
    {  // new mail of every class goes to the root, as in Outlook's new stores
        ltp::TableContextBuilder table(receiveFolderTableColumns());
        std::vector<Property> row{{PR_MESSAGE_CLASS_W, std::u16string()}, {PR_RECEIVE_FOLDER_NID, int32_t(kNidRootFolder)},
                                  {PR_LTP_ROW_VER, int32_t(2)}};
        table.addRow(1, row);
        ltp::NodeBlocks b = table.write(*ndb_);
        ndb_->putNode(kNidReceiveFolderTable, b.data, b.subnode, 0);
    }
    // The spam search folder's (empty) search contents table, its empty search
    // update queue and its search criteria object, as Outlook writes them.
    putTable(relatedNid(kNidSpamSearchFolder, NID_TYPE_SEARCH_CONTENTS_TABLE), searchContentsTableColumns());
    ndb_->putNode(relatedNid(kNidSpamSearchFolder, NID_TYPE_SEARCH_UPDATE_QUEUE), 0, 0, 0);
    {
        ltp::Subnodes subnodes;
        ltp::PropertyContextBuilder pc(*ndb_, subnodes);
        pc.set(PR_SEARCH_CRITERIA_STATE, int32_t(0));
        ndb::Bid data = pc.write();
        ndb_->putNode(relatedNid(kNidSpamSearchFolder, NID_TYPE_SEARCH_CRITERIA_OBJECT), data, subnodes.write(*ndb_), 0);
    }
    // Empty search queues ([MS-PST] "Search Management Queue (SMQ)", "Search
    // Activity List (SAL)"); the search domain object and the gatherer's queues
    // empty, as in Outlook's new stores. A queue without data is an empty one.
    ndb_->putNode(kNidSearchManagementQueue, 0, 0, 0);
    ndb_->putNode(kNidSearchActivityList, ndb_->writeData({}), 0, 0);
    for (ndb::Nid nid : {kNidSearchDomainObject, kNidSearchGathererQueue, kNidSearchGathererFolderQueue})
        ndb_->putNode(nid, 0, 0, 0);
}

void StoreImpl::writeFolder(FolderState& f) {
    uint32_t index = format::nidIndex(f.nid);
    if (f.pcDirty) {
        ltp::Subnodes subnodes;
        ltp::PropertyContextBuilder pc(*ndb_, subnodes);
        pc.set(PR_DISPLAY_NAME_W, f.name);
        pc.set(PR_CONTENT_COUNT, int32_t(f.contentCount));
        pc.set(PR_CONTENT_UNREAD, int32_t(f.unreadCount));
        pc.set(PR_SUBFOLDERS, !f.children.empty());
        if (!f.containerClass.empty()) pc.set(PR_CONTAINER_CLASS_W, f.containerClass);
        ndb::Bid data = pc.write();
        ndb_->putNode(f.nid, data, subnodes.write(*ndb_), f.parent);
        f.pcDirty = false;
    }
    if (f.searchFolder) return;
    if (f.hierarchyDirty) {
        ltp::TableContextBuilder table(hierarchyTableColumns());
        for (ndb::Nid childNid : f.children) {
            const FolderState& c = folders_.at(childNid);
            std::vector<Property> row{{PR_DISPLAY_NAME_W, c.name},
                                      {PR_CONTENT_COUNT, int32_t(c.contentCount)},
                                      {PR_CONTENT_UNREAD, int32_t(c.unreadCount)},
                                      {PR_SUBFOLDERS, !c.children.empty()},
                                      {PR_LTP_ROW_VER, int32_t(1)}};
            if (!c.containerClass.empty()) row.push_back({PR_CONTAINER_CLASS_W, c.containerClass});
            table.addRow(childNid, row);
        }
        ltp::NodeBlocks b = table.write(*ndb_);
        ndb_->putNode(format::makeNid(format::NID_TYPE_HIERARCHY_TABLE, index), b.data, b.subnode, 0);
        f.hierarchyDirty = false;
    }
    if (f.contentsDirty) {
        ltp::NodeBlocks b = f.contents->write(*ndb_);
        ndb_->putNode(format::makeNid(format::NID_TYPE_CONTENTS_TABLE, index), b.data, b.subnode, 0);
        f.contentsDirty = false;
    }
    if (!f.assocWritten) {
        ltp::TableContextBuilder table(assocContentsTableColumns());
        ltp::NodeBlocks b = table.write(*ndb_);
        ndb_->putNode(format::makeNid(format::NID_TYPE_ASSOC_CONTENTS_TABLE, index), b.data, b.subnode, 0);
        f.assocWritten = true;
    }
}

const FolderState& StoreImpl::folder(FolderId id) const {
    auto it = folders_.find(id);
    if (it == folders_.end()) throw StoreError(StoreError::Kind::NotFound, "no folder with NID " + std::to_string(id));
    return it->second;
}

FolderState& StoreImpl::folder(FolderId id) {
    return const_cast<FolderState&>(static_cast<const StoreImpl*>(this)->folder(id));
}

FolderInfo StoreImpl::info(const FolderState& f) const {
    return FolderInfo{f.nid, f.name, f.contentCount, f.unreadCount, !f.children.empty()};
}

std::vector<FolderInfo> StoreImpl::subfolders(FolderId parent) const {
    std::vector<FolderInfo> out;
    for (ndb::Nid child : folder(parent).children) out.push_back(info(folders_.at(child)));
    return out;
}

std::optional<FolderId> StoreImpl::findFolder(FolderId parent, const std::u16string& name) const {
    std::u16string folded = quillmere::foldCase(name);
    for (ndb::Nid child : folder(parent).children)
        if (folders_.at(child).foldedName == folded) return child;
    return std::nullopt;
}

FolderInfo StoreImpl::folderInfo(FolderId id) const { return info(folder(id)); }

FolderId StoreImpl::createFolder(FolderId parent, const std::u16string& name) {
    requireOpen();
    const FolderState& p = folder(parent);
    if (p.searchFolder) throw StoreError(StoreError::Kind::InvalidArgument, "a search folder has no subfolders");
    if (name.empty()) throw StoreError(StoreError::Kind::InvalidArgument, "a folder needs a name");
    if (findFolder(parent, name)) throw StoreError(StoreError::Kind::FolderExists, "the folder already exists");
    return guarded([&] {
        ndb::Nid nid;
        do nid = ndb_->allocateNid(format::NID_TYPE_NORMAL_FOLDER);
        while (folders_.count(nid) || format::nidIndex(nid) <= format::nidIndex(kNidDeletedItems));
        addFolderState(nid, parent, name, u"IPF.Note");
        commitIfDue();
        return nid;
    });
}

MessageId StoreImpl::addMessage(FolderId folderId, const MessageContent& message) {
    requireOpen();
    FolderState& f = folder(folderId);
    if (f.searchFolder) throw StoreError(StoreError::Kind::InvalidArgument, "messages cannot go into a search folder");
    return guarded([&] {
        MessageWriter writer(*ndb_, names_, fileTimeNow());
        WrittenMessage written = writer.write(message);
        ndb::Nid nid = ndb_->allocateNid(format::NID_TYPE_NORMAL_MESSAGE);
        ndb_->putNode(nid, written.blocks.data, written.blocks.subnode, f.nid);

        std::vector<const Property*> row;
        row.reserve(message.props.size() + written.computed.size() + 1);
        std::vector<Property> shortened;  // long cells, as the table holds them
        shortened.reserve(row.capacity());
        auto addCell = [&](const Property& p) {
            if (!f.contents->hasColumn(p.tag) || std::holds_alternative<StreamedBytes>(p.value)) return;
            if (auto cell = shortenedForTable(p)) {
                shortened.push_back(std::move(*cell));
                row.push_back(&shortened.back());
            } else {
                row.push_back(&p);
            }
        };
        for (auto& p : message.props) addCell(p);
        for (auto& p : written.computed) addCell(p);
        Property rowVer{PR_LTP_ROW_VER, int32_t(1)};
        row.push_back(&rowVer);
        f.contents->addRow(nid, row);
        f.contents->writeFull(*ndb_);
        ++f.contentCount;
        if (!written.read) ++f.unreadCount;
        ++addedMessages_;
        f.pcDirty = f.contentsDirty = true;
        if (f.parent != f.nid) folders_.at(f.parent).hierarchyDirty = true;
        commitIfDue();
        return nid;
    });
}

// The automatic commits are made behind: the messages that follow are
// written while the commit is synced, and its messages count as committed
// once it is durable.
void StoreImpl::commitIfDue() {
    auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - lastCommit_).count();
    if (ndb_->bytesWrittenSinceCommit() < options_.commitEveryBytes && elapsed < options_.commitEverySeconds) return;
    writeChangedFolders();
    const uint64_t added = addedMessages_;
    const uint64_t number = ndb_->startCommit();
    // Starting it waited for the one before.
    if (commitBehind_) committedMessages_ = commitBehind_->messages;
    commitBehind_ = CommitBehind{number, added};
    lastCommit_ = std::chrono::steady_clock::now();
}

uint64_t StoreImpl::committedMessages() const {
    if (commitBehind_ && ndb_->durableCommit() >= commitBehind_->number) return commitBehind_->messages;
    return committedMessages_;
}

void StoreImpl::writeChangedFolders() {
    for (auto& [nid, f] : folders_) writeFolder(f);
    if (names_.dirty()) {
        ltp::NodeBlocks b = names_.write(*ndb_);
        ndb_->putNode(kNidNameToIdMap, b.data, b.subnode, 0);
    }
}

void StoreImpl::commit() {
    requireOpen();
    guarded([&] {
        writeChangedFolders();
        const uint64_t added = addedMessages_;
        ndb_->commit();
        committedMessages_ = added;
        commitBehind_.reset();
        lastCommit_ = std::chrono::steady_clock::now();
        return 0;
    });
}

void StoreImpl::close() {
    if (!open_) return;
    commit();
    guarded([&] {
        ndb_->close();
        return 0;
    });
    open_ = false;
}

}  // namespace messaging
}  // namespace pst
