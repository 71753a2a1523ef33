#pragma once
// pst::Store over the node database writer.

#include <chrono>
#include <map>
#include <memory>
#include <optional>

#include "pst/format/nid.h"
#include "pst/messaging/folder_state.h"
#include "pst/messaging/name_to_id_map.h"
#include "pst/ndb/ndb_writer.h"
#include "pst/store.h"

namespace pst::messaging {

class StoreImpl final : public Store {
public:
    StoreImpl(std::unique_ptr<ndb::NdbWriter> ndb, std::u16string displayName, const StoreOptions& options);
    ~StoreImpl() override;

    // Writes every node a new store needs and commits.
    void initialize();

    std::u16string displayName() const override { return displayName_; }
    std::filesystem::path file() const override { return ndb_->path(); }
    uint64_t committedMessages() const override;
    Bytes recordKey() const override { return recordKey_; }
    Bytes entryId(uint32_t nid) const override;
    FolderId rootFolder() const override { return format::kNidRootFolder; }
    FolderId ipmSubtree() const override { return format::kNidIpmSubtree; }
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
    void writeChangedFolders();

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
    // The automatic commit on its way to the disk, and the messages it holds.
    struct CommitBehind {
        uint64_t number = 0;
        uint64_t messages = 0;
    };
    std::optional<CommitBehind> commitBehind_;
};

}  // namespace pst::messaging
