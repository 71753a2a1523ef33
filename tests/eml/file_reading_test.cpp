// Files past the in-memory limit are parsed from the file itself, with their
// large parts streamed into the store: they must give exactly the message,
// the repairs and the warnings that reading them whole gives.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <random>

#include <iconv.h>

#include "eml/buffered_read_stream.h"
#include "eml/gmime_support.h"
#include "eml/raw_repair.h"
#include "eml/skipped_bodies.h"
#include "eml/text_chunks.h"
#include "eml/transfer_decoding.h"
#include "eml_test_support.h"

namespace fs = std::filesystem;
using namespace eml;
using namespace eml::test;
using namespace pst::tags;

namespace {

const FileReading kFromFile{0};
const FileReading kEveryTextStreamed{0, 0};
// Every body the repair scan can pass over left out of GMime's parse.
const FileReading kEveryBodySkipped{.wholeUpTo = 0, .skippedBodiesFrom = 0};

// The content with every streamed value read into bytes, and what reading
// them reported.
struct Drained {
    pst::MessageContent content;
    std::vector<std::string> warnings;
    int streamed = 0;
};

void drainProps(std::vector<pst::Property>& props, Drained& out) {
    for (auto& p : props) {
        auto* source = std::get_if<pst::StreamedBytes>(&p.value);
        if (!source) continue;
        ++out.streamed;
        pst::Bytes all, piece(7001);  // an odd size, so pieces straddle the decoder's
        while (size_t n = (*source)->read(piece)) all.insert(all.end(), piece.begin(), piece.begin() + n);
        for (auto& w : (*source)->warnings())
            if (std::find(out.warnings.begin(), out.warnings.end(), w) == out.warnings.end()) out.warnings.push_back(w);
        if (pst::tagType(p.tag) == pst::PropType::Unicode) {
            std::u16string text(all.size() / 2, u'\0');
            std::memcpy(text.data(), all.data(), text.size() * 2);
            p.value = std::move(text);
        } else {
            p.value = std::move(all);
        }
    }
}

void drainContent(pst::MessageContent& content, Drained& out) {
    drainProps(content.props, out);
    for (auto& a : content.attachments) {
        drainProps(a.props, out);
        if (a.embedded) drainContent(*a.embedded, out);
    }
}

Drained drained(ParseResult parsed) {
    Drained out;
    out.warnings = parsed.warnings;
    out.content = std::move(parsed.message);
    drainContent(out.content, out);
    return out;
}

void expectSameProps(const std::vector<pst::Property>& a, const std::vector<pst::Property>& b, const std::string& where) {
    ASSERT_EQ(a.size(), b.size()) << where;
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].tag, b[i].tag) << where << " property " << i;
        EXPECT_TRUE(a[i].value == b[i].value) << where << " property 0x" << std::hex << a[i].tag;  // not printed: it may be large
    }
}

void expectSameMessage(const pst::MessageContent& a, const pst::MessageContent& b, const std::string& where) {
    expectSameProps(a.props, b.props, where);
    ASSERT_EQ(a.named.size(), b.named.size()) << where;
    for (size_t i = 0; i < a.named.size(); ++i) {
        EXPECT_TRUE(a.named[i].name == b.named[i].name) << where;
        EXPECT_TRUE(a.named[i].value == b.named[i].value) << where << " named property " << i;
    }
    ASSERT_EQ(a.recipients.size(), b.recipients.size()) << where;
    for (size_t i = 0; i < a.recipients.size(); ++i)
        expectSameProps(a.recipients[i].props, b.recipients[i].props, where + " recipient");
    ASSERT_EQ(a.attachments.size(), b.attachments.size()) << where;
    for (size_t i = 0; i < a.attachments.size(); ++i) {
        expectSameProps(a.attachments[i].props, b.attachments[i].props, where + " attachment " + std::to_string(i));
        ASSERT_EQ(!a.attachments[i].embedded, !b.attachments[i].embedded) << where;
        if (a.attachments[i].embedded)
            expectSameMessage(*a.attachments[i].embedded, *b.attachments[i].embedded, where + " embedded");
    }
}

// Reads the file whole and from the file; returns the latter.
Drained expectBothReadingsAgree(const fs::path& file, const FileReading& fromFile = kFromFile) {
    std::string where = file.filename().string();
    std::optional<Drained> whole, streamed;
    std::string wholeError, streamedError;
    try { whole = drained(parseFile(file)); } catch (const ParseError& e) { wholeError = e.what(); }
    try { streamed = drained(parseFile(file, fromFile)); } catch (const ParseError& e) { streamedError = e.what(); }
    EXPECT_EQ(wholeError, streamedError) << where;
    EXPECT_EQ(whole.has_value(), streamed.has_value()) << where;
    if (!whole || !streamed) return {};
    // Warnings of streamed parts come once they are read, at the end.
    std::sort(whole->warnings.begin(), whole->warnings.end());
    std::sort(streamed->warnings.begin(), streamed->warnings.end());
    EXPECT_EQ(whole->warnings, streamed->warnings) << where;
    expectSameMessage(whole->content, streamed->content, where);
    return std::move(*streamed);
}

