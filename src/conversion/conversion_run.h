#pragma once
// One conversion run, from the destination picker to the log-off: creates a
// new store, rebuilds the message list's folder tree in it and imports every
// listed message. The window and the headless converter both run it.

#include <memory>
#include <string>
#include <vector>

#include "conversion/component_registry.h"
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
    int messagesConverted = 0;
    int foldersCreated = 0;
    std::vector<RowFailure> failures;  // rows that left nothing in the store
    std::string storeFailure;          // the store could not be committed at the end
};

inline constexpr const char16_t* kErrorBoxTitle = u"Outlook Error";
std::u16string outlookErrorText();
// The text of the box that ends a run with failures.
std::u16string failureSummaryText(const std::vector<RowFailure>& failures);

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
