// One store with every kind of content we write, opened by the independent
// readers: each must see the same folders, counts, messages, recipients and
// attachments that went in.

#include <gtest/gtest.h>

#include "independent_readers.h"
#include "store_test_support.h"

using namespace pst;
using namespace pst::testing;
using namespace test_readers;

namespace {

constexpr int kBulkMessages = 300;  // the contents table spans several blocks
constexpr int kBulkCommitEvery = 23;  // and grows over many commits, keeping its full blocks

std::string utf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size()) c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) out += char(c);
        else if (c < 0x800) out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
        else if (c < 0x10000) out += char(0xE0 | c >> 12), out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
        else
            out += char(0xF0 | c >> 18), out += char(0x80 | ((c >> 12) & 0x3F)), out += char(0x80 | ((c >> 6) & 0x3F)),
                out += char(0x80 | (c & 0x3F));
    }
    return out;
}

std::u16string bulkSubject(int i) {
    std::string s = "bulk message " + std::to_string(i);
    return std::u16string(s.begin(), s.end());
}

const std::u16string kFolderCjk = u"收件箱";
const std::u16string kFolderRtl = u"דואר נכנס";
// pffexport garbles characters outside the BMP in the folder names it
// prints, so the folder names stay in the BMP; subjects carry the rest.
const std::u16string kFolderEmoji = u"Projects ★";

class IndependentReaders : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new ScratchDir;
        path_ = dir_->file("readers.pst");
        auto store = Store::create(path_, u"Reader Check");
        FolderId cjk = store->createFolder(store->ipmSubtree(), kFolderCjk);
        FolderId rtl = store->createFolder(cjk, kFolderRtl);
        FolderId emoji = store->createFolder(store->ipmSubtree(), kFolderEmoji);
        FolderId bulk = store->createFolder(emoji, u"Bulk");

        MessageContent m = mailMessage(u"Rich message ✓", u"Plain body, Grüße",
                                       {{u"Bob Builder", u"bob@example.com"}, {u"Carol", u"carol@example.org"}});
        m.set(0x10130102 /* PidTagHtml */, Bytes{'<', 'p', '>', 'H', 'T', 'M', 'L', '<', '/', 'p', '>'});
        RecipientRow cc;
        cc.props = {{tags::PR_RECIPIENT_TYPE, int32_t(2)}, {tags::PR_DISPLAY_NAME_W, std::u16string(u"Dave")},
                    {tags::PR_EMAIL_ADDRESS_W, std::u16string(u"dave@example.net")},
                    {tags::PR_ADDRTYPE_W, std::u16string(u"SMTP")}};
        m.recipients.push_back(cc);
        m.attachments.push_back(fileAttachment(u"notes.txt", patternBytes(1000, 3)));
        m.attachments.push_back(fileAttachment(u"picture.bin", patternBytes(300000, 4)));  // a data tree
        MessageContent inner = mailMessage(u"Forwarded original", u"inner text", {{u"Eve", u"eve@example.com"}});
        inner.attachments.push_back(fileAttachment(u"inner.dat", patternBytes(5000, 5)));
        m.attachments.push_back(embeddedAttachment(u"Forwarded original", inner));
        store->addMessage(rtl, m);
        store->addMessage(cjk, mailMessage(u"Hello in CJK folder", u"body", {{u"山田太郎", u"taro@example.jp"}}));
        for (int i = 0; i < kBulkMessages; ++i) {
            store->addMessage(bulk, mailMessage(bulkSubject(i), u"bulk body", {{u"Zed", u"zed@example.com"}}));
            if (i % kBulkCommitEvery == 0) store->commit();
        }
        store->close();
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    static std::vector<std::string> expectedOutline() {
        std::vector<std::string> out{utf8(kFolderCjk) + ": 1", utf8(kFolderCjk) + "/" + utf8(kFolderRtl) + ": 1",
                                     "Deleted Items: 0", utf8(kFolderEmoji) + ": 0",
                                     utf8(kFolderEmoji) + "/Bulk: " + std::to_string(kBulkMessages)};
        std::sort(out.begin(), out.end());
        return out;
    }

    static const SeenMessage* find(const SeenFolder* f, const std::string& subject) {
        if (!f) return nullptr;
        for (auto& m : f->messages)
            if (m.subject == subject) return &m;
        return nullptr;
    }

    // What every reader must agree on, beyond the folder tree.
    static const SeenAttachment* attachment(const SeenMessage& m, const std::string& name) {
        for (auto& a : m.attachments)
            if (a.name == name) return &a;
        return nullptr;
    }

    // readpst gives recipients only as the display-name lines it writes, so
    // it is not asked about them.
    static void expectContent(const ReaderResult& r, bool seesEmbedded, bool seesRecipients = true) {
        const SeenFolder* top = r.topOfStore();
        ASSERT_NE(top, nullptr) << r.tool << ": no top of store\n" << r.log;
        const SeenFolder* bulk = top->find(utf8(kFolderEmoji) + "/Bulk");
        ASSERT_NE(bulk, nullptr);
        ASSERT_EQ(bulk->messages.size(), size_t(kBulkMessages));
        std::set<std::string> subjects;
        for (auto& m : bulk->messages) subjects.insert(m.subject);
        for (int i = 0; i < kBulkMessages; ++i) EXPECT_TRUE(subjects.count(utf8(bulkSubject(i)))) << r.tool << " " << i;

        const SeenMessage* m = find(top->find(utf8(kFolderCjk) + "/" + utf8(kFolderRtl)), utf8(u"Rich message ✓"));
        ASSERT_NE(m, nullptr) << r.tool;
        EXPECT_NE(m->bodyText.find(utf8(u"Plain body, Grüße")), std::string::npos) << r.tool << ": " << m->bodyText;
        EXPECT_NE(m->bodyHtml.find("<p>HTML</p>"), std::string::npos) << r.tool << ": " << m->bodyHtml;
        EXPECT_EQ(m->senderName, "Ann Sender") << r.tool;
        if (seesRecipients) {
            std::vector<std::string> names, emails;
            for (auto& rc : m->recipients) names.push_back(rc.name), emails.push_back(rc.email);
            EXPECT_EQ(names, (std::vector<std::string>{"Bob Builder", "Carol", "Dave"})) << r.tool;
            EXPECT_EQ(emails, (std::vector<std::string>{"bob@example.com", "carol@example.org", "dave@example.net"}))
                << r.tool;
        }
        ASSERT_EQ(m->attachments.size(), 3u) << r.tool;
        const SeenAttachment* notes = attachment(*m, "notes.txt");
        const SeenAttachment* picture = attachment(*m, "picture.bin");
        ASSERT_TRUE(notes && picture) << r.tool;
        if (notes->size >= 0) { EXPECT_EQ(notes->size, 1000) << r.tool; }
        if (picture->size >= 0) { EXPECT_EQ(picture->size, 300000) << r.tool; }
        // Every reader gives the data of file attachments: the bytes must be the ones written.
        EXPECT_EQ(notes->digest, contentDigest(patternBytes(1000, 3))) << r.tool;
        EXPECT_EQ(picture->digest, contentDigest(patternBytes(300000, 4))) << r.tool;
        if (seesEmbedded) {
            const SeenAttachment* embedded = nullptr;
            for (auto& a : m->attachments)
                if (a.message) embedded = &a;
            ASSERT_TRUE(embedded) << r.tool << " shows no embedded message";
            const SeenMessage& e = *embedded->message;
            EXPECT_EQ(e.subject, "Forwarded original") << r.tool;
            EXPECT_NE(e.bodyText.find("inner text"), std::string::npos) << r.tool;
            ASSERT_EQ(e.attachments.size(), 1u) << r.tool;
            EXPECT_EQ(e.attachments[0].name, "inner.dat") << r.tool;
            if (e.attachments[0].size >= 0) { EXPECT_EQ(e.attachments[0].size, 5000) << r.tool; }
            EXPECT_EQ(e.attachments[0].digest, contentDigest(patternBytes(5000, 5))) << r.tool;
        }
    }

    static ScratchDir* dir_;
    static std::filesystem::path path_;
};

