#include "conversion/headless/terminal_host.h"

#include "conversion/text.h"

namespace conversion::headless {

void TerminalPrompts::message(const std::u16string& text, quillmere::BoxIcon icon, const std::u16string& title) {
    std::string lines = toUtf8(text);
    for (size_t at; (at = lines.find("\r\n")) != std::string::npos;) lines.replace(at, 2, "\n  ");
    if (progress_) progress_->finish();
    std::fflush(stdout);
    std::fprintf(out_, "%s: %s\n", toUtf8(title).c_str(), lines.c_str());
    std::fflush(out_);
}

bool TerminalPrompts::confirm(const std::u16string& text, const std::u16string& title) { return true; }

TerminalHost::TerminalHost(quillmere::PathList rows, TerminalPrompts& prompts, ProgressLine& progress,
                           const std::atomic<bool>& interrupted)
    : rows_(std::move(rows)), prompts_(prompts), progress_(progress), interrupted_(interrupted) {}

void TerminalHost::setCurrentDbxCaption(const std::u16string& text) { progress_.caption(toUtf8(text)); }

void TerminalHost::setProgressValue(float value) {
    // The run sets the value once per row, after the row's labels.
    progress_.message(row_ + 1, rowCount(), toUtf8(progressCurrent_));
}

}  // namespace conversion::headless
