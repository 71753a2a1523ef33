// The one case-insensitive comparison of names, trimming, and which walked
// paths are message files.

#include <gtest/gtest.h>

#include "util/path_helpers.h"
#include "util/text.h"

using namespace quillmere;

TEST(FoldCase, PairsEveryCapitalWithItsSmallLetterInTheLatinGreekAndCyrillicBlocks)
{
    // Every pair the scripts define, from both sides; the listing is the
    // Unicode data's own (simple upper-case mapping).
    const std::pair<char16_t, char16_t> pairs[] = {
        {u'A', u'a'}, {u'Z', u'z'}, {0xC0, 0xE0}, {0xDE, 0xFE}, {0x178, 0xFF},
        {0x100, 0x101}, {0x136, 0x137}, {0x139, 0x13A}, {0x147, 0x148}, {0x14A, 0x14B},
        {0x176, 0x177}, {0x179, 0x17A}, {0x17D, 0x17E}, {u'I', 0x131}, {u'S', 0x17F},
        {0x391, 0x3B1}, {0x3A9, 0x3C9}, {0x3A3, 0x3C2}, {0x386, 0x3AC}, {0x38F, 0x3CE},
        {0x410, 0x430}, {0x42F, 0x44F}, {0x400, 0x450}, {0x40F, 0x45F}, {0x39C, 0xB5}};
    for (auto [capital, small] : pairs) {
        EXPECT_TRUE(equalsIgnoringCase(std::u16string(1, capital), std::u16string(1, small)))
            << std::hex << int(capital) << " " << int(small);
        EXPECT_EQ(foldCase(capital), foldCase(small)) << std::hex << int(capital);
    }
}

TEST(FoldCase, KeepsLettersApartThatOnlyNeighbourEachOther)
{
    // Neighbours in the tables whose pairing runs the other way round.
    const std::pair<char16_t, char16_t> apart[] = {
        {0x13A, 0x13B}, {0x148, 0x149}, {0x137, 0x138}, {0x177, 0x178}, {0x17E, 0x17F},
        {0x130, u'i'}, {0x130, 0x131}, {0xD7, 0xF7}, {0xDF, u's'}, {0x3A2, 0x3C2}};
    for (auto [a, b] : apart)
        EXPECT_FALSE(equalsIgnoringCase(std::u16string(1, a), std::u16string(1, b)))
            << std::hex << int(a) << " " << int(b);
    EXPECT_FALSE(equalsIgnoringCase(u"ab", u"abc"));
    EXPECT_TRUE(equalsIgnoringCase(u"\u0141\u00F3d\u017A", u"\u0142\u00D3D\u0179"));
    EXPECT_EQ(foldCase(u"\u4E2D\u6587 \U0001F600"), u"\u4E2D\u6587 \U0001F600") << "other scripts as they are";
}

TEST(TrimSpaces, StripsSpacesOnlyFromBothEnds)
{
    EXPECT_EQ(trimSpaces(u"  a b  "), u"a b");
    EXPECT_EQ(trimSpaces(u"   "), u"");
    EXPECT_EQ(trimSpaces(u""), u"");
    EXPECT_EQ(trimSpaces(u"\ta\t"), u"\ta\t");
}

TEST(MessageFilePath, EndsInEmlInAnyCaseAfterStrippingSpaces)
{
    for (const char16_t* yes : {u"/m/a.eml", u"/m/A.EML", u"/m/b.EmL", u"/m/c.eml  ", u" .eml", u"/m/x.tar.eml"})
        EXPECT_TRUE(IsMessageFilePath(yes));
    for (const char16_t* no : {u"/m/a.emlx", u"/m/a.eml.bak", u"/m/eml", u"/m/a.txt", u"", u"eml", u"/m/a_eml",
                               u"/m/a.eml\t", u"/m/a.eml\n", u"/m/a.\u0130ml"})
        EXPECT_FALSE(IsMessageFilePath(no));
}
