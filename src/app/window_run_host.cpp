#include "app/window_run_host.h"

#include <QtMath>

#include "app/main_window.h"

namespace quillmere {

Prompts& WindowRunHost::prompts() { return window_.prompts(); }
void WindowRunHost::processEvents() { window_.DoEvents(); }
bool WindowRunHost::closeRequested() const { return window_.closeRequested(); }
int WindowRunHost::rowCount() const { return window_.grdFiles1->rows(); }
void WindowRunHost::setCurrentRow(int row) { window_.grdFiles1->setRow(row); }
void WindowRunHost::setCurrentColumn(int column) { window_.grdFiles1->setCol(column); }
std::u16string WindowRunHost::currentCellText() const { return window_.grdFiles1->text().toStdU16String(); }
std::u16string WindowRunHost::rowText(int row) const {
    return window_.grdFiles1->textMatrix(row, 0).toStdU16String();
}

void WindowRunHost::setCurrentDbxCaption(const std::u16string& text) {
    window_.LblCurrentDBX->setText(QString::fromStdU16String(text));
}

void WindowRunHost::setProgressCurrentCaption(const std::u16string& text) {
    window_.LblProgessCurrent->setText(QString::fromStdU16String(text));
}

void WindowRunHost::setProgressRange(float minimum, float maximum) {
    window_.ProgressBar1->setRange(qRound(minimum), qRound(maximum));
}

void WindowRunHost::setProgressValue(float value) {
    window_.ProgressBar1->setProperty("exactValue", value);
    window_.ProgressBar1->setValue(qRound(value));
}

void WindowRunHost::setConvertEnabled(bool enabled) { window_.CmdExtractDBX->setEnabled(enabled); }
std::vector<std::u16string>& WindowRunHost::folderPaths() { return window_.folderPaths; }

std::vector<conversion::ListingFailure> WindowRunHost::listingFailures() const { return window_.unlistedFolders; }

}  // namespace quillmere