class TempFolder {
public:
    TempFolder() : path_(fs::temp_directory_path() / ("quillmere-file-reading-" + std::to_string(getpid()))) {
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    fs::path write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return path_ / name;
    }

private:
    fs::path path_;
};

std::string randomBytes(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (auto& c : out) c = static_cast<char>(rng());
    return out;
}

std::string base64Lines(const std::string& data) {
    static const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out, line;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t v = uint8_t(data[i]) << 16;
        if (i + 1 < data.size()) v |= uint8_t(data[i + 1]) << 8;
        if (i + 2 < data.size()) v |= uint8_t(data[i + 2]);
        line += letters[v >> 18 & 63];
        line += letters[v >> 12 & 63];
        line += i + 1 < data.size() ? letters[v >> 6 & 63] : '=';
        line += i + 2 < data.size() ? letters[v & 63] : '=';
        if (line.size() >= 76) {
            out += line + "\r\n";
            line.clear();
        }
    }
    return out + (line.empty() ? "" : line + "\r\n");
}

}  // namespace

TEST(ChunkedTransferDecoding, EverySplitGivesWhatTheWholeTextGives) {
    struct Case {
        GMimeContentEncoding encoding;
        std::string text;
    } cases[] = {
        {GMIME_CONTENT_ENCODING_BASE64, "SGVsbG8gd29ybGQhIQ==\r\n"},
        {GMIME_CONTENT_ENCODING_BASE64, "SGVsbG8gd29y\r\nbGQhIQ"},          // no padding: the last bytes kept
        {GMIME_CONTENT_ENCODING_BASE64, "SGVsbG8gd29ybGQ"},                 // three letters: two bytes
        {GMIME_CONTENT_ENCODING_BASE64, "SGVsbG8gd29ybGQhIQ==\r\nSGk="},    // data after the padding: damaged
        {GMIME_CONTENT_ENCODING_BASE64, "SGVsbG8gd29ybGQhIQab\r\nS"},       // one letter left over: damaged
        {GMIME_CONTENT_ENCODING_BASE64, "SGVs bG8g\td29y!bGQ="},           // junk between the letters
        {GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE, "caf=C3=A9 soft=\r\nbreak =3D x=\nend=ZZ=4"},
        {GMIME_CONTENT_ENCODING_8BIT, "as it stands\r\n\x01\xff"},
    };
    for (const auto& c : cases) {
        TransferDecoded whole = decodeTransfer(c.text, c.encoding);
        for (size_t split = 0; split <= c.text.size(); ++split) {
            ChunkedTransferDecoder decoder(c.encoding);
            std::vector<uint8_t> out(decoder.outputRoom(c.text.size()) + 16);
            size_t n = decoder.step(std::string_view(c.text).substr(0, split), out.data());
            n += decoder.step(std::string_view(c.text).substr(split), out.data() + n);
            n += decoder.finish(out.data() + n);
            out.resize(n);
            EXPECT_EQ(out, whole.bytes) << c.text << " split at " << split;
            EXPECT_EQ(decoder.damaged(), whole.damaged) << c.text << " split at " << split;
        }
    }
    EXPECT_TRUE(decodeTransfer("SGVsbG8gd29ybGQhIQ==\r\nSGk=", GMIME_CONTENT_ENCODING_BASE64).damaged);
    EXPECT_FALSE(decodeTransfer("SGVsbG8gd29ybGQ", GMIME_CONTENT_ENCODING_BASE64).damaged);
    EXPECT_EQ(decodeTransfer("SGVsbG8gd29ybGQ", GMIME_CONTENT_ENCODING_BASE64).bytes.size(), 11u);
}

TEST(FileReading, EveryCorpusMessageReadsAsWhenReadWhole) {
    int files = 0;
    for (auto& entry : fs::directory_iterator(corpusDir())) {
        if (entry.path().extension() != ".eml") continue;
        expectBothReadingsAgree(entry.path());
        expectBothReadingsAgree(entry.path(), kEveryTextStreamed);
        expectBothReadingsAgree(entry.path(), kEveryBodySkipped);
        ++files;
    }
    EXPECT_GT(files, 20);
}

TEST(FileReading, RealMailReadsAsWhenReadWholeWithEveryTextBodyStreamed) {
    // The real and malformed messages Debian ships with two other MIME
    // parsers (scripts/setup.sh installs them).
    int files = 0;
    for (const char* dir : {"/usr/lib/python3.11/test/test_email/data",
                            "/usr/share/gocode/src/github.com/jhillyerd/enmime/testdata"}) {
        std::error_code error;
        if (!fs::is_directory(dir, error)) {
            std::cout << "skipped, not installed: " << dir << "\n";
            continue;
        }
        for (auto& entry : fs::recursive_directory_iterator(dir, error)) {
            std::string name = entry.path().filename().string();
            if (!entry.is_regular_file() || (name.rfind("msg_", 0) != 0 && entry.path().extension() != ".raw" &&
                                             entry.path().extension() != ".eml"))
                continue;
            expectBothReadingsAgree(entry.path(), kEveryTextStreamed);
            expectBothReadingsAgree(entry.path(), kEveryBodySkipped);
            ++files;
        }
    }
    if (files == 0) GTEST_SKIP() << "the Debian test messages (libpython3.11-testsuite, golang-github-jhillyerd-enmime-dev) are not installed";
    EXPECT_GT(files, 50);
}

