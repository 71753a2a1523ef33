#pragma once
// pst::Store over the node database writer.

#include <chrono>
#include <map>
#include <memory>

#include "pst/messaging/folder_state.h"
#include "pst/messaging/name_to_id_map.h"
#include "pst/ndb/ndb_writer.h"
#include "pst/store.h"

namespace pst::messaging {

// Fixed NIDs of a new store ([MS-PST] "Special Internal NIDs", "Mandatory Nodes").
inline constexpr ndb::Nid kNidMessageStore = 0x21;
inline constexpr ndb::Nid kNidNameToIdMap = 0x61;
inline constexpr ndb::Nid kNidRootFolder = 0x122;
inline constexpr ndb::Nid kNidSearchManagementQueue = 0x1E1;
inline constexpr ndb::Nid kNidSearchActivityList = 0x201;
inline constexpr ndb::Nid kNidHierarchyTableTemplate = 0x60D;
inline constexpr ndb::Nid kNidContentsTableTemplate = 0x60E;
inline constexpr ndb::Nid kNidAssocContentsTableTemplate = 0x60F;
inline constexpr ndb::Nid kNidSearchContentsTableTemplate = 0x610;
inline constexpr ndb::Nid kNidReceiveFolderTable = 0x62B;
inline constexpr ndb::Nid kNidOutgoingQueueTable = 0x64C;
inline constexpr ndb::Nid kNidReplicationTables[] = {0x6B6, 0x6D7, 0x6F8};
inline constexpr ndb::Nid kNidAttachmentTableTemplate = 0x671;
inline constexpr ndb::Nid kNidRecipientTableTemplate = 0x692;
inline constexpr ndb::Nid kNidSpamSearchFolder = 0x2223;
inline constexpr ndb::Nid kNidIpmSubtree = 0x8022;
inline constexpr ndb::Nid kNidSearchRoot = 0x8042;
inline constexpr ndb::Nid kNidDeletedItems = 0x8062;

class StoreImpl final : public Store {
public:
    StoreImpl(std::unique_ptr<ndb::NdbWriter> ndb, std::u16string displayName, const StoreOptions& options);
    ~StoreImpl() override;

    // Writes every node a new store needs and commits.
    void initialize();

    std::u16string displayName() const override { return displayName_; }
    std::filesystem::path file() const override { return ndb_->path(); }
    uint64_t committedMessages() const override { return committedMessages_; }
    Bytes recordKey() const override { return recordKey_; }
    Bytes entryId(uint32_t nid) const override;
    FolderId rootFolder() const override { return kNidRootFolder; }
    FolderId ipmSubtree() const override { return kNidIpmSubtree; }
    std::vector<FolderInfo> subfolders(FolderId parent) const override;
    std::optional<FolderId> findFolder(FolderId parent, const std::u16string& name) const override;
    FolderInfo folderInfo(FolderId folder) const override;
    FolderId createFolder(FolderId parent, const std::u16string& name) override;
    MessageId addMessage(FolderId folder, const MessageContent& message) override;
    void commit() override;
    void close() override;
    bool isOpen() const override { return open_; }

private:
    FolderState& addFolderState(ndb::Nid nid, ndb::Nid parent, std::u16string name, std::u16string containerClass,
                                bool search = false);
    const FolderState& folder(FolderId id) const;
    FolderState& folder(FolderId id);
    FolderInfo info(const FolderState& f) const;
    void requireOpen() const;
    void writeStaticNodes();
    void writeFolder(FolderState& f);
    void commitIfDue();

    std::unique_ptr<ndb::NdbWriter> ndb_;
    std::u16string displayName_;
    StoreOptions options_;
    Bytes recordKey_;
    NameToIdMap names_;
    std::map<ndb::Nid, FolderState> folders_;
    std::chrono::steady_clock::time_point lastCommit_;
    bool open_ = true;
    uint64_t addedMessages_ = 0;
    uint64_t committedMessages_ = 0;
};

}  // namespace pst::messaging
