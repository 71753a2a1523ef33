#include "conversion/conversion_run.h"

#include "conversion/folder_path.h"
#include "conversion/redemption_face.h"
#include "conversion/text.h"
#include "pst/store.h"

namespace conversion {

namespace {
constexpr const char16_t* kKnowledgeBaseAddress = u"https://support.microsoft.com/outlook";
constexpr size_t kFailuresListed = 10;

std::u16string number(size_t n) { return fromUtf8(std::to_string(n)); }

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& t : texts) out += (out.empty() ? "" : "; ") + t;
    return out;
}

std::string plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}
}  // namespace

std::u16string outlookErrorText() {
    return std::u16string(u"Outlook Session Creation Error !") + u"\r\n" +
           u"Check if Outlook is installed and configured." + u"\r\n" +
           u"For more details visit this link : " + kKnowledgeBaseAddress;
}

std::u16string failureSummaryText(const std::vector<RowFailure>& failures) {
    std::u16string text = number(failures.size()) + u" message(s) could not be converted:";
    for (size_t i = 0; i < failures.size() && i < kFailuresListed; ++i)
        text += u"\r\n" + failures[i].file + u" (" + fromUtf8(failures[i].reason) + u")";
    if (failures.size() > kFailuresListed)
        text += u"\r\n... and " + number(failures.size() - kFailuresListed) + u" more.";
    return text;
}

std::u16string endOfRunText(const RunReport& report) {
    std::u16string text;
    auto line = [&](const std::u16string& l) { text += (text.empty() ? u"" : u"\r\n") + l; };
    if (!report.storeFailure.empty()) {
        line(u"The store " + report.pstPath + u" could not be written: " + fromUtf8(report.storeFailure));
        line(u"It holds " + number(report.messagesConverted) + u" of the " + number(report.rows) +
             u" messages; the run stopped there.");
    }
    if (!report.failures.empty()) line(failureSummaryText(report.failures));
    if (!report.warned.empty()) {
        line(number(report.warned.size()) + u" message(s) were converted with warnings:");
        for (size_t i = 0; i < report.warned.size() && i < kFailuresListed; ++i)
            line(report.warned[i].file + u" (" + fromUtf8(joined(report.warned[i].warnings)) + u")");
        if (report.warned.size() > kFailuresListed)
            line(u"... and " + number(report.warned.size() - kFailuresListed) + u" more.");
    }
    if (!report.listingFailures.empty()) {
        line(number(report.listingFailures.size()) + u" folder(s) could not be listed, their messages are not in the list:");
        for (size_t i = 0; i < report.listingFailures.size() && i < kFailuresListed; ++i)
            line(report.listingFailures[i].folder + u" (" + fromUtf8(report.listingFailures[i].reason) + u")");
        if (report.listingFailures.size() > kFailuresListed)
            line(u"... and " + number(report.listingFailures.size() - kFailuresListed) + u" more.");
    }
    if (!report.reportPath.empty() && report.reportFailure.empty())
        line(u"Every file is accounted for in the report " + report.reportPath);
    else if (!report.reportFailure.empty())
        line(u"The report could not be written: " + fromUtf8(report.reportFailure));
    return text;
}

ConversionRun::ConversionRun(RunHost& host, const ComponentRegistry& components, RunFieldRefs fields, Clock clock)
    : host_(host), components_(components), fields_(fields), clock_(std::move(clock)) {}

void ConversionRun::pump() {
    host_.processEvents();
    if (host_.closeRequested()) throw RunInterrupted();
}

void ConversionRun::noteStoreFailure(const std::exception& e) {
    auto* storeError = dynamic_cast<const pst::StoreError*>(&e);
    if (storeError && (storeError->kind() == pst::StoreError::Kind::DiskFull ||
                       storeError->kind() == pst::StoreError::Kind::Io))
        if (report_.storeFailure.empty()) report_.storeFailure = e.what();
}

RunReport ConversionRun::run() {
    report_ = RunReport{};
    accounts_.clear();
    settled_ = 0;
    saved_ = 0;
    reportFile_.reset();
    fields_.saveFolder = host_.prompts().browseForFolder(u"Choose Folder to Save...");
    if (fields_.saveFolder.empty()) return report_;
    if (fields_.saveFolder.back() != u'/' && fields_.saveFolder.back() != u'\\') fields_.saveFolder += u'/';
    report_.listingFailures = host_.listingFailures();
    report_.rows = host_.rowCount();

    std::u16string composedPath;
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
            composedPath = composePstPath(fields_.saveFolder, formatStamp(clock_()));
            fields_.storeDisplayName = composeStoreDisplayName(formatStamp(clock_()));
            report_.storeDisplayName = fields_.storeDisplayName;
        });
        runner_.step([&] {
            store_ = fields_.rdoSession->Stores()->AddPSTStore(composedPath, redemption::kStoreFormatDefault,
                                                               fields_.storeDisplayName);
            report_.pstPath = store_->PstPath();
            storeEntryID_ = store_->EntryID();
        });
        openReport(report_.pstPath);
        BuildFolderList();
        CreateOutlookFolders();
        ImportMessages();
        pump();
        finishStore();
    } catch (const RunStopped& stopped) {
        report_.outcome = RunReport::Outcome::ErrorPath;
        report_.errorReason = stopped.what();
        store_.reset();
        if (!reportFile_ && !composedPath.empty()) openReport(composedPath);
        for (int r = static_cast<int>(accounts_.size()); r < report_.rows; ++r)
            failRow(r, host_.rowText(r), u"", "the run stopped before this file: " + report_.errorReason);
        settleRows(true);
        writeSummary();
        host_.prompts().message(outlookErrorText() + u"\r\n" + fromUtf8(report_.errorReason),
                                quillmere::BoxIcon::Information, kErrorBoxTitle);
        return report_;
    } catch (const RunInterrupted&) {
        report_.outcome = RunReport::Outcome::Interrupted;
        finishStore();
        const std::string why = report_.storeFailure.empty()
                                    ? std::string("the run was interrupted before this file")
                                    : "the run stopped before this file: " + report_.storeFailure;
        for (int r = static_cast<int>(accounts_.size()); r < report_.rows; ++r)
            failRow(r, host_.rowText(r), u"", why);
        settleRows(true);
        writeSummary();
        return report_;
    }

    report_.outcome = RunReport::Outcome::Finished;
    settleRows(true);
    writeSummary();
    if (!report_.clean())
        host_.prompts().message(endOfRunText(report_), report_.storeFailure.empty() ? quillmere::BoxIcon::Exclamation
                                                                                  : quillmere::BoxIcon::Critical);
    return report_;
}

