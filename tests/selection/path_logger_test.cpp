#include "selection/path_logger.h"
#include "temp_tree.h"
#include "unprivileged.h"

#include "util/prompts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

using namespace quillmere;

namespace {

std::set<std::u16string> asSet(const std::vector<std::u16string>& values) { return {values.begin(), values.end()}; }

std::vector<std::u16string> keysOf(const StringCollection& c)
{
    std::vector<std::u16string> keys;
    for (std::int32_t p = 1; p <= c.count(); ++p)
        keys.push_back(c.keyAt(p));
    return keys;
}

// An in-memory tree with a fixed listing order, that can refuse a listing or
// fail in another way at chosen folders.
class ScriptedFileSystem : public FileSystem {
public:
    struct Node {
        std::vector<std::u16string> subFolders;
        std::vector<std::u16string> files;
    };
    std::map<std::u16string, Node> nodes;
    std::set<std::u16string> refused;
    std::set<std::u16string> broken;
    std::vector<std::u16string> listed;

    bool folderExists(const std::u16string& path) override { return nodes.count(EnsureTrailingSeparator(path)) != 0; }
    std::unique_ptr<Folder> getFolder(const std::u16string& path) override
    {
        listed.push_back(path);
        if (refused.count(path))
            throw FileSystemError(FileSystemFailure::PermissionDenied, "refused");
        if (broken.count(path))
            throw FileSystemError(FileSystemFailure::Other, "input/output error");
        struct Listed : Folder {
            Node node;
            std::vector<std::u16string> subFolderNames() override { return node.subFolders; }
            std::vector<std::u16string> fileNames() override { return node.files; }
        };
        auto folder = std::make_unique<Listed>();
        folder->node = nodes.at(path);
        return folder;
    }
};

struct ScriptedWalk {
    std::shared_ptr<ScriptedFileSystem> fs = std::make_shared<ScriptedFileSystem>();
    std::vector<std::u16string> messages;
    pathLogger walker{[this] {
        struct Forward : FileSystem {
            std::shared_ptr<ScriptedFileSystem> target;
            bool folderExists(const std::u16string& p) override { return target->folderExists(p); }
            std::unique_ptr<Folder> getFolder(const std::u16string& p) override { return target->getFolder(p); }
        };
        auto forward = std::make_unique<Forward>();
        forward->target = fs;
        return forward;
    }};
    ScriptedWalk()
    {
        walker.setMessageHandler([this](const std::u16string& text) { messages.push_back(text); });
    }
};

class RecordingPrompts : public Prompts {
public:
    std::vector<std::pair<std::u16string, BoxIcon>> shown;
    void message(const std::u16string& text, BoxIcon icon, const std::u16string&) override { shown.emplace_back(text, icon); }
    bool confirm(const std::u16string&, const std::u16string&) override { return false; }
    std::u16string browseForFolder(const std::u16string&) override { return {}; }
};

}  // namespace

// ---- Walks of a real temporary tree ----

TEST(PathLoggerOnDisk, EmptyFolderRecordsOnlyTheRoot)
{
    TempTree tree;
    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(tree.rootText());
    EXPECT_EQ(walker.Count(), 1);
    ASSERT_EQ(walker.pathNames()->count(), 1);
    EXPECT_EQ(walker.pathNames()->item(u"K0"), tree.rootEntry());
    EXPECT_TRUE(walker.fullFileNames()->empty());
    EXPECT_TRUE(walker.fileNames()->empty());
    EXPECT_TRUE(walker.pathPointers()->empty());
    EXPECT_EQ(walker.lastFailure(), WalkFailure::None);
}

TEST(PathLoggerOnDisk, MissingFolderRecordsNothingAndSaysNothing)
{
    TempTree tree;
    pathLogger walker;
    int messages = 0;
    walker.setMessageHandler([&](const std::u16string&) { ++messages; });
    walker.PathLogInit();
    walker.LogPath(tree.rootText() + u"/absent");
    walker.LogPath(u"");
    EXPECT_EQ(walker.Count(), 0);
    EXPECT_TRUE(walker.pathNames()->empty());
    EXPECT_TRUE(walker.fullFileNames()->empty());
    EXPECT_EQ(messages, 0);
}

