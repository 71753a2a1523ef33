#pragma once
// A store held in memory, for tests of the run logic that need no file.

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

#include "conversion/profile.h"
#include "pst/store.h"
#include "util/text.h"

namespace testing_support {

class MemoryStore : public pst::Store {
public:
    struct Folder {
        std::u16string name;
        pst::FolderId parent = 0;
        std::vector<pst::MessageContent> messages;
    };

    MemoryStore(std::u16string displayName, std::filesystem::path file)
        : name_(std::move(displayName)), file_(std::move(file)) {
        folders_[kRoot] = {u"", 0, {}};
        folders_[kIpm] = {u"Top of Personal Folders", kRoot, {}};
    }

    std::u16string displayName() const override { return name_; }
    std::filesystem::path file() const override { return file_; }
    uint64_t committedMessages() const override { return committed_; }
    pst::Bytes recordKey() const override { return {1, 2, 3, 4}; }
    pst::Bytes entryId(uint32_t nid) const override { return {uint8_t(nid)}; }
    pst::FolderId rootFolder() const override { return kRoot; }
    pst::FolderId ipmSubtree() const override { return kIpm; }

    std::vector<pst::FolderInfo> subfolders(pst::FolderId parent) const override {
        requireOpen();
        std::vector<pst::FolderInfo> out;
        for (auto& [id, f] : folders_)
            if (f.parent == parent && id != kRoot) out.push_back(folderInfo(id));
        return out;
    }
    std::optional<pst::FolderId> findFolder(pst::FolderId parent, const std::u16string& name) const override {
        for (auto& info : subfolders(parent))
            if (quillmere::equalsIgnoringCase(info.name, name)) return info.id;
        return std::nullopt;
    }
    pst::FolderInfo folderInfo(pst::FolderId folder) const override {
        requireOpen();
        auto& f = folders_.at(folder);
        pst::FolderInfo info;
        info.id = folder;
        info.name = f.name;
        info.contentCount = static_cast<uint32_t>(f.messages.size());
        return info;
    }
    pst::FolderId createFolder(pst::FolderId parent, const std::u16string& name) override {
        requireOpen();
        if (!folders_.count(parent)) throw pst::StoreError(pst::StoreError::Kind::NotFound, "no parent");
        if (findFolder(parent, name)) throw pst::StoreError(pst::StoreError::Kind::FolderExists, "folder exists");
        pst::FolderId id = next_++;
        folders_[id] = {name, parent, {}};
        creationOrder.push_back(pathOf(id));
        return id;
    }
    pst::MessageId addMessage(pst::FolderId folder, const pst::MessageContent& message) override {
        requireOpen();
        requireRoom();
        folders_.at(folder).messages.push_back(message);
        ++added_;
        if (commitEveryMessages && added_ % commitEveryMessages == 0) commit();
        return next_++;
    }
    void commit() override {
        requireOpen();
        requireRoom();
        ++commits;
        committed_ = added_;
    }
    void close() override {
        if (!open_) return;
        open_ = false;
        requireRoom();
        ++commits;
        committed_ = added_;
    }
    bool isOpen() const override { return open_; }

    // Folder names from below the visible root, joined by "\".
    std::u16string pathOf(pst::FolderId id) const {
        std::u16string path;
        for (; id != kIpm && id != kRoot; id = folders_.at(id).parent)
            path = folders_.at(id).name + (path.empty() ? u"" : u"\\" + path);
        return path;
    }
    // Messages by folder path.
    std::map<std::u16string, std::vector<pst::MessageContent>> messagesByFolder() const {
        std::map<std::u16string, std::vector<pst::MessageContent>> out;
        for (auto& [id, f] : folders_)
            if (!f.messages.empty()) out[pathOf(id)] = f.messages;
        return out;
    }
    size_t messageCount() const {
        size_t n = 0;
        for (auto& [id, f] : folders_) n += f.messages.size();
        return n;
    }

    // Messages the last commit holds, by folder path: what a reader finds.
    size_t committedCount() const { return committed_; }

    std::vector<std::u16string> creationOrder;
    int commits = 0;
    uint64_t commitEveryMessages = 0;  // 0: on commit() and close() only
    // The disk fills once this many messages have been added: that addition
    // and every write after it fail, as a full disk fails the real store.
    uint64_t roomForMessages = UINT64_MAX;

private:
    static constexpr pst::FolderId kRoot = 0x122, kIpm = 0x8022;
    void requireOpen() const {
        if (!open_) throw pst::StoreError(pst::StoreError::Kind::Closed, "closed");
    }
    void requireRoom() const {
        if (added_ >= roomForMessages)
            throw pst::StoreError(pst::StoreError::Kind::DiskFull, "cannot write " + file_.string() +
                                                                       ": no space left on the device");
    }
    std::u16string name_;
    std::filesystem::path file_;
    uint64_t added_ = 0;
    uint64_t committed_ = 0;
    std::map<pst::FolderId, Folder> folders_;
    pst::FolderId next_ = 0x10000;
    bool open_ = true;
};

// A profile of memory stores whose messages are read by a stand-in reader
// that touches no file: the path becomes the subject, a path holding "bad"
// cannot be read, one holding "attach" has an attachment, one holding "warn"
// comes with two warnings. The store's file is
// written as a marker; a name that is taken gives the next free one, as the
// real store does.
struct MemoryProfile {
    std::vector<MemoryStore*> stores;  // owned by the profile
    std::vector<std::filesystem::path> files;
    std::shared_ptr<conversion::Profile> profile;
    // Set up each new store (commit points, room on its disk).
    std::function<void(MemoryStore&)> onCreate;
    // When set, creating a store fails with this text.
    std::string failCreate;

    MemoryProfile();
};

}  // namespace testing_support
