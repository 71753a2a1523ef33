#include "conversion/conversion_run.h"

#include "conversion/redemption_face.h"
#include "conversion/text.h"

namespace conversion {

namespace {
constexpr const char16_t* kKnowledgeBaseAddress = u"https://support.microsoft.com/outlook";
constexpr size_t kFailuresListed = 10;
}  // namespace

std::u16string outlookErrorText() {
    return std::u16string(u"Outlook Session Creation Error !") + u"\r\n" +
           u"Check if Outlook is installed and configured." + u"\r\n" +
           u"For more details visit this link : " + kKnowledgeBaseAddress;
}

std::u16string failureSummaryText(const std::vector<RowFailure>& failures) {
    std::u16string text = fromUtf8(std::to_string(failures.size())) +
                          u" message(s) could not be converted:";
    for (size_t i = 0; i < failures.size() && i < kFailuresListed; ++i)
        text += u"\r\n" + failures[i].file + u" (" + fromUtf8(failures[i].reason) + u")";
    if (failures.size() > kFailuresListed)
        text += u"\r\n... and " + fromUtf8(std::to_string(failures.size() - kFailuresListed)) + u" more.";
    return text;
}

ConversionRun::ConversionRun(RunHost& host, const ComponentRegistry& components, RunFieldRefs fields, Clock clock)
    : host_(host), components_(components), fields_(fields), clock_(std::move(clock)) {}

void ConversionRun::pump() {
    host_.processEvents();
    if (host_.closeRequested()) throw RunInterrupted();
}

RunReport ConversionRun::run() {
    report_ = RunReport{};
    fields_.saveFolder = host_.prompts().browseForFolder(u"Choose Folder to Save...");
    if (fields_.saveFolder.empty()) return report_;
    if (fields_.saveFolder.back() != u'/' && fields_.saveFolder.back() != u'\\') fields_.saveFolder += u'/';

    try {
        pump();
        host_.setProgressRange(0.0f, 100.0f);
        pump();

        runner_.step([&] {
            fields_.rdoSession.reset();
            fields_.rdoSession = components_.create<redemption::RDOSession>(kSessionClass);
            fields_.rdoSession->Logon();
        });
        runner_.step([&] {
            report_.pstPath = composePstPath(fields_.saveFolder, formatStamp(clock_()));
            fields_.storeDisplayName = composeStoreDisplayName(formatStamp(clock_()));
            report_.storeDisplayName = fields_.storeDisplayName;
        });
        runner_.step([&] {
            store_ = fields_.rdoSession->Stores()->AddPSTStore(report_.pstPath, redemption::kStoreFormatDefault,
                                                               fields_.storeDisplayName);
            storeEntryID_ = store_->EntryID();
        });
        BuildFolderList();
        CreateOutlookFolders();
        ImportMessages();
        pump();
        finishStore();
    } catch (const RunStopped& stopped) {
        report_.outcome = RunReport::Outcome::ErrorPath;
        report_.errorReason = stopped.what();
        store_.reset();
        host_.prompts().message(outlookErrorText(), quillmere::BoxIcon::Information, kErrorBoxTitle);
        return report_;
    } catch (const RunInterrupted&) {
        report_.outcome = RunReport::Outcome::Interrupted;
        finishStore();
        return report_;
    }

    report_.outcome = RunReport::Outcome::Finished;
    if (!report_.storeFailure.empty())
        host_.prompts().message(u"The store " + report_.pstPath + u" could not be completed: " +
                                    fromUtf8(report_.storeFailure), quillmere::BoxIcon::Critical);
    else if (!report_.failures.empty())
        host_.prompts().message(failureSummaryText(report_.failures), quillmere::BoxIcon::Exclamation);
    return report_;
}

void ConversionRun::finishStore() {
    store_.reset();
    auto session = std::move(fields_.rdoSession);
    fields_.rdoSession.reset();
    if (!session || !session->LoggedOn()) return;
    // Logging off writes what is still pending; unlike a skipped step, losing
    // that must not pass in silence.
    try {
        session->Logoff();
    } catch (const std::exception& e) {
        report_.storeFailure = e.what();
    }
}

}  // namespace conversion
