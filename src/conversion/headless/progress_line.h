#pragma once
// The converter's progress on a terminal: one redrawn line with a bar, the
// rate and the time left; or, when the output is not a terminal, plain lines.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace conversion::headless {

class ProgressLine {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ProgressLine(std::FILE* out, bool terminal, bool quiet, Clock clock = std::chrono::steady_clock::now);

    // A new phase text (the current-folder label).
    void caption(const std::string& text);
    // One message done: row (1-based) of rows, with the file it was.
    void message(int row, int rows, const std::string& file);
    // Ends the redrawn line so that what follows starts on a fresh one.
    void finish();

    // "[#####-----]  50%  5/10  12.3 msg/s  0:04 left", for a given width.
    static std::string barText(int row, int rows, double seconds, int barWidth);
    static std::string duration(double seconds);

private:
    void redraw(bool force);

    std::FILE* out_;
    bool terminal_;
    bool quiet_;
    Clock clock_;
    std::chrono::steady_clock::time_point importStart_{}, lastDraw_{};
    bool importing_ = false;
    bool lineOpen_ = false;
    int row_ = 0, rows_ = 0;
    std::string caption_, file_;
};

}  // namespace conversion::headless