TEST(PathLoggerOnDisk, AFileIsNotAFolderToWalk)
{
    TempTree tree;
    tree.file("a.eml");
    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(tree.rootText() + u"/a.eml");
    EXPECT_EQ(walker.Count(), 0);
    EXPECT_TRUE(walker.pathNames()->empty());
}

class ThreeAndTwo : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (auto name : {"a.eml", "b.eml", "c.txt"})
            tree.file(name);
        tree.file("Sub/d.eml");
        tree.file("Sub/e.eml");
    }
    TempTree tree;
};

TEST_F(ThreeAndTwo, FullNamesOnlyRecordsFivePathsRootFirst)
{
    pathLogger walker;
    walker.PathLogInit();
    EXPECT_TRUE(walker.fullFileNamesOnly());
    walker.LogPath(tree.rootText());

    EXPECT_EQ(walker.Count(), 6) << "one more than the number of files";
    const auto& full = *walker.fullFileNames();
    ASSERT_EQ(full.count(), 5);
    EXPECT_EQ(keysOf(full), (std::vector<std::u16string>{u"K1", u"K2", u"K3", u"K4", u"K5"}));
    const auto root = tree.rootEntry();
    EXPECT_EQ(asSet({full.item(1), full.item(2), full.item(3)}),
              (std::set<std::u16string>{root + u"a.eml", root + u"b.eml", root + u"c.txt"}));
    EXPECT_EQ(asSet({full.item(u"K4"), full.item(u"K5")}),
              (std::set<std::u16string>{root + u"Sub/d.eml", root + u"Sub/e.eml"}));
    EXPECT_TRUE(walker.fileNames()->empty());
    EXPECT_TRUE(walker.pathPointers()->empty());

    const auto& folders = *walker.pathNames();
    EXPECT_EQ(keysOf(folders), (std::vector<std::u16string>{u"K0", u"K2"}));
    EXPECT_EQ(folders.item(u"K0"), root);
    EXPECT_EQ(folders.item(u"K2"), root + u"Sub/");
    EXPECT_FALSE(folders.contains(u"K1"));
}

TEST_F(ThreeAndTwo, FilesSentToAHandlerArriveInWalkOrderAndFillNoCollection)
{
    pathLogger plain;
    plain.PathLogInit();
    plain.LogPath(tree.rootText());

    pathLogger walker;
    walker.PathLogInit();
    std::vector<std::u16string> sent;
    walker.sendFilesTo([&](const std::u16string& file) { sent.push_back(file); });
    walker.LogPath(tree.rootText());
    EXPECT_EQ(sent, plain.fullFileNames()->values());
    EXPECT_EQ(walker.Count(), 6);
    EXPECT_TRUE(walker.fullFileNames()->empty());
    EXPECT_EQ(walker.pathNames()->count(), 2) << "the folders are still recorded";
}

TEST_F(ThreeAndTwo, AllListsRecordNamesAndFolderPositionsInStep)
{
    pathLogger walker;
    walker.PathLogInit();
    walker.fullFileNamesOnly(false);
    walker.LogPath(tree.rootText());

    EXPECT_EQ(walker.Count(), 6);
    const auto& names = *walker.fileNames();
    const auto& full = *walker.fullFileNames();
    const auto& pointers = *walker.pathPointers();
    ASSERT_EQ(names.count(), 5);
    ASSERT_EQ(full.count(), 5);
    ASSERT_EQ(pointers.count(), 5);
    EXPECT_EQ(pointers.values(), (std::vector<std::int32_t>{1, 1, 1, 2, 2}));
    EXPECT_EQ(asSet(names.values()), (std::set<std::u16string>{u"a.eml", u"b.eml", u"c.txt", u"d.eml", u"e.eml"}));
    for (std::int32_t k = 1; k <= 5; ++k) {
        std::u16string key = u"K";
        key.push_back(char16_t(u'0' + k));
        EXPECT_EQ(names.keyAt(k), key);
        EXPECT_EQ(full.keyAt(k), key);
        EXPECT_EQ(pointers.keyAt(k), key);
        EXPECT_EQ(full.item(key), walker.pathNames()->item(pointers.item(key)) + names.item(key));
    }
}

