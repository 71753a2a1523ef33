#include "selection/std_file_system.h"
#include "temp_tree.h"
#include "unprivileged.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <set>

using namespace quillmere;

namespace {

std::set<std::u16string> asSet(const std::vector<std::u16string>& values) { return {values.begin(), values.end()}; }

}  // namespace

TEST(StdFileSystem, ListsDirectChildrenSplitIntoFoldersAndFiles)
{
    TempTree tree;
    tree.file("one.eml");
    tree.file(".hidden.eml");
    tree.file("Inbox/deeper.eml");
    tree.folder(".Hidden Folder");
    StdFileSystem fs;
    auto folder = fs.getFolder(tree.rootText());
    EXPECT_EQ(asSet(folder->subFolderNames()), (std::set<std::u16string>{u"Inbox", u".Hidden Folder"}));
    EXPECT_EQ(asSet(folder->fileNames()), (std::set<std::u16string>{u"one.eml", u".hidden.eml"}));
}

TEST(StdFileSystem, FolderExistsOnlyForFolders)
{
    TempTree tree;
    tree.file("a.eml");
    StdFileSystem fs;
    EXPECT_TRUE(fs.folderExists(tree.rootText()));
    EXPECT_TRUE(fs.folderExists(tree.rootEntry()));
    EXPECT_FALSE(fs.folderExists(tree.rootText() + u"/a.eml"));
    EXPECT_FALSE(fs.folderExists(tree.rootText() + u"/missing"));
    EXPECT_FALSE(fs.folderExists(u""));
}

TEST(StdFileSystem, LinksToFilesAreFilesLinksToFoldersAreNothing)
{
    TempTree tree;
    tree.file("real.eml");
    tree.folder("Folder");
    std::filesystem::create_symlink(tree.root() / "real.eml", tree.root() / "link.eml");
    std::filesystem::create_symlink(tree.root() / "gone.eml", tree.root() / "dangling.eml");
    std::filesystem::create_directory_symlink(tree.root() / "Folder", tree.root() / "FolderLink");
    StdFileSystem fs;
    auto folder = fs.getFolder(tree.rootText());
    EXPECT_EQ(asSet(folder->subFolderNames()), (std::set<std::u16string>{u"Folder"}));
    EXPECT_EQ(asSet(folder->fileNames()), (std::set<std::u16string>{u"real.eml", u"link.eml"}));
    EXPECT_TRUE(fs.folderExists(tree.rootText() + u"/FolderLink")) << "a picked folder may itself be a link";
}

TEST(StdFileSystem, SpecialFilesAreLeftOut)
{
    TempTree tree;
    const auto fifo = tree.root() / "pipe.eml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    StdFileSystem fs;
    EXPECT_TRUE(fs.getFolder(tree.rootText())->fileNames().empty());
}

TEST(StdFileSystem, MissingFolderIsAnOtherFailure)
{
    TempTree tree;
    StdFileSystem fs;
    try {
        fs.getFolder(tree.rootText() + u"/missing");
        FAIL() << "listing a missing folder succeeded";
    } catch (const FileSystemError& error) {
        EXPECT_EQ(error.kind(), FileSystemFailure::Other);
    }
}

TEST(StdFileSystem, RefusedListingIsPermissionDenied)
{
    TempTree tree;
    tree.folder("Locked");
    std::filesystem::permissions(tree.root() / "Locked", std::filesystem::perms::none);
    const int result = runUnprivileged([&] {
        StdFileSystem fs;
        if (!fs.folderExists(tree.rootText() + u"/Locked"))
            return 1;
        try {
            fs.getFolder(tree.rootText() + u"/Locked");
            return 2;
        } catch (const FileSystemError& error) {
            return error.kind() == FileSystemFailure::PermissionDenied ? 0 : 3;
        }
    });
    if (result < 0)
        GTEST_SKIP() << "cannot switch to an unprivileged user to have a listing refused";
    EXPECT_NE(result, 1) << "a refused folder still exists";
    EXPECT_NE(result, 2) << "listing a refused folder succeeded";
    EXPECT_NE(result, 3) << "a refused listing was not reported as permission denied";
    EXPECT_EQ(result, 0);
}
