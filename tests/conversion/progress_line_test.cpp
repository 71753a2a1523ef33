// The converter's terminal output: the bar line and the plain lines.

#include <gtest/gtest.h>

#include <cstdio>

#include "conversion/headless/progress_line.h"

using conversion::headless::ProgressLine;

namespace {

std::string captured(const std::function<void(ProgressLine&)>& body, bool terminal, bool quiet) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    auto now = std::chrono::steady_clock::time_point{};
    {
        ProgressLine line(out, terminal, quiet, [&] { return now += std::chrono::seconds(1); });
        body(line);
        line.finish();
    }
    std::fclose(out);
    std::string text(buffer, size);
    free(buffer);
    return text;
}

}  // namespace

TEST(ProgressLineTest, BarShowsShareRateAndTimeLeft) {
    EXPECT_EQ(ProgressLine::barText(5, 10, 2.0, 10), "[#####-----]  50%  5/10  2.5 msg/s  0:02 left");
    EXPECT_EQ(ProgressLine::barText(0, 10, 0.0, 4), "[----]   0%  0/10  0.0 msg/s  ? left");
    EXPECT_EQ(ProgressLine::duration(3725), "1:02:05");
    EXPECT_EQ(ProgressLine::duration(59.6), "1:00");
}

TEST(ProgressLineTest, PlainLinesWhenNotATerminal) {
    auto text = captured(
        [](ProgressLine& line) {
            line.caption("Creating Outlook Folders... (a)");
            line.caption("Creating Outlook Folders... (a)");
            line.message(1, 2, "/m/a.eml");
            line.message(2, 2, "/m/b.eml");
        },
        false, false);
    EXPECT_EQ(text, "Creating Outlook Folders... (a)\n[1/2] /m/a.eml\n[2/2] /m/b.eml\n");
    auto quiet = captured([](ProgressLine& line) { line.message(1, 1, "/m/a.eml"); }, false, true);
    EXPECT_EQ(quiet, "");
}

TEST(ProgressLineTest, TerminalRedrawsOneLineAndEndsIt) {
    auto text = captured(
        [](ProgressLine& line) {
            line.caption("Reading File System Folders...   (a)");
            line.message(1, 2, "/m/a.eml");
            line.message(2, 2, "/m/b.eml");
        },
        true, false);
    EXPECT_NE(text.find("\r\033[KReading File System Folders"), std::string::npos);
    EXPECT_NE(text.find("100%  2/2"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}
