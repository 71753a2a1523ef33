#pragma once
// The public face of the store library: create a new Unicode personal-folders
// file, build its folder tree, add messages, commit and close.
//
// Folders and messages are named by their node ids. All names compare as
// Outlook compares folder names: case-insensitively.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "pst/message_content.h"

namespace pst {

enum class Encoding { Permute, None };  // NDB_CRYPT_PERMUTE (Outlook's default) or NDB_CRYPT_NONE

struct StoreOptions {
    Encoding encoding = Encoding::Permute;
    // Automatic commit points during a long write.
    uint64_t commitEveryBytes = 64ull << 20;
    double commitEverySeconds = 5.0;
    // When the file name is taken: false fails with FileExists, true takes
    // the next free "name (2).pst", "name (3).pst"...
    bool nextFreeName = false;
};

using FolderId = uint32_t;   // NID of a folder
using MessageId = uint32_t;  // NID of a message

struct FolderInfo {
    FolderId id = 0;
    std::u16string name;
    uint32_t contentCount = 0;
    uint32_t unreadCount = 0;
    bool hasSubfolders = false;
};

class StoreError : public std::runtime_error {
public:
    enum class Kind { Io, DiskFull, FolderExists, NotFound, InvalidArgument, Closed, Corrupt, FileExists };
    StoreError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }
private:
    Kind kind_;
};

class Store {
public:
    // Creates a new file holding every node that a new store needs, with
    // PR_DISPLAY_NAME = displayName, and commits it. The file is written
    // under a temporary name and takes its own name with that first commit,
    // so no file of that name is ever unreadable; a name that is taken fails
    // with FileExists or gives the next free one (StoreOptions).
    static std::unique_ptr<Store> create(const std::filesystem::path& file,
                                         const std::u16string& displayName,
                                         const StoreOptions& options = {});
    virtual ~Store() = default;

    virtual std::u16string displayName() const = 0;
    // The file the store is written to.
    virtual std::filesystem::path file() const = 0;
    // The store's record key (PR_RECORD_KEY), as bytes.
    virtual Bytes recordKey() const = 0;
    // The entry id of a folder or message of this store.
    virtual Bytes entryId(uint32_t nid) const = 0;

    virtual FolderId rootFolder() const = 0;   // the root of the hierarchy
    virtual FolderId ipmSubtree() const = 0;   // "Top of Personal Folders"

    virtual std::vector<FolderInfo> subfolders(FolderId parent) const = 0;
    virtual std::optional<FolderId> findFolder(FolderId parent, const std::u16string& name) const = 0;
    virtual FolderInfo folderInfo(FolderId folder) const = 0;
    // A new mail folder (container class IPF.Note). Throws FolderExists when
    // the parent already has a folder of that name (ignoring case).
    virtual FolderId createFolder(FolderId parent, const std::u16string& name) = 0;

    // Writes a whole message into a folder; the folder's tables and counts
    // follow. The message is durable after the next commit.
    virtual MessageId addMessage(FolderId folder, const MessageContent& message) = 0;

    // Makes everything written so far durable. Also happens automatically
    // (see StoreOptions) and on close.
    virtual void commit() = 0;
    // How many of the messages added so far the file holds: those added
    // before the last commit that succeeded. After a failed write (DiskFull,
    // Io) the store takes no more and the file keeps that commit.
    virtual uint64_t committedMessages() const = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

}  // namespace pst