TEST(FileReading, LargePartsAreStreamedWithTheRepairsAndWarningsOfAWholeReading) {
    TempFolder folder;
    const std::string data = randomBytes(3u << 20, 7);
    std::string padded = base64Lines(data);
    std::string unpadded = base64Lines(data.substr(0, data.size() - 1));
    while (unpadded.back() == '\n' || unpadded.back() == '\r' || unpadded.back() == '=') unpadded.pop_back();
    std::string damaged = padded + "QUJD\r\nQ\r\n";  // a letter left over after the last whole group
    std::string qp, qpDecoded;
    for (size_t i = 0; i < (2u << 20); ++i) {
        qp += (i % 70 == 69) ? "=\r\n" : (i % 7 == 0 ? "=3D" : "q");
        if (i % 70 != 69) qpDecoded += i % 7 == 0 ? '=' : 'q';
    }

    // Junk before the headers, a part without subtype, a repeated
    // Content-Type and a closing boundary without its line end: repairs in
    // the header block, in the parts and at the file's end.
    std::string message =
        "\r\nFrom someone@example.org Mon Dec  7 10:00:00 2026\r\n"
        "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: large parts\r\n"
        "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: text/plain\r\n\r\nThe text.\r\n"
        "--b1\r\nContent-Type: application\r\nContent-Type: text/plain\r\n"
        "Content-Disposition: attachment; filename=\"padded.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        padded +
        "--b1\r\nContent-Type: application/octet-stream; name=\"unpadded.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        unpadded +
        "\r\n--b1\r\nContent-Type: application/octet-stream; name=\"damaged.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        damaged +
        "--b1\r\nContent-Type: text/plain; name=\"quoted.txt\"\r\nContent-Disposition: attachment\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
        qp + "\r\n--b1--";
    Drained read = expectBothReadingsAgree(folder.write("large.eml", message));
    EXPECT_EQ(read.streamed, 4);
    ASSERT_EQ(read.content.attachments.size(), 4u);
    auto dataOf = [&](size_t i) { return bytesAsString(*prop<pst::Bytes>(read.content.attachments[i].props, PR_ATTACH_DATA_BIN)); };
    // (Compared as booleans: a difference would print megabytes.)
    EXPECT_TRUE(dataOf(0) == data);
    EXPECT_TRUE(dataOf(1) == data.substr(0, data.size() - 1));
    EXPECT_TRUE(dataOf(2) == data + "ABC");  // the decoder reads on past padding
    EXPECT_TRUE(dataOf(3) == qpDecoded);
    EXPECT_NE(std::find(read.warnings.begin(), read.warnings.end(),
                        "the base64 data of a part is damaged at its end; what could be read was kept"),
              read.warnings.end());
    EXPECT_EQ(text(read.content, PR_SUBJECT_W), "large parts");

    // A file whose header block has no blank line after it.
    Drained headerless = expectBothReadingsAgree(folder.write(
        "no-blank-line.eml", "Subject: plain\r\nContent-Type: application/octet-stream\r\n"
                             "Content-Transfer-Encoding: base64\r\n" + padded));
    // And text with no header at all becomes the body.
    expectBothReadingsAgree(folder.write("text.eml", std::string(2u << 20, 'x') + "\r\nmore text\r\n"));
    expectBothReadingsAgree(folder.write("bom-text.eml", "\xEF\xBB\xBF\r\n" + std::string(2u << 20, 'y') + "\r\n"));
}

TEST(FileReading, AFileThatShrinksBeforeItsPartIsWrittenKeepsWhatWasThereWithAWarning) {
    TempFolder folder;
    const std::string data = randomBytes(2u << 20, 9);
    std::string encoded = base64Lines(data);
    fs::path file = folder.write("shrinks.eml", "Subject: shrinking\r\nContent-Type: application/octet-stream\r\n"
                                                "Content-Transfer-Encoding: base64\r\n\r\n" + encoded);
    ParseResult parsed = parseFile(file, kFromFile);
    ASSERT_EQ(parsed.message.attachments.size(), 1u);
    pst::StreamedBytes* source = nullptr;
    for (auto& p : parsed.message.attachments[0].props)
        if (p.tag == PR_ATTACH_DATA_BIN) source = std::get_if<pst::StreamedBytes>(&p.value);
    ASSERT_TRUE(source && *source);
    fs::resize_file(file, fs::file_size(file) - encoded.size() / 2);
    pst::Bytes all, piece(65536);
    while (size_t n = (*source)->read(piece)) all.insert(all.end(), piece.begin(), piece.begin() + n);
    EXPECT_LT(all.size(), data.size());
    EXPECT_TRUE(std::string(all.begin(), all.end()) == data.substr(0, all.size()));
    EXPECT_FALSE((*source)->warnings().empty());
}

pst::StreamedBytes streamedData(const pst::AttachmentContent& attachment) {
    for (auto& p : attachment.props)
        if (p.tag == PR_ATTACH_DATA_BIN)
            if (auto* source = std::get_if<pst::StreamedBytes>(&p.value)) return *source;
    return nullptr;
}