TEST_F(ThreeAndTwo, RootWithOrWithoutTrailingSlashGivesSameEntries)
{
    pathLogger plain, slashed;
    plain.PathLogInit();
    slashed.PathLogInit();
    plain.LogPath(tree.rootText());
    slashed.LogPath(tree.rootEntry());
    EXPECT_EQ(plain.pathNames()->values(), slashed.pathNames()->values());
    EXPECT_EQ(asSet(plain.fullFileNames()->values()), asSet(slashed.fullFileNames()->values()));
}

TEST_F(ThreeAndTwo, CollectionsOutliveTerminateAndInitStartsAfresh)
{
    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(tree.rootText());
    auto kept = walker.fullFileNames();
    walker.Terminate();
    EXPECT_EQ(kept->count(), 5) << "a fetched collection keeps its contents";
    EXPECT_TRUE(walker.fullFileNames()->empty()) << "the walker itself has let go";
    EXPECT_EQ(walker.Count(), 6) << "the counter survives Terminate";

    walker.PathLogInit();
    walker.LogPath(tree.rootText());
    EXPECT_EQ(walker.fullFileNames()->count(), 5);
    EXPECT_EQ(kept->count(), 5) << "a new walk does not touch the old collection";
}

TEST_F(ThreeAndTwo, SecondWalkWithoutInitFailsOnTheTakenRootKey)
{
    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(tree.rootText());
    walker.LogPath(tree.rootText());
    EXPECT_EQ(walker.lastFailure(), WalkFailure::Other);
    EXPECT_EQ(walker.pathNames()->count(), 2);
    EXPECT_EQ(walker.fullFileNames()->count(), 5);
}

TEST(PathLoggerOnDisk, WalkWithoutInitRecordsNothing)
{
    TempTree tree;
    tree.file("a.eml");
    pathLogger walker;
    walker.LogPath(tree.rootText());
    EXPECT_EQ(walker.lastFailure(), WalkFailure::Other);
    EXPECT_EQ(walker.Count(), 0);
    EXPECT_TRUE(walker.fullFileNames()->empty());
}

TEST(PathLoggerOnDisk, DeeperLevelsComeAfterEveryFolderAbove)
{
    TempTree tree;
    tree.file("top.eml");
    tree.file("A/a1.eml");
    tree.file("A/Deep/deep.eml");
    tree.file("B/b1.eml");
    tree.file("B/b2.eml");
    pathLogger walker;
    walker.PathLogInit();
    walker.fullFileNamesOnly(false);
    walker.LogPath(tree.rootText());

    const auto root = tree.rootEntry();
    const auto& folders = *walker.pathNames();
    ASSERT_EQ(folders.count(), 4);
    EXPECT_EQ(asSet({folders.item(2), folders.item(3)}), (std::set<std::u16string>{root + u"A/", root + u"B/"}));
    EXPECT_EQ(folders.item(4), root + u"A/Deep/");
    EXPECT_EQ(folders.keyAt(4), u"K4");

    const auto& full = *walker.fullFileNames();
    ASSERT_EQ(full.count(), 5);
    EXPECT_EQ(full.item(1), root + u"top.eml");
    EXPECT_EQ(full.item(5), root + u"A/Deep/deep.eml") << "the grandchild's file comes last";
    EXPECT_EQ(walker.pathPointers()->item(5), 4);
    EXPECT_EQ(walker.Count(), 6);
}

TEST(PathLoggerOnDisk, RecordsEveryFileWhateverItsNameOrVisibility)
{
    TempTree tree;
    for (auto name : {"README", "noext", ".hidden", "a.EML", "b.eml.bak", "trailing.", " spaced .eml", "caf\xC3\xA9.eml"})
        tree.file(name);
    tree.file(".hiddenfolder/inside.eml");
    pathLogger walker;
    walker.PathLogInit();
    walker.fullFileNamesOnly(false);
    walker.LogPath(tree.rootText());
    EXPECT_EQ(asSet(walker.fileNames()->values()),
              (std::set<std::u16string>{u"README", u"noext", u".hidden", u"a.EML", u"b.eml.bak", u"trailing.",
                                        u" spaced .eml", u"caf\u00E9.eml", u"inside.eml"}));
    EXPECT_EQ(walker.Count(), 10);
}

