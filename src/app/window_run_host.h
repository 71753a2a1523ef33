#pragma once
// The conversion run's host in the main window: its grid, progress labels,
// progress bar, convert button, event pump and prompts.

#include "conversion/run_host.h"

namespace quillmere {

class frmStep1;

class WindowRunHost : public conversion::RunHost {
public:
    explicit WindowRunHost(frmStep1& window) : window_(window) {}

    Prompts& prompts() override;
    void processEvents() override;
    bool closeRequested() const override;
    int rowCount() const override;
    void setCurrentRow(int row) override;
    void setCurrentColumn(int column) override;
    std::u16string currentCellText() const override;
    std::u16string rowText(int row) const override;
    void setCurrentDbxCaption(const std::u16string& text) override;
    void setProgressCurrentCaption(const std::u16string& text) override;
    void setProgressRange(float minimum, float maximum) override;
    // The bar shows whole percents; the exact value stays on the bar as the
    // property "exactValue".
    void setProgressValue(float value) override;
    void setConvertEnabled(bool enabled) override;
    std::vector<std::u16string>& folderPaths() override;
    std::vector<conversion::ListingFailure> listingFailures() const override;

private:
    frmStep1& window_;
};

}  // namespace quillmere
