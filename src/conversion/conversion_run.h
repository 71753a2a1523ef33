#pragma once
// One conversion run, from the destination picker to the log-off: creates a
// new store, rebuilds the message list's folder tree in it and imports every
// listed message. The window and the headless converter both run it.

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "conversion/component_registry.h"
#include "conversion/report_file.h"
#include "conversion/run_host.h"
#include "conversion/step_runner.h"
#include "conversion/time_stamp.h"

namespace conversion {

namespace redemption {
class RDOSession;
class RDOStore;
}

// The fields of the hosting window that the run owns; they live in the host
// and survive from one run to the next.
struct RunFieldRefs {
    std::u16string& saveFolder;
    std::u16string& storeDisplayName;
    std::shared_ptr<redemption::RDOSession>& rdoSession;
};

// The same fields for a host that keeps them together.
struct RunFields {
    std::u16string saveFolder;
    std::u16string storeDisplayName;
    std::shared_ptr<redemption::RDOSession> rdoSession;
    operator RunFieldRefs() { return {saveFolder, storeDisplayName, rdoSession}; }
};

struct RowFailure {
    int row = 0;
    std::u16string file;
    std::string reason;
};

// A file converted with what its reader repaired or dropped.
struct RowWarning {
    int row = 0;
    std::u16string file;
    std::vector<std::string> warnings;
};

struct RunReport {
    enum class Outcome {
        Cancelled,    // the destination picker was cancelled
        ErrorPath,    // stopped with the "Outlook Error" box
        Finished,     // every row was processed
        Interrupted,  // the host was closed; the store was committed and closed
    };
    Outcome outcome = Outcome::Cancelled;
    std::u16string pstPath;
    std::u16string storeDisplayName;
    std::string errorReason;  // why the error path was taken
    int rows = 0;
    // Every listed row is exactly one of: converted (the store's file holds
    // it after the last commit), among them those with warnings, or failed.
    int messagesConverted = 0;
    int foldersCreated = 0;
    std::vector<RowFailure> failures;  // rows the store does not hold, with the reason
    std::vector<RowWarning> warned;    // converted rows whose reader repaired or dropped something
    std::vector<ListingFailure> listingFailures;  // folders the walk could not list
    // The store could not be written (a full disk...): the run stopped there,
    // or its last commit failed. The file holds what messagesConverted counts.
    std::string storeFailure;
    std::u16string reportPath;  // the run's report file, when it could be created
    std::string reportFailure;  // why the report could not be created or written

    bool clean() const {
        return failures.empty() && warned.empty() && listingFailures.empty() && storeFailure.empty();
    }
};

inline constexpr const char16_t* kErrorBoxTitle = u"Outlook Error";
std::u16string outlookErrorText();
// The text of the box that ends a run with failures.
std::u16string failureSummaryText(const std::vector<RowFailure>& failures);
// The box that ends a run that was not clean: what the store lacks and why,
// and where the report is.
std::u16string endOfRunText(const RunReport& report);

// PR_MESSAGE_FLAGS of an imported message: the flags the import gave it with
// the read bit added; without any, read and has-attachment exactly when it
// has attachments.
int32_t importedMessageFlags(const std::vector<int32_t>& existingFlags, bool hasAttachments);

class ConversionRun {
public:
    ConversionRun(RunHost& host, const ComponentRegistry& components, RunFieldRefs fields, Clock clock = localNow);

    // The whole run (the convert button's click).
    RunReport run();

private:
    void pump();
    void BuildFolderList();
    void CreateOutlookFolders();
    void ImportMessages();
    void importRow(int row, int rows);
    void finishStore();

    // The account of every row, settled in list order and written to the
    // report as soon as the store's file holds what it says.
    struct Account {
        enum class State { Failed, Saved } state = State::Failed;
        int row = 0;
        uint64_t saveIndex = 0;  // among the messages saved into the store
        std::vector<std::string> warnings;
        // A failed row's texts. A saved row's file and folder are read from
        // the list again when it settles: nothing per row is held twice.
        struct Failure {
            std::u16string file, folder;
            std::string reason;
        };
        std::unique_ptr<Failure> failure;
    };
    void openReport(const std::u16string& storePath);
    void failRow(int row, const std::u16string& file, const std::u16string& folder, const std::string& reason);
    void settleRows(bool final);
    void writeSummary();
    uint64_t messagesCommitted() const;
    // Runs `body`, noting a failed write of the store: once the store cannot
    // be written the run does not go on writing into it.
    template <class F>
    void watchingStore(F&& body) {
        try {
            body();
        } catch (const std::exception& e) {
            noteStoreFailure(e);
            throw;
        }
    }
    void noteStoreFailure(const std::exception& e);

    std::deque<Account> accounts_;  // not settled yet: the rows since the last commit
    size_t accounted_ = 0;           // rows with an account, settled or not
    uint64_t saved_ = 0;
    std::unique_ptr<ReportFile> reportFile_;
    RunHost& host_;
    const ComponentRegistry& components_;
    RunFieldRefs fields_;
    Clock clock_;
    StepRunner runner_;
    RunReport report_;
    std::shared_ptr<redemption::RDOStore> store_;
    std::u16string storeEntryID_;
};

}  // namespace conversion
