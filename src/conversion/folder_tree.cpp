// The folder list of a run and the folder tree it creates in the new store.

#include "conversion/conversion_run.h"
#include "conversion/folder_lookup.h"
#include "conversion/folder_path.h"
#include "conversion/redemption_face.h"
#include "util/string_list.h"

namespace conversion {

void ConversionRun::BuildFolderList() {
    auto& folderPaths = host_.folderPaths();
    const int rows = host_.rowCount();
    report_.rows = rows;
    folderPaths.assign(static_cast<size_t>(rows), std::u16string());
    for (int r = 0; r < rows; ++r) {
        host_.setCurrentRow(r);
        host_.setCurrentColumn(0);
        pump();
        runner_.step([&] { folderPaths[r] = RowFolderPath(host_.currentCellText()); });
        host_.setCurrentDbxCaption(u"Reading File System Folders...   (" + folderPaths[r] + u")");
    }
    pump();
    quillmere::QuickSort(folderPaths, 0, static_cast<int32_t>(folderPaths.size()) - 1);
    pump();
    quillmere::RemoveDuplicates(folderPaths);
    folderPaths.shrink_to_fit();  // it held an entry a row until the duplicates went

    // Every ancestor of every folder joins the list.
    const size_t n = folderPaths.size();
    for (size_t i = 0; i < n; ++i) {
        auto names = splitFolderNames(folderPaths[i]);
        size_t first = folderPaths.size();
        folderPaths.resize(first + names.size());
        pump();
        std::u16string joined;
        for (size_t j = 0; j < names.size(); ++j) {
            pump();
            joined += (j == 0 ? u"" : u"\\") + names[j];
            folderPaths[first + j] = joined;
        }
        host_.setCurrentDbxCaption(u"Preparing Email Folders... (" + folderPaths[i] + u")");
    }
    pump();
    quillmere::QuickSort(folderPaths, 0, static_cast<int32_t>(folderPaths.size()) - 1);
    pump();
    quillmere::RemoveDuplicates(folderPaths);
}

void ConversionRun::CreateOutlookFolders() {
    const auto& folderPaths = host_.folderPaths();
    const size_t count = folderPaths.size();
    for (size_t i = 0; i < count; ++i) {
        const std::u16string p = folderPaths[i];
        runner_.switchToSkipOnFailure();
        if (!report_.storeFailure.empty()) break;  // the store takes no more writes
        host_.setCurrentDbxCaption(u"Creating Outlook Folders... (" + p + u")");
        auto names = splitFolderNames(p);
        pump();
        if (names.size() >= 2) {
            const std::u16string& leaf = names.back();
            std::u16string parentPath = p.substr(0, p.size() - leaf.size() - 1);
            std::shared_ptr<outlook::Folder> parent;
            runner_.step([&] {
                std::u16string lookup = u"\\" + fields_.storeDisplayName + u"\\" + parentPath;
                parent = OpenMAPIFolder(components_, lookup);
            });
            pump();
            std::shared_ptr<outlook::Folder> created;
            if (runner_.step([&] {
                    if (!parent) throw ComponentError("The parent folder was not found");
                    watchingStore([&] { created = parent->GetFolders()->Add(leaf, redemption::kFolderKindMail); });
                }))
                ++report_.foldersCreated;
            pump();
            created.reset();
            parent.reset();
        } else {
            std::shared_ptr<redemption::RDOStore> store;
            runner_.step([&] { store = fields_.rdoSession->Stores()->GetStoreFromID(storeEntryID_); });
            bool matched = false;
            runner_.step([&] {
                auto subfolders = store->IPMRootFolder()->Folders();
                const int subfolderCount = subfolders->Count();
                for (int k = 1; k <= subfolderCount; ++k)
                    if (subfolders->Item(k)->Name() == p) matched = true;
            });
            if (!matched && runner_.step([&] {
                    if (!store) throw ComponentError("The store was not found");
                    watchingStore([&] { store->IPMRootFolder()->Folders()->Add(p, redemption::kFolderKindMail); });
                }))
                ++report_.foldersCreated;
            pump();
            store.reset();
        }
    }
}

}  // namespace conversion
