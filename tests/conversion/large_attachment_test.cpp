// One message with an attachment of a few hundred megabytes through the
// headless converter: the converter's peak memory stays far below the
// attachment's size, and every reader gets the attachment back byte for byte.
// Long attachments of a file read whole reach the store still encoded.

#include <gtest/gtest.h>

#include <glib.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "child_run.h"
#include "conversion/components.h"
#include "conversion/conversion_run.h"
#include "eml/eml_parser.h"
#include "fake_host.h"
#include "independent_readers.h"
#include "pst/format/property_tags.h"
#include "pst/read/pst_reader.h"
#include "source_tree.h"
#include "util/utf.h"

namespace fs = std::filesystem;

#ifdef QUILLMERE_CONVERTER
namespace {

// Decoded size of the attachment, and the peak memory the converter may use
// for it.
constexpr uint64_t kAttachmentBytes = 240ull << 20;
constexpr long kPeakMemoryLimitKb = 64 * 1024;

// The 64-bit FNV-1a hash the reader support reports, taken piece by piece.
class Digest {
public:
    void add(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            h_ ^= data[i];
            h_ *= 0x100000001b3ull;
        }
    }
    std::string hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h_));
        return text;
    }

private:
    uint64_t h_ = 0xcbf29ce484222325ull;
};

// Writes the message, its attachment pseudo-random bytes in base64 lines;
// returns the attachment's digest.
std::string writeLargeMessage(const fs::path& file) {
    static const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::ofstream out(file, std::ios::binary);
    out << "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: the large file\r\n"
           "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"cut\"\r\n\r\n"
           "--cut\r\nContent-Type: text/plain\r\n\r\nThe file is attached.\r\n"
           "--cut\r\nContent-Type: application/octet-stream; name=\"large.bin\"\r\n"
           "Content-Disposition: attachment; filename=\"large.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    Digest digest;
    uint64_t state = 0x9E3779B97F4A7C15ull;
    std::vector<uint8_t> data(57 * 4096);  // whole 76-letter lines
    std::string text;
    for (uint64_t written = 0; written < kAttachmentBytes; written += data.size()) {
        for (auto& b : data) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            b = static_cast<uint8_t>(state);
        }
        size_t size = static_cast<size_t>(std::min<uint64_t>(data.size(), kAttachmentBytes - written));
        digest.add(data.data(), size);
        text.clear();
        for (size_t line = 0; line < size; line += 57) {
            for (size_t i = line; i < std::min(size, line + 57); i += 3) {
                uint32_t v = data[i] << 16 | (i + 1 < size ? data[i + 1] << 8 : 0) | (i + 2 < size ? data[i + 2] : 0);
                text += letters[v >> 18 & 63];
                text += letters[v >> 12 & 63];
                text += i + 1 < size ? letters[v >> 6 & 63] : '=';
                text += i + 2 < size ? letters[v & 63] : '=';
            }
            text += "\r\n";
        }
        out << text;
    }
    out << "--cut--\r\n";
    if (!out) return {};
    return digest.hex();
}

// The data of the first attachment of the first message found, by our reader.
std::optional<pst::Bytes> firstAttachment(pst::read::PstReader& reader, uint32_t folder) {
    for (uint32_t nid : reader.messageNids(folder)) {
        auto message = reader.readMessage(nid);
        if (message.attachments.empty()) continue;
        for (auto& p : message.attachments[0].props)
            if (p.tag == pst::tags::PR_ATTACH_DATA_BIN)
                if (auto* bytes = std::get_if<pst::Bytes>(&p.value)) return *bytes;
    }
    for (auto& sub : reader.subfolders(folder))
        if (auto found = firstAttachment(reader, sub.nid)) return found;
    return std::nullopt;
}

const test_readers::SeenMessage* firstSeenWithAttachments(const test_readers::SeenFolder& folder) {
    for (auto& m : folder.messages)
        if (!m.attachments.empty()) return &m;
    for (auto& sub : folder.subfolders)
        if (auto* found = firstSeenWithAttachments(sub)) return found;
    return nullptr;
}

const test_readers::SeenAttachment* firstSeenAttachment(const test_readers::SeenFolder& folder) {
    const test_readers::SeenMessage* message = firstSeenWithAttachments(folder);
    return message ? &message->attachments[0] : nullptr;
}

