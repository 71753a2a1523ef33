// Messages in many charsets arrive as the same UTF-16 text.

#include "eml_test_support.h"

namespace eml::test {
namespace {

using namespace pst::tags;

struct CharsetCase {
    const char* file;
    const char* subject;
    const char* bodyStart;
    int32_t codePage;
};

class CharsetCorpus : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(CharsetCorpus, SubjectAndBodyAreDecoded) {
    const auto& c = GetParam();
    auto result = parseCorpus(c.file);
    EXPECT_EQ(text(result.message, PR_SUBJECT_W), c.subject);
    EXPECT_EQ(text(result.message, PR_BODY_W).rfind(c.bodyStart, 0), 0u) << text(result.message, PR_BODY_W);
    EXPECT_EQ(integer(result.message, PR_INTERNET_CPID), c.codePage);
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, CharsetCorpus,
    ::testing::Values(
        CharsetCase{"iso-8859-1.eml", "Gr\u00fc\u00dfe aus K\u00f6ln", "Gr\u00fc\u00dfe aus K\u00f6ln, sch\u00f6n hier.", 28591},
        CharsetCase{"windows-1252.eml", "\u201cQuotes\u201d \u2013 \u20ac", "He said \u201chello\u201d \u2013 it cost \u20ac5\u2026", 1252},
        // The subject is raw KOI8-R: only the body's charset says how to read it.
        CharsetCase{"koi8-r.eml", "\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440",
                    "\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440! \u041a\u0430\u043a \u0434\u0435\u043b\u0430?", 20866},
        CharsetCase{"shift_jis.eml", "\u4f1a\u8b70\u306e\u8cc7\u6599", "\u660e\u65e5\u306e\u4f1a\u8b70\u306e\u8cc7\u6599\u3067\u3059\u3002", 65001},  // has HTML, kept as UTF-8
        CharsetCase{"gb2312.eml", "\u4f60\u597d\u4e16\u754c", "\u4f60\u597d\uff0c\u4e16\u754c\u3002", 936},
        CharsetCase{"utf-8.eml", "\u00dcn\u00efc\u00f6d\u00e9 \u2713 \U0001F600", "Emoji \U0001F600, Greek \u03b1\u03b2\u03b3", 65001}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (auto& ch : name) if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST(Charsets, HtmlIsStoredAsUtf8AndDeclaredSo) {
    auto m = parseCorpus("shift_jis.eml").message;
    auto html = bytesAsString(*prop<pst::Bytes>(m.props, PR_HTML));
    EXPECT_NE(html.find("\xe6\x98\x8e\xe6\x97\xa5"), std::string::npos);  // "明日" in UTF-8
    EXPECT_EQ(integer(m, PR_INTERNET_CPID), 65001);

    std::string declared = "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; CHARSET=iso-8859-1\">"
                           "<meta charset='iso-8859-1'/></head><body>caf\xe9</body></html>";
    auto d = parseText("From: a@example.org\r\nContent-Type: text/html; charset=iso-8859-1\r\n\r\n" + declared).message;
    EXPECT_EQ(bytesAsString(*prop<pst::Bytes>(d.props, PR_HTML)),
              "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; CHARSET=utf-8\">"
              "<meta charset='utf-8'/></head><body>caf\xc3\xa9</body></html>");
}

TEST(Charsets, UnknownCharsetIsReadAsUtf8WhenValidAndWarns) {
    auto result = parseCorpus("bad_unknown_charset.eml");
    EXPECT_EQ(text(result.message, PR_BODY_W), "Gr\u00fc\u00dfe from a charset nobody knows\r\n");
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("x-no-such-charset"), std::string::npos);
}

TEST(Charsets, HtmlInACharsetWithoutCodePageIsStoredAsUtf8) {
    // Windows has no code page for x-mac-cyrillic's GMime name; the HTML is
    // rewritten so that Outlook can read it.
    std::string html = "<p>\x8f\xf0\xe8\xe2\xe5\xf2</p>";  // "Привет" in MacCyrillic
    auto m = parseText("From: a@example.org\r\nContent-Type: text/html; charset=maccyrillic\r\n\r\n" + html).message;
    EXPECT_EQ(bytesAsString(*prop<pst::Bytes>(m.props, PR_HTML)),
              "<p>\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82</p>");
    EXPECT_EQ(integer(m, PR_INTERNET_CPID), 65001);
    EXPECT_EQ(text(m, PR_BODY_W), "\u041f\u0440\u0438\u0432\u0435\u0442");
}

TEST(Charsets, HtmlWithoutCharsetParameterUsesItsMetaTag) {
    std::string html = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-2\"></head>"
                       "<body>\xb1\xe6</body></html>";  // "ąć"
    auto m = parseText("From: a@example.org\r\nContent-Type: text/html\r\n\r\n" + html).message;
    EXPECT_EQ(text(m, PR_BODY_W), "\u0105\u0107");
    EXPECT_NE(bytesAsString(*prop<pst::Bytes>(m.props, PR_HTML)).find("charset=utf-8"), std::string::npos);
}

TEST(Charsets, Raw8BitUtf8HeadersNeedNoDeclaration) {
    auto m = parseText("From: \"J\xc3\xb6rg\" <j@example.org>\r\nSubject: Gr\xc3\xbc\xc3\x9f" "e\r\n\r\nhi").message;
    EXPECT_EQ(text(m, PR_SUBJECT_W), "Gr\u00fc\u00dfe");
    EXPECT_EQ(text(m, PR_SENDER_NAME_W), "J\u00f6rg");
}

}  // namespace
}  // namespace eml::test