TEST(PathLoggerOnDisk, FileNamesThatAreNotUtf8CanBeOpenedAgain)
{
    TempTree tree;
    tree.file("Mail/caf\xE9.eml");
    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(tree.rootText());
    ASSERT_EQ(walker.fullFileNames()->count(), 1);
    EXPECT_TRUE(std::filesystem::is_regular_file(toFileSystemPath(walker.fullFileNames()->item(1))));
}

TEST(PathLoggerOnDisk, LinksToFoldersAreNotFollowed)
{
    TempTree tree;
    tree.file("Mail/a.eml");
    std::filesystem::create_directory_symlink(tree.root(), tree.root() / "Mail" / "loop");
    std::filesystem::create_directory_symlink(tree.root() / "Mail", tree.root() / "again");
    pathLogger walker;
    walker.PathLogInit();
    walker.LogPath(tree.rootText());
    EXPECT_EQ(walker.lastFailure(), WalkFailure::None);
    EXPECT_EQ(walker.pathNames()->values(), (std::vector<std::u16string>{tree.rootEntry(), tree.rootEntry() + u"Mail/"}));
    EXPECT_EQ(walker.fullFileNames()->values(), (std::vector<std::u16string>{tree.rootEntry() + u"Mail/a.eml"}));
}

TEST(PathLoggerOnDisk, RefusedSubfolderOnDiskShowsMessageAndKeepsWhatCameBefore)
{
    TempTree tree;
    tree.file("a.eml");
    tree.file("Locked/b.eml");
    std::filesystem::permissions(tree.root() / "Locked", std::filesystem::perms::none);
    // Bit 0: the message came once; bit 1: failure kind; bit 2: partial result.
    const int result = runUnprivileged([&] {
        pathLogger walker;
        std::vector<std::u16string> messages;
        walker.setMessageHandler([&](const std::u16string& text) { messages.push_back(text); });
        walker.PathLogInit();
        walker.LogPath(tree.rootText());
        const bool shown = messages == std::vector<std::u16string>{u"Please Select Correct Store Folder."};
        const bool kind = walker.lastFailure() == WalkFailure::PermissionDenied;
        const bool kept = walker.fullFileNames()->values() == std::vector<std::u16string>{tree.rootEntry() + u"a.eml"} &&
                          walker.pathNames()->count() == 2 && walker.Count() == 2;
        return (shown ? 0 : 1) | (kind ? 0 : 2) | (kept ? 0 : 4);
    });
    if (result < 0)
        GTEST_SKIP() << "cannot switch to an unprivileged user to have a listing refused";
    EXPECT_EQ(result & 1, 0) << "the message was not shown exactly once";
    EXPECT_EQ(result & 2, 0) << "the failure was not reported as permission denied";
    EXPECT_EQ(result & 4, 0) << "the partial result was not kept";
}

// A folder whose path is longer than the system takes cannot be listed; the
// walk that goes on names it with that cause and keeps its siblings.
TEST(PathLoggerOnDisk, FolderBeyondThePathLimitIsNamedWhenTheWalkGoesOn)
{
    TempTree tree;
    tree.file("Near/a.eml");
    // Nested 200-character names, made relative to an open folder so that no
    // path handed to the system is too long while making them.
    const std::string name(200, 'd');
    int fd = ::open((tree.root() / "Near").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < 22; ++level) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ::close(::openat(fd, "deep.eml", O_WRONLY | O_CREAT, 0644));
    ::close(fd);
    tree.file("Zeta/z.eml");

    pathLogger walker;
    walker.PathLogInit();
    walker.goOnAfterFailures(true);
    walker.LogPath(tree.rootText());
    ASSERT_FALSE(walker.refusedEntries().empty());
    EXPECT_EQ(walker.refusedEntries()[0].cause, "the path is longer than the system allows");
    const auto files = walker.fullFileNames()->values();
    EXPECT_NE(std::find(files.begin(), files.end(), tree.rootEntry() + u"Zeta/z.eml"), files.end());
    EXPECT_NE(std::find(files.begin(), files.end(), tree.rootEntry() + u"Near/a.eml"), files.end());

    // rm takes the same care when removing it; the tree's own clean-up would not.
    EXPECT_EQ(std::system(("rm -rf '" + (tree.root() / "Near").string() + "'").c_str()), 0);
}