// A file read whole leaves its long parts encoded in its buffer; whoever
// reads the value decodes them, and their damage takes the place among the
// warnings that decoding them at once gives it.
TEST(FileReading, LongPartsOfAFileReadWholeAreDecodedWhenReadWithTheirWarningsInPlace) {
    TempFolder folder;
    const std::string data = randomBytes(300u << 10, 11);
    std::string qp;
    for (size_t i = 0; qp.size() < (300u << 10); ++i) qp += (i % 70 == 69) ? "=\r\n" : (i % 5 == 0 ? "=E9" : "q");
    const std::string plain(300u << 10, 'p');
    auto part = [](const std::string& name, const std::string& encoding, const std::string& content) {
        return "--b1\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; filename=\"" + name +
               "\"\r\nContent-Transfer-Encoding: " + encoding + "\r\n\r\n" + content + "\r\n";
    };
    // The body's 8-bit text is named first, the damaged part next, the
    // missing date last (the envelope is read after the parts).
    const std::string message =
        "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: held parts\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nCaf\xE9 au lait.\r\n" +
        part("damaged.bin", "base64", base64Lines(data) + "QUJD\r\nQ") + part("quoted.bin", "quoted-printable", qp) +
        part("plain.bin", "7bit", plain) + part("small.bin", "base64", base64Lines(data.substr(0, 1000))) +
        "--b1\r\nContent-Type: message/rfc822\r\n\r\n"
        "From: Bob <bob@example.org>\r\nSubject: inner\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n"
        "Content-Type: application/pdf; name=\"inner.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        base64Lines(data) + "\r\n--b1--\r\n";
    const fs::path file = folder.write("held.eml", message);
    ASSERT_LT(message.size(), FileReading{}.wholeUpTo);


    FileReading decodedAtOnce;
    decodedAtOnce.heldPartsStreamedFrom = UINT64_MAX;
    ParseResult atOnce = parseFile(file, decodedAtOnce);
    ASSERT_TRUE(atOnce.warningsWhenRead.empty());
    const std::vector<std::string>& expected = atOnce.warnings;
    auto damage = std::find(expected.begin(), expected.end(), kDamagedBase64Warning);
    ASSERT_NE(damage, expected.end());
    ASSERT_NE(damage, expected.begin());
    ASSERT_NE(damage + 1, expected.end());

    ParseResult held = parseFile(file);
    ASSERT_EQ(held.message.attachments.size(), 5u);
    for (size_t i : {0, 1, 2}) EXPECT_TRUE(streamedData(held.message.attachments[i])) << "attachment " << i;
    EXPECT_FALSE(streamedData(held.message.attachments[3])) << "a short part is decoded at once";
    ASSERT_TRUE(held.message.attachments[4].embedded);
    ASSERT_EQ(held.message.attachments[4].embedded->attachments.size(), 1u);
    EXPECT_TRUE(streamedData(held.message.attachments[4].embedded->attachments[0])) << "a part of an attached message";
    EXPECT_EQ(std::find(held.warnings.begin(), held.warnings.end(), kDamagedBase64Warning), held.warnings.end());
    pst::StreamedBytes damaged = streamedData(held.message.attachments[0]);
    EXPECT_GE(damaged->heldInMemory(), data.size() * 4 / 3) << "the encoded part is held until it is read";

    // Read in pieces of every awkward size, the damaged part gives the bytes
    // decoded at once and then nothing more.
    pst::Bytes all;
    const size_t sizes[] = {1, 3, 255, 256, 257, 8176, 7};
    for (size_t i = 0;; ++i) {
        pst::Bytes piece(sizes[i % std::size(sizes)]);
        size_t n = damaged->read(piece);
        if (n == 0) break;
        all.insert(all.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n));
    }
    EXPECT_TRUE(all == *prop<pst::Bytes>(atOnce.message.attachments[0].props, PR_ATTACH_DATA_BIN));
    EXPECT_EQ(damaged->heldInMemory(), 0u);
    EXPECT_EQ(damaged->warnings(), std::vector<std::string>{kDamagedBase64Warning});
    pst::Bytes more(64);
    EXPECT_EQ(damaged->read(more), 0u);

    // Every value read as the store reads them.
    ParseResult again = parseFile(file);
    const std::vector<std::string> warnings = again.warnings;
    const std::vector<WarningsWhenRead> whenRead = again.warningsWhenRead;
    Drained drainedAgain = drained(std::move(again));
    expectSameMessage(drainedAgain.content, atOnce.message, "held.eml");
    EXPECT_EQ(withWarningsWhenRead(warnings, whenRead), expected);

    // A value never read (the store leaves the parts of a signed message's
    // content unwritten) is read for its warnings when they are settled.
    ParseResult unread = parseFile(file);
    EXPECT_EQ(withWarningsWhenRead(unread.warnings, unread.warningsWhenRead), expected);
}

