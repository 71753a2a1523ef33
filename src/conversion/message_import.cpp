// The last phase of a run: every listed file becomes a mail item of its folder.

#include "conversion/conversion_run.h"
#include "conversion/folder_path.h"
#include "conversion/redemption_face.h"
#include "conversion/text.h"
#include "pst/format/property_tags.h"
#include "util/text.h"

namespace conversion {

using pst::tags::MSGFLAG_HASATTACH;
using pst::tags::MSGFLAG_READ;
using pst::tags::PR_MESSAGE_FLAGS;
using quillmere::trimSpaces;

int32_t importedMessageFlags(const std::vector<int32_t>& existingFlags, bool hasAttachments) {
    // The import knows which attachments the user sees (inline pictures are
    // not counted); without its word the attachment table decides.
    if (!existingFlags.empty()) return existingFlags.front() | MSGFLAG_READ;
    return MSGFLAG_READ | (hasAttachments ? MSGFLAG_HASATTACH : 0);
}

void ConversionRun::ImportMessages() {
    const int rows = host_.rowCount();
    report_.rows = rows;
    if (fields_.rdoSession) {
        std::vector<std::u16string> files;
        for (int r = 0; r < rows; ++r) files.push_back(trimSpaces(host_.rowText(r)));
        fields_.rdoSession->expectImports(files);
    }
    for (int r = 0; r < rows; ++r) importRow(r, rows);
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
    filled = filled && runner_.step([&] { item->Import(trimSpaces(rowText), redemption::kImportRfc822); });
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
            utils->HrSetOneProp(*message, PR_MESSAGE_FLAGS, importedMessageFlags(existing, hasAttachments), true);
        });
        utils.reset();
        if (runner_.step([&] { item->Save(); }))
            ++report_.messagesConverted;
        else
            filled = false;
    }
    if (!filled) report_.failures.push_back({r, trimSpaces(rowText), runner_.lastFailure()});
    item.reset();

    host_.setConvertEnabled(false);
    host_.showDetails(u"Details : Converting - (" + fromUtf8(std::to_string(r + 1)) + u" of " +
                      fromUtf8(std::to_string(rows)) + u") file(s)");
    host_.setCurrentDbxCaption(u"Converting Messages... from (" + folderPath + u")");
    host_.setProgessCurrentCaption(afterDrive);
    const int rowsNow = host_.rowCount();
    host_.setProgressValue(static_cast<float>(static_cast<double>(r + 1) / rowsNow * 100.0));
}

}  // namespace conversion
