#include "conversion/folder_lookup.h"

namespace conversion {

std::shared_ptr<outlook::Folder> OpenMAPIFolder(const ComponentRegistry& components, std::u16string& path) {
    auto application = components.create<outlook::Application>(kOutlookClass);
    std::shared_ptr<outlook::Folder> current;
    if (!path.empty() && path.front() == u'\\')
        path.erase(0, 1);
    else
        current = application->ActiveExplorer()->CurrentFolder();

    std::shared_ptr<outlook::Namespace> mapi;
    while (!path.empty()) {
        auto separator = path.find(u'\\');
        std::u16string name = path.substr(0, separator);
        path = separator == std::u16string::npos ? std::u16string() : path.substr(separator + 1);
        if (!current) {
            mapi = application->GetNamespace(u"MAPI");
            current = mapi->GetFolders()->Item(name);
        } else {
            current = current->GetFolders()->Item(name);
        }
    }
    return current;
}

}  // namespace conversion