TEST(FileReading, LongHeaderBlocksGiveTheInternetHeadersOfAWholeReading) {
    TempFolder folder;
    // Two long fields (one cut for reading, one just under that size), 8-bit
    // and multi-byte text across every piece's edge, NUL bytes and bare LF.
    std::string words, accents;
    while (words.size() < (3u << 20)) words += "a long word list ";
    while (accents.size() < (1500u << 10)) accents += "h\xC3\xA9llo w\xC3\xB6rld \xE2\x82\xAC\xF0\x9F\x98\x80 ";
    std::string tail = "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n\r\nbody\r\n";
    struct Case {
        const char* name;
        std::string message;
    } cases[] = {
        {"utf8.eml", "From: ann@example.org\r\nX-Long: " + words + "\r\nSubject: " + accents + tail},
        {"bare-lf-nul.eml", "From: ann@example.org\nX-Long: " + words + "\nX-Nul: a\0b\nSubject: " + accents + "\n\nbody\n"},
        {"latin1.eml", "From: ann@example.org\r\nSubject: caf\xE9 " + words + tail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Drained read = expectBothReadingsAgree(folder.write(c.name, c.message));
        EXPECT_GE(read.streamed, 1);
        std::string headers = text(read.content, PR_TRANSPORT_MESSAGE_HEADERS_W);
        EXPECT_GT(headers.size(), 3u << 20);
        EXPECT_EQ(headers.rfind("From: ann@example.org\r\n", 0), 0u);
    }
}

namespace {

// `utf8` in `charset`, through iconv.
std::string encodedIn(const std::string& utf8, const char* charset) {
    iconv_t cd = iconv_open(charset, "UTF-8");
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* to = out.data();
    size_t toLeft = out.size();
    iconv(cd, &in, &inLeft, &to, &toLeft);
    iconv_close(cd);
    out.resize(out.size() - toLeft);
    return out;
}

std::u16string chunked(const std::string& bytes, const std::string& charset, size_t piece, Warnings& warnings) {
    ChunkedTextDecoder decoder(charset, warnings);
    std::u16string out;
    for (size_t at = 0; at < bytes.size(); at += piece) decoder.step(std::string_view(bytes).substr(at, piece), out);
    decoder.finish(out);
    return out;
}

}  // namespace

TEST(ChunkedTextDecoding, EverySplitGivesWhatTheWholeTextGives) {
    const std::string words = "Gr\xC3\xBC\xC3\x9F" "e, \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE4\xB8\xAD\xE6\x96\x87\r\nline\n";
    struct Case {
        std::string charset;
        std::string bytes;
    } cases[] = {
        {"utf-8", words + "\xF0\x9F\x98\x80 end"},
        {"UTF-8", "bad \xC3 bytes \xFF\xE6\x97"},  // invalid and cut short
        {"", "undeclared " + words},               // guessed as UTF-8
        {"us-ascii", "caf\xE9 au lait"},           // guessed as windows-1252
        {"windows-1252", "caf\xE9 \x80\x93"},
        {"shift_jis", encodedIn("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xA7\xE3\x81\x99 \xE8\xA1\xA8\r\n", "SHIFT_JIS")},
        {"gbk", encodedIn("\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95 ok", "GBK")},
        {"big5", encodedIn("\xE4\xB8\xAD\xE6\x96\x87 \xE5\x8A\x9F", "BIG5")},
        {"x-no-such-charset", "unknown " + words},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.charset);
        Warnings wholeWarnings;
        DecodedText whole = decodeText(c.bytes, c.charset, wholeWarnings);
        for (size_t piece : {size_t(1), size_t(2), size_t(3), size_t(5), c.bytes.size()}) {
            Warnings warnings;
            EXPECT_TRUE(chunked(c.bytes, c.charset, piece, warnings) == whole.text) << "pieces of " << piece;
            EXPECT_EQ(warnings.items(), wholeWarnings.items()) << "pieces of " << piece;
        }
    }
    EXPECT_FALSE(ChunkedTextDecoder::handles("iso-2022-jp"));
    EXPECT_FALSE(ChunkedTextDecoder::handles("utf-16"));
    EXPECT_TRUE(ChunkedTextDecoder::handles("shift_jis"));

    // Megabytes without a byte that ends every character: cut between characters.
    std::string accents;
    while (accents.size() < (3u << 20)) accents += "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
    Warnings none;
    EXPECT_TRUE(chunked(accents, "utf-8", 65535, none) == utf8ToUtf16(accents));
    EXPECT_TRUE(none.items().empty());
}