void ConversionRun::finishStore() {
    auto session = std::move(fields_.rdoSession);
    fields_.rdoSession.reset();
    if (session && session->LoggedOn()) {
        // Logging off writes what is still pending; unlike a skipped step,
        // losing that must not pass in silence.
        try {
            session->Logoff();
        } catch (const std::exception& e) {
            if (report_.storeFailure.empty()) report_.storeFailure = e.what();
        }
    }
    settleRows(true);
    store_.reset();
}

uint64_t ConversionRun::messagesCommitted() const { return store_ ? store_->MessagesCommitted() : 0; }

void ConversionRun::openReport(const std::u16string& storePath) {
    if (reportFile_) return;
    // A line per row: the file twice at most (its folder, and in a reason),
    // the store's path in a reason, and the words around them.
    uint64_t expected = 4096 + 3 * storePath.size() * static_cast<uint64_t>(report_.listingFailures.size());
    for (int r = 0; r < report_.rows; ++r) expected += 6 * host_.rowText(r).size() + 3 * storePath.size() + 200;
    reportFile_ = ReportFile::create(toPath(storePath), expected, report_.reportFailure);
    if (!reportFile_) return;
    report_.reportPath = fromPath(reportFile_->path());
    reportFile_->text("Quillmere conversion report");
    reportFile_->text("Store: " + toUtf8(storePath) + (store_ ? "" : " (not created)"));
    reportFile_->text("Listed: " + plural(static_cast<size_t>(report_.rows), "file", "files"));
    reportFile_->text("Fields: outcome, store folder, file, reason or warnings (separated by tabs)");
    reportFile_->text("");
    for (const auto& refused : report_.listingFailures)
        reportFile_->record("folder not listed", "", toUtf8(refused.folder), refused.reason);
}

void ConversionRun::failRow(int row, const std::u16string& file, const std::u16string& folder,
                            const std::string& reason) {
    Account a;
    a.row = row;
    a.file = file;
    a.folder = folder;
    a.reason = reason;
    accounts_.push_back(std::move(a));
}

// Rows saved into the store count as converted once a commit holds them;
// `final` (after the last commit) turns the rest into failures with the
// store's cause. Settled rows go to the report in list order.
void ConversionRun::settleRows(bool final) {
    const uint64_t committed = messagesCommitted();
    for (; settled_ < accounts_.size(); ++settled_) {
        Account& a = accounts_[settled_];
        if (a.state == Account::State::Saved && a.saveIndex >= committed) {
            if (!final) break;
            a.state = Account::State::Failed;
            a.reason = "saved, but the store could not keep it: " +
                       (report_.storeFailure.empty() ? std::string("it was not committed") : report_.storeFailure);
        }
        if (a.state == Account::State::Saved) {
            ++report_.messagesConverted;
            if (!a.warnings.empty()) report_.warned.push_back({a.row, a.file, a.warnings});
        } else {
            report_.failures.push_back({a.row, a.file, a.reason});
        }
        if (!reportFile_) continue;
        if (a.state == Account::State::Failed)
            reportFile_->record("not converted", toUtf8(a.folder), toUtf8(a.file), a.reason);
        else if (a.warnings.empty())
            reportFile_->record("converted", toUtf8(a.folder), toUtf8(a.file), "");
        else
            reportFile_->record("converted with warnings", toUtf8(a.folder), toUtf8(a.file), joined(a.warnings));
    }
    if (reportFile_) reportFile_->flush();
}

void ConversionRun::writeSummary() {
    if (!reportFile_) return;
    std::string summary;
    switch (report_.outcome) {
        case RunReport::Outcome::ErrorPath: summary = "Stopped (" + report_.errorReason + "): "; break;
        case RunReport::Outcome::Interrupted: summary = "Interrupted: "; break;
        default: break;
    }
    summary += std::to_string(report_.messagesConverted) + " of " + plural(static_cast<size_t>(report_.rows), "message", "messages") +
               " converted (" + std::to_string(report_.warned.size()) + " with warnings), " +
               std::to_string(report_.failures.size()) + " not converted, " +
               plural(report_.listingFailures.size(), "folder", "folders") + " not listed.";
    reportFile_->text("");
    if (!report_.storeFailure.empty()) reportFile_->text("The store could not be written: " + report_.storeFailure);
    reportFile_->text(summary);
    reportFile_->finish();
    if (report_.reportFailure.empty()) report_.reportFailure = reportFile_->failure();
}

}  // namespace conversion
