// Messages whose header fields or text bodies are a hundred megabytes long,
// through the headless converter: its peak memory stays far below their
// size, the store stays proportional to them, and every reader reads them.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>

#include "child_run.h"
#include "independent_readers.h"
#include "pst/format/property_tags.h"
#include "pst/read/pst_reader.h"
#include "source_tree.h"
#include "util/utf.h"

namespace fs = std::filesystem;

#ifdef QUILLMERE_CONVERTER
namespace {

constexpr uint64_t kLongSize = 100ull << 20;
constexpr long kPeakMemoryLimitKb = 64 * 1024;

// Writes `head`, then pieces from `next` until `size` bytes of them, then `tail`.
void writeLong(const fs::path& file, const std::string& head, const std::function<std::string(uint64_t)>& next,
               uint64_t size, const std::string& tail) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << head;
    std::string block;
    for (uint64_t written = 0, i = 0; written < size; written += block.size()) {
        block.clear();
        while (block.size() < (1u << 20)) block += next(i++);
        out << block;
    }
    out << tail;
}

std::string reportText(const fs::path& out) {
    for (auto& entry : fs::directory_iterator(out))
        if (entry.path().extension() == ".txt") {
            std::ifstream in(entry.path());
            return std::string(std::istreambuf_iterator<char>(in), {});
        }
    return {};
}

struct Read {
    std::u16string subject, body, headers;
    size_t recipients = 0;
};

// Every message our reader finds, by subject's first word.
void readAll(pst::read::PstReader& reader, uint32_t folder, std::vector<Read>& out) {
    for (uint32_t nid : reader.messageNids(folder)) {
        auto m = reader.readMessage(nid);
        Read r;
        r.subject = pst::read::stringProp(m.props, pst::tags::PR_SUBJECT_W);
        r.body = pst::read::stringProp(m.props, pst::tags::PR_BODY_W);
        r.headers = pst::read::stringProp(m.props, pst::tags::PR_TRANSPORT_MESSAGE_HEADERS_W);
        r.recipients = m.recipients.size();
        out.push_back(std::move(r));
    }
    for (auto& sub : reader.subfolders(folder)) readAll(reader, sub.nid, out);
}

std::string withoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

void collectSeen(const test_readers::SeenFolder& folder, std::vector<const test_readers::SeenMessage*>& out) {
    for (auto& m : folder.messages) out.push_back(&m);
    for (auto& sub : folder.subfolders) collectSeen(sub, out);
}

using Seen = std::vector<const test_readers::SeenMessage*>;

// Reads the store back with each independent reader that is installed, and
// hands `check` the `expected` messages it found.
void checkWithReaders(const fs::path& pst, size_t expected,
                      const std::function<void(const std::string& tool, const Seen&)>& check) {
    for (auto read : {&test_readers::readWithPffexport, &test_readers::readWithReadpst}) {
        test_readers::ReaderResult result = read(pst);
        std::cout << result.tool << ": " << (result.available ? "read" : "skipped, " + result.why) << "\n";
        if (!result.available) continue;
        ASSERT_TRUE(result.ok) << result.tool << ": " << result.why;
        Seen seen;
        collectSeen(result.root, seen);
        ASSERT_EQ(seen.size(), expected) << result.tool;
        check(result.tool, seen);
    }
}

class LongTextTest : public ::testing::Test, protected testing_support::SourceTree {
protected:
    LongTextTest() : SourceTree("long-text") {}

    bool roomFor(uint64_t bytes) {
        std::error_code error;
        auto space = fs::space(base, error);
        return !error && space.available >= bytes;
    }

    fs::path convertAndCheck(uint64_t sourceBytes, int expectedExit) {
        testing_support::ChildRun run = testing_support::convertInChild(QUILLMERE_CONVERTER, base);
        EXPECT_EQ(run.exitCode, expectedExit) << reportText(base / "out");
        EXPECT_LT(run.peakKb, kPeakMemoryLimitKb) << "peak memory of the converter, KB (this process held "
                                                  << run.parentKb << " KB when it started it)";
        auto found = stores();
        if (found.size() != 1) {
            ADD_FAILURE() << "stores written: " << found.size();
            return {};
        }
        double ratio = double(fs::file_size(found.front())) / double(sourceBytes);
        std::cout << "converter peak memory: " << run.peakKb / 1024 << " MB; store / files: " << ratio << "\n";
        EXPECT_LT(ratio, 2.6);
#ifdef QUILLMERE_PSTCHECK
        EXPECT_EQ(std::system(("'" QUILLMERE_PSTCHECK "' --strict '" + found.front().string() + "' >/dev/null 2>&1").c_str()), 0);
#endif
        return found.front();
    }
};

}  // namespace