// Long bodies are left out of GMime's parse and put back into their parts;
// where GMime reads the parts otherwise than the repair scan did, the file
// is parsed again whole. Either way the message is the one a whole reading
// gives.
TEST(FileReading, SkippedBodiesGiveTheMessageOfAWholeReading) {
    TempFolder folder;
    const std::string data = randomBytes(1200u << 10, 5);
    const std::string encoded = base64Lines(data);
    const std::string head =
        "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: skipped\r\nMIME-Version: 1.0\r\n";
    auto attachment = [&](const std::string& boundary, const std::string& name) {
        return boundary + "\r\nContent-Type: application/octet-stream; name=\"" + name +
               "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + encoded;
    };
    struct Case {
        std::string name, message;
        size_t attachments;
    } cases[] = {
        {"parts", head + "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\nContent-Type: text/plain\r\n\r\n" +
                      std::string(3000, 't') + "\r\n" + attachment("--b1", "one.bin") + attachment("--b1", "two.bin") +
                      "--b1--\r\n",
         2},
        // A single part, its body running to the file's end.
        {"single", head + "Content-Type: application/pdf; name=\"a.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                       encoded,
         1},
        // A forwarded message whose own body is the attachment.
        {"forwarded", head + "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\nContent-Type: message/rfc822\r\n\r\n"
                             "Subject: inner\r\nContent-Type: application/zip; name=\"z.zip\"\r\n"
                             "Content-Transfer-Encoding: base64\r\n\r\n" + encoded + "--b1--\r\n",
         1},
        // "--b1x" starts like a boundary but is none to GMime: the two
        // attachments are one part's content.
        {"near-boundary", head + "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n" + attachment("--b1", "one.bin") +
                              attachment("--b1x", "two.bin") + "--b1--\r\n",
         1},
        // A part without a Content-Type of its own in a digest is a message.
        {"digest", head + "Content-Type: multipart/digest; boundary=\"b1\"\r\n\r\n--b1\r\n\r\n"
                          "Subject: in the digest\r\nContent-Type: application/octet-stream\r\n"
                          "Content-Transfer-Encoding: base64\r\n\r\n" + encoded + "--b1--\r\n",
         1},
    };
    for (const auto& c : cases) {
        for (const FileReading& reading : {kFromFile, kEveryBodySkipped}) {
            Drained read = expectBothReadingsAgree(folder.write(c.name + ".eml", c.message), reading);
            size_t found = 0;
            auto count = [&](const pst::MessageContent& content, auto& self) -> void {
                for (const auto& a : content.attachments) {
                    if (a.embedded) self(*a.embedded, self);
                    auto bytes = prop<pst::Bytes>(a.props, PR_ATTACH_DATA_BIN);
                    if (bytes && bytesAsString(*bytes).find(data) != std::string::npos) ++found;
                }
            };
            count(read.content, count);
            EXPECT_EQ(found, c.attachments) << c.name;
        }
    }
}

// Inputs the fuzzer found where GMime read a file otherwise than the repair
// scan did: a skipped body must then not change the reading.
TEST(FileReading, BodiesGMimeReadsOtherwiseThanTheScanGiveTheMessageOfAWholeReading) {
    TempFolder folder;
    const std::string inner = "--b\r\nContent-Type: text/plain\r\n\r\ninner text of the part\r\n--b--\r\n";
    struct Case {
        std::string name, message, bodyHolds;
    } cases[] = {
        // A damaged name repaired to a second Content-Type: the first one
        // is the message's, so the body is text holding the boundaries.
        {"renamed-second-type",
         "From: a@example.org\r\nContent-Type: text/plain\r\nConte\x91t-Type: multipart/mixed; boundary=\"b\"\r\n\r\n" +
             inner,
         "--b\r\nContent-Type: text/plain"},
    };
    for (const auto& c : cases) {
        fs::path file = folder.write(c.name + ".eml", c.message);
        for (const FileReading& reading : {kFromFile, kEveryBodySkipped}) {
            Drained read = expectBothReadingsAgree(file, reading);
            EXPECT_NE(text(read.content, PR_BODY_W).find(c.bodyHolds), std::string::npos) << c.name;
        }
    }
}

// A file GMime finds no mail in is judged text or binary on its bytes as
// they came, whether it is read whole or from the file: repairs (NULs left
// out of the headers) must not make it text in one reading only.
TEST(FileReading, AFileWithoutMailIsJudgedOnItsOwnBytesInEitherReading) {
    TempFolder folder;
    const std::string nulsInAHeader("M\0: 1\0 ,!Andr0", 14);
    fs::path file = folder.write("nuls.eml", nulsInAHeader);
    expectBothReadingsAgree(file, kFromFile);
    EXPECT_THROW(parseFile(file), ParseError);
}

