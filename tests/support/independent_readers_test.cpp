// Each independent reader, run on stores Outlook wrote, reports what they hold.

#include "independent_readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace test_readers;

namespace {

fs::path sample(const std::string& name) {
    return fs::path(QUILLMERE_SHARED_DIR) / "reference" / "outlook-made-pst" / name;
}

#define REQUIRE(result)                                                    \
    if (!(result).available) GTEST_SKIP() << (result).why;                 \
    ASSERT_TRUE((result).ok) << (result).why

#define REQUIRE_SAMPLE(name) \
    if (!fs::exists(sample(name))) GTEST_SKIP() << "Outlook-made sample " << sample(name) << " is missing"

const SeenMessage& onlyMessage(const SeenFolder* f) {
    EXPECT_NE(f, nullptr);
    static const SeenMessage none;
    if (!f || f->messages.size() != 1) return ADD_FAILURE() << "expected one message", none;
    return f->messages[0];
}

// What every reader must see in sample1.pst.
void expectSample1(const ReaderResult& r, const std::string& folderPath) {
    SCOPED_TRACE(r.tool);
    auto& m = onlyMessage(r.root.find(folderPath));
    EXPECT_EQ(m.subject, "Here is a sample message");
    EXPECT_FALSE(m.senderName.empty());
    EXPECT_EQ(m.recipients.size(), 1u);
    EXPECT_NE(m.bodyText.find("With a sample attachment"), std::string::npos);
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(m.attachments[0].name, "leah_thumper.jpg");
    EXPECT_EQ(m.attachments[0].size, 93142);
    EXPECT_EQ(m.attachments[0].digest.size(), 16u);
}

// "size digest" for each file attachment below the folder, embedded
// messages left out (pst-extractor does not open them), sorted. Names are
// left out: pffexport turns characters such as '@' in the files it writes into '_'.
void collectFileAttachments(const SeenFolder& f, std::vector<std::string>& out) {
    for (auto& m : f.messages)
        for (auto& a : m.attachments)
            if (!a.message) out.push_back(std::to_string(a.size) + " " + a.digest);
    for (auto& s : f.subfolders) collectFileAttachments(s, out);
}

std::vector<std::string> fileAttachments(const ReaderResult& r) {
    std::vector<std::string> out;
    collectFileAttachments(r.root, out);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(IndependentReaders, PffexportSeesTreeMessagesAndAttachments) {
    REQUIRE_SAMPLE("sample1.pst");
    auto r = readWithPffexport(sample("sample1.pst"));
    REQUIRE(r);
    expectSample1(r, "Top of Outlook data file/Sample1");
    ASSERT_NE(r.topOfStore(), nullptr);
    EXPECT_EQ(r.topOfStore()->name, "Top of Outlook data file");
    EXPECT_TRUE(r.root.find("Top of Outlook data file/Deleted Items"));
    EXPECT_EQ(r.root.totalMessages(), 1u);
}

TEST(IndependentReaders, ReadpstSeesTheMessageAsMime) {
    REQUIRE_SAMPLE("sample1.pst");
    auto r = readWithReadpst(sample("sample1.pst"));
    REQUIRE(r);
    EXPECT_EQ(r.storeName, "sample1");
    expectSample1(r, "sample1/Sample1");
    EXPECT_FALSE(onlyMessage(r.root.find("sample1/Sample1")).date.empty());
}

TEST(IndependentReaders, PstExtractorSeesTheSameAsTheOthers) {
    REQUIRE_SAMPLE("sample1.pst");
    auto r = readWithPstExtractor(sample("sample1.pst"));
    REQUIRE(r);
    EXPECT_EQ(r.storeName, "sample1");
    expectSample1(r, "Top of Outlook data file/Sample1");
    auto& m = onlyMessage(r.root.find("Top of Outlook data file/Sample1"));
    EXPECT_FALSE(m.bodyHtml.empty());
    ASSERT_NE(r.topOfStore(), nullptr);
}

TEST(IndependentReaders, EmbeddedMessagesShowAsMessages) {
    REQUIRE_SAMPLE("submessage.pst");
    auto pff = readWithPffexport(sample("submessage.pst"));
    auto rp = readWithReadpst(sample("submessage.pst"));
    for (auto* r : {&pff, &rp}) {
        if (!r->available) continue;
        SCOPED_TRACE(r->tool);
        ASSERT_TRUE(r->ok) << r->why;
        auto* top = r->topOfStore();
        ASSERT_NE(top, nullptr);
        auto& m = onlyMessage(top->find("submessage"));
        ASSERT_EQ(m.attachments.size(), 1u);
        ASSERT_TRUE(m.attachments[0].message) << "no embedded message";
        EXPECT_FALSE(m.attachments[0].message->subject.empty());
        EXPECT_NE(m.attachments[0].message->subject, m.subject);
    }
    if (!pff.available && !rp.available) GTEST_SKIP() << pff.why << "; " << rp.why;
}

TEST(IndependentReaders, NonAsciiNamesAndManyRecipientsAgreeAcrossReaders) {
    REQUIRE_SAMPLE("support.pst");
    auto pff = readWithPffexport(sample("support.pst"));
    auto rp = readWithReadpst(sample("support.pst"));
    REQUIRE(pff);
    REQUIRE(rp);
    EXPECT_TRUE(pff.root.find("Top of Personal Folders/Attivit\xC3\xA0"));
    EXPECT_TRUE(pff.root.find("Top of Personal Folders/Recoverable Items/Versions"));
    auto* sentA = pff.root.find("Top of Personal Folders/Sent Messages");
    auto* sentB = rp.root.find("support/Sent Messages");
    ASSERT_TRUE(sentA && sentB);
    ASSERT_EQ(sentA->messages.size(), 11u);
    ASSERT_EQ(sentB->messages.size(), 11u);
    size_t most = 0;
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(sentA->messages[i].subject, sentB->messages[i].subject) << i;
        EXPECT_EQ(sentA->messages[i].recipients.size(), sentB->messages[i].recipients.size()) << i;
        most = std::max(most, sentA->messages[i].recipients.size());
    }
    EXPECT_GT(most, 100u);
}

TEST(IndependentReaders, PstExtractorAgreesWithPffexportOnTheFolderTree) {
    REQUIRE_SAMPLE("submessage.pst");
    auto pff = readWithPffexport(sample("submessage.pst"));
    auto ext = readWithPstExtractor(sample("submessage.pst"));
    REQUIRE(pff);
    REQUIRE(ext);
    ASSERT_TRUE(pff.topOfStore() && ext.topOfStore());
    EXPECT_EQ(pff.topOfStore()->outline(), ext.topOfStore()->outline());
    EXPECT_EQ(ext.topOfStore()->outline(), (std::vector<std::string>{"Deleted Items: 0", "submessage: 1"}));
}

TEST(IndependentReaders, ListingToolsOpenTheStore) {
    REQUIRE_SAMPLE("sample1.pst");
    auto info = runPffinfo(sample("sample1.pst"));
    if (info.available) {
        EXPECT_TRUE(info.ok()) << info.output;
        EXPECT_NE(info.output.find("Personal Storage Tables"), std::string::npos) << info.output;
    }
    auto ls = runLspst(sample("sample1.pst"));
    if (ls.available) {
        EXPECT_TRUE(ls.ok()) << ls.output;
        EXPECT_NE(ls.output.find("Here is a sample message"), std::string::npos) << ls.output;
    }
    if (!info.available && !ls.available) GTEST_SKIP() << info.why << "; " << ls.why;
}

TEST(IndependentReaders, MissingToolsAndBadFilesAreReportedNotThrown) {
    EXPECT_FALSE(toolInstalled("quillmere-no-such-tool"));
    auto bad = fs::temp_directory_path() / ("quillmere-not-a-store-" + std::to_string(::getpid()) + ".pst");
    { std::ofstream(bad) << "not a personal folders file"; }
    for (auto r : {readWithPffexport(bad), readWithReadpst(bad), readWithPstExtractor(bad)}) {
        if (!r.available) continue;
        EXPECT_FALSE(r.ok && r.root.totalMessages() > 0) << r.tool;
    }
    fs::remove(bad);
}

TEST(IndependentReaders, AllReadersSeeTheSameAttachmentData) {
    // submessage.pst is left out: pst-extractor shows its embedded message
    // as a small file attachment.
    for (const char* name : {"sample1.pst", "support.pst"}) {
        SCOPED_TRACE(name);
        REQUIRE_SAMPLE(name);
        auto pff = readWithPffexport(sample(name));
        auto rp = readWithReadpst(sample(name));
        // pst-extractor takes some 15 s over support.pst's long recipient
        // lists, so it is asked about sample1.pst alone.
        ReaderResult ext;
        ext.why = "pst-extractor not asked";
        if (std::string(name) == "sample1.pst") ext = readWithPstExtractor(sample(name));
        REQUIRE(pff);
        ASSERT_FALSE(fileAttachments(pff).empty());
        for (auto* other : {&rp, &ext}) {
            if (!other->available) continue;
            SCOPED_TRACE(other->tool);
            ASSERT_TRUE(other->ok) << other->why;
            EXPECT_EQ(fileAttachments(*other), fileAttachments(pff));
        }
    }
}
