// The building blocks whose results the corpus does not pin down fully:
// subject prefixes, 8.3 names, entry ids, HTML to text, charsets, split
// encoded words.

#include <gtest/gtest.h>

#include "eml/addresses.h"
#include "eml/attachments.h"
#include "eml/charset.h"
#include "eml/dates.h"
#include "eml/encoded_words.h"
#include "eml/envelope.h"
#include "eml/html_to_text.h"

namespace eml {
namespace {

// [MS-OXCMAIL] 2.2.3.2.6.1: one to three characters of any script, none a
// colon, blank or digit, then a colon and any blanks; the prefix is kept as
// the characters and ": ".
TEST(SubjectPrefix, OnlyShortPrefixesBeforeAColon) {
    struct Case { std::u16string subject, prefix, rest; };
    const Case cases[] = {
        {u"RE: hello", u"RE: ", u"hello"},
        {u"Fwd:  two spaces", u"Fwd: ", u"two spaces"},
        {u"AW:x", u"AW: ", u"x"},
        {u"回复: 会议", u"回复: ", u"会议"},
        {u"Отв: привет", u"Отв: ", u"привет"},
        {u"A1: digit", u"", u"A1: digit"},
        {u"R e: blank", u"", u"R e: blank"},
        {u"Re: Re: twice", u"Re: ", u"Re: twice"},
        {u"Ré: réponse", u"Ré: ", u"réponse"},
        {u"Über: four letters", u"", u"Über: four letters"},
        {u"Note: four letters", u"", u"Note: four letters"},
        {u"10:30 meeting", u"", u"10:30 meeting"},
        {u": colon first", u"", u": colon first"},
        {u"Re:", u"Re: ", u""},
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        auto parts = splitSubject(c.subject);
        EXPECT_EQ(parts.prefix, c.prefix) << utf16ToUtf8(c.subject);
        EXPECT_EQ(parts.normalized, c.rest) << utf16ToUtf8(c.subject);
    }
}

TEST(FileNames, ShortNamesFollowTheEightDotThreeRule) {
    EXPECT_EQ(shortFileName(u"report.pdf"), u"REPORT.PDF");
    EXPECT_EQ(shortFileName(u"a very long name.docx"), u"AVERYL~1.DOC");
    EXPECT_EQ(shortFileName(u"résumé.txt"), u"R_SUM_~1.TXT");
    EXPECT_EQ(shortFileName(u"noextension"), u"NOEXTE~1");
    EXPECT_EQ(shortFileName(u"archive.tar.gz"), u"ARCHIV~1.GZ");
    EXPECT_EQ(fileExtension(u"archive.tar.gz"), u".gz");
    EXPECT_EQ(fileExtension(u".hidden"), u"");
    EXPECT_EQ(safeFileName(u"..\\..\\evil/path/na:me?.txt "), u"na_me_.txt");
    EXPECT_EQ(madeUpFileName("image/jpeg", 3), u"ATT00003.jpg");
}

TEST(EntryIds, OneOffEntryIdLayout) {
    pst::Bytes id = oneOffEntryId({u"Bob", u"bob@x.org"});
    // flags, provider UID, version, flags, then three NUL-ended UTF-16 strings
    ASSERT_EQ(id.size(), 4u + 16 + 2 + 2 + (4 + 5 + 10) * 2);
    EXPECT_EQ(id[4], 0x81);
    EXPECT_EQ(id[19], 0x02);
    EXPECT_EQ(id[23], 0x90);  // MAPI_ONE_OFF_UNICODE in the high byte
    EXPECT_EQ(id[24], 'B');
    EXPECT_EQ(id[30], 0);
    EXPECT_EQ(id[31], 0);
    EXPECT_EQ(id[32], 'S');
    // A mailbox without a display name shows its address.
    pst::Bytes bare = oneOffEntryId({u"", u"bob@x.org"});
    EXPECT_EQ(bare[24], 'b');
}

TEST(EntryIds, FlatEntryListPadsEachEntryToFourBytes) {
    pst::Bytes list = flatEntryList({{u"A", u"a@b.c"}, {u"B", u"bb@c.d"}});
    uint32_t count = list[0] | list[1] << 8;
    uint32_t bytes = list[4] | list[5] << 8;
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(bytes + 8, list.size());
    uint32_t first = list[8] | list[9] << 8;
    size_t second = 8 + 4 + ((first + 3) & ~3u);
    uint32_t secondSize = list[second] | list[second + 1] << 8;
    EXPECT_EQ(secondSize, oneOffEntryId({u"B", u"bb@c.d"}).size());
    EXPECT_EQ(searchKey({u"", u"Mixed@Case.org"}), (pst::Bytes{'S', 'M', 'T', 'P', ':', 'M', 'I', 'X', 'E', 'D', '@', 'C',
                                                             'A', 'S', 'E', '.', 'O', 'R', 'G', 0}));
}

TEST(HtmlToText, BlocksEntitiesAndWhiteSpace) {
    EXPECT_EQ(htmlToText(u"<p>one   two\n three</p><p>four</p>"), u"one two three\r\n\r\nfour");
    EXPECT_EQ(htmlToText(u"a<br>b<br/>c"), u"a\r\nb\r\nc");
    EXPECT_EQ(htmlToText(u"<pre>  keep\n   this</pre>after"), u"  keep\r\n   this\r\nafter");
    EXPECT_EQ(htmlToText(u"&lt;&gt;&amp;&quot;&#65;&#x42;&euro;&unknown; &amp"), u"<>&\"AB€&unknown; &amp");
    EXPECT_EQ(htmlToText(u"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>"), u"a\tb\r\nc");
    EXPECT_EQ(htmlToText(u"x<script>if (a<b) {}</script>y<style>p{}</style>z"), u"xyz");
    EXPECT_EQ(htmlToText(u"<img src=\"cid:1\" alt=\"Logo &amp; Co\">"), u"[Logo & Co]");
    EXPECT_EQ(htmlToText(u"1 < 2 and <a href='x>y'>link</a>"), u"1 < 2 and link");
    EXPECT_EQ(htmlToText(u"<!-- <p>hidden</p> -->shown"), u"shown");
    EXPECT_EQ(htmlToText(u"&#0;&#xD800;&#99999999;"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(htmlToText(u"<p unterminated"), u"");
}

TEST(Charset, DecodesDeclaredAndGuessesUndeclared) {
    Warnings w;
    EXPECT_EQ(decodeText("caf\xe9", "ISO-8859-1", w).text, u"café");
    EXPECT_EQ(decodeText("caf\xe9", "latin1", w).text, u"café");
    EXPECT_EQ(decodeText("\x80\x81", "windows-1252", w).text, u"€\u0081");  // undefined bytes kept
    EXPECT_TRUE(w.items().empty());
    // A guessed charset is named.
    EXPECT_EQ(decodeText("caf\xc3\xa9", "", w).text, u"café");               // undeclared UTF-8
    ASSERT_EQ(w.items().size(), 1u);
    EXPECT_NE(w.items()[0].find("read as UTF-8"), std::string::npos) << w.items()[0];
    EXPECT_EQ(decodeText("caf\xe9", "us-ascii", w).text, u"café");           // mislabelled 8-bit
    ASSERT_EQ(w.items().size(), 2u);
    EXPECT_NE(w.items()[1].find("windows-1252"), std::string::npos) << w.items()[1];
    w = Warnings();

    DecodedText bad = decodeText("a\xff" "b", "utf-8", w);
    EXPECT_EQ(bad.text, u"a\uFFFDb");
    EXPECT_FALSE(bad.exact);

    DecodedText sjisCut = decodeText("\x82", "shift_jis", w);  // half a character at the end
    EXPECT_EQ(sjisCut.text, u"\uFFFD");
    DecodedText jis = decodeText("\x1b$B$3$s\x1b(B!", "iso-2022-jp", w);
    EXPECT_EQ(jis.text, u"こん!");
}

TEST(Charset, Utf8ConversionRoundTripsAndRejectsOverlongForms) {
    std::u16string text = u"a\u00e9\u20ac\U0001F600";
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));
    EXPECT_EQ(utf8ToUtf16("\xc0\xaf!"), u"\uFFFD!");
    EXPECT_EQ(utf8ToUtf16("\xf0\x9f\x98"), u"\uFFFD");
}

TEST(Charset, WindowsCodePages) {
    EXPECT_EQ(windowsCodePage("UTF-8"), 65001);
    EXPECT_EQ(windowsCodePage("iso-8859-15"), 28605);
    EXPECT_EQ(windowsCodePage("Shift_JIS"), 932);
    EXPECT_EQ(windowsCodePage("koi8-r"), 20866);
    EXPECT_EQ(windowsCodePage("x-unheard-of"), std::nullopt);
}

TEST(EncodedWords, SplitBase64WordsAreJoined) {
    EXPECT_EQ(joinSplitBase64Words("=?utf-8?B?VGhpcyBpcyA=?=\r\n =?UTF-8?b?c3BsaXQ=?= tail"),
              "=?utf-8?B?VGhpcyBpcyBzcGxpdA==?= tail");
    // A character split between two words comes back whole.
    EXPECT_EQ(joinSplitBase64Words("=?utf-8?B?4pw=?= =?utf-8?B?kw==?="), "=?utf-8?B?4pyT?=");
    // Other charsets, Q words and text between words stop a run.
    std::string mixed = "=?utf-8?B?YQ==?= =?iso-8859-1?B?Yg==?= x =?utf-8?B?Yw==?= =?utf-8?Q?d?=";
    EXPECT_EQ(joinSplitBase64Words(mixed), mixed);
}

TEST(Dates, CommonFormsAndNonsense) {
    auto seconds = [](std::string_view s) -> std::optional<int64_t> {
        auto t = parseMailDate(s);
        if (!t) return std::nullopt;
        return static_cast<int64_t>(t->value / 10000000ULL) - 11644473600LL;
    };
    EXPECT_EQ(seconds("Tue, 1 Dec 2026 11:00:00 +0100"), 1796119200);
    EXPECT_EQ(seconds("1 Dec 2026 10:00:00 GMT"), 1796119200);
    EXPECT_EQ(seconds("Tue, 01 Dec 2026 05:00:00 -0500 (EST)"), 1796119200);
    EXPECT_EQ(seconds("sometime next week"), std::nullopt);
    EXPECT_EQ(seconds(""), std::nullopt);
}

}  // namespace
}  // namespace eml
