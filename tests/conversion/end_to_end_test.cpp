// Whole runs into real store files, checked with our reader and both
// independent readers; and the headless converter as a program.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "conversion/components.h"
#include "conversion/conversion_run.h"
#include "fake_host.h"
#include "source_tree.h"
#include "store_inspection.h"
#include "util/utf.h"

namespace fs = std::filesystem;
using namespace conversion;
using testing_support::FakeHost;

namespace {

using testing_support::sampleMessage;

class TempTree : public ::testing::Test, protected testing_support::SourceTree {
protected:
    TempTree() : SourceTree("e2e") {}
    fs::path onlyPst() const {
        auto found = stores();
        return found.empty() ? fs::path{} : found.front();
    }
};

class RealRunTest : public TempTree {};

}  // namespace

TEST_F(RealRunTest, StoreOpensInEveryReaderWithFoldersAndMessagesInPlace) {
    auto a = write("Users/ann/Mail/Inbox/a.eml", sampleMessage("Alpha"));
    auto att = write("Users/ann/Mail/Inbox/att.eml", sampleMessage("With attachment", true));
    auto empty = write("Users/ann/Mail/Inbox/empty.eml", "");
    auto lower = write("Users/ann/Mail/inbox/c.eml", sampleMessage("Lower-case folder"));
    auto sent = write("Users/ann/Mail/Sent Items/b.eml", sampleMessage("Beta"));

    FakeHost host;
    host.prompts_.folderAnswer = (base / "out").u16string();
    for (auto& f : {a, att, empty, lower, sent, a}) host.rows.push_back(f.u16string());
    host.rows.erase(host.rows.begin());  // the initial empty row
    ComponentRegistry components;
    registerStoreComponents(components, makeFileProfile());
    RunFields fields;
    auto report = ConversionRun(host, components, fields).run();

    ASSERT_EQ(report.outcome, RunReport::Outcome::Finished);
    EXPECT_EQ(report.messagesConverted, 5);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].file, empty.u16string());
    ASSERT_EQ(host.prompts_.boxes.size(), 1u);
    EXPECT_EQ(host.prompts_.boxes[0].text.rfind(u"1 message(s) could not be converted:", 0), 0u);
    EXPECT_FALSE(host.convertEnabled);
    EXPECT_EQ(host.progress, 100.0f);

    fs::path pst = onlyPst();
    ASSERT_FALSE(pst.empty());
    const std::string mail = prefix() + "/Users/ann/Mail";

    auto own = testing_support::readWithOwnReader(pst);
    // The whole chain below the root, each folder once, the case twin merged.
    for (std::string folder : {prefix() + "/Users", prefix() + "/Users/ann", mail, mail + "/Inbox", mail + "/Sent Items"})
        EXPECT_TRUE(own.count(folder)) << folder;
    EXPECT_FALSE(own.count(mail + "/inbox"));
    ASSERT_EQ(own[mail + "/Inbox"].size(), 4u);  // a twice, att, c; nothing for the empty file
    ASSERT_EQ(own[mail + "/Sent Items"].size(), 1u);
    for (auto& m : own[mail + "/Inbox"]) {
        EXPECT_EQ(m.flags & 0x01, 0x01) << m.subject;
        EXPECT_EQ((m.flags & 0x10) != 0, m.attachments > 0) << m.subject;
        EXPECT_FALSE(m.subject.empty());
    }

    if (testing_support::toolAvailable("pffexport")) {
        auto pff = testing_support::readWithPffexport(pst, base / "pff");
        EXPECT_EQ(pff[mail + "/Inbox"], 4);
        EXPECT_EQ(pff[mail + "/Sent Items"], 1);
        EXPECT_TRUE(pff.count(prefix() + "/Users"));
        EXPECT_FALSE(pff.count(mail + "/inbox"));
    }
    if (testing_support::toolAvailable("readpst")) {
        auto rp = testing_support::readWithReadpst(pst, base / "readpst");
        ASSERT_EQ(rp[mail + "/Inbox"].size(), 4u);
        ASSERT_EQ(rp[mail + "/Sent Items"].size(), 1u);
        for (bool read : rp[mail + "/Inbox"]) EXPECT_TRUE(read);
    }
}

#ifdef QUILLMERE_CONVERTER
namespace {

struct Outcome {
    int exitCode = -1;
    std::string output;
};

Outcome runConverter(const fs::path& cwd, const std::string& arguments) {
    std::string command = "cd '" + cwd.string() + "' && '" QUILLMERE_CONVERTER "' " + arguments + " 2>&1";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) outcome.output.append(buffer, n);
    int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

class HeadlessTest : public TempTree {};

}  // namespace

TEST_F(HeadlessTest, WithoutArgumentsConvertsTheSampleStoreIntoOut) {
    auto outcome = runConverter(base, "");
    ASSERT_EQ(outcome.exitCode, 0) << outcome.output;
    EXPECT_NE(outcome.output.find("35 of 35 messages converted"), std::string::npos) << outcome.output;
    fs::path pst = onlyPst();
    ASSERT_FALSE(pst.empty());
    EXPECT_NE(outcome.output.find(pst.string()), std::string::npos);

    size_t own = 0;
    for (auto& [folder, messages] : testing_support::readWithOwnReader(pst)) own += messages.size();
    EXPECT_EQ(own, 35u);
#ifdef QUILLMERE_PSTCHECK
    EXPECT_EQ(std::system(("'" QUILLMERE_PSTCHECK "' '" + pst.string() + "' >/dev/null 2>&1").c_str()), 0);
#endif
    if (testing_support::toolAvailable("pffexport")) {
        int pff = 0;
        for (auto& [folder, count] : testing_support::readWithPffexport(pst, base / "pff")) pff += count;
        EXPECT_EQ(pff, 35);
    }
    if (testing_support::toolAvailable("readpst")) {
        size_t rp = 0;
        for (auto& [folder, read] : testing_support::readWithReadpst(pst, base / "readpst")) rp += read.size();
        EXPECT_EQ(rp, 35u);
    }
}

