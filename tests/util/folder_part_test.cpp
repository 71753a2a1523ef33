#include "util/path_helpers.h"

#include <gtest/gtest.h>

using quillmere::GetFolderPart;

TEST(GetFolderPart, KeepsEverythingUpToTheLastBackslash)
{
    EXPECT_EQ(GetFolderPart(u"C:\\Mail\\Inbox\\a.eml"), u"C:\\Mail\\Inbox\\");
    EXPECT_EQ(GetFolderPart(u"Inbox\\a.eml"), u"Inbox\\");
    EXPECT_EQ(GetFolderPart(u"\\a.eml"), u"\\");
}

TEST(GetFolderPart, NoBackslashGivesEmpty)
{
    EXPECT_EQ(GetFolderPart(u"a.eml"), u"");
    EXPECT_EQ(GetFolderPart(u"C:/Mail/a.eml"), u"") << "a forward slash is an ordinary character";
    EXPECT_EQ(GetFolderPart(u""), u"");
}

TEST(GetFolderPart, TrailingBackslashReturnsPathWhole)
{
    EXPECT_EQ(GetFolderPart(u"C:\\Mail\\"), u"C:\\Mail\\");
    EXPECT_EQ(GetFolderPart(u"\\"), u"\\");
}
