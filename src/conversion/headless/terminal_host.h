#pragma once
// The conversion run's host on a terminal: the message list in memory, the
// labels as progress output, prompts answered from the command line.

#include <atomic>
#include <string>
#include <vector>

#include "conversion/headless/progress_line.h"
#include "conversion/run_host.h"
#include "util/path_list.h"

namespace conversion::headless {

class TerminalPrompts : public quillmere::Prompts {
public:
    // Messages go to `out`, after `progress` (if any) has ended its line.
    TerminalPrompts(std::u16string destination, std::FILE* out, ProgressLine* progress = nullptr)
        : destination_(std::move(destination)), out_(out), progress_(progress) {}
    void message(const std::u16string& text, quillmere::BoxIcon icon, const std::u16string& title) override;
    bool confirm(const std::u16string& text, const std::u16string& title) override;
    std::u16string browseForFolder(const std::u16string& title) override { return destination_; }

private:
    std::u16string destination_;
    std::FILE* out_;
    ProgressLine* progress_;
};

class TerminalHost : public RunHost {
public:
    TerminalHost(quillmere::PathList rows, TerminalPrompts& prompts, ProgressLine& progress,
                 const std::atomic<bool>& interrupted);

    quillmere::Prompts& prompts() override { return prompts_; }
    void processEvents() override {}
    bool closeRequested() const override { return interrupted_; }
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    void setCurrentRow(int row) override { row_ = row; }
    void setCurrentColumn(int column) override {}
    std::u16string currentCellText() const override { return rows_.at(row_); }
    std::u16string rowText(int row) const override { return rows_.at(row); }
    void setCurrentDbxCaption(const std::u16string& text) override;
    void setProgressCurrentCaption(const std::u16string& text) override { progressCurrent_ = text; }
    void setProgressRange(float minimum, float maximum) override {}
    void setProgressValue(float value) override;
    void setConvertEnabled(bool enabled) override {}
    std::vector<std::u16string>& folderPaths() override { return folderPaths_; }
    std::vector<ListingFailure> listingFailures() const override { return listingFailures_; }
    void setListingFailures(std::vector<ListingFailure> failures) { listingFailures_ = std::move(failures); }

private:
    std::vector<ListingFailure> listingFailures_;
    quillmere::PathList rows_;
    TerminalPrompts& prompts_;
    ProgressLine& progress_;
    const std::atomic<bool>& interrupted_;
    int row_ = 0;
    std::u16string progressCurrent_;
    std::vector<std::u16string> folderPaths_{u""};
};

}  // namespace conversion::headless
