// The account a run gives of itself, checked against what the store holds:
// refused folders, a full disk, signals, taken names, odd file names. The
// summary, the report beside the store and readpst's count must agree.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <random>
#include <regex>
#include <thread>

#include "conversion/components.h"
#include "conversion/conversion_run.h"
#include "fake_host.h"
#include "small_volume.h"
#include "source_tree.h"
#include "store_inspection.h"

namespace fs = std::filesystem;
using namespace conversion;
using testing_support::FakeHost;
using testing_support::sampleMessage;

namespace {

// A message of about `kilobytes` of text that does not shrink.
std::string bulkyMessage(const std::string& subject, size_t kilobytes, unsigned seed) {
    std::mt19937 random(seed);
    std::string body;
    for (size_t i = 0; i < kilobytes * 1024; ++i) body += (i % 76 == 75) ? '\n' : char('a' + random() % 26);
    return "From: Ann <ann@example.com>\r\nTo: Bob <bob@example.org>\r\nSubject: " + subject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + body + "\r\n";
}

std::vector<std::string> linesOf(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct ReportCounts {
    size_t converted = 0, warned = 0, notConverted = 0, unlisted = 0;
    std::string summary;
};

ReportCounts countReport(const fs::path& file) {
    ReportCounts c;
    for (auto& l : linesOf(file)) {
        if (l.rfind("converted\t", 0) == 0) ++c.converted;
        else if (l.rfind("converted with warnings\t", 0) == 0) ++c.warned;
        else if (l.rfind("not converted\t", 0) == 0) ++c.notConverted;
        else if (l.rfind("folder not listed\t", 0) == 0) ++c.unlisted;
        else if (!l.empty()) c.summary = l;
    }
    return c;
}

size_t readpstCount(const fs::path& pst, const fs::path& work) {
    size_t n = 0;
    for (auto& [folder, read] : testing_support::readWithReadpst(pst, work)) n += read.size();
    return n;
}

size_t ownCount(const fs::path& pst) {
    size_t n = 0;
    for (auto& [folder, messages] : testing_support::readWithOwnReader(pst)) n += messages.size();
    return n;
}

class AccountTest : public ::testing::Test, protected testing_support::SourceTree {
protected:
    AccountTest() : SourceTree("account") {}

    std::vector<fs::path> reports() const {
        std::vector<fs::path> out;
        for (auto& e : fs::directory_iterator(base / "out"))
            if (e.path().extension() == ".txt") out.push_back(e.path());
        return out;
    }

    // Every count must be the same: the summary's, the report's, ours, readpst's.
    void expectAgreement(const fs::path& pst, const fs::path& report, size_t converted, size_t listed) {
        auto counts = countReport(report);
        EXPECT_EQ(counts.converted + counts.warned, converted);
        EXPECT_EQ(counts.converted + counts.warned + counts.notConverted, listed);
        EXPECT_NE(counts.summary.find(std::to_string(converted) + " of " + std::to_string(listed)), std::string::npos)
            << counts.summary;
        EXPECT_EQ(ownCount(pst), converted);
        if (testing_support::toolAvailable("readpst")) {
            EXPECT_EQ(readpstCount(pst, base / "readpst"), converted);
        }
    }
};

}  // namespace

// Two runs in the same second into one folder: the second store takes the
// next free name, and so does its report; both open and hold their message.
TEST_F(AccountTest, SecondRunInTheSameSecondGetsTheNextFreeName) {
    auto a = write("Mail/a.eml", sampleMessage("Alpha"));
    std::tm fixed{};
    fixed.tm_mday = 5;
    fixed.tm_mon = 11;
    fixed.tm_year = 126;
    fixed.tm_hour = 21;
    fixed.tm_min = 7;
    fixed.tm_sec = 5;
    for (int run = 0; run < 2; ++run) {
        FakeHost host;
        host.prompts_.folderAnswer = (base / "out").u16string();
        host.rows = {a.u16string()};
        ComponentRegistry components;
        registerStoreComponents(components, makeFileProfile());
        RunFields fields;
        auto report = ConversionRun(host, components, fields, [&] { return fixed; }).run();
        ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
        EXPECT_EQ(report.messagesConverted, 1);
    }
    auto out = base / "out";
    for (auto name : {"WindowsLiveMailMessages5.12.26 21.7.05", "WindowsLiveMailMessages5.12.26 21.7.05 (2)"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::exists(out / (std::string(name) + ".pst")));
        expectAgreement(out / (std::string(name) + ".pst"), out / (std::string(name) + ".txt"), 1, 1);
    }
}

// What the parser repaired reaches the account: the message counts as
// converted, with its warnings in the report and a count in the closing box.
TEST_F(AccountTest, ParserWarningsAreNamedForTheirFile) {
    auto clean = write("Mail/a.eml", sampleMessage("Alpha"));
    auto odd = write("Mail/odd.eml",
                     "From: Ann <ann@example.com>\r\nSubject: No parts\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/mixed; boundary=\"never\"\r\n\r\nJust text, no boundary.\r\n");
    FakeHost host;
    host.prompts_.folderAnswer = (base / "out").u16string();
    host.rows = {clean.u16string(), odd.u16string()};
    ComponentRegistry components;
    registerStoreComponents(components, makeFileProfile());
    RunFields fields;
    auto report = ConversionRun(host, components, fields).run();
    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(report.messagesConverted, 2);
    ASSERT_EQ(report.warned.size(), 1u);
    EXPECT_EQ(report.warned[0].file, odd.u16string());
    ASSERT_EQ(host.prompts_.boxes.size(), 1u);
    EXPECT_NE(host.prompts_.boxes[0].text.find(u"1 message(s) were converted with warnings:\r\n" + odd.u16string() + u" ("),
              std::u16string::npos);
    auto counts = countReport(fs::path(report.reportPath));
    EXPECT_EQ(counts.warned, 1u);
    EXPECT_EQ(counts.summary, "2 of 2 messages converted (1 with warnings), 0 not converted, 0 folders not listed.");
    expectAgreement(stores()[0], fs::path(report.reportPath), 2, 2);
}

// A full disk met in the middle of a run (a file size limit, which gives
// the same failed write): the run stops there, names the cause, and the
// store opens in every reader with exactly the messages it reports.
TEST_F(AccountTest, FullDiskMidRunLeavesAStoreHoldingEveryMessageItReports) {
    std::vector<fs::path> files;
    for (int i = 0; i < 60; ++i)
        files.push_back(write("Mail/m" + std::to_string(i) + ".eml", bulkyMessage("M" + std::to_string(i), 30, i)));
    pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1200 * 1024, 1200 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        FakeHost host;
        host.prompts_.folderAnswer = (base / "out").u16string();
        host.rows.clear();
        for (auto& f : files) host.rows.push_back(f.u16string());
        pst::StoreOptions options;
        options.commitEveryBytes = 200 * 1024;
        ComponentRegistry components;
        registerStoreComponents(components, makeFileProfile(options));
        RunFields fields;
        auto report = ConversionRun(host, components, fields).run();
        const bool named = report.storeFailure.find("larger than") != std::string::npos &&
                           host.prompts_.boxes.size() == 1 &&
                           host.prompts_.boxes[0].text.find(u"larger than") != std::u16string::npos;
        ::_exit(named && report.reportFailure.empty() ? std::min(report.messagesConverted, 200) : 255);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    const int converted = WEXITSTATUS(status);
    ASSERT_NE(converted, 255) << "the cause was not named, or the report not written";
    EXPECT_GT(converted, 0);
    EXPECT_LT(converted, 60);
    ASSERT_EQ(stores().size(), 1u);
    ASSERT_EQ(reports().size(), 1u);
    expectAgreement(stores()[0], reports()[0], static_cast<size_t>(converted), 60);
    auto lines = linesOf(reports()[0]);
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](auto& l) { return l.find("the run stopped before this file") != std::string::npos; }),
              lines.end());
}