// ---- Walks of a scripted tree: fixed listing order and injected failures ----

class PathLoggerScripted : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& n = walk.fs->nodes;
        n[u"/r/"] = {{u"A", u"B", u"C"}, {u"r1", u"r2"}};
        n[u"/r/A/"] = {{u"A1"}, {u"a1"}};
        n[u"/r/B/"] = {{u"B1", u"B2"}, {}};
        n[u"/r/C/"] = {{}, {u"c1"}};
        n[u"/r/A/A1/"] = {{}, {u"x"}};
        n[u"/r/B/B1/"] = {{}, {u"y"}};
        n[u"/r/B/B2/"] = {{}, {u"z"}};
    }
    ScriptedWalk walk;
};

TEST_F(PathLoggerScripted, VisitsBreadthFirstQueueingSubfoldersBeforeFiles)
{
    walk.walker.PathLogInit();
    walk.walker.fullFileNamesOnly(false);
    walk.walker.LogPath(u"/r");
    EXPECT_EQ(walk.walker.pathNames()->values(),
              (std::vector<std::u16string>{u"/r/", u"/r/A/", u"/r/B/", u"/r/C/", u"/r/A/A1/", u"/r/B/B1/", u"/r/B/B2/"}));
    EXPECT_EQ(keysOf(*walk.walker.pathNames()),
              (std::vector<std::u16string>{u"K0", u"K2", u"K3", u"K4", u"K5", u"K6", u"K7"}));
    EXPECT_EQ(walk.walker.fileNames()->values(),
              (std::vector<std::u16string>{u"r1", u"r2", u"a1", u"c1", u"x", u"y", u"z"}));
    EXPECT_EQ(walk.walker.pathPointers()->values(), (std::vector<std::int32_t>{1, 1, 2, 4, 5, 6, 7}));
    EXPECT_EQ(walk.walker.fullFileNames()->item(u"K7"), u"/r/B/B2/z");
    EXPECT_EQ(walk.walker.Count(), 8);
    EXPECT_TRUE(walk.messages.empty());
}

TEST_F(PathLoggerScripted, RefusedSubfolderStopsTheWalkKeepingThePartialResult)
{
    walk.fs->refused.insert(u"/r/B/");
    walk.walker.PathLogInit();
    walk.walker.fullFileNamesOnly(false);
    walk.walker.LogPath(u"/r");

    EXPECT_EQ(walk.messages, (std::vector<std::u16string>{u"Please Select Correct Store Folder."}));
    EXPECT_EQ(walk.walker.lastFailure(), WalkFailure::PermissionDenied);
    EXPECT_EQ(walk.fs->listed, (std::vector<std::u16string>{u"/r/", u"/r/A/", u"/r/B/"})) << "no folder after it is read";
    EXPECT_EQ(walk.walker.pathNames()->values(),
              (std::vector<std::u16string>{u"/r/", u"/r/A/", u"/r/B/", u"/r/C/", u"/r/A/A1/"}));
    EXPECT_EQ(walk.walker.fileNames()->values(), (std::vector<std::u16string>{u"r1", u"r2", u"a1"}));
    EXPECT_EQ(walk.walker.pathPointers()->count(), 3);
    EXPECT_EQ(walk.walker.Count(), 4) << "the counter keeps the value it reached";
}

TEST_F(PathLoggerScripted, RefusedRootShowsMessageAndKeepsOnlyTheRoot)
{
    walk.fs->refused.insert(u"/r/");
    walk.walker.PathLogInit();
    walk.walker.LogPath(u"/r/");
    EXPECT_EQ(walk.messages.size(), 1u);
    EXPECT_EQ(walk.walker.pathNames()->values(), (std::vector<std::u16string>{u"/r/"}));
    EXPECT_TRUE(walk.walker.fullFileNames()->empty());
    EXPECT_EQ(walk.walker.Count(), 1);
}