TEST_F(LongTextTest, HundredMegabyteHeaderFieldsConvertInBoundedMemory) {
    if (!roomFor(2 * kLongSize * 4))
        GTEST_SKIP() << "needs " << (8 * kLongSize >> 20) << " MB free in " << base << " for two messages, their store "
                     << "and a reader's export";
    const std::string date = "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\n";
    // One line of words as the subject; a folded list of encoded names as To.
    writeLong(base / "src/Mail/subject.eml", "From: ann@example.org\r\nTo: bob@example.org\r\n" + date + "Subject: ",
              [](uint64_t i) { return "word" + std::to_string(i) + " "; }, kLongSize, "\r\n\r\nThe subject is long.\r\n");
    writeLong(base / "src/Mail/to.eml", "From: ann@example.org\r\n" + date + "Subject: many\r\nTo: ",
              [](uint64_t i) { return "=?utf-8?B?w6l0w6k=?= <p" + std::to_string(i) + "@example.org>,\r\n "; }, kLongSize,
              "last@example.org\r\n\r\nThe list is long.\r\n");
    uint64_t sourceBytes = fs::file_size(base / "src/Mail/subject.eml") + fs::file_size(base / "src/Mail/to.eml");

    fs::path pst = convertAndCheck(sourceBytes, 1);
    ASSERT_FALSE(pst.empty());
    std::string report = reportText(base / "out");
    // The warnings name each field with its true size.
    for (const char* field : {"the Subject header is ", "the To header is "}) {
        size_t at = report.find(field);
        ASSERT_NE(at, std::string::npos) << field << report.substr(0, 2000);
        EXPECT_GT(std::stoull(report.substr(at + std::strlen(field))), kLongSize) << field;
    }
    fs::remove_all(base / "src");

    {
        auto reader = pst::read::PstReader::open(pst);
        std::vector<Read> read;
        readAll(*reader, reader->ipmSubtree().nid, read);
        ASSERT_EQ(read.size(), 2u);
        for (const Read& r : read) {
            bool longSubject = r.subject.starts_with(u"word0 word1 ");
            SCOPED_TRACE(longSubject ? "subject.eml" : "to.eml");
            EXPECT_GT(r.headers.size(), kLongSize);
            if (longSubject) {
                EXPECT_LT(r.subject.size(), 64u << 10);
                EXPECT_EQ(r.body, u"The subject is long.\r\n");
                EXPECT_NE(r.headers.find(u"\r\nSubject: word0 word1 "), std::u16string::npos);
            } else {
                EXPECT_EQ(r.subject, u"many");
                EXPECT_GT(r.recipients, 100u);
                EXPECT_LT(r.recipients, 10000u);
                EXPECT_TRUE(r.headers.ends_with(u"last@example.org\r\n")) << "the header block ends with the list";
            }
        }
    }
    checkWithReaders(pst, 2, [](const std::string& tool, const Seen& seen) {
        int longSubjects = 0;
        for (auto* m : seen) longSubjects += m->subject.rfind("word0 word1 ", 0) == 0;
        EXPECT_EQ(longSubjects, 1) << tool;
    });
}

TEST_F(LongTextTest, HundredMegabyteQuotedPrintableBodyConvertsInBoundedMemory) {
    if (!roomFor(kLongSize * 6))
        GTEST_SKIP() << "needs " << (6 * kLongSize >> 20) << " MB free in " << base << " for a message, its store "
                     << "and a reader's export";
    // Latin-1 with a soft line break now and then: what the body must read.
    auto line = [](uint64_t i) { return "Caf=E9 line " + std::to_string(i) + (i % 5 == 0 ? " =3D=\r\n" : " =3D x\r\n"); };
    auto decodedLine = [](uint64_t i) {
        return "Caf\xC3\xA9 line " + std::to_string(i) + (i % 5 == 0 ? " =" : " = x\r\n");
    };
    uint64_t lines = 0;
    writeLong(base / "src/Mail/body.eml",
              "From: ann@example.org\r\nTo: bob@example.org\r\nSubject: long body\r\n"
              "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n",
              [&](uint64_t i) { lines = i + 1; return line(i); }, kLongSize, "");
    std::string head, tail;
    uint64_t chars = 0;
    for (uint64_t i = 0; i < lines; ++i) {
        std::string d = decodedLine(i);
        chars += d.size() - 1;  // the two bytes of the accent are one character
        if (head.size() < 4096) head += d;
        if (i + 3 >= lines) tail += d;
    }

    fs::path pst = convertAndCheck(fs::file_size(base / "src/Mail/body.eml"), 0);
    ASSERT_FALSE(pst.empty());
    fs::remove_all(base / "src");
    {
        auto reader = pst::read::PstReader::open(pst);
        std::vector<Read> read;
        readAll(*reader, reader->ipmSubtree().nid, read);
        ASSERT_EQ(read.size(), 1u);
        std::string body = quillmere::toUtf8(read[0].body);
        EXPECT_EQ(read[0].body.size(), chars);
        EXPECT_EQ(body.substr(0, head.size()), head);
        EXPECT_TRUE(body.ends_with(tail)) << body.substr(body.size() - 200);
    }
    checkWithReaders(pst, 1, [&](const std::string& tool, const Seen& seen) {
        // (readpst gives LF line ends.)
        std::string body = withoutCr(seen[0]->bodyText);
        EXPECT_EQ(body.substr(0, 1000), withoutCr(head).substr(0, 1000)) << tool;
        EXPECT_NE(body.find(withoutCr(tail.substr(0, tail.size() - 2))), std::string::npos) << tool;
        EXPECT_GT(body.size(), chars * 9 / 10) << tool;
    });
}
#endif