// Had the scan taken a multipart message for a single part, its skipped
// body would hold boundaries: the mark then lands in a part that starts
// after the body's start and the file must be parsed again whole.
TEST(FileReading, AMarkInAPartStartingElsewhereThanTheSkippedBodyIsNotPutBack) {
    ensureGMime();
    const std::string head = "From: a@example.org\nContent-Type: multipart/mixed; boundary=b\n\n";
    const std::string body = "--b\nContent-Type: text/plain\n\nfirst part\n--b\nContent-Type: text/plain\n\n"
                             "second part\n--b--\n";
    const std::string mark = "\x01test-mark-";
    const size_t keptEnds = std::string("--b\nContent-Type: text/plain\n\nfir").size();
    const RawEdit skip{head.size() + keptEnds, body.size() - 2 * keptEnds, mark + "0\x01", keptEnds};
    const std::string file = head + body;
    const std::string parsed = file.substr(0, skip.at) + skip.insert + file.substr(skip.at + skip.remove);

    GPtr<GMimeStream> parsedStream(g_mime_stream_mem_new_with_buffer(parsed.data(), parsed.size()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(parsedStream.get()));
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    ASSERT_TRUE(message);
    GPtr<GMimeStream> fileStream(g_mime_stream_mem_new_with_buffer(file.data(), file.size()));
    EXPECT_FALSE(restoreSkippedBodies(message.get(), fileStream.get(), {skip}, mark));
}

TEST(FileReading, LongTextBodiesAreStreamedAsTheBodiesOfAWholeReading) {
    TempFolder folder;
    // Quoted-printable Latin-1 with soft breaks, bare CR and LF line ends
    // and CRLF split by a soft break; base64 UTF-8 HTML naming its charset
    // only in a <meta>, with a picture it shows.
    std::string qp, html;
    for (int i = 0; qp.size() < (3u << 20); ++i)
        qp += "Caf=E9 num=E9ro " + std::to_string(i) + (i % 3 == 0 ? "=\r\n" : i % 3 == 1 ? "\r\n" : "=0D=\r\n=0A");
    html = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head><body>"
           "<img src=\"cid:pic@x\">";
    while (html.size() < (3u << 20)) html += "<p>\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80</p>\r\n";
    html += "</body></html>";
    std::string common = "From: ann@example.org\r\nSubject: long bodies\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n"
                         "MIME-Version: 1.0\r\n";
    Drained plain = expectBothReadingsAgree(folder.write(
        "plain.eml", common + "Content-Type: text/plain; charset=iso-8859-1\r\n"
                              "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + qp));
    EXPECT_EQ(plain.streamed, 1);
    EXPECT_EQ(integer(plain.content, PR_INTERNET_CPID), 28591);
    std::string body = text(plain.content, PR_BODY_W);
    EXPECT_EQ(body.rfind("Caf\xC3\xA9 num\xC3\xA9ro 0Caf", 0), 0u);
    EXPECT_EQ(body.find('\n'), body.find("\r\n") + 1);

    std::string related = "Content-Type: multipart/related; boundary=\"r\"\r\n\r\n--r\r\n"
                          "Content-Type: text/html\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64Lines(html) +
                          "--r\r\nContent-Type: image/png\r\nContent-ID: <pic@x>\r\n\r\npng\r\n--r--\r\n";
    Drained rich = expectBothReadingsAgree(folder.write(
        "html.eml", common + "Content-Type: multipart/alternative; boundary=\"a\"\r\n\r\n--a\r\n"
                             "Content-Type: text/plain\r\n\r\nThe text.\r\n--a\r\n" + related + "--a--\r\n"));
    EXPECT_EQ(rich.streamed, 1);
    auto stored = prop<pst::Bytes>(rich.content.props, PR_HTML);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(bytesAsString(*stored) == html);
    ASSERT_EQ(rich.content.attachments.size(), 1u);
    EXPECT_EQ(prop<bool>(rich.content.attachments[0].props, PR_ATTACHMENT_HIDDEN), true);

    // HTML alone: its plain text is made from its beginning, and said so.
    Drained htmlOnly = drained(parseFile(folder.write("html-only.eml", common + related), kFromFile));
    EXPECT_TRUE(bytesAsString(*prop<pst::Bytes>(htmlOnly.content.props, PR_HTML)) == html);
    std::string derived = text(htmlOnly.content, PR_BODY_W);
    EXPECT_EQ(derived.substr(0, 19), "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\r\n");
    EXPECT_LT(derived.size(), 1u << 20);
    EXPECT_NE(std::find_if(htmlOnly.warnings.begin(), htmlOnly.warnings.end(),
                           [](const std::string& w) { return w.find("HTML body is too long") != std::string::npos; }),
              htmlOnly.warnings.end());
}

// The scan for repairs passes over a body by jumping to the next line that
// starts with "--": a boundary is found wherever it falls against the
// stretches the scan reports its progress by, and among lines of dashes.
TEST(FileReading, TheRepairScanFindsEveryBoundaryAfterALongBody) {
    ensureGMime();
    const std::string head =
        "From: ann@example.org\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    const std::string tail = "--b1\r\nContent-Type: text\r\n\r\nlast\r\n--b1--\r\n";
    const std::string encoded = base64Lines(randomBytes(800u << 10, 3));
    auto expectOneRepairAfter = [&](const std::string& body, const std::string& what) {
        std::string message = head + body + tail;
        // The body scanned in the text itself, through a copy of it, and
        // through a copy that fails.
        const ReadAt copied = [&](size_t at, char* into, size_t size) {
            return message.copy(into, size, at);
        };
        const ReadAt failing = [](size_t, char*, size_t) { return size_t{0}; };
        for (const ReadAt& readAt : {ReadAt(), copied, failing}) {
            Warnings warnings;
            std::vector<size_t> passed;
            RepairScan scan;
            scan.passed = [&](size_t at) { passed.push_back(at); };
            scan.readAt = readAt;
            RepairPlan plan = planRawRepairs(message, warnings, scan);
            ASSERT_EQ(plan.edits.size(), 1u) << what;
            EXPECT_EQ(plan.edits[0].at, head.size() + body.size() + tail.find("\r\n\r\n")) << what;
            EXPECT_EQ(plan.edits[0].insert, "/plain") << what;
            EXPECT_TRUE(std::is_sorted(passed.begin(), passed.end())) << what;
            ASSERT_FALSE(passed.empty()) << what;
            EXPECT_GE(passed.back(), head.size() + body.size()) << what;
        }
    };
    // The scan's first stretch starts at the part's blank line and is a
    // megabyte long: the boundary's two dashes fall on either side of its end.
    const size_t stretchEnd = head.size() - 2 + (1u << 20);
    for (size_t boundaryAt : {stretchEnd - 3, stretchEnd - 2, stretchEnd - 1, stretchEnd, stretchEnd + 1}) {
        std::string body;
        while (body.size() < boundaryAt - head.size()) body += encoded;
        body.resize(boundaryAt - head.size() - 2);
        if (body.back() == '\r') body.back() = 'Q';
        expectOneRepairAfter(body + "\r\n", "boundary at " + std::to_string(boundaryAt));
    }
    std::string dashes;
    for (int i = 0; i < 30000; ++i) dashes += i % 3 ? "-- not a boundary\r\n" : "- - -\r\n--b\r\n-\r\n";
    expectOneRepairAfter(dashes, "lines of dashes");
}

// GMime's parser reads a large file through a buffer: the bytes, positions,
// seeks and windows it sees must be the file's own.
TEST(FileReading, TheParsersBufferedStreamGivesTheFilesBytesAndPositions) {
    ensureGMime();
    TempFolder folder;
    const std::string data = randomBytes(300000, 11);
    fs::path file = folder.write("bytes.bin", data);
    int fd = open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    GPtr<GMimeStream> source(g_mime_stream_fs_new(fd));
    GPtr<GMimeStream> buffered(bufferedReadStream(source.get(), 4096));
    GMimeStream* s = buffered.get();
    std::string seen;
    std::mt19937 random(12);
    char piece[10000];
    while (ssize_t n = g_mime_stream_read(s, piece, 1 + random() % sizeof piece)) {
        ASSERT_GT(n, 0);
        seen.append(piece, static_cast<size_t>(n));
        ASSERT_EQ(g_mime_stream_tell(s), static_cast<gint64>(seen.size()));
    }
    EXPECT_TRUE(seen == data);
    EXPECT_TRUE(g_mime_stream_eos(s));
    EXPECT_EQ(g_mime_stream_length(s), static_cast<gint64>(data.size()));

    // A seek from where the reader is, not from where the buffer filled to.
    ASSERT_EQ(g_mime_stream_reset(s), 0);
    ASSERT_EQ(g_mime_stream_read(s, piece, 100), 100);
    ASSERT_EQ(g_mime_stream_seek(s, 50, GMIME_STREAM_SEEK_CUR), 150);
    ASSERT_EQ(g_mime_stream_read(s, piece, 10), 10);
    EXPECT_EQ(std::string(piece, 10), data.substr(150, 10));

    // Windows are the source's: they hold no buffer of their own.
    GPtr<GMimeStream> window(g_mime_stream_substream(s, 1000, 1010));
    EXPECT_TRUE(GMIME_IS_STREAM_FS(window.get()));
    ASSERT_EQ(g_mime_stream_read(window.get(), piece, sizeof piece), 10);
    EXPECT_EQ(std::string(piece, 10), data.substr(1000, 10));
}

// A repaired file is a stream of pieces, each read on its own: the parser
// must still get whole reads, as from the file itself, or GMime reads the
// message's start otherwise (the first header lost to a first read of a few
// bytes).
TEST(FileReading, AFileRepairedInManyPiecesReadsAsWhenReadWhole) {
    ensureGMime();
    const std::string data = randomBytes(20000, 13);
    GPtr<GMimeStream> pieces(g_mime_stream_cat_new());
    for (size_t at = 0, size = 1; at < data.size(); at += size, size = size % 7 + 1) {
        GPtr<GMimeStream> piece(g_mime_stream_mem_new_with_buffer(data.data() + at, std::min(size, data.size() - at)));
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(pieces.get()), piece.get());
    }
    GPtr<GMimeStream> buffered(bufferedReadStream(pieces.get(), 4096));
    char piece[1000];
    std::string seen;
    while (ssize_t n = g_mime_stream_read(buffered.get(), piece, sizeof piece)) {
        ASSERT_GT(n, 0);
        seen.append(piece, static_cast<size_t>(n));
        // Short only where the buffer's 4 KB ran out, as from the file.
        if (n < static_cast<ssize_t>(sizeof piece) && seen.size() < data.size()) {
            ASSERT_EQ(seen.size() % 4096, 0u);
        }
    }
    EXPECT_TRUE(seen == data);

    TempFolder folder;
    const std::string nul(1, '\0');
    expectBothReadingsAgree(folder.write(
        "nuls-first.eml", "From M\xF4\xFF\xFF" + nul + nul + nul + "e: Tue, 8 Dec 2026 08:00:00 +0000\r\n"
                          "MIME-Version: 1.0\r\nSubject: a" + nul + "b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nbody\r\n"));
    std::string everywhere = "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: nuls\r\n"
                             "Date: Tue, 8 Dec 2026 08:00:00 +0000\r\nMIME-Version: 1.0\r\nContent-Type: text/plain\r\n";
    for (size_t at = everywhere.size() - 2; at > 3; at -= 3) everywhere.insert(at, nul);
    expectBothReadingsAgree(folder.write("nuls-everywhere.eml", everywhere + "\r\nbody\r\n"));
}
