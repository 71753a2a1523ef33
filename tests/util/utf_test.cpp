#include "util/utf.h"

#include <gtest/gtest.h>

#include <vector>

using quillmere::appendUtf16Le;
using quillmere::fromUtf16Le;
using quillmere::toUtf16;
using quillmere::toUtf8;
using quillmere::withoutUnpairedSurrogates;

TEST(Utf, ConvertsEveryEncodedLength)
{
    const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xA7";  // A, e-acute, euro, e-mail emoji
    const std::u16string utf16 = u"A\u00E9\u20AC\U0001F4E7";
    EXPECT_EQ(toUtf16(utf8), utf16);
    EXPECT_EQ(toUtf8(utf16), utf8);
    EXPECT_EQ(toUtf16(""), u"");
    EXPECT_EQ(toUtf8(u""), "");
    EXPECT_EQ(toUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Utf, InvalidBytesRoundTripThroughEscapes)
{
    const std::string inputs[] = {
        "\xFF",                  // never valid
        "caf\xE9",               // Latin-1, not UTF-8
        "\xC0\xAF",              // overlong "/"
        "\xED\xA0\x80",          // encoded surrogate
        "\xF4\x90\x80\x80",      // above U+10FFFF
        "\xE2\x82",              // truncated sequence
        "\xE2\x82x",             // broken continuation
    };
    for (const auto& bytes : inputs) {
        const auto text = toUtf16(bytes);
        EXPECT_EQ(toUtf8(text), bytes);
        for (char16_t c : text)
            EXPECT_NE(c, u'/') << "an invalid sequence never turns into a separator";
    }
    EXPECT_EQ(toUtf16("caf\xE9"), u"caf\xDCE9");
}

TEST(Utf, UnpairedSurrogatesAreReplacedForDisplayAndStore)
{
    EXPECT_EQ(toUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xDC10))), "\xEF\xBF\xBD") << "below the escaped-byte range";
    EXPECT_EQ(withoutUnpairedSurrogates(u"a\xDCE9" u"b\U0001F4E7"), u"a\uFFFDb\U0001F4E7");
    EXPECT_EQ(withoutUnpairedSurrogates(std::u16string(1, char16_t(0xD83D))), u"\uFFFD");
}

TEST(Utf, LittleEndianBytesBecomeTextWithPairsKeptAndAnOddByteDropped)
{
    const std::vector<uint8_t> bytes = {'A', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0x41};
    EXPECT_EQ(fromUtf16Le(bytes), u"A\u00E9\U0001F600");
    EXPECT_EQ(fromUtf16Le({}), u"");
    EXPECT_EQ(toUtf8(fromUtf16Le(bytes)), "A\xC3\xA9\xF0\x9F\x98\x80");

    std::string back = "kept";
    appendUtf16Le(u"A\u00E9\U0001F600", back);
    EXPECT_EQ(back, std::string("kept") + std::string(bytes.begin(), bytes.end() - 1)) << "appended after what was there";
}
