#pragma once
// The session face of the store components: session, stores, store,
// folders, items, mail item and the utility object that sets one property.
// Member names follow the component's own so the run reads as it always has.

#include <memory>
#include <string>
#include <vector>

#include "conversion/component_registry.h"
#include "conversion/profile.h"
#include "eml/warnings.h"
#include "pst/message_content.h"

namespace conversion::redemption {

class RDOStore;
class RDOStores;
class RDOFolder;
class RDOFolders;
class RDOItems;
class RDOMail;

inline constexpr int kFolderKindMail = 6;    // folders that hold mail items
inline constexpr int kItemKindMail = 0;      // a mail item
inline constexpr int kStoreFormatDefault = 1;
inline constexpr int kImportRfc822 = 1024;   // an .eml file

class RDOSession : public ComObject {
public:
    explicit RDOSession(std::shared_ptr<Profile> profile);
    ~RDOSession() override;

    void Logon();
    bool LoggedOn() const { return loggedOn_; }
    std::shared_ptr<RDOStores> Stores();
    // "\\" + store display name + "\" + folder path; throws when there is none.
    std::shared_ptr<RDOFolder> GetFolderFromPath(const std::u16string& path);
    // Commits and closes every store this session added, then closes the session.
    void Logoff();
    // Not a member of the original component: tells the profile which files
    // the coming imports will read, in order, so they are read ahead.
    void expectImports(quillmere::PathList files);

private:
    void requireLogon() const;
    friend class RDOStores;

    std::shared_ptr<Profile> profile_;
    std::vector<std::shared_ptr<ProfileStore>> added_;
    bool loggedOn_ = false;
};

class RDOStores {
public:
    explicit RDOStores(RDOSession& session) : session_(session) {}
    // Creates the file (a name that is taken gives the next free one, see
    // RDOStore::PstPath), adds it to the profile and returns the store.
    std::shared_ptr<RDOStore> AddPSTStore(const std::u16string& path, int format, const std::u16string& displayName);
    std::shared_ptr<RDOStore> GetStoreFromID(const std::u16string& entryId);

private:
    RDOSession& session_;
};

class RDOStore {
public:
    explicit RDOStore(std::shared_ptr<ProfileStore> store) : store_(std::move(store)) {}
    std::u16string EntryID() const;
    std::u16string Name() const { return store_->displayName; }
    // The store's file, as it was finally named.
    std::u16string PstPath() const;
    // Not a member of the original component: how many of the messages saved
    // into this store its file holds (those before its last commit).
    uint64_t MessagesCommitted() const;
    // The root of the visible folder tree ("Top of Personal Folders").
    std::shared_ptr<RDOFolder> IPMRootFolder();

private:
    std::shared_ptr<ProfileStore> store_;
};

class RDOFolder {
public:
    explicit RDOFolder(FolderRef ref) : ref_(std::move(ref)) {}
    std::u16string Name() const;
    std::shared_ptr<RDOFolders> Folders();
    std::shared_ptr<RDOItems> Items();
    const FolderRef& ref() const { return ref_; }

private:
    FolderRef ref_;
};

class RDOFolders {
public:
    explicit RDOFolders(FolderRef owner) : owner_(std::move(owner)) {}
    int Count() const;
    // 1-based, in the order the store lists them.
    std::shared_ptr<RDOFolder> Item(int index) const;
    // A new mail folder; fails when the owner already has one of that name
    // (ignoring case) or for another kind.
    std::shared_ptr<RDOFolder> Add(const std::u16string& name, int kind);

private:
    FolderRef owner_;
};

// The underlying message of a mail item: its properties until it is written.
class MapiMessage {
public:
    explicit MapiMessage(FolderRef folder) : folder_(std::move(folder)) {}
    pst::MessageContent& content() { return content_; }
    void setProp(pst::PropTag tag, pst::PropValue value);
    const pst::PropValue* getProp(pst::PropTag tag) const { return content_.find(tag); }
    // Writes the message into its folder; a message is written once.
    void save();
    bool saved() const { return written_; }
    const FolderRef& folder() const { return folder_; }
    // What was lost reading the streamed values while they were written.
    const std::vector<std::string>& writeWarnings() const { return writeWarnings_; }

private:
    FolderRef folder_;
    pst::MessageContent content_;
    bool written_ = false;
    std::vector<std::string> writeWarnings_;
};

class RDOMail {
public:
    explicit RDOMail(FolderRef folder) : message_(std::make_shared<MapiMessage>(std::move(folder))) {}
    // Loads the item's content from an RFC 822 file; throws when the file
    // cannot be turned into a message.
    void Import(const std::u16string& path, int format);
    bool imported() const { return imported_; }
    // Not a member of the original component: what the import repaired or
    // dropped in the file (empty for a clean message); after a save, also
    // what was lost reading the parts that were streamed into the store.
    std::vector<std::string> ImportWarnings() const;
    std::shared_ptr<MapiMessage> MAPIOBJECT() const { return message_; }
    void Save();

private:
    std::shared_ptr<MapiMessage> message_;
    std::vector<std::string> warnings_;
    std::vector<eml::WarningsWhenRead> warningsWhenRead_;
    bool imported_ = false;
};

class RDOItems {
public:
    explicit RDOItems(FolderRef folder) : folder_(std::move(folder)) {}
    // A new, unsaved item.
    std::shared_ptr<RDOMail> Add(int kind);

private:
    FolderRef folder_;
};

class MAPIUtils : public ComObject {
public:
    // Sets one property on a MAPI message; with save true the message is saved.
    void HrSetOneProp(MapiMessage& message, pst::PropTag tag, const pst::PropValue& value, bool save);
};

}  // namespace conversion::redemption