TEST_F(HeadlessTest, ExitStatusTellsWhetherEveryMessageWasConverted) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    EXPECT_EQ(runConverter(base, "--quiet src out").exitCode, 0);
    write("Mail/broken.eml", "");
    fs::remove_all(base / "out");
    auto partial = runConverter(base, "src out");
    EXPECT_EQ(partial.exitCode, 1) << partial.output;
    EXPECT_NE(partial.output.find("broken.eml"), std::string::npos);
    EXPECT_NE(partial.output.find("1 of 2 messages converted"), std::string::npos) << partial.output;

    fs::create_directories(base / "nothing");
    EXPECT_EQ(runConverter(base, "nothing out").exitCode, 2);
    EXPECT_EQ(runConverter(base, "missing out").exitCode, 2);
    EXPECT_EQ(runConverter(base, "--bogus").exitCode, 2);
}

TEST_F(HeadlessTest, StoreGrowsInProportionToOneLongLine) {
    // A 4 MB header field on one line, and a file that is one 4 MB line with
    // no header at all: each kept once as text (two bytes a character) and
    // once more only where the message needs it, never copied over and over.
    const size_t size = 4u << 20;
    std::string words;
    while (words.size() < size) words += "long line of text ";
    for (const std::string& message :
         {"From: a@example.com\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\nSubject: long field\r\nX-Long: " + words + "\r\n\r\nbody\r\n", words}) {
        fs::remove_all(base / "src");
        fs::remove_all(base / "out");
        write("Mail/long.eml", message);
        auto outcome = runConverter(base, "--quiet src out");
        // The header-less file is converted with a warning (no Date).
        ASSERT_LE(outcome.exitCode, 1) << outcome.output;
        ASSERT_NE(outcome.output.find("1 of 1 messages converted"), std::string::npos) << outcome.output;
        fs::path pst = onlyPst();
        ASSERT_FALSE(pst.empty());
        EXPECT_LT(fs::file_size(pst), 3 * message.size()) << message.substr(0, 60);
        size_t own = 0;
        for (auto& [folder, messages] : testing_support::readWithOwnReader(pst)) own += messages.size();
        EXPECT_EQ(own, 1u);
#ifdef QUILLMERE_PSTCHECK
        EXPECT_EQ(std::system(("'" QUILLMERE_PSTCHECK "' '" + pst.string() + "' >/dev/null 2>&1").c_str()), 0);
#endif
        if (testing_support::toolAvailable("readpst")) {
            size_t rp = 0;
            for (auto& [folder, read] : testing_support::readWithReadpst(pst, base / "readpst")) rp += read.size();
            EXPECT_EQ(rp, 1u);
        }
    }
}

TEST_F(HeadlessTest, LongSubjectAndSenderAreNotCopiedOverAndOver) {
    // A 1 MB subject and a 1 MB sender name: the message keeps both whole,
    // its folder's contents table only their first 255 characters, and the
    // values derived from them (normalized subject, conversation topic, the
    // names inside entry identifiers) stay short. What remains is each value
    // as text (two bytes a character) where the message must hold it: the
    // subject, the header block with both fields, and the name as sender and
    // as the one represented, five times the file in all.
    std::string words;
    while (words.size() < (1u << 20)) words += "word of a long value ";
    const std::string message = "From: \"" + words + "\" <sender@example.com>\r\nTo: ann@example.com\r\n"
                                "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\nSubject: " + words + "\r\n\r\nbody\r\n";
    write("Mail/long.eml", message);
    auto outcome = runConverter(base, "--quiet src out");
    ASSERT_EQ(outcome.exitCode, 0) << outcome.output;
    fs::path pst = onlyPst();
    ASSERT_FALSE(pst.empty());
    EXPECT_LT(fs::file_size(pst), 5.5 * double(message.size()));
    auto folders = testing_support::readWithOwnReader(pst);
    size_t own = 0;
    for (auto& [folder, messages] : folders) own += messages.size();
    EXPECT_EQ(own, 1u);
#ifdef QUILLMERE_PSTCHECK
    EXPECT_EQ(std::system(("'" QUILLMERE_PSTCHECK "' --strict '" + pst.string() + "' >/dev/null 2>&1").c_str()), 0);
#endif
    if (testing_support::toolAvailable("pffexport")) {
        int pff = 0;
        for (auto& [folder, count] : testing_support::readWithPffexport(pst, base / "pff")) pff += count;
        EXPECT_EQ(pff, 1);
    }
    if (testing_support::toolAvailable("readpst")) {
        size_t rp = 0;
        for (auto& [folder, read] : testing_support::readWithReadpst(pst, base / "readpst")) rp += read.size();
        EXPECT_EQ(rp, 1u);
    }
}

#endif

