#include "conversion/headless/progress_line.h"

#include <cmath>

namespace conversion::headless {

ProgressLine::ProgressLine(std::FILE* out, bool terminal, bool quiet, Clock clock)
    : out_(out), terminal_(terminal), quiet_(quiet), clock_(std::move(clock)) {}

std::string ProgressLine::duration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return "?";
    long total = std::lround(seconds);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string ProgressLine::barText(int row, int rows, double seconds, int barWidth) {
    double fraction = rows > 0 ? static_cast<double>(row) / rows : 1.0;
    int filled = static_cast<int>(fraction * barWidth);
    std::string bar(1, '[');
    bar.append(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(barWidth - filled), '-');
    bar.push_back(']');
    double rate = seconds > 0 ? row / seconds : 0;
    char text[128];
    std::snprintf(text, sizeof text, " %3d%%  %d/%d  %.1f msg/s  %s left", static_cast<int>(fraction * 100), row, rows,
                  rate, rate > 0 ? duration((rows - row) / rate).c_str() : "?");
    return bar + text;
}

void ProgressLine::caption(const std::string& text) {
    if (text == caption_) return;
    caption_ = text;
    if (terminal_) {
        if (!importing_) redraw(false);
    } else if (!quiet_ || !importing_) {
        std::fprintf(out_, "%s\n", text.c_str());
    }
}

void ProgressLine::message(int row, int rows, const std::string& file) {
    auto now = clock_();
    if (!importing_) {
        importing_ = true;
        // The first message's time is unknown; count from now with it done.
        importStart_ = now;
    }
    row_ = row;
    rows_ = rows;
    file_ = file;
    if (terminal_)
        redraw(row == rows);
    else if (!quiet_)
        std::fprintf(out_, "[%d/%d] %s\n", row, rows, file.c_str());
}

void ProgressLine::redraw(bool force) {
    auto now = clock_();
    if (!force && lineOpen_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    constexpr size_t width = 100;
    std::string line;
    if (importing_) {
        double seconds = std::chrono::duration<double>(now - importStart_).count();
        line = barText(row_, rows_, seconds, 30) + "  ";
        // The end of the file's path says most: keep that part.
        std::string file = file_;
        if (line.size() + file.size() > width && line.size() + 3 < width) {
            size_t cut = file.size() - (width - line.size() - 3);
            while (cut < file.size() && (static_cast<unsigned char>(file[cut]) & 0xC0) == 0x80) ++cut;
            file.replace(0, cut, "...");
        }
        line += file;
    } else {
        line = caption_;
        if (line.size() > width) {
            size_t cut = width - 3;
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;  // whole characters only
            line = line.substr(0, cut) + "...";
        }
    }
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    std::fflush(out_);
    lineOpen_ = true;
}

void ProgressLine::finish() {
    if (terminal_ && lineOpen_) std::fprintf(out_, "\n");
    lineOpen_ = false;
    std::fflush(out_);
}

}  // namespace conversion::headless
