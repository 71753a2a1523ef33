#pragma once
// A run host that records what the run shows and answers prompts from a script.

#include <string>
#include <vector>

#include "conversion/run_host.h"

namespace testing_support {

struct ShownBox {
    std::u16string text;
    quillmere::BoxIcon icon;
    std::u16string title;
};

class ScriptedPrompts : public quillmere::Prompts {
public:
    void message(const std::u16string& text, quillmere::BoxIcon icon, const std::u16string& title) override {
        boxes.push_back({text, icon, title});
    }
    bool confirm(const std::u16string& text, const std::u16string& title) override { return true; }
    std::u16string browseForFolder(const std::u16string& title) override {
        pickerTitles.push_back(title);
        return folderAnswer;
    }
    std::u16string folderAnswer;
    std::vector<std::u16string> pickerTitles;
    std::vector<ShownBox> boxes;
};

class FakeHost : public conversion::RunHost {
public:
    struct RowView {
        std::u16string currentDbx, progressCurrent;
        float progress;
    };

    quillmere::Prompts& prompts() override { return prompts_; }
    void processEvents() override {
        ++events;
        if (closeAtEvent && events >= closeAtEvent) closing = true;
    }
    bool closeRequested() const override { return closing; }
    int rowCount() const override { return static_cast<int>(rows.size()); }
    void setCurrentRow(int row) override { currentRow = row; }
    void setCurrentColumn(int column) override { currentColumn = column; }
    std::u16string currentCellText() const override { return rows.at(currentRow); }
    std::u16string rowText(int row) const override { return rows.at(row); }
    void setCurrentDbxCaption(const std::u16string& text) override {
        currentDbx = text;
        captions.push_back(text);
    }
    void setProgressCurrentCaption(const std::u16string& text) override { progressCurrent = text; }
    void setProgressRange(float minimum, float maximum) override {
        progressMin = minimum;
        progressMax = maximum;
    }
    void setProgressValue(float value) override {
        progress = value;
        perRow.push_back({currentDbx, progressCurrent, value});
    }
    void setConvertEnabled(bool enabled) override { convertEnabled = enabled; }
    void showDetails(const std::u16string& text) override { details.push_back(text); }
    std::vector<std::u16string>& folderPaths() override { return folderPaths_; }
    std::vector<conversion::ListingFailure> listingFailures() const override { return unlisted; }

    ScriptedPrompts prompts_;
    std::vector<std::u16string> rows{u""};
    int currentRow = -1, currentColumn = -1;
    std::u16string currentDbx = u"Converting Messages...", progressCurrent = u"Messages not initialized yet...";
    float progressMin = -1, progressMax = -1, progress = 0;
    bool convertEnabled = true;
    std::vector<std::u16string> captions, details;
    std::vector<RowView> perRow;
    std::vector<std::u16string> folderPaths_{u""};
    std::vector<conversion::ListingFailure> unlisted;
    int events = 0;
    int closeAtEvent = 0;
    bool closing = false;
};

}  // namespace testing_support
