// The checker passes every store Outlook wrote, and the command reports it.

#include "pst/check/pst_check.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

#include "sample_files.h"

using pst::check::checkFile;
using pst::check::Options;

namespace {

int runCommand(const std::string& args) {
    std::string cmd = std::string(PSTCHECK_COMMAND) + " " + args + " > /dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (auto& l : lines) out += l + "\n";
    return out;
}

}  // namespace

TEST(CheckerOnSamples, EveryOutlookMadeStorePasses) {
    bool any = false;
    for (auto name : {"sample1.pst", "sample2.pst", "submessage.pst", "support.pst", "test_unicode.pst"}) {
        if (!std::filesystem::exists(test_samples::path(name))) continue;
        any = true;
        auto report = checkFile(test_samples::path(name));
        EXPECT_TRUE(report.ok()) << name << "\n" << report.text();
        EXPECT_GT(report.summary.folders, 3u) << name;
        EXPECT_GT(report.summary.blocks, 0u) << name;
        EXPECT_GT(report.summary.nbtPages, 0u) << name;
    }
    if (!any) GTEST_SKIP() << "no Outlook-made samples in " << test_samples::dir();
}

TEST(CheckerOnSamples, SummaryCountsWhatTheStoreHolds) {
    REQUIRE_SAMPLE("support.pst");
    auto s = checkFile(test_samples::path("support.pst")).summary;
    EXPECT_TRUE(s.unicode);
    EXPECT_EQ(s.cryptMethod, 1);
    EXPECT_EQ(s.fileSize, 1033216u);
    EXPECT_EQ(s.amapPages, 4u);
    EXPECT_EQ(s.pmapPages, 1u);
    EXPECT_EQ(s.messages, 17u);
    EXPECT_EQ(s.attachments, 2u);
    EXPECT_EQ(s.searchFolders, 1u);
    EXPECT_EQ(s.unreachedBytes, 0u);
}

TEST(CheckerOnSamples, NdbOnlySkipsTheMessagingLayer) {
    REQUIRE_SAMPLE("sample1.pst");
    Options o;
    o.ndbOnly = true;
    auto report = checkFile(test_samples::path("sample1.pst"), o);
    EXPECT_TRUE(report.ok()) << report.text();
    EXPECT_EQ(report.summary.folders, 0u);
    EXPECT_EQ(report.summary.nodes, 52u);
}

TEST(CheckerOnSamples, StrictModeCountsWhatOutlookGetsAwayWith) {
    REQUIRE_SAMPLE("test_unicode.pst");
    Options o;
    o.strict = true;
    auto report = checkFile(test_samples::path("test_unicode.pst"), o);
    EXPECT_FALSE(report.ok());
    EXPECT_NE(joined(report.defects).find("rgbFM"), std::string::npos) << report.text();
    EXPECT_NE(joined(report.defects).find("recipient table"), std::string::npos) << report.text();
}

TEST(CheckerCommand, ExitCodesFollowTheVerdict) {
    EXPECT_EQ(runCommand(""), 2);
    EXPECT_EQ(runCommand("/nonexistent/file.pst"), 1);
    REQUIRE_SAMPLE("sample1.pst");
    EXPECT_EQ(runCommand(test_samples::path("sample1.pst").string()), 0);
    EXPECT_EQ(runCommand("--ndb-only " + test_samples::path("sample1.pst").string()), 0);
}
