// Whole conversion runs over memory stores, seen through a recording host.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "conversion/components.h"
#include "conversion/conversion_run.h"
#include "conversion/redemption_face.h"
#include "conversion/text.h"
#include "fake_host.h"
#include "memory_store.h"

using namespace conversion;
using testing_support::FakeHost;
using testing_support::MemoryProfile;
using testing_support::MemoryStore;

namespace {

std::tm at(int day, int month, int year, int hour, int minute, int second) {
    std::tm t{};
    t.tm_mday = day;
    t.tm_mon = month - 1;
    t.tm_year = year - 1900;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

int32_t flagsOf(const pst::MessageContent& m) {
    auto* v = m.find(0x0E070003);
    return v ? std::get<int32_t>(*v) : -1;
}

std::vector<std::string> readLines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> reportLines(const RunReport& report) {
    EXPECT_FALSE(report.reportPath.empty()) << report.reportFailure;
    EXPECT_TRUE(report.reportFailure.empty()) << report.reportFailure;
    return readLines(std::filesystem::path(report.reportPath));
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        destination = std::filesystem::temp_directory_path() /
                      ("quillmere-run-" + std::to_string(::getpid()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(destination);
        std::filesystem::create_directories(destination);
        host.prompts_.folderAnswer = std::u16string(destination.u16string());
        registerStoreComponents(components, memory.profile);
    }
    void TearDown() override { std::filesystem::remove_all(destination); }

    RunReport convert() {
        ConversionRun run(host, components, fields, [this] { return clock[std::min(reads++, clock.size() - 1)]; });
        return run.run();
    }
    MemoryStore& store() { return *memory.stores.at(0); }

    std::filesystem::path destination;
    FakeHost host;
    MemoryProfile memory;
    ComponentRegistry components;
    RunFields fields;
    std::vector<std::tm> clock{at(5, 12, 2026, 21, 7, 5)};
    size_t reads = 0;
};

}  // namespace

TEST_F(RunTest, CancelledPickerChangesNothing) {
    host.prompts_.folderAnswer.clear();
    host.rows = {u"C:\\Mail\\a.eml"};
    auto report = convert();
    EXPECT_EQ(report.outcome, RunReport::Outcome::Cancelled);
    EXPECT_EQ(host.prompts_.pickerTitles, std::vector<std::u16string>{u"Choose Folder to Save..."});
    EXPECT_TRUE(memory.stores.empty());
    EXPECT_FALSE(fields.rdoSession);
    EXPECT_EQ(host.currentDbx, u"Converting Messages...");
    EXPECT_EQ(host.progressMin, -1);
    EXPECT_EQ(reads, 0u);
    EXPECT_TRUE(host.prompts_.boxes.empty());
}

TEST_F(RunTest, NamesFileAndStoreFromTwoClockReadings) {
    clock = {at(5, 12, 2026, 21, 7, 5), at(5, 12, 2026, 21, 7, 6)};
    host.rows = {u"C:\\Mail\\a.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(reads, 2u);
    EXPECT_EQ(memory.files.at(0), destination / "WindowsLiveMailMessages5.12.26 21.7.05.pst");
    EXPECT_EQ(fields.storeDisplayName, u"Windows Live Mail Messages : Created - 5.12.26 21.7.06");
    EXPECT_EQ(store().displayName(), fields.storeDisplayName);
    EXPECT_EQ(fields.saveFolder.back(), u'/');
}

TEST_F(RunTest, BuildsFolderChainParentsFirstAndImportsEveryRowReadAndFlagged) {
    host.rows = {u"C:\\Users\\ann\\Mail\\Inbox\\a.eml", u"  C:\\Users\\ann\\Mail\\Inbox\\attach.eml  ",
                 u"C:\\Users\\ann\\Mail\\Sent\\b.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(host.folderPaths(), (std::vector<std::u16string>{u"Users", u"Users\\ann", u"Users\\ann\\Mail",
                                                                u"Users\\ann\\Mail\\Inbox", u"Users\\ann\\Mail\\Sent"}));
    EXPECT_EQ(store().creationOrder, host.folderPaths());
    auto byFolder = store().messagesByFolder();
    ASSERT_EQ(byFolder[u"Users\\ann\\Mail\\Inbox"].size(), 2u);
    ASSERT_EQ(byFolder[u"Users\\ann\\Mail\\Sent"].size(), 1u);
    // Read always; has-attachment only for the message that has one.
    EXPECT_EQ(flagsOf(byFolder[u"Users\\ann\\Mail\\Inbox"][0]), 0x01);
    EXPECT_EQ(flagsOf(byFolder[u"Users\\ann\\Mail\\Inbox"][1]), 0x11);
    EXPECT_EQ(report.messagesConverted, 3);
    EXPECT_EQ(report.foldersCreated, 5);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_TRUE(host.prompts_.boxes.empty());  // a clean run ends without a box
    // Log-off committed and closed the store and released the session.
    EXPECT_FALSE(store().isOpen());
    EXPECT_GE(store().commits, 1);
    EXPECT_FALSE(fields.rdoSession);
}

TEST_F(RunTest, LabelsAndProgressFollowEachRow) {
    host.rows = {u"C:\\Users\\ann\\Inbox\\a.eml", u"C:\\Users\\ann\\Inbox\\b.eml", u"D:\\Archive\\c.eml"};
    convert();
    EXPECT_EQ(host.progressMin, 0.0f);
    EXPECT_EQ(host.progressMax, 100.0f);
    ASSERT_EQ(host.perRow.size(), 3u);
    EXPECT_EQ(host.perRow[0].progress, 33.333332f);
    EXPECT_EQ(host.perRow[1].progress, 66.666664f);
    EXPECT_EQ(host.perRow[2].progress, 100.0f);
    EXPECT_EQ(host.perRow[0].currentDbx, u"Converting Messages... from (Users\\ann\\Inbox)");
    EXPECT_EQ(host.perRow[0].progressCurrent, u"\\Users\\ann\\Inbox\\a.eml");
    EXPECT_EQ(host.perRow[2].currentDbx, u"Converting Messages... from (Archive)");
    EXPECT_EQ(host.perRow[2].progressCurrent, u"\\Archive\\c.eml");
    EXPECT_EQ(host.details.back(), u"Details : Converting - (3 of 3) file(s)");
    EXPECT_EQ(host.captions.front(), u"Reading File System Folders...   (Users\\ann\\Inbox)");
    EXPECT_NE(std::find(host.captions.begin(), host.captions.end(), u"Preparing Email Folders... (Archive)"),
              host.captions.end());
    EXPECT_NE(std::find(host.captions.begin(), host.captions.end(), u"Creating Outlook Folders... (Users\\ann)"),
              host.captions.end());
    EXPECT_EQ(host.currentRow, 2);
    EXPECT_EQ(host.currentColumn, 0);
    EXPECT_FALSE(host.convertEnabled);
}

TEST_F(RunTest, PlatformPathsMirrorTheirFoldersBelowRoot) {
    host.rows = {u"/home/ann/Mail/Inbox/a.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(store().creationOrder.back(), u"home\\ann\\Mail\\Inbox");
    EXPECT_EQ(host.perRow[0].progressCurrent, u"/home/ann/Mail/Inbox/a.eml");
}

TEST_F(RunTest, FoldersDifferingOnlyInCaseShareOneFolder) {
    host.rows = {u"C:\\Mail\\Inbox\\a.eml", u"C:\\Mail\\inbox\\b.eml", u"C:\\mail\\c.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    // Both spellings stay in the list; the store refuses the second of each.
    EXPECT_EQ(host.folderPaths(),
              (std::vector<std::u16string>{u"Mail", u"Mail\\Inbox", u"Mail\\inbox", u"mail"}));
    EXPECT_EQ(store().creationOrder, (std::vector<std::u16string>{u"Mail", u"Mail\\Inbox"}));
    EXPECT_EQ(store().messagesByFolder()[u"Mail\\Inbox"].size(), 2u);
    EXPECT_EQ(store().messagesByFolder()[u"Mail"].size(), 1u);
    EXPECT_TRUE(report.failures.empty());
}

TEST_F(RunTest, RowsWithoutFolderTakeErrorPathAfterStoreWasAdded) {
    for (auto rows : std::vector<std::vector<std::u16string>>{
             {u""}, {u"C:\\Mail\\a.eml", u"\\\\server\\share\\b.eml"}, {u"C:\\a.eml"}, {u"/a.eml"}}) {
        SCOPED_TRACE(std::string(rows.back().begin(), rows.back().end()));
        FakeHost local;
        local.prompts_.folderAnswer = host.prompts_.folderAnswer;
        local.rows = rows;
        std::filesystem::remove_all(destination);
        std::filesystem::create_directories(destination);
        size_t storesBefore = memory.stores.size();
        ConversionRun run(local, components, fields, [this] { return clock[0]; });
        auto report = run.run();
        EXPECT_EQ(report.outcome, RunReport::Outcome::ErrorPath);
        ASSERT_EQ(memory.stores.size(), storesBefore + 1);
        EXPECT_TRUE(memory.stores.back()->creationOrder.empty());
        EXPECT_EQ(memory.stores.back()->messageCount(), 0u);
        ASSERT_EQ(local.prompts_.boxes.size(), 1u);
        EXPECT_EQ(local.prompts_.boxes[0].title, u"Outlook Error");
        EXPECT_EQ(local.prompts_.boxes[0].icon, quillmere::BoxIcon::Information);
        EXPECT_EQ(local.prompts_.boxes[0].text.rfind(u"Outlook Session Creation Error !\r\nCheck if Outlook is "
                                                     u"installed and configured.\r\nFor more details visit this "
                                                     u"link : ", 0),
                  0u);
        EXPECT_TRUE(local.convertEnabled);
        EXPECT_TRUE(fields.rdoSession);  // kept until the next run
    }
}

TEST_F(RunTest, MissingUtilityClassSavesItemsWithoutFlags) {
    components.unregisterClass("Redemption.MAPIUtils");
    host.rows = {u"C:\\Mail\\a.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    ASSERT_EQ(store().messagesByFolder()[u"Mail"].size(), 1u);
    EXPECT_EQ(flagsOf(store().messagesByFolder()[u"Mail"][0]), -1);
}

TEST_F(RunTest, MissingApplicationClassLeavesSubfoldersOutAndReportsTheirMessages) {
    components.unregisterClass("Outlook.Application");
    host.rows = {u"C:\\Mail\\a.eml", u"C:\\Mail\\Inbox\\b.eml", u"C:\\Mail\\Inbox\\c.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(store().creationOrder, std::vector<std::u16string>{u"Mail"});
    EXPECT_EQ(store().messageCount(), 1u);
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(report.failures[0].file, u"C:\\Mail\\Inbox\\b.eml");
    ASSERT_EQ(host.prompts_.boxes.size(), 1u);
    EXPECT_EQ(host.prompts_.boxes[0].title, u"Quillmere");
    EXPECT_EQ(host.prompts_.boxes[0].text.rfind(u"2 message(s) could not be converted:\r\nC:\\Mail\\Inbox\\b.eml (", 0), 0u);
    EXPECT_EQ(host.perRow.back().progress, 100.0f);
}

TEST_F(RunTest, UnreadableFileIsCountedAndLeavesNoEmptyItem) {
    host.rows = {u"C:\\Mail\\a.eml", u"C:\\Mail\\bad.eml", u"C:\\Mail\\c.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(store().messagesByFolder()[u"Mail"].size(), 2u);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].row, 1);
    EXPECT_EQ(report.failures[0].reason, "not a message");
    EXPECT_EQ(report.messagesConverted, 2);
    ASSERT_EQ(host.prompts_.boxes.size(), 1u);
    EXPECT_NE(host.prompts_.boxes[0].text.find(u"C:\\Mail\\bad.eml (not a message)"), std::u16string::npos);
}

TEST_F(RunTest, SecondRunInTheSameSecondTakesTheNextFreeName) {
    host.rows = {u"C:\\Mail\\a.eml"};
    clock = {at(1, 1, 2027, 0, 0, 1)};
    EXPECT_EQ(convert().outcome, RunReport::Outcome::Finished);
    reads = 0;
    auto second = convert();
    EXPECT_EQ(second.outcome, RunReport::Outcome::Finished);
    ASSERT_EQ(memory.stores.size(), 2u);
    EXPECT_EQ(second.pstPath, (destination / "WindowsLiveMailMessages1.1.27 0.0.01 (2).pst").u16string());
    EXPECT_EQ(second.reportPath, (destination / "WindowsLiveMailMessages1.1.27 0.0.01 (2).txt").u16string());
    EXPECT_EQ(second.messagesConverted, 1);
}

TEST_F(RunTest, CloseDuringImportFinishesCurrentMessageAndCommits) {
    host.rows = {u"C:\\Mail\\a.eml", u"C:\\Mail\\b.eml", u"C:\\Mail\\c.eml", u"C:\\Mail\\d.eml"};
    host.closeAtEvent = 1000000;  // armed below, once the import has begun
    // Count the events a full run uses, then close just after the second row.
    {
        FakeHost probe;
        probe.prompts_.folderAnswer = host.prompts_.folderAnswer;
        probe.rows = host.rows;
        MemoryProfile otherMemory;
        ComponentRegistry other;
        registerStoreComponents(other, otherMemory.profile);
        RunFields otherFields;
        ConversionRun(probe, other, otherFields, [this] { return clock[0]; }).run();
        host.closeAtEvent = probe.events - 2;  // the per-row event of the third row
        std::filesystem::remove_all(destination);
        std::filesystem::create_directories(destination);
    }
    auto report = convert();
    EXPECT_EQ(report.outcome, RunReport::Outcome::Interrupted);
    EXPECT_EQ(store().messageCount(), 2u);
    EXPECT_FALSE(store().isOpen());
    EXPECT_GE(store().commits, 1);
    EXPECT_FALSE(fields.rdoSession);
    // The rows never reached are named, and the report is complete.
    EXPECT_EQ(report.messagesConverted, 2);
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(report.failures[0].file, u"C:\\Mail\\c.eml");
    EXPECT_EQ(report.failures[0].reason, "the run was interrupted before this file");
    auto lines = reportLines(report);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Interrupted: 2 of 4 messages converted (0 with warnings), 2 not converted, 0 folders not listed.");
}

// Every listed row ends as exactly one report line, in list order, after the
// folders the walk could not list; the summary counts what the store holds.
TEST_F(RunTest, ReportAccountsForEveryRowAndRefusedFolder) {
    host.rows = {u"C:\\Mail\\a.eml", u"C:\\Mail\\bad.eml", u"C:\\Mail\\warn.eml", u"C:\\Mail\\Sub\\d.eml"};
    host.unlisted = {{u"C:\\Mail\\Locked\\", "permission denied"}};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(report.messagesConverted, 3);
    EXPECT_EQ(static_cast<size_t>(report.messagesConverted), store().committedCount());
    ASSERT_EQ(report.warned.size(), 1u);
    EXPECT_EQ(report.warned[0].warnings.size(), 2u);
    ASSERT_EQ(report.listingFailures.size(), 1u);

    auto lines = reportLines(report);
    std::vector<std::string> records;
    for (auto& l : lines)
        if (l.find('\t') != std::string::npos) records.push_back(l);
    EXPECT_EQ(records, (std::vector<std::string>{
                           "folder not listed\t\tC:\\Mail\\Locked\\\tpermission denied",
                           "converted\tMail\tC:\\Mail\\a.eml\t",
                           "not converted\tMail\tC:\\Mail\\bad.eml\tnot a message",
                           "converted with warnings\tMail\tC:\\Mail\\warn.eml\tbroken base64 repaired; unknown charset x-foo",
                           "converted\tMail\\Sub\tC:\\Mail\\Sub\\d.eml\t",
                       }));
    EXPECT_EQ(lines.back(), "3 of 4 messages converted (1 with warnings), 1 not converted, 1 folder not listed.");

    // The closing box names the failure, the warnings, the folder and the report.
    ASSERT_EQ(host.prompts_.boxes.size(), 1u);
    const auto& text = host.prompts_.boxes[0].text;
    EXPECT_EQ(text.rfind(u"1 message(s) could not be converted:\r\nC:\\Mail\\bad.eml (not a message)", 0), 0u) << toUtf8(text);
    EXPECT_NE(text.find(u"1 message(s) were converted with warnings:\r\nC:\\Mail\\warn.eml (broken base64 repaired; "
                        u"unknown charset x-foo)"),
              std::u16string::npos);
    EXPECT_NE(text.find(u"C:\\Mail\\Locked\\ (permission denied)"), std::u16string::npos);
    EXPECT_NE(text.find(u"Every file is accounted for in the report " + report.reportPath), std::u16string::npos);
}

// A full disk: the run stops at the first failed write; what the last commit
// holds is converted, the rest is named with the cause, nothing is counted
// twice or passed over.
TEST_F(RunTest, FullDiskStopsTheRunAndCountsOnlyWhatTheStoreHolds) {
    for (int i = 0; i < 8; ++i) host.rows.push_back(u"C:\\Mail\\m" + fromUtf8(std::to_string(i)) + u".eml");
    host.rows.erase(host.rows.begin());
    memory.onCreate = [](MemoryStore& s) {
        s.commitEveryMessages = 2;
        s.roomForMessages = 3;
    };
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(report.messagesConverted, 2);
    EXPECT_EQ(store().committedCount(), 2u);
    ASSERT_EQ(report.failures.size(), 6u);
    EXPECT_EQ(report.failures[0].row, 2);  // saved, then lost with the failed commit
    EXPECT_NE(report.failures[0].reason.find("no space left on the device"), std::string::npos);
    EXPECT_NE(report.failures[1].reason.find("no space left on the device"), std::string::npos);
    EXPECT_EQ(report.failures[2].reason.rfind("the run stopped before this file: ", 0), 0u);
    EXPECT_NE(report.storeFailure.find("no space left on the device"), std::string::npos);
    // It stopped: no write was tried after the first that failed.
    EXPECT_EQ(host.perRow.size(), 4u);

    ASSERT_EQ(host.prompts_.boxes.size(), 1u);
    EXPECT_EQ(host.prompts_.boxes[0].icon, quillmere::BoxIcon::Critical);
    EXPECT_NE(host.prompts_.boxes[0].text.find(u"no space left on the device"), std::u16string::npos);
    EXPECT_NE(host.prompts_.boxes[0].text.find(u"It holds 2 of the 8 messages"), std::u16string::npos);
    auto lines = reportLines(report);
    EXPECT_EQ(lines.back(), "2 of 8 messages converted (0 with warnings), 6 not converted, 0 folders not listed.");
}

TEST_F(RunTest, ErrorPathBoxEndsWithTheCauseAndTheReportNamesEveryRow) {
    host.rows = {u"C:\\Mail\\a.eml", u"\\\\server\\share\\b.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::ErrorPath);
    ASSERT_EQ(host.prompts_.boxes.size(), 1u);
    const auto& text = host.prompts_.boxes[0].text;
    EXPECT_EQ(text.substr(text.rfind(u"\r\n") + 2), fromUtf8(report.errorReason));
    EXPECT_NE(report.errorReason.find("server"), std::string::npos);
    auto lines = reportLines(report);
    size_t notConverted = 0;
    for (auto& l : lines) notConverted += l.rfind("not converted\t", 0) == 0;
    EXPECT_EQ(notConverted, 2u);
    EXPECT_EQ(lines.back().rfind("Stopped (", 0), 0u);
}

TEST_F(RunTest, StoreThatCannotBeCreatedNamesItsCause) {
    memory.failCreate = "cannot create " + (destination / "x.pst").string() + ": permission denied";
    host.rows = {u"C:\\Mail\\a.eml"};
    auto report = convert();
    ASSERT_EQ(report.outcome, RunReport::Outcome::ErrorPath);
    EXPECT_TRUE(report.pstPath.empty());  // no store of this run exists
    ASSERT_EQ(host.prompts_.boxes.size(), 1u);
    EXPECT_NE(host.prompts_.boxes[0].text.find(u"\r\ncannot create "), std::u16string::npos);
    EXPECT_NE(host.prompts_.boxes[0].text.find(u"permission denied"), std::u16string::npos);
}
