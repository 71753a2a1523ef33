// A store file's life on disk: written under a temporary name and named at
// its first commit, the next free name when its own is taken, disk space
// reserved in step with what is written and given back on close.

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ndb_image.h"
#include "pst/ndb/ndb_writer.h"
#include "small_volume.h"
#include "test_support.h"

using namespace pst::ndb;
using namespace pst::format;
using namespace ndbtest;

namespace {

Nid message(uint32_t i) { return makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000 + i); }

std::filesystem::path scratchFolder(const std::string& name) {
    auto dir = scratchFile(name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::vector<std::string> namesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

uint64_t diskBytes(const std::filesystem::path& file) {
    struct stat st {};
    ::stat(file.c_str(), &st);
    return static_cast<uint64_t>(st.st_blocks) * 512;
}

void writeSome(NdbWriter& w, uint32_t count, size_t size) {
    for (uint32_t i = 0; i < count; ++i) w.putNode(message(i), w.writeData(pattern(size, i)), 0, 0);
}

}  // namespace

TEST(NdbFileLifecycle, StagedFileTakesItsNameAtTheFirstCommitOnly) {
    auto dir = scratchFolder("staged");
    auto file = dir / "store.pst";
    auto w = NdbWriter::createStaged(file, CryptMethod::Permute, false);
    writeSome(*w, 5, 3000);
    // Until the first commit no file carries the name, and nothing ending
    // in .pst is there for a reader to trip over.
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"store.pst.partial"});
    EXPECT_EQ(w->path(), dir / "store.pst.partial");
    w->commit();
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"store.pst"});
    EXPECT_EQ(w->path(), file);
    writeSome(*w, 3, 100);
    w->close();
    NdbImage img = loadNdb(file);
    EXPECT_TRUE(img.ok()) << img.report();
    EXPECT_EQ(img.nodes.size(), 5u);
    expectCheckerAccepts(file);
}

TEST(NdbFileLifecycle, WriterDroppedBeforeItsFirstCommitLeavesNothing) {
    auto dir = scratchFolder("dropped");
    {
        auto w = NdbWriter::createStaged(dir / "store.pst", CryptMethod::Permute, false);
        writeSome(*w, 3, 100);
    }
    EXPECT_TRUE(namesIn(dir).empty());
}

TEST(NdbFileLifecycle, TakenNameFailsOrGivesTheNextFreeOne) {
    auto dir = scratchFolder("taken");
    auto file = dir / "store.pst";
    std::ofstream(file) << "someone else's file";

    {
        auto w = NdbWriter::createStaged(file, CryptMethod::Permute, false);
        try {
            w->commit();
            ADD_FAILURE() << "a taken name was overwritten";
        } catch (const NdbError& e) {
            EXPECT_EQ(e.kind(), NdbError::Kind::Exists);
            EXPECT_NE(std::string(e.what()).find("the file exists"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"store.pst"});

    // Two writers staging the same name at once get temporary files of their
    // own and, in the order they commit, the next free names.
    auto second = NdbWriter::createStaged(file, CryptMethod::Permute, true);
    auto third = NdbWriter::createStaged(file, CryptMethod::Permute, true);
    EXPECT_NE(second->path(), third->path());
    writeSome(*second, 1, 10);
    second->close();
    third->close();
    EXPECT_EQ(second->path(), dir / "store (2).pst");
    EXPECT_EQ(third->path(), dir / "store (3).pst");
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"store (2).pst", "store (3).pst", "store.pst"}));
    std::ifstream original(file);
    std::string text;
    std::getline(original, text);
    EXPECT_EQ(text, "someone else's file");
    EXPECT_EQ(loadNdb(dir / "store (2).pst").nodes.size(), 1u);
}

TEST(NdbFileLifecycle, ReservationFollowsTheFileAndIsGivenBackOnClose) {
    auto dir = scratchFolder("reserve");
    auto small = dir / "small.pst";
    auto w = NdbWriter::createStaged(small, CryptMethod::Permute, false);
    writeSome(*w, 20, 2000);
    w->commit();
    // A fresh store of a few hundred KB holds no 16 MB of disk.
    EXPECT_LT(diskBytes(small), std::filesystem::file_size(small) + (1u << 20));
    w->close();
    EXPECT_LE(diskBytes(small), std::filesystem::file_size(small) + 64 * 1024);

    auto large = dir / "large.pst";
    w = NdbWriter::createStaged(large, CryptMethod::Permute, false);
    writeSome(*w, 500, 40000);
    w->close();
    EXPECT_GT(std::filesystem::file_size(large), 16u << 20);
    EXPECT_LE(diskBytes(large), std::filesystem::file_size(large) + 64 * 1024);
}

// A real small volume: a store of about 0.3 MB fits one with 1 MB free,
// and one that outgrows it stops with DiskFull, keeps its last commit and,
// closed, leaves the space it had reserved to others.
TEST(NdbFileLifecycle, SmallStoreFitsASmallVolumeAndAFullOneKeepsItsLastCommit) {
    testing_support::SmallVolume volume(1 << 20);
    if (!volume.ready()) GTEST_SKIP() << volume.why();
    auto file = volume.path() / "store.pst";
    auto w = NdbWriter::createStaged(file, CryptMethod::Permute, false);
    writeSome(*w, 10, 5000);
    w->close();
    EXPECT_TRUE(loadNdb(file).ok());

    auto full = volume.path() / "full.pst";
    w = NdbWriter::createStaged(full, CryptMethod::Permute, false);
    writeSome(*w, 4, 5000);
    w->commit();
    try {
        writeSome(*w, 400, 5000);
        w->commit();
        ADD_FAILURE() << "4 MB went into a 1 MB volume";
    } catch (const NdbError& e) {
        EXPECT_EQ(e.kind(), NdbError::Kind::DiskFull);
        EXPECT_NE(std::string(e.what()).find("no space left on the device"), std::string::npos) << e.what();
    }
    EXPECT_THROW(w->close(), NdbError);
    NdbImage img = loadNdb(full, Expect::Crashed);
    EXPECT_TRUE(img.ok()) << img.report();
    EXPECT_EQ(img.nodes.size(), 4u);
    // What the failed writer had reserved is free again: a small file fits.
    std::ofstream(volume.path() / "after.txt") << std::string(100 * 1024, 'x');
    EXPECT_EQ(std::filesystem::file_size(volume.path() / "after.txt"), 100u * 1024);
}

TEST(NdbFileLifecycle, FileSizeLimitStopsTheWriterWithItsCause) {
    auto file = scratchFile("limited.pst");
    pid_t pid = ::fork();
    if (pid == 0) {
        limitFileSize(2 << 20);
        auto w = NdbWriter::createStaged(file, CryptMethod::Permute, false);
        writeSome(*w, 2, 1000);
        w->commit();
        try {
            writeSome(*w, 200, 30000);
            w->commit();
        } catch (const NdbError& e) {
            const bool named = std::string(e.what()).find("larger than") != std::string::npos;
            ::_exit(e.kind() == NdbError::Kind::DiskFull && named ? 0 : 1);
        }
        ::_exit(2);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    NdbImage img = loadNdb(file, Expect::Crashed);
    EXPECT_TRUE(img.ok()) << img.report();
    EXPECT_EQ(img.nodes.size(), 2u);
    expectPffinfoAccepts(file);
}
