// Real-world mail that mail readers show whole although it breaks the
// rules: each case gives the item a reader would show, and names what was
// repaired.

#include "eml_test_support.h"

namespace eml::test {
namespace {

using namespace pst::tags;

bool hasWarningWith(const ParseResult& result, const std::string& words) {
    for (const auto& w : result.warnings)
        if (w.find(words) != std::string::npos) return true;
    return false;
}

std::string attachmentData(const pst::AttachmentContent& a) {
    auto data = prop<pst::Bytes>(a.props, PR_ATTACH_DATA_BIN);
    return data ? bytesAsString(*data) : std::string("<absent>");
}

const std::string kPlain = "Subject: Hello\r\nTo: bob@example.org\r\n\r\nHi Bob\r\n";

TEST(ForgivingHeaders, JunkBeforeTheFirstHeaderIsSkipped) {
    for (const std::string& lead : {std::string("\r\n\r\n"), std::string("  "), std::string("\n \t\n"),
                                    std::string("\xEF\xBB\xBF"),
                                    std::string("From ann@example.org Mon Jan  1 10:00:00 2001\r\n")}) {
        SCOPED_TRACE(lead);
        auto result = parseText(lead + "From: Ann <ann@example.org>\r\n" + kPlain);
        EXPECT_EQ(text(result.message, PR_SENDER_EMAIL_ADDRESS_W), "ann@example.org");
        EXPECT_EQ(text(result.message, PR_SUBJECT_W), "Hello");
        EXPECT_EQ(text(result.message, PR_BODY_W), "Hi Bob\r\n");
        // Readers drop a stored header block that does not start with a header.
        EXPECT_EQ(text(result.message, PR_TRANSPORT_MESSAGE_HEADERS_W).rfind("From: Ann", 0), 0u);
    }
    EXPECT_TRUE(hasWarningWith(parseText("\r\nFrom: a@example.org\r\n" + kPlain), "before the first header"));
    EXPECT_TRUE(hasWarningWith(parseText("From a@example.org Mon Jan  1 10:00:00 2001\nFrom: a@example.org\n" + kPlain),
                               "mailbox separator"));
    EXPECT_TRUE(parseText("\xEF\xBB\xBF" "From: a@example.org\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n" + kPlain)
                    .warnings.empty());
}

TEST(ForgivingHeaders, ADamagedByteInAHeaderNameIsRepaired) {
    for (const std::string& name : {std::string("Fr om"), std::string("Fr\xE9m"), std::string("Fro\x7Fm"),
                                    std::string("Fr\x01om"), std::string("From\0", 5)}) {
        SCOPED_TRACE(name);
        auto result = parseText(name + ": Ann <ann@example.org>\r\n" + kPlain);
        EXPECT_EQ(text(result.message, PR_SENDER_EMAIL_ADDRESS_W), "ann@example.org");
        EXPECT_EQ(text(result.message, PR_SUBJECT_W), "Hello");
        EXPECT_TRUE(hasWarningWith(result, "was read as \"From\""));
    }
    auto subject = parseText("From: a@example.org\r\nSub\x02ject: Kept\r\n\r\nx");
    EXPECT_EQ(text(subject.message, PR_SUBJECT_W), "Kept");
    // The stored header block keeps the bytes as they came.
    EXPECT_NE(text(subject.message, PR_TRANSPORT_MESSAGE_HEADERS_W).find("Sub\x02ject"), std::string::npos);
}

TEST(ForgivingHeaders, ADroppedRepeatedHeaderIsNamed) {
    auto result = parseText("From: a@example.org\r\nSubject: First\r\nSubject: Second\r\n\r\nx");
    EXPECT_EQ(text(result.message, PR_SUBJECT_W), "First");
    EXPECT_TRUE(hasWarningWith(result, "more than one Subject header"));
    EXPECT_TRUE(parseText("From: a@example.org\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\nSubject: Same\r\n"
                          "Subject: Same\r\n\r\nx")
                    .warnings.empty());
}

TEST(ForgivingHeaders, AnAddressWithoutAngleBracketsKeepsItsSender) {
    auto result = parseText("From: Big Bug bb@bug.com\r\n" + kPlain);
    EXPECT_EQ(text(result.message, PR_SENDER_EMAIL_ADDRESS_W), "bb@bug.com");
    EXPECT_EQ(text(result.message, PR_SENDER_NAME_W), "Big Bug");
    EXPECT_TRUE(hasWarningWith(result, "angle brackets"));
    auto list = parseText("From: a@example.org\r\nTo: \"Ann, Lee\" ann@example.org, Bob <bob@example.org>, "
                          "cy@example.org\r\n\r\nx");
    ASSERT_EQ(list.message.recipients.size(), 3u);
    EXPECT_EQ(text(list.message.recipients[0], PR_DISPLAY_NAME_W), "Ann, Lee");
    EXPECT_EQ(text(list.message.recipients[0], PR_EMAIL_ADDRESS_W), "ann@example.org");
    EXPECT_EQ(text(list.message.recipients[1], PR_EMAIL_ADDRESS_W), "bob@example.org");
    EXPECT_EQ(text(list.message.recipients[2], PR_EMAIL_ADDRESS_W), "cy@example.org");
    // Well-formed lists are left to the address parser.
    EXPECT_TRUE(parseText("From: a@example.org\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n"
                          "To: Bob <bob@example.org>, \"x@y\" <c@d.org>\r\n\r\nx")
                    .warnings.empty());
}

TEST(Acceptance, AHeaderBlockOfOnlyContentFieldsIsAMessage) {
    auto result = parseText("Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\nCaf\xC3\xA9\r\n");
    EXPECT_EQ(text(result.message, PR_BODY_W), "Caf\u00e9\r\n");
    auto mixed = parseText("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nText\r\n"
                           "--b\r\nContent-Type: application/pdf; name=a.pdf\r\n\r\n%PDF\r\n--b--\r\n");
    EXPECT_EQ(text(mixed.message, PR_BODY_W), "Text");
    ASSERT_EQ(mixed.message.attachments.size(), 1u);
    EXPECT_EQ(text(mixed.message.attachments[0], PR_ATTACH_LONG_FILENAME_W), "a.pdf");
}

TEST(Acceptance, TextWithoutHeadersBecomesTheBody) {
    auto diary = parseCorpus("bad_headerless_text.eml");
    EXPECT_EQ(text(diary.message, PR_BODY_W).rfind("Dear diary,\r\n\r\ntoday I wrote", 0), 0u) << text(diary.message, PR_BODY_W);
    EXPECT_EQ(text(diary.message, PR_SUBJECT_W), "");
    EXPECT_TRUE(hasWarningWith(diary, "no message headers"));
    // A first line that looks like a header but names none a message has.
    auto note = parseText("Note: buy milk\nand bread\n\nthen go home\n");
    EXPECT_EQ(text(note.message, PR_BODY_W), "Note: buy milk\r\nand bread\r\n\r\nthen go home\r\n");
    auto latin = parseText("Gr\xFC\xDF" "e aus K\xF6ln\n");
    EXPECT_EQ(text(latin.message, PR_BODY_W), "Gr\u00fc\u00dfe aus K\u00f6ln\r\n");
}

TEST(Acceptance, OnlyEmptyOrBinaryFilesAreRefused) {
    for (const char* name : {"bad_empty.eml", "bad_garbage_8bit.eml"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(parseCorpus(name), ParseError);
    }
    try {
        parseCorpus("bad_garbage_8bit.eml");
    } catch (const ParseError& e) {
        EXPECT_NE(std::string(e.what()).find("binary"), std::string::npos) << e.what();
    }
    try {
        parseText(" \r\n");
    } catch (const ParseError& e) {
        EXPECT_NE(std::string(e.what()).find("empty"), std::string::npos) << e.what();
    }
}

std::string withAttachment(const std::string& encoding, const std::string& data, const std::string& ending = "\r\n--b--\r\n") {
    return "From: a@example.org\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\nSubject: File\r\n"
           "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
           "--b\r\nContent-Type: text/plain\r\n\r\nSee the file.\r\n"
           "--b\r\nContent-Type: application/octet-stream; name=f.bin\r\nContent-Transfer-Encoding: " + encoding +
           "\r\n\r\n" + data + ending;
}

TEST(TransferEncodings, Base64WithoutItsPaddingKeepsItsLastBytes) {
    auto one = parseText(withAttachment("base64", "aGVsbG8gd29ybGQ"));
    ASSERT_EQ(one.message.attachments.size(), 1u);
    EXPECT_EQ(attachmentData(one.message.attachments[0]), "hello world");
    auto two = parseText(withAttachment("base64", "aGVsbG8gd29ybA"));
    EXPECT_EQ(attachmentData(two.message.attachments[0]), "hello worl");
    auto padded = parseText(withAttachment("base64", "aGVsbG8gd29ybA=="));
    EXPECT_EQ(attachmentData(padded.message.attachments[0]), "hello worl");
    auto body = parseText("From: a@example.org\r\nContent-Transfer-Encoding: base64\r\n\r\naGVsbG8gd29ybGQ\r\n");
    EXPECT_EQ(text(body.message, PR_BODY_W), "hello world");
}

// Classic uuencoding of `data`: one length byte per line, blanks for zero.
std::string uuencode(const std::string& data, bool trimTrailingBlanks) {
    std::string out = "begin 644 f.bin\r\n";
    for (size_t at = 0; at < data.size(); at += 45) {
        std::string chunk = data.substr(at, 45);
        std::string line(1, static_cast<char>(0x20 + chunk.size()));
        for (size_t i = 0; i < chunk.size(); i += 3) {
            unsigned b[3] = {0, 0, 0};
            for (size_t k = 0; k < 3 && i + k < chunk.size(); ++k) b[k] = static_cast<unsigned char>(chunk[i + k]);
            unsigned v[4] = {b[0] >> 2u, ((b[0] & 3u) << 4) | (b[1] >> 4), ((b[1] & 15u) << 2) | (b[2] >> 6), b[2] & 63u};
            for (unsigned x : v) line.push_back(static_cast<char>(0x20 + x));
        }
        if (trimTrailingBlanks) line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\r\n";
    }
    return out + "`\r\nend\r\n";
}

TEST(TransferEncodings, DamagedBase64IsNamed) {
    auto cut = parseText(withAttachment("base64", "aGVsbG8gd29ybGQgA"));
    EXPECT_EQ(attachmentData(cut.message.attachments.at(0)), "hello world ");
    EXPECT_TRUE(hasWarningWith(cut, "base64 data of a part is damaged"));
    // Two base64 blocks one after the other: the decoder stops at the first end.
    auto joined = parseText(withAttachment("base64", "aGVsbG8=\r\nd29ybGQ="));
    EXPECT_TRUE(hasWarningWith(joined, "base64 data of a part is damaged"));
    EXPECT_TRUE(parseText(withAttachment("base64", "aGVsbG8gd29ybA==\r\n\r\n")).warnings.empty());
}

TEST(TransferEncodings, UuencodedLinesThatLostTheirTrailingBlanksDecodeWhole) {
    // Zero bytes at the end of a line encode as trailing blanks.
    std::string data;
    for (int i = 0; i < 500; ++i) data += (i % 45 >= 40) ? std::string(1, '\0') : std::string(1, static_cast<char>('A' + i % 26));
    for (bool trimmed : {false, true}) {
        SCOPED_TRACE(trimmed);
        auto result = parseText(withAttachment("x-uuencode", uuencode(data, trimmed)));
        ASSERT_EQ(result.message.attachments.size(), 1u);
        EXPECT_EQ(attachmentData(result.message.attachments[0]), data);
    }
}

TEST(TransferEncodings, AClosingBoundaryAtTheVeryEndAddsNothingToTheLastPart) {
    auto result = parseText(withAttachment("7bit", "abc", "\r\n--b--"));
    ASSERT_EQ(result.message.attachments.size(), 1u);
    EXPECT_EQ(attachmentData(result.message.attachments[0]), "abc");
    auto unix = parseText("From: a@example.org\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nT\n"
                          "--b\nContent-Type: application/octet-stream; name=f.bin\n\nabc\n--b--");
    EXPECT_EQ(attachmentData(unix.message.attachments.at(0)), "abc");
}

TEST(ContentTypes, TheFirstOfRepeatedContentTypesIsFollowed) {
    auto leaf = parseText("From: a@example.org\r\nContent-Type: text/plain\r\nContent-Type: text/html\r\n\r\n<b>x</b>\r\n");
    EXPECT_EQ(text(leaf.message, PR_BODY_W), "<b>x</b>\r\n");
    EXPECT_FALSE(leaf.message.find(PR_HTML));
    EXPECT_TRUE(hasWarningWith(leaf, "more than one Content-Type"));

    auto multipart = parseText("From: a@example.org\r\nContent-Type: multipart/alternative; boundary=XX\r\n"
                               "Content-Type: text/plain\r\n\r\n--XX\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
                               "--XX\r\nContent-Type: text/html\r\nContent-Type: text/plain\r\n\r\n<b>html</b>\r\n--XX--\r\n");
    EXPECT_EQ(text(multipart.message, PR_BODY_W), "plain");
    ASSERT_TRUE(multipart.message.find(PR_HTML));
    EXPECT_NE(bytesAsString(std::get<pst::Bytes>(*multipart.message.find(PR_HTML))).find("<b>html</b>"), std::string::npos);
    EXPECT_TRUE(multipart.message.attachments.empty());
    // The stored header block is the one that was sent.
    EXPECT_NE(text(multipart.message, PR_TRANSPORT_MESSAGE_HEADERS_W).find("\r\nContent-Type: text/plain"), std::string::npos);
}

TEST(ContentTypes, ATypeWithoutSubtypeKeepsTheBodyAndTheName) {
    auto body = parseText("From: a@example.org\r\nContent-Type: text; charset=iso-8859-1\r\n\r\nCaf\xE9\r\n");
    EXPECT_EQ(text(body.message, PR_BODY_W), "Caf\u00e9\r\n");
    EXPECT_TRUE(body.message.attachments.empty());
    EXPECT_TRUE(hasWarningWith(body, "no subtype"));
    auto file = parseText(withAttachment("7bit", "data").replace(
        withAttachment("7bit", "data").find("application/octet-stream"), 24, "application"));
    ASSERT_EQ(file.message.attachments.size(), 1u);
    EXPECT_EQ(text(file.message.attachments[0], PR_ATTACH_LONG_FILENAME_W), "f.bin");
}

TEST(Structure, TextThatWouldBeLostIsShown) {
    // A multipart whose boundary never comes: its content is the text.
    auto partless = parseText("From: a@example.org\r\nContent-Type: multipart/mixed; boundary=NEVER\r\n\r\n"
                              "Hi there,\r\n--OTHER\r\nstill text\r\n");
    EXPECT_EQ(text(partless.message, PR_BODY_W), "Hi there,\r\n--OTHER\r\nstill text\r\n");
    EXPECT_TRUE(hasWarningWith(partless, "boundary never comes"));
    // Headers that end without their blank line: the next line starts the body.
    auto unseparated = parseText("From: a@example.org\nSubject: s\ncounter to the rules, no blank line\nmore\n");
    EXPECT_EQ(text(unseparated.message, PR_SUBJECT_W), "s");
    EXPECT_EQ(text(unseparated.message, PR_BODY_W), "counter to the rules, no blank line\r\nmore\r\n");
    EXPECT_TRUE(hasWarningWith(unseparated, "blank line"));
    // A broken line among headers that go on is skipped; the stored header block keeps it.
    auto skipped = parseText("From: a@example.org\nbroken line\nSubject: s\n\nbody\n");
    EXPECT_EQ(text(skipped.message, PR_SUBJECT_W), "s");
    EXPECT_EQ(text(skipped.message, PR_BODY_W), "body\r\n");
}

TEST(Structure, ANamedInlineTextPartIsTheBody) {
    auto result = parseText("From: a@example.org\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                            "--b\r\nContent-Type: text/plain\r\nContent-Disposition: inline; filename=msg.txt\r\n\r\none\r\n"
                            "--b\r\nContent-Type: text/plain; name=msg.txt\r\n\r\ntwo\r\n--b--\r\n");
    EXPECT_EQ(text(result.message, PR_BODY_W), "one");
    ASSERT_EQ(result.message.attachments.size(), 1u);
    EXPECT_EQ(text(result.message.attachments[0], PR_ATTACH_LONG_FILENAME_W), "msg.txt");
}

TEST(Charsets, Iso2022JpReadsTheWindowsExtensionCharacters) {
    // "No." sign, circled one (NEC row 13), hiragana A, half-width katakana A.
    auto result = parseText("From: a@example.org\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n"
                            "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n"
                            "\x1B$B-b-!$\"\x1B(B and \x1B(I1\x1B(B\r\n");
    EXPECT_EQ(text(result.message, PR_BODY_W), "\u2116\u2460\u3042 and \uff71\r\n");
    EXPECT_TRUE(result.warnings.empty());
    // The same in an encoded word of the subject, split over two words.
    auto subject = parseText("From: a@example.org\r\nSubject: =?ISO-2022-JP?B?GyRCLWItIRsoQg==?=\r\n"
                             " =?iso-2022-jp?B?GyRCJCIbKEI=?= x\r\n\r\nbody\r\n");
    EXPECT_EQ(text(subject.message, PR_SUBJECT_W), "\u2116\u2460\u3042 x");
}

}  // namespace
}  // namespace eml::test