TEST_F(PathLoggerScripted, OtherFailuresStopSilently)
{
    walk.fs->broken.insert(u"/r/C/");
    walk.walker.PathLogInit();
    walk.walker.LogPath(u"/r");
    EXPECT_TRUE(walk.messages.empty());
    EXPECT_EQ(walk.walker.lastFailure(), WalkFailure::Other);
    EXPECT_EQ(walk.walker.fullFileNames()->values(), (std::vector<std::u16string>{u"/r/r1", u"/r/r2", u"/r/A/a1"}));
}

TEST_F(PathLoggerScripted, StoppedWalkNamesTheFolderThatEndedIt)
{
    walk.fs->refused.insert(u"/r/B/");
    walk.walker.PathLogInit();
    walk.walker.LogPath(u"/r");
    ASSERT_EQ(walk.walker.refusedEntries().size(), 1u);
    EXPECT_EQ(walk.walker.refusedEntries()[0].path, u"/r/B/");
    EXPECT_EQ(walk.walker.refusedEntries()[0].cause, "refused");
}

// The headless converter's walk: refused and broken folders are passed over
// (with their subfolders, which cannot be known) and named, and every other
// folder is walked in the same order as ever.
TEST_F(PathLoggerScripted, GoingOnPassesOverFailedFoldersAndNamesThem)
{
    walk.fs->refused.insert(u"/r/A/");
    walk.fs->broken.insert(u"/r/B/B1/");
    walk.walker.PathLogInit();
    walk.walker.goOnAfterFailures(true);
    walk.walker.LogPath(u"/r");

    EXPECT_TRUE(walk.messages.empty()) << "the caller names the folders, not a box";
    EXPECT_EQ(walk.walker.fullFileNames()->values(),
              (std::vector<std::u16string>{u"/r/r1", u"/r/r2", u"/r/C/c1", u"/r/B/B2/z"}));
    EXPECT_EQ(keysOf(*walk.walker.fullFileNames()),
              (std::vector<std::u16string>{u"K1", u"K2", u"K3", u"K4"}));
    ASSERT_EQ(walk.walker.refusedEntries().size(), 2u);
    EXPECT_EQ(walk.walker.refusedEntries()[0].path, u"/r/A/");
    EXPECT_EQ(walk.walker.refusedEntries()[1].path, u"/r/B/B1/");
    EXPECT_EQ(walk.walker.refusedEntries()[1].cause, "input/output error");
    EXPECT_EQ(walk.walker.Count(), 5);
}

TEST_F(PathLoggerScripted, NamesEqualButForCaseAreDuplicateKeysNever)
{
    // Keys are numbers, so names differing only in case are recorded apart.
    walk.fs->nodes[u"/r/C/"] = {{}, {u"Mail.eml", u"mail.eml", u"MAIL.EML"}};
    walk.walker.PathLogInit();
    walk.walker.LogPath(u"/r");
    EXPECT_EQ(walk.walker.lastFailure(), WalkFailure::None);
    EXPECT_EQ(walk.walker.fullFileNames()->count(), 9);
}

TEST_F(PathLoggerScripted, MessageReachesThePromptsSeamAsInformation)
{
    walk.fs->refused.insert(u"/r/A/");
    RecordingPrompts prompts;
    walk.walker.showMessagesThrough(prompts);
    walk.walker.PathLogInit();
    walk.walker.LogPath(u"/r");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].first, u"Please Select Correct Store Folder.");
    EXPECT_EQ(prompts.shown[0].second, BoxIcon::Information);
}

TEST_F(PathLoggerScripted, ThrowingHandlerDoesNotEscapeLogPath)
{
    walk.fs->refused.insert(u"/r/");
    walk.walker.setMessageHandler([](const std::u16string&) { throw std::runtime_error("window gone"); });
    walk.walker.PathLogInit();
    EXPECT_NO_THROW(walk.walker.LogPath(u"/r"));
}
