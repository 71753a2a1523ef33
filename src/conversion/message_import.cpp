// The last phase of a run: every listed file becomes a mail item of its folder.

#include "conversion/conversion_run.h"
#include "conversion/folder_path.h"
#include "conversion/redemption_face.h"
#include "conversion/text.h"
#include "pst/format/property_tags.h"
#include "pst/store.h"
#include "util/path_list.h"

namespace conversion {

using pst::tags::MSGFLAG_HASATTACH;
using pst::tags::MSGFLAG_READ;
using pst::tags::PR_MESSAGE_FLAGS;

int32_t importedMessageFlags(const std::vector<int32_t>& existingFlags, bool hasAttachments) {
    // The store sets the has-attachment bit from the attachments it writes,
    // whatever is given here.
    if (!existingFlags.empty()) return existingFlags.front() | MSGFLAG_READ;
    return MSGFLAG_READ | (hasAttachments ? MSGFLAG_HASATTACH : 0);
}

void ConversionRun::ImportMessages() {
    const int rows = host_.rowCount();
    report_.rows = rows;
    if (fields_.rdoSession && report_.storeFailure.empty()) {
        quillmere::PathList files;
        for (int r = 0; r < rows; ++r) files.push_back(host_.rowText(r));
        files.shrink_to_fit();
        fields_.rdoSession->expectImports(std::move(files));
    }
    for (int r = 0; r < rows; ++r) {
        // Once the store cannot be written, every row left is named with
        // that cause rather than failing one by one against it.
        if (!report_.storeFailure.empty()) {
            failRow(r, host_.rowText(r), u"", "the run stopped before this file: " + report_.storeFailure);
            continue;
        }
        importRow(r, rows);
        settleRows(false);
    }
}

void ConversionRun::importRow(int r, int rows) {
    runner_.step([&] {
        host_.setCurrentRow(r);
        host_.setCurrentColumn(0);
    });
    pump();

    std::u16string rowText;
    std::u16string afterDrive;
    runner_.step([&] {
        rowText = host_.currentCellText();
        afterDrive = PathAfterDrive(rowText);
    });
    std::u16string folderPath;
    runner_.step([&] { folderPath = RowFolderPath(rowText); });

    // A row whose item cannot be created or filled writes nothing at all:
    // no empty item is left in the folder.
    std::shared_ptr<redemption::RDOMail> item;
    bool filled = runner_.step([&] {
        auto folder = fields_.rdoSession->GetFolderFromPath(u"\\\\" + fields_.storeDisplayName + u"\\" + folderPath);
        item = folder->Items()->Add(redemption::kItemKindMail);
    });
    // The file is opened under the name the file system gave it: a name may
    // end in a space.
    filled = filled && runner_.step([&] { item->Import(rowText, redemption::kImportRfc822); });
    if (filled) {
        std::shared_ptr<redemption::MAPIUtils> utils;
        runner_.step([&] { utils = components_.create<redemption::MAPIUtils>(kUtilsClass); });
        runner_.step([&] {
            auto message = item->MAPIOBJECT();
            std::vector<int32_t> existing;
            if (auto* value = message->getProp(PR_MESSAGE_FLAGS); value && std::holds_alternative<int32_t>(*value))
                existing.push_back(std::get<int32_t>(*value));
            const bool hasAttachments = !message->content().attachments.empty();
            if (!utils) throw ComponentError("No utility object");
            watchingStore([&] {
                utils->HrSetOneProp(*message, PR_MESSAGE_FLAGS, importedMessageFlags(existing, hasAttachments), true);
            });
        });
        utils.reset();
        if (runner_.step([&] { watchingStore([&] { item->Save(); }); })) {
            Account a;
            a.state = Account::State::Saved;
            a.row = r;
            a.warnings = item->ImportWarnings();
            a.saveIndex = saved_++;
            accounts_.push_back(std::move(a));
            ++accounted_;
        } else {
            filled = false;
        }
    }
    if (!filled) failRow(r, rowText, folderPath, runner_.lastFailure());
    item.reset();

    host_.setConvertEnabled(false);
    host_.showDetails(u"Details : Converting - (" + fromUtf8(std::to_string(r + 1)) + u" of " +
                      fromUtf8(std::to_string(rows)) + u") file(s)");
    host_.setCurrentDbxCaption(u"Converting Messages... from (" + folderPath + u")");
    host_.setProgressCurrentCaption(afterDrive);
    const int rowsNow = host_.rowCount();
    host_.setProgressValue(static_cast<float>(static_cast<double>(r + 1) / rowsNow * 100.0));
}

}  // namespace conversion
