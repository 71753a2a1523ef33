// The stamp, the names built from it, the row paths, the flags and the step runner.

#include <gtest/gtest.h>

#include "conversion/component_registry.h"
#include "conversion/conversion_run.h"
#include "conversion/folder_path.h"
#include "conversion/step_runner.h"
#include "conversion/time_stamp.h"

using namespace conversion;

TEST(TimeStampTest, DropsLeadingZerosExceptInSecondsAndYear) {
    std::tm t{};
    t.tm_mday = 5;
    t.tm_mon = 11;
    t.tm_year = 126;
    t.tm_hour = 21;
    t.tm_min = 7;
    t.tm_sec = 5;
    EXPECT_EQ(formatStamp(t), u"5.12.26 21.7.05");
    t = {};
    t.tm_mday = 1;
    t.tm_year = 100;  // 2000
    EXPECT_EQ(formatStamp(t), u"1.1.00 0.0.00");
    EXPECT_EQ(composePstPath(u"C:\\", u"5.12.26 21.7.05"), u"C:\\WindowsLiveMailMessages5.12.26 21.7.05.pst");
    EXPECT_EQ(composeStoreDisplayName(u"5.12.26 21.7.05"), u"Windows Live Mail Messages : Created - 5.12.26 21.7.05");
}

TEST(RowFolderPathTest, FolderBelowTheDriveRoot) {
    EXPECT_EQ(RowFolderPath(u"C:\\Users\\ann\\Mail\\Inbox\\a.eml"), u"Users\\ann\\Mail\\Inbox");
    EXPECT_EQ(RowFolderPath(u"  D:\\Mail\\b.eml "), u"Mail");
    EXPECT_EQ(RowFolderPath(u"/home/ann/Mail/a.eml"), u"home\\ann\\Mail");
    for (auto bad : {u"", u"C:\\a.eml", u"\\\\server\\share\\a.eml", u"/a.eml", u"Mail/a.eml", u"C:"})
        EXPECT_THROW(RowFolderPath(bad), ComponentError) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
    EXPECT_EQ(PathAfterDrive(u" C:\\Users\\a.eml "), u"\\Users\\a.eml");
    EXPECT_EQ(PathAfterDrive(u"/home/a.eml"), u"/home/a.eml");
    EXPECT_EQ(splitFolderNames(u"a\\b\\c"), (std::vector<std::u16string>{u"a", u"b", u"c"}));
}

TEST(MessageFlagsTest, ReadAlwaysAttachmentOnlyWhenPresent) {
    EXPECT_EQ(importedMessageFlags({}, false), 0x01);
    EXPECT_EQ(importedMessageFlags({}, true), 0x11);
    // The import's own word on attachments stands (inline pictures do not count).
    EXPECT_EQ(importedMessageFlags({0x00}, true), 0x01);
    EXPECT_EQ(importedMessageFlags({0x210}, true), 0x211);
}

TEST(StepRunnerTest, StopsUntilSwitchedThenSkips) {
    StepRunner runner;
    EXPECT_TRUE(runner.step([] {}));
    EXPECT_THROW(runner.step([] { throw ComponentError("first"); }), RunStopped);
    runner.switchToSkipOnFailure();
    EXPECT_FALSE(runner.step([] { throw std::runtime_error("second"); }));
    EXPECT_EQ(runner.lastFailure(), "second");
    EXPECT_THROW(runner.step([] { throw RunInterrupted(); }), RunInterrupted);
}

TEST(FailureSummaryTest, CountsAllListsTheFirstTen) {
    std::vector<RowFailure> failures;
    for (int i = 0; i < 12; ++i) failures.push_back({i, u"/m/" + std::u16string(1, char16_t(u'a' + i)) + u".eml", "bad"});
    auto text = failureSummaryText(failures);
    EXPECT_EQ(text.rfind(u"12 message(s) could not be converted:\r\n/m/a.eml (bad)\r\n", 0), 0u);
    EXPECT_NE(text.find(u"/m/j.eml"), std::u16string::npos);
    EXPECT_EQ(text.find(u"/m/k.eml"), std::u16string::npos);
    EXPECT_NE(text.find(u"... and 2 more."), std::u16string::npos);
}