#ifdef QUILLMERE_CONVERTER
namespace {

struct Launch {
    bool unprivileged = false;
    rlim_t fileSizeLimit = 0;
};

// The converter in a child of its own, stdout and stderr into one file.
class Converter {
public:
    Converter(const fs::path& cwd, std::vector<std::string> args, const fs::path& output, Launch launch = {}) {
        pid_ = ::fork();
        if (pid_ != 0) return;
        int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        if (::chdir(cwd.c_str()) != 0) ::_exit(126);
        if (launch.fileSizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{launch.fileSizeLimit, launch.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (launch.unprivileged && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                ::setresuid(65534, 65534, 65534) != 0)
                ::_exit(125);
        }
        std::vector<char*> argv{const_cast<char*>(QUILLMERE_CONVERTER)};
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(QUILLMERE_CONVERTER, argv.data());
        // An unprivileged user may not reach a build folder below a private home.
        ::_exit(launch.unprivileged ? 125 : 127);
    }
    pid_t pid() const { return pid_; }
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_;
};

std::string slurp(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// An unreadable folder among readable ones: the walk goes on to its
// siblings, the folder is named as a failure, exit status 1.
TEST_F(AccountTest, HeadlessNamesARefusedFolderAndConvertsItsSiblings) {
    write("A/a.eml", sampleMessage("Alpha"));
    write("B/b.eml", sampleMessage("Beta"));
    write("C/c.eml", sampleMessage("Gamma"));
    write("C/D/d.eml", sampleMessage("Delta"));
    fs::permissions(base / "src" / "B", fs::perms::none);
    fs::permissions(base, fs::perms::all);
    fs::permissions(base / "out", fs::perms::all);
    auto log = base / "log.txt";
    Converter run(base, {"--quiet", "src", "out"}, log, {.unprivileged = true});
    const int status = run.wait();
    fs::permissions(base / "src" / "B", fs::perms::owner_all);
    if (status == 125) GTEST_SKIP() << "cannot run the converter as an unprivileged user to have a listing refused";
    const std::string output = slurp(log);
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("cannot list " + (base / "src" / "B").string() + "/: permission denied"), std::string::npos)
        << output;
    EXPECT_NE(output.find("3 of 3 messages converted"), std::string::npos) << output;
    EXPECT_NE(output.find("1 folders not listed"), std::string::npos) << output;
    ASSERT_EQ(stores().size(), 1u);
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_NE(output.find("Report: " + reports()[0].string()), std::string::npos) << output;
    auto counts = countReport(reports()[0]);
    EXPECT_EQ(counts.unlisted, 1u);
    EXPECT_EQ(counts.summary, "3 of 3 messages converted (0 with warnings), 0 not converted, 1 folder not listed.");
    expectAgreement(stores()[0], reports()[0], 3, 3);
}

// A full disk before the first commit after creation: the store holds none of
// the messages and says so; nothing claims otherwise.
TEST_F(AccountTest, HeadlessOnAFullDiskReportsTheCauseAndTheTrueCounts) {
    for (int i = 0; i < 40; ++i)
        write("Mail/m" + std::to_string(i) + ".eml", bulkyMessage("M" + std::to_string(i), 30, i));
    auto log = base / "log.txt";
    Converter run(base, {"src", "out"}, log, {.fileSizeLimit = 900 * 1024});
    const int status = run.wait();
    const std::string output = slurp(log);
    EXPECT_EQ(status, 2) << output;
    EXPECT_NE(output.find("0 of 40 messages converted"), std::string::npos) << output;
    EXPECT_NE(output.find("The store could not be written: "), std::string::npos) << output;
    EXPECT_NE(output.find("larger than"), std::string::npos) << output;
    ASSERT_EQ(stores().size(), 1u);
    ASSERT_EQ(reports().size(), 1u);
    expectAgreement(stores()[0], reports()[0], 0, 40);
    // The messages the store lacks are named in the output too, and all of
    // them in the report.
    EXPECT_NE(output.find("40 message(s) could not be converted:"), std::string::npos) << output;
    EXPECT_NE(output.find("Report: " + reports()[0].string()), std::string::npos) << output;
}

// A real small volume (where the machine lets a test mount one): the cause
// is the device's own, and the report is whole although the disk filled.
TEST_F(AccountTest, HeadlessOnASmallVolumeFillsItAndKeepsAWholeReport) {
    testing_support::SmallVolume volume(1 << 20);
    if (!volume.ready()) GTEST_SKIP() << volume.why();
    for (int i = 0; i < 40; ++i)
        write("Mail/m" + std::to_string(i) + ".eml", bulkyMessage("M" + std::to_string(i), 30, i));
    auto log = base / "log.txt";
    Converter run(base, {"--quiet", "src", volume.path().string()}, log);
    const int status = run.wait();
    const std::string output = slurp(log);
    EXPECT_GE(status, 1) << output;
    EXPECT_NE(output.find("no space left on the device"), std::string::npos) << output;
    std::vector<fs::path> pst, txt;
    for (auto& e : fs::directory_iterator(volume.path()))
        (e.path().extension() == ".pst" ? pst : txt).push_back(e.path());
    ASSERT_EQ(pst.size(), 1u) << output;
    ASSERT_EQ(txt.size(), 1u) << output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(output, m, std::regex("(\\d+) of 40 messages converted"))) << output;
    auto counts = countReport(txt[0]);
    EXPECT_EQ(counts.converted + counts.notConverted, 40u);
    expectAgreement(pst[0], txt[0], std::stoul(m[1]), 40);
}

// SIGHUP (the terminal closed) and SIGTERM end a run as Ctrl-C does: the
// message in hand is finished, the store committed, the report completed.
TEST_F(AccountTest, HangUpAndTerminateEndTheRunOrderly) {
    for (int i = 0; i < 1000; ++i) write("Mail/m" + std::to_string(i) + ".eml", bulkyMessage("M", 8, i));
    for (int signal : {SIGHUP, SIGTERM}) {
        SCOPED_TRACE(signal);
        fs::remove_all(base / "out");
        auto log = base / "log.txt";
        fs::remove(log);
        Converter run(base, {"src", "out"}, log);
        // Wait for the import to begin, then signal.
        for (int i = 0; i < 2000 && slurp(log).find("[20/1000]") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::kill(run.pid(), signal);
        const int status = run.wait();
        const std::string output = slurp(log);
        std::smatch m;
        if (output.find("Interrupted:") == std::string::npos && output.find("1000 of 1000 messages converted") != std::string::npos)
            continue;  // it finished before the signal came
        EXPECT_EQ(status, 1) << output;
        ASSERT_TRUE(std::regex_search(output, m, std::regex("Interrupted: (\\d+) of 1000 messages converted"))) << output;
        ASSERT_EQ(stores().size(), 1u);
        ASSERT_EQ(reports().size(), 1u);
        EXPECT_EQ(countReport(reports()[0]).summary.rfind("Interrupted: " + std::string(m[1]) + " of 1000", 0), 0u);
        expectAgreement(stores()[0], reports()[0], std::stoul(m[1]), 1000);
    }
}

// Killed at any moment, even while the store is being created, the run
// leaves no file under a store's name that a reader cannot open.
TEST_F(AccountTest, AKilledRunNeverLeavesAnUnreadableStore) {
    for (int i = 0; i < 50; ++i) write("Mail/m" + std::to_string(i) + ".eml", sampleMessage("M" + std::to_string(i)));
    std::mt19937 random(7);
    for (int round = 0; round < 8; ++round) {
        fs::remove_all(base / "out");
        Converter run(base, {"--quiet", "src", "out"}, base / "log.txt");
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
        ::kill(run.pid(), SIGKILL);
        run.wait();
        if (!fs::exists(base / "out")) continue;
        for (auto& pst : stores()) {
            SCOPED_TRACE(pst.string());
            EXPECT_NO_THROW(testing_support::readWithOwnReader(pst));
        }
    }
}

// Output to one file for both streams: no message is spliced into a
// progress line, and every failure is named when there are few.
TEST_F(AccountTest, OneFileForBothStreamsKeepsLinesWhole) {
    for (int i = 0; i < 30; ++i) write("Mail/m" + std::to_string(i) + ".eml", sampleMessage("M"));
    write("Mail/broken1.eml", "");
    write("Mail/broken2.eml", "");
    write("Mail/space.eml ", sampleMessage("A name that ends in a space"));
    auto log = base / "log.txt";
    Converter run(base, {"src", "out"}, log);
    EXPECT_EQ(run.wait(), 1);
    auto lines = linesOf(log);
    for (auto& l : lines) {
        if (l.rfind("[", 0) == 0) {
            EXPECT_NE(l.find("] "), std::string::npos) << l;
        }
        auto at = l.find("Quillmere: ");
        if (at != std::string::npos) {
            EXPECT_EQ(at, 0u) << l;
        }
    }
    const std::string output = slurp(log);
    EXPECT_NE(output.find("broken1.eml"), std::string::npos) << output;
    EXPECT_NE(output.find("broken2.eml"), std::string::npos) << output;
    EXPECT_NE(output.find("31 of 33 messages converted"), std::string::npos) << output;
    ASSERT_EQ(reports().size(), 1u);
    auto report = linesOf(reports()[0]);
    EXPECT_NE(std::find_if(report.begin(), report.end(),
                           [](auto& l) { return l.rfind("converted\t", 0) == 0 && l.find("space.eml \t") != std::string::npos; }),
              report.end());
    expectAgreement(stores()[0], reports()[0], 31, 33);
}

// The causes, in the user's words, when the destination cannot take a store.
TEST_F(AccountTest, DestinationThatCannotTakeAStoreNamesWhy) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    std::ofstream(base / "plainfile") << "x";
    auto log = base / "log.txt";
    Converter notAFolder(base, {"src", "plainfile/out"}, log);
    EXPECT_EQ(notAFolder.wait(), 2);
    EXPECT_NE(slurp(log).find("cannot create the folder " + (base / "plainfile/out").string() + ": a part of the path is not a folder"),
              std::string::npos)
        << slurp(log);

    fs::create_directories(base / "locked");
    fs::permissions(base / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    fs::permissions(base, fs::perms::all);
    Converter readOnly(base, {"src", "locked"}, log, {.unprivileged = true});
    const int status = readOnly.wait();
    if (status == 125) GTEST_SKIP() << "cannot switch to an unprivileged user to have a folder refuse writes";
    const std::string output = slurp(log);
    EXPECT_EQ(status, 2) << output;
    EXPECT_NE(output.find("permission denied"), std::string::npos) << output;
    EXPECT_EQ(output.find("left empty"), std::string::npos) << output;
    EXPECT_EQ(output.find("Check if Outlook"), output.rfind("Check if Outlook")) << output;
    EXPECT_TRUE(fs::is_empty(base / "locked"));
}
#endif