class LargeAttachmentTest : public ::testing::Test, protected testing_support::SourceTree {
protected:
    LargeAttachmentTest() : SourceTree("large-attachment") {}
};

}  // namespace

TEST_F(LargeAttachmentTest, ConvertsInBoundedMemoryAndEveryReaderGetsTheBytesBack) {
    // The message, the store and one reader's export of the attachment.
    std::error_code error;
    auto space = fs::space(base, error);
    if (error || space.available < 4 * kAttachmentBytes)
        GTEST_SKIP() << "needs " << (4 * kAttachmentBytes >> 20) << " MB free in " << base << " for a message, its store "
                     << "and a reader's export";
    fs::create_directories(base / "src" / "Mail");
    std::string digest = writeLargeMessage(base / "src" / "Mail" / "large.eml");
    ASSERT_FALSE(digest.empty()) << "could not write the message";

    testing_support::ChildRun run = testing_support::convertInChild(QUILLMERE_CONVERTER, base);
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_LT(run.peakKb, kPeakMemoryLimitKb) << "peak memory of the converter, KB";
    std::cout << "converter peak memory: " << run.peakKb / 1024 << " MB\n";
    fs::remove_all(base / "src");

    auto found = stores();
    ASSERT_EQ(found.size(), 1u);
    const fs::path pst = found.front();
#ifdef QUILLMERE_PSTCHECK
    EXPECT_EQ(std::system(("'" QUILLMERE_PSTCHECK "' --strict '" + pst.string() + "' >/dev/null 2>&1").c_str()), 0);
#endif
    {
        auto reader = pst::read::PstReader::open(pst);
        auto data = firstAttachment(*reader, reader->ipmSubtree().nid);
        ASSERT_TRUE(data.has_value());
        EXPECT_EQ(data->size(), kAttachmentBytes);
        EXPECT_EQ(test_readers::contentDigest(*data), digest);
    }
    for (auto read : {&test_readers::readWithPffexport, &test_readers::readWithReadpst}) {
        test_readers::ReaderResult result = read(pst);
        std::cout << result.tool << ": " << (result.available ? "read" : "skipped, " + result.why) << "\n";
        if (!result.available) continue;
        ASSERT_TRUE(result.ok) << result.tool << ": " << result.why;
        const test_readers::SeenAttachment* seen = firstSeenAttachment(result.root);
        ASSERT_NE(seen, nullptr) << result.tool;
        EXPECT_EQ(seen->name, "large.bin") << result.tool;
        if (seen->size >= 0) {
            EXPECT_EQ(static_cast<uint64_t>(seen->size), kAttachmentBytes) << result.tool;
        }
        EXPECT_EQ(seen->digest, digest) << result.tool;
    }
}

namespace {

std::string base64Lines(const std::string& data) {
    gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(data.data()), data.size());
    std::string text(encoded);
    g_free(encoded);
    std::string out;
    for (size_t at = 0; at < text.size(); at += 76) out += text.substr(at, 76) + "\r\n";
    return out;
}

}  // namespace

