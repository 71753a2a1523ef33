#include "conversion/redemption_face.h"

#include <algorithm>

#include <filesystem>
#include <system_error>

#include "conversion/folder_path.h"
#include "conversion/text.h"

namespace conversion::redemption {

RDOSession::RDOSession(std::shared_ptr<Profile> profile) : profile_(std::move(profile)) {}

RDOSession::~RDOSession() = default;

void RDOSession::Logon() {
    if (!profile_) throw ComponentError("No Outlook profile is configured");
    loggedOn_ = true;
}

void RDOSession::requireLogon() const {
    if (!loggedOn_) throw ComponentError("The session is not logged on");
}

std::shared_ptr<RDOStores> RDOSession::Stores() {
    requireLogon();
    return std::make_shared<RDOStores>(*this);
}

std::shared_ptr<RDOFolder> RDOSession::GetFolderFromPath(const std::u16string& path) {
    requireLogon();
    if (path.rfind(u"\\\\", 0) != 0) throw ComponentError("Not a folder path: " + toUtf8(path));
    auto names = splitFolderNames(path.substr(2));
    if (!names.empty() && names.back().empty()) names.pop_back();  // a trailing "\"
    if (names.empty() || names.front().empty()) throw ComponentError("No store named in " + toUtf8(path));
    auto entry = profile_->storeByDisplayName(names.front());
    if (!entry) throw ComponentError("No store named " + toUtf8(names.front()));
    pst::Store& store = entry->open();
    pst::FolderId folder = store.ipmSubtree();
    for (size_t i = 1; i < names.size(); ++i) {
        auto next = names[i].empty() ? std::nullopt : store.findFolder(folder, names[i]);
        if (!next) throw ComponentError("No folder " + toUtf8(path));
        folder = *next;
    }
    return std::make_shared<RDOFolder>(FolderRef{entry, folder});
}

void RDOSession::Logoff() {
    requireLogon();
    loggedOn_ = false;
    auto added = std::move(added_);
    added_.clear();
    profile_->expectReads({});
    for (auto& entry : added) profile_->closeStore(*entry);
}

void RDOSession::expectImports(quillmere::PathList files) {
    if (profile_) profile_->expectReads(std::move(files));
}

std::shared_ptr<RDOStore> RDOStores::AddPSTStore(const std::u16string& path, int format, const std::u16string& displayName) {
    session_.requireLogon();
    if (format != kStoreFormatDefault) throw ComponentError("Unsupported store format " + std::to_string(format));
    auto entry = session_.profile_->addPstStore(toPath(path), displayName);
    session_.added_.push_back(entry);
    return std::make_shared<RDOStore>(entry);
}

std::shared_ptr<RDOStore> RDOStores::GetStoreFromID(const std::u16string& entryId) {
    session_.requireLogon();
    auto entry = session_.profile_->storeByEntryId(entryId);
    if (!entry) throw ComponentError("No store with that entry id");
    return std::make_shared<RDOStore>(entry);
}

std::u16string RDOStore::EntryID() const {
    store_->open();
    return store_->entryId;
}

std::u16string RDOStore::PstPath() const { return fromPath(store_->file); }

uint64_t RDOStore::MessagesCommitted() const { return store_->store ? store_->store->committedMessages() : 0; }

std::shared_ptr<RDOFolder> RDOStore::IPMRootFolder() {
    return std::make_shared<RDOFolder>(FolderRef{store_, store_->open().ipmSubtree()});
}

std::u16string RDOFolder::Name() const { return ref_.store->open().folderInfo(ref_.id).name; }

std::shared_ptr<RDOFolders> RDOFolder::Folders() {
    ref_.store->open();
    return std::make_shared<RDOFolders>(ref_);
}

std::shared_ptr<RDOItems> RDOFolder::Items() {
    ref_.store->open();
    return std::make_shared<RDOItems>(ref_);
}

int RDOFolders::Count() const {
    return static_cast<int>(owner_.store->open().subfolders(owner_.id).size());
}

std::shared_ptr<RDOFolder> RDOFolders::Item(int index) const {
    auto list = owner_.store->open().subfolders(owner_.id);
    if (index < 1 || index > static_cast<int>(list.size())) throw ComponentError("Folder index out of range");
    return std::make_shared<RDOFolder>(FolderRef{owner_.store, list[index - 1].id});
}

std::shared_ptr<RDOFolder> RDOFolders::Add(const std::u16string& name, int kind) {
    if (kind != kFolderKindMail) throw ComponentError("Unsupported folder kind " + std::to_string(kind));
    auto id = owner_.store->open().createFolder(owner_.id, name);
    return std::make_shared<RDOFolder>(FolderRef{owner_.store, id});
}

void MapiMessage::setProp(pst::PropTag tag, pst::PropValue value) {
    if (written_) throw ComponentError("The message has been saved and cannot be changed");
    content_.set(tag, std::move(value));
}

namespace {

void collectStreamWarnings(const pst::MessageContent& content, std::vector<std::string>& out) {
    auto fromProps = [&](const std::vector<pst::Property>& props) {
        for (auto& p : props)
            if (auto* source = std::get_if<pst::StreamedBytes>(&p.value); source && *source)
                for (auto& w : (*source)->warnings())
                    if (std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
    };
    fromProps(content.props);
    for (auto& a : content.attachments) {
        fromProps(a.props);
        if (a.embedded) collectStreamWarnings(*a.embedded, out);
    }
}

}  // namespace

void MapiMessage::save() {
    if (written_) return;
    folder_.store->open().addMessage(folder_.id, content_);
    written_ = true;
    collectStreamWarnings(content_, writeWarnings_);
}

std::vector<std::string> RDOMail::ImportWarnings() const {
    std::vector<std::string> all = eml::withWarningsWhenRead(warnings_, warningsWhenRead_);
    for (auto& w : message_->writeWarnings())
        if (std::find(all.begin(), all.end(), w) == all.end()) all.push_back(w);
    return all;
}

void RDOMail::Import(const std::u16string& path, int format) {
    if (format != kImportRfc822) throw ComponentError("Unsupported import format " + std::to_string(format));
    if (message_->saved()) throw ComponentError("The item has been saved already");
    auto read = message_->folder().store->readMessage(toPath(path));
    message_->content() = std::move(read.content);
    warnings_ = std::move(read.warnings);
    warningsWhenRead_ = std::move(read.warningsWhenRead);
    imported_ = true;
}

void RDOMail::Save() { message_->save(); }

std::shared_ptr<RDOMail> RDOItems::Add(int kind) {
    if (kind != kItemKindMail) throw ComponentError("Unsupported item kind " + std::to_string(kind));
    folder_.store->open();
    return std::make_shared<RDOMail>(folder_);
}

void MAPIUtils::HrSetOneProp(MapiMessage& message, pst::PropTag tag, const pst::PropValue& value, bool save) {
    message.setProp(tag, value);
    if (save) message.save();
}

}  // namespace conversion::redemption
