#pragma once
// What a conversion run needs from the program that hosts it: the message
// list, the progress widgets, the convert button, the event pump and the
// user prompts. The main window implements it with its widgets, the
// headless converter on a terminal.

#include <string>
#include <vector>

#include "util/prompts.h"

namespace conversion {

// A folder below the listed one that the walk could not list, and why.
struct ListingFailure {
    std::u16string folder;
    std::string reason;
};

class RunHost {
public:
    virtual ~RunHost() = default;

    virtual quillmere::Prompts& prompts() = 0;
    // Lets the host handle pending events (repaints, clicks).
    virtual void processEvents() = 0;
    // True once the user asked to close the host during the run.
    virtual bool closeRequested() const { return false; }

    // The message list: one file path per row in column 0.
    virtual int rowCount() const = 0;
    virtual void setCurrentRow(int row) = 0;
    virtual void setCurrentColumn(int column) = 0;
    virtual std::u16string currentCellText() const = 0;
    // Any row's column-0 text, without moving the current cell.
    virtual std::u16string rowText(int row) const = 0;

    virtual void setCurrentDbxCaption(const std::u16string& text) = 0;       // LblCurrentDBX
    virtual void setProgressCurrentCaption(const std::u16string& text) = 0;   // LblProgessCurrent
    virtual void setProgressRange(float minimum, float maximum) = 0;         // ProgressBar1
    virtual void setProgressValue(float value) = 0;
    virtual void setConvertEnabled(bool enabled) = 0;                        // CmdExtractDBX
    // "Details : Converting - (r of R) file(s)"; hosts may show it or not.
    virtual void showDetails(const std::u16string& text) {}

    // The folder list the run builds (folderPaths).
    virtual std::vector<std::u16string>& folderPaths() = 0;

    // Folders the walks that filled the list could not list; the run names
    // them in its report and its closing message.
    virtual std::vector<ListingFailure> listingFailures() const { return {}; }
};

}  // namespace conversion
