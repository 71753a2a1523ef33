// Files that are broken in some way: each gives the best item a mail client
// would show, or a clear error for that one file.

#include "eml_test_support.h"

#include <chrono>
#include <fstream>

namespace eml::test {
namespace {

using namespace pst::tags;

bool hasWarningWith(const ParseResult& result, const std::string& word) {
    for (const auto& w : result.warnings)
        if (w.find(word) != std::string::npos) return true;
    return false;
}

TEST(BadInput, FilesThatAreNoMessageGiveAClearError) {
    for (const char* name : {"bad_empty.eml", "bad_garbage_8bit.eml"}) {
        SCOPED_TRACE(name);
        try {
            parseCorpus(name);
            ADD_FAILURE() << "no error";
        } catch (const ParseError& e) {
            EXPECT_FALSE(std::string(e.what()).empty());
        }
    }
    EXPECT_THROW(parseText("\r\n \r\n\t"), ParseError);
    EXPECT_THROW(parseFile(corpusDir() / "no-such-file.eml"), ParseError);
    try {
        parseFile(corpusDir());
        ADD_FAILURE() << "a folder parsed";
    } catch (const ParseError& e) {
        EXPECT_NE(std::string(e.what()).find("folder"), std::string::npos) << e.what();
    }
}

TEST(BadInput, TruncatedMessageKeepsWhatArrived) {
    auto result = parseCorpus("bad_truncated.eml");
    EXPECT_EQ(text(result.message, PR_SUBJECT_W), "Files");
    EXPECT_EQ(text(result.message, PR_BODY_W), "Four files attached.\r\n");
    ASSERT_EQ(result.message.attachments.size(), 1u);
    auto data = *prop<pst::Bytes>(result.message.attachments[0].props, PR_ATTACH_DATA_BIN);
    EXPECT_EQ(bytesAsString(data).rfind("%PDF-1.4", 0), 0u);
    EXPECT_TRUE(hasWarningWith(result, "truncated"));
}

TEST(BadInput, MultipartWithoutClosingBoundaryKeepsEveryPart) {
    auto result = parseCorpus("bad_unclosed_multipart.eml");
    EXPECT_EQ(text(result.message, PR_BODY_W), "The text before the file.\r\n");
    ASSERT_EQ(result.message.attachments.size(), 1u);
    EXPECT_EQ(text(result.message.attachments[0], PR_ATTACH_LONG_FILENAME_W), "data.bin");
    EXPECT_EQ(prop<pst::Bytes>(result.message.attachments[0].props, PR_ATTACH_DATA_BIN)->size(), 100u);
    EXPECT_FALSE(result.warnings.empty());
}

TEST(BadInput, BrokenTransferEncodingsDecodeWhatCanBeRead) {
    auto base64 = parseCorpus("bad_broken_base64.eml").message;
    EXPECT_EQ(text(base64, PR_BODY_W).rfind("Hello wor", 0), 0u);
    ASSERT_EQ(base64.attachments.size(), 1u);
    auto data = *prop<pst::Bytes>(base64.attachments[0].props, PR_ATTACH_DATA_BIN);
    EXPECT_EQ(bytesAsString(data).substr(0, 4), std::string("\x00\x01\x02\x03", 4));

    auto qp = parseCorpus("bad_broken_qp.eml").message;
    EXPECT_EQ(text(qp, PR_BODY_W).rfind("Caf\u00e9 =ZZ and =4 and a soft break", 0), 0u) << text(qp, PR_BODY_W);
}

TEST(BadInput, NulBytesAreDropped) {
    auto m = parseCorpus("bad_nul_bytes.eml").message;
    EXPECT_EQ(text(m, PR_SUBJECT_W), "Nulbytes");
    EXPECT_EQ(text(m, PR_BODY_W), "Beforeafter the nuls.\r\n");
}

TEST(BadInput, EveryLineEndOfATextBodyBecomesCrlf) {
    // Bare LF, bare CR, CR LF and CR CR LF, a NUL beside a line end, and text
    // ending in each of them, in an 8-bit part GMime passes through as it is.
    using namespace std::string_literals;
    auto m = parseText("From: a@example.org\r\nContent-Type: text/plain; charset=utf-8\r\n"
                       "Content-Transfer-Encoding: 8bit\r\n\r\n"
                       "one\ntwo\rthree\r\nfour\r\r\nfive\0\nsix\n\0\u00e9\r"s)
                 .message;
    EXPECT_EQ(text(m, PR_BODY_W), "one\r\ntwo\r\nthree\r\nfour\r\n\r\nfive\r\nsix\r\n\u00e9\r\n");
}

TEST(BadInput, MegabyteHeaderLineIsReadWhole) {
    std::string longValue(1 << 20, 'x');
    for (size_t i = 100; i < longValue.size(); i += 997) longValue[i] = ' ';
    auto result = parseText("From: a@example.org\r\nX-Long: " + longValue + "\r\nSubject: " + longValue.substr(0, 300000) +
                            "\r\n\r\nbody\r\n");
    EXPECT_EQ(text(result.message, PR_SUBJECT_W).size(), 300000u);
    // Prefix and normalized subject stay under 254 characters ([MS-OXCMSG]),
    // and so does the conversation topic taken from them.
    EXPECT_EQ(text(result.message, PR_NORMALIZED_SUBJECT_W), longValue.substr(0, 253));
    EXPECT_EQ(text(result.message, PR_CONVERSATION_TOPIC_W), longValue.substr(0, 253));
    EXPECT_EQ(text(result.message, PR_BODY_W), "body\r\n");
    EXPECT_GT(text(result.message, PR_TRANSPORT_MESSAGE_HEADERS_W).size(), size_t(1 << 20));
}

TEST(BadInput, PathologicalHeaderTextStaysLinear) {
    // A megabyte of encoded-word openers and addresses must neither hang nor crash.
    std::string openers;
    for (int i = 0; i < 100000; ++i) openers += "=?utf-8?B?";
    std::string commas(1 << 20, ',');
    auto result = parseText("From: a@example.org\r\nSubject: " + openers + "\r\nTo: " + commas + "\r\n\r\nx");
    EXPECT_EQ(text(result.message, PR_BODY_W), "x");
}

TEST(BadInput, ManyBrokenHeaderLinesStayLinear) {
    std::string broken;
    for (int i = 0; i < 200000; ++i) broken += "x\r\n";
    auto result = parseText("From: a@example.org\r\n" + broken + "Subject: s\r\n\r\nbody\r\n");
    EXPECT_EQ(text(result.message, PR_SUBJECT_W), "s");
    EXPECT_EQ(text(result.message, PR_BODY_W), "body\r\n");
}

TEST(BadInput, DeeplyNestedMultipartsAreCutOffNotFollowed) {
    std::string message = "From: a@example.org\r\nContent-Type: multipart/mixed; boundary=b0\r\n\r\n";
    const int depth = 2000;
    for (int i = 1; i < depth; ++i)
        message += "--b" + std::to_string(i - 1) + "\r\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n";
    message += "--b" + std::to_string(depth - 1) + "\r\nContent-Type: text/plain\r\n\r\ndeep\r\n";
    auto result = parseText(message);
    EXPECT_FALSE(result.warnings.empty());
}

TEST(BadInput, EveryPrefixOfACorpusMessageParsesOrFailsCleanly) {
    std::ifstream in(corpusDir() / "related_inline.eml", std::ios::binary);
    std::string full((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(full.empty());
    for (size_t cut = 0; cut < full.size(); cut += 37) {
        try {
            parseText(full.substr(0, cut));
        } catch (const ParseError&) {
        }
    }
}

}  // namespace
}  // namespace eml::test