// A file read whole hands its long attachments to the store still encoded,
// for the store's thread to decode as it writes them: every reader gets the
// bytes back, and the report names the damage of one where decoding it at
// once names it, among the other warnings.
TEST_F(LargeAttachmentTest, LongAttachmentsOfAFileReadWholeReachEveryReaderAndTheReport) {
    std::mt19937 random(5);
    std::string data(2u << 20, '\0');
    for (auto& c : data) c = static_cast<char>(random());
    auto part = [](const std::string& name, const std::string& content) {
        return "--cut\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" + name +
               "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + content;
    };
    // 8-bit text declared as ASCII, a damaged part, no date: three warnings.
    const fs::path file = write(
        "Mail/held.eml",
        "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: held parts\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"cut\"\r\n\r\n"
        "--cut\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nCaf\xE9 au lait.\r\n" +
            part("large.bin", base64Lines(data)) + part("cut.bin", base64Lines(data.substr(0, 300u << 10)) + "QUJD\r\nQ\r\n") +
            "--cut--\r\n");
    ASSERT_LT(fs::file_size(file), eml::FileReading{}.wholeUpTo);

    testing_support::FakeHost host;
    host.prompts_.folderAnswer = (base / "out").u16string();
    host.rows = {file.u16string()};
    conversion::ComponentRegistry components;
    conversion::registerStoreComponents(components, conversion::makeFileProfile());
    conversion::RunFields fields;
    auto report = conversion::ConversionRun(host, components, fields).run();
    ASSERT_EQ(report.outcome, conversion::RunReport::Outcome::Finished);
    EXPECT_EQ(report.messagesConverted, 1);
    ASSERT_EQ(report.warned.size(), 1u);
    eml::FileReading decodedAtOnce;
    decodedAtOnce.heldPartsStreamedFrom = UINT64_MAX;
    eml::ParseResult atOnce = eml::parseFile(file, decodedAtOnce);
    ASSERT_EQ(atOnce.warnings.size(), 3u);
    EXPECT_EQ(atOnce.warnings[1], "the base64 data of a part is damaged at its end; what could be read was kept");
    EXPECT_EQ(report.warned[0].warnings, atOnce.warnings);

    // Each attachment's bytes, as decoding at once gives them, by name.
    std::map<std::string, std::string> digests;
    for (auto& attachment : atOnce.message.attachments) {
        std::string name;
        const pst::Bytes* bytes = nullptr;
        for (auto& p : attachment.props) {
            if (p.tag == pst::tags::PR_ATTACH_LONG_FILENAME_W) name = quillmere::toUtf8(std::get<std::u16string>(p.value));
            if (p.tag == pst::tags::PR_ATTACH_DATA_BIN) bytes = std::get_if<pst::Bytes>(&p.value);
        }
        ASSERT_NE(bytes, nullptr);
        digests[name] = test_readers::contentDigest(*bytes);
    }
    ASSERT_EQ(digests.size(), 2u);
    EXPECT_EQ(digests["large.bin"], test_readers::contentDigest(data.data(), data.size()));

    auto found = stores();
    ASSERT_EQ(found.size(), 1u);
    {
        auto reader = pst::read::PstReader::open(found.front());
        auto read = firstAttachment(*reader, reader->ipmSubtree().nid);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(test_readers::contentDigest(*read), digests["large.bin"]);
    }
    for (auto read : {&test_readers::readWithPffexport, &test_readers::readWithReadpst}) {
        test_readers::ReaderResult result = read(found.front());
        if (!result.available) {
            std::cout << result.tool << ": skipped, " << result.why << "\n";
            continue;
        }
        ASSERT_TRUE(result.ok) << result.tool << ": " << result.why;
        const test_readers::SeenMessage* seen = firstSeenWithAttachments(result.root);
        ASSERT_NE(seen, nullptr) << result.tool;
        ASSERT_EQ(seen->attachments.size(), 2u) << result.tool;
        for (auto& attachment : seen->attachments)
            EXPECT_EQ(attachment.digest, digests[attachment.name]) << result.tool << " " << attachment.name;
    }
}
#endif

#ifdef QUILLMERE_CONVERTER
TEST_F(LargeAttachmentTest, DamageFoundWhileAnAttachmentIsStreamedIsReportedAsAWarning) {
    // Past the size read whole, with base64 cut one letter into its last group.
    std::string data;
    for (int i = 0; data.size() < (9u << 20); ++i) data += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2\r\n";
    write("Mail/damaged.eml", "From: ann@example.org\r\nSubject: damaged\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n"
                              "MIME-Version: 1.0\r\nContent-Type: application/octet-stream; name=\"cut.bin\"\r\n"
                              "Content-Transfer-Encoding: base64\r\n\r\n" + data + "Q\r\n");
    std::string command = "cd '" + base.string() + "' && '" QUILLMERE_CONVERTER "' src out 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int status = pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << output;
    EXPECT_NE(output.find("1 with warnings"), std::string::npos) << output;
    std::string report;
    for (auto& entry : fs::directory_iterator(base / "out"))
        if (entry.path().extension() == ".txt") {
            std::ifstream in(entry.path());
            report.assign(std::istreambuf_iterator<char>(in), {});
        }
    EXPECT_NE(report.find("the base64 data of a part is damaged at its end"), std::string::npos) << report;
}
#endif
