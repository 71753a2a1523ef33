#include "util/platform_path.h"

#include <gtest/gtest.h>

#include <algorithm>

using quillmere::EnsureTrailingSeparator;
using quillmere::FolderPathOf;

namespace {

std::u16string folderOf(const std::u16string& path) { return FolderPathOf(path).value_or(u"<none>"); }

}  // namespace

TEST(FolderPathOf, PlatformPathsGiveNamesJoinedByBackslash)
{
    EXPECT_EQ(folderOf(u"/home/ann/Mail/Inbox/a.eml"), u"home\\ann\\Mail\\Inbox");
    EXPECT_EQ(folderOf(u"/Mail/a.eml"), u"Mail");
    EXPECT_EQ(folderOf(u"/Mail/"), u"Mail");
    EXPECT_EQ(folderOf(u"  /Mail/Inbox/a.eml  "), u"Mail\\Inbox");
}

TEST(FolderPathOf, PlatformPathsSkipEmptyAndDotNames)
{
    EXPECT_EQ(folderOf(u"//home//ann/./Mail/a.eml"), u"home\\ann\\Mail");
}

TEST(FolderPathOf, PlatformPathsMayHoldColonsAndSpaces)
{
    EXPECT_EQ(folderOf(u"/home/ann/Re: news/ Old /a.eml"), u"home\\ann\\Re: news\\ Old ");
    EXPECT_EQ(folderOf(u"/C:/Mail/a.eml"), u"C:\\Mail");
}

TEST(FolderPathOf, BackslashInsideANameStaysOneFolder)
{
    const auto folder = folderOf(u"/home/a\\b/x.eml");
    EXPECT_EQ(folder, u"home\\a\uFF3Cb");
    EXPECT_NE(folder, folderOf(u"/home/a/b/x.eml"));
    EXPECT_EQ(std::count(folder.begin(), folder.end(), u'\\'), 1) << "two folders, not three";
    EXPECT_EQ(folderOf(u"/\\/x.eml"), u"\uFF3C");
}

TEST(FolderPathOf, FileInRootOrRelativePathHasNone)
{
    EXPECT_FALSE(FolderPathOf(u"/a.eml"));
    EXPECT_FALSE(FolderPathOf(u"/"));
    EXPECT_FALSE(FolderPathOf(u"//a.eml"));
    EXPECT_FALSE(FolderPathOf(u"/./a.eml"));
    EXPECT_FALSE(FolderPathOf(u"Mail/Inbox/a.eml"));
    EXPECT_FALSE(FolderPathOf(u"a.eml"));
    EXPECT_FALSE(FolderPathOf(u""));
    EXPECT_FALSE(FolderPathOf(u"   "));
}

TEST(FolderPathOf, DrivePathsGiveFolderBelowTheDriveRoot)
{
    EXPECT_EQ(folderOf(u"C:\\Users\\ann\\Mail\\Inbox\\a.eml"), u"Users\\ann\\Mail\\Inbox");
    EXPECT_EQ(folderOf(u"C:\\Mail\\a.eml"), u"Mail");
    EXPECT_EQ(folderOf(u"D:\\Mail\\b.eml"), u"Mail") << "the drive letter is dropped";
    EXPECT_EQ(folderOf(u"  C:\\Mail\\a.eml  "), u"Mail");
    EXPECT_EQ(folderOf(u"C:  \\Mail\\a.eml"), u"Mail") << "the piece after the colon is trimmed";
    EXPECT_EQ(folderOf(u"C:\\Mail\\"), u"Mail");
    EXPECT_EQ(folderOf(u"C:\\Mail\\Inbox\\a:b.eml"), u"Mail\\Inbox") << "only the text up to the next colon";
    EXPECT_EQ(folderOf(u"C:\\Mail/x\\a.eml"), u"Mail/x") << "a forward slash is part of a name here";
}

TEST(FolderPathOf, DrivePathsWithoutFolderHaveNone)
{
    EXPECT_FALSE(FolderPathOf(u"C:\\a.eml")) << "a file directly in a drive root";
    EXPECT_FALSE(FolderPathOf(u"C:"));
    EXPECT_FALSE(FolderPathOf(u"C:   "));
    EXPECT_FALSE(FolderPathOf(u"C:a.eml"));
    EXPECT_FALSE(FolderPathOf(u"C:\\\\a.eml"));
    EXPECT_FALSE(FolderPathOf(u"\\\\server\\share\\Mail\\a.eml")) << "a network path has no drive colon";
    EXPECT_FALSE(FolderPathOf(u"C:/Mail/a.eml"));
}

TEST(EnsureTrailingSeparator, AppendsOnlyWhenMissing)
{
    EXPECT_EQ(EnsureTrailingSeparator(u"/home/ann"), u"/home/ann/");
    EXPECT_EQ(EnsureTrailingSeparator(u"/home/ann/"), u"/home/ann/");
    EXPECT_EQ(EnsureTrailingSeparator(u"/"), u"/");
    EXPECT_EQ(EnsureTrailingSeparator(u""), u"/");
}

TEST(FileSystemPath, RoundTripsNamesThatAreNotUtf8)
{
    const std::filesystem::path odd(std::string("/tmp/caf\xE9/\xFF.eml"));
    const std::u16string text = quillmere::fromFileSystemPath(odd);
    EXPECT_EQ(quillmere::toFileSystemPath(text), odd);
    const std::filesystem::path utf8(std::string("/tmp/caf\xC3\xA9/m.eml"));
    EXPECT_EQ(quillmere::fromFileSystemPath(utf8), u"/tmp/caf\u00E9/m.eml");
}
