#pragma once
// The in-process profile that both store faces see: the list of stores the
// user has added, each with its open file. A store added through the session
// face is at once a top-level folder of the application face under its
// display name.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/read_ahead.h"
#include "pst/store.h"

namespace conversion {

struct ProfileStore {
    std::unique_ptr<pst::Store> store;
    std::filesystem::path file;
    std::u16string displayName;
    std::u16string entryId;
    // How messages imported into this store are read.
    std::function<ReadMessage(const std::filesystem::path&)> readMessage;

    // The open store; throws ComponentError when it has been closed.
    pst::Store& open() const;
};

struct FolderRef {
    std::shared_ptr<ProfileStore> store;
    pst::FolderId id = 0;
};

class Profile {
public:
    using StoreFactory = std::function<std::unique_ptr<pst::Store>(const std::filesystem::path&, const std::u16string&)>;
    // Turns an RFC 822 file into a message's content; throws when it cannot.
    using MessageReader = ReadAhead::Reader;

    // The factory creates the file of a new store.
    Profile(StoreFactory factory, MessageReader reader);
    ~Profile();

    // The files that the next reads will ask for, in order, so that they can
    // be read ahead; an empty list stops reading ahead.
    void expectReads(quillmere::PathList files) { readAhead_->expect(std::move(files)); }

    std::shared_ptr<ProfileStore> addPstStore(const std::filesystem::path& file, const std::u16string& displayName);
    std::shared_ptr<ProfileStore> storeByEntryId(const std::u16string& entryId) const;
    // By display name, ignoring case; the most recently added wins.
    std::shared_ptr<ProfileStore> storeByDisplayName(const std::u16string& name) const;
    const std::vector<std::shared_ptr<ProfileStore>>& stores() const { return stores_; }

    // Commits and closes the store's file; it stays listed in the profile.
    void closeStore(ProfileStore& store);
    void closeAll();

    // The folder shown in Outlook's active window, if a window is open.
    std::optional<FolderRef> activeFolder;

private:
    StoreFactory factory_;
    std::shared_ptr<ReadAhead> readAhead_;
    std::vector<std::shared_ptr<ProfileStore>> stores_;
};

// A profile whose stores are real personal-folders files and whose messages
// are read by the message parser. A store's file name that is taken gives
// the next free one; tests may set the commit points.
std::shared_ptr<Profile> makeFileProfile(pst::StoreOptions options = {});

}  // namespace conversion
