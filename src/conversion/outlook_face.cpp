#include "conversion/outlook_face.h"

#include "conversion/redemption_face.h"
#include "conversion/text.h"

namespace conversion::outlook {

std::u16string Folder::Name() const { return ref_.store->open().folderInfo(ref_.id).name; }

std::shared_ptr<Folders> Folder::GetFolders() {
    ref_.store->open();
    return std::make_shared<Folders>(ref_);
}

std::shared_ptr<Folder> Folders::Item(const std::u16string& name) const {
    if (name.empty()) throw ComponentError("An empty folder name");
    if (profile_) {
        auto entry = profile_->storeByDisplayName(name);
        if (!entry) throw ComponentError("No top-level folder " + toUtf8(name));
        return std::make_shared<Folder>(FolderRef{entry, entry->open().ipmSubtree()});
    }
    auto found = owner_.store->open().findFolder(owner_.id, name);
    if (!found) throw ComponentError("No folder " + toUtf8(name));
    return std::make_shared<Folder>(FolderRef{owner_.store, *found});
}

std::shared_ptr<Folder> Folders::Add(const std::u16string& name, int kind) {
    if (profile_) throw ComponentError("Stores are not added as folders");
    if (kind != redemption::kFolderKindMail) throw ComponentError("Unsupported folder kind " + std::to_string(kind));
    auto id = owner_.store->open().createFolder(owner_.id, name);
    return std::make_shared<Folder>(FolderRef{owner_.store, id});
}

std::shared_ptr<Explorer> Application::ActiveExplorer() {
    if (!profile_->activeFolder) throw ComponentError("Outlook shows no window");
    return std::make_shared<Explorer>(*profile_->activeFolder);
}

std::shared_ptr<Namespace> Application::GetNamespace(const std::u16string& type) {
    if (type != u"MAPI") throw ComponentError("Unknown namespace " + toUtf8(type));
    return std::make_shared<Namespace>(profile_);
}

}  // namespace conversion::outlook