ScratchDir* IndependentReaders::dir_ = nullptr;
std::filesystem::path IndependentReaders::path_;

}  // namespace

TEST_F(IndependentReaders, OurCheckerPasses) { EXPECT_EQ(checkerDefects(path_), ""); }

TEST_F(IndependentReaders, PffinfoAndLspstOpenTheFile) {
    ToolRun info = runPffinfo(path_);
    ToolRun ls = runLspst(path_);
    if (!info.available && !ls.available) GTEST_SKIP() << info.why << "; " << ls.why;
    if (info.available) {
        EXPECT_TRUE(info.ok()) << info.output;
        EXPECT_NE(info.output.find("Subtree, Wastbox, Finder"), std::string::npos) << info.output;
    }
    if (ls.available) {
        EXPECT_TRUE(ls.ok()) << ls.output;
        EXPECT_NE(ls.output.find("Bulk"), std::string::npos) << ls.output;
    }
}

TEST_F(IndependentReaders, PffexportSeesEverything) {
    ReaderResult r = readWithPffexport(path_);
    if (!r.available) GTEST_SKIP() << r.why;
    ASSERT_TRUE(r.ok) << r.why << "\n" << r.log;
    ASSERT_NE(r.topOfStore(), nullptr);
    EXPECT_EQ(r.topOfStore()->name, "Top of Personal Folders");
    EXPECT_EQ(r.topOfStore()->outline(), expectedOutline());
    expectContent(r, true);
}

TEST_F(IndependentReaders, ReadpstSeesEverything) {
    ReaderResult r = readWithReadpst(path_);
    if (!r.available) GTEST_SKIP() << r.why;
    ASSERT_TRUE(r.ok) << r.why << "\n" << r.log;
    ASSERT_NE(r.topOfStore(), nullptr);
    EXPECT_EQ(r.topOfStore()->name, "Reader Check");
    // readpst leaves out folders without items of their own.
    std::vector<std::string> expected;
    for (auto& line : expectedOutline())
        if (line.size() < 3 || line.compare(line.size() - 3, 3, ": 0") != 0) expected.push_back(line);
    std::vector<std::string> seen;
    for (auto& line : r.topOfStore()->outline())
        if (line.size() < 3 || line.compare(line.size() - 3, 3, ": 0") != 0) seen.push_back(line);
    EXPECT_EQ(seen, expected);
    expectContent(r, true, false);
}

TEST_F(IndependentReaders, PstExtractorSeesEverything) {
    ReaderResult r = readWithPstExtractor(path_);
    if (!r.available) GTEST_SKIP() << r.why;
    ASSERT_TRUE(r.ok) << r.why << "\n" << r.log;
    EXPECT_EQ(r.storeName, "Reader Check");
    EXPECT_EQ(r.topOfStore()->outline(), expectedOutline());
    // pst-extractor does not open embedded messages, not even in Outlook's own files,
    // so the data of inner.dat goes unchecked by it alone.
    expectContent(r, false);
}
