// A writer killed at any moment, or stopped by a full disk, leaves the file
// as of its last commit.

#include <gtest/gtest.h>

#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ndb_image.h"
#include "pst/ndb/ndb_writer.h"
#include "test_support.h"

using namespace pst::ndb;
using namespace pst::format;
using namespace ndbtest;

namespace {

// Must match commit_loop.cpp.
std::vector<uint8_t> payload(uint32_t i) {
    std::vector<uint8_t> v((i * 7919) % 30000 + 1);
    for (size_t k = 0; k < v.size(); ++k) v[k] = static_cast<uint8_t>(i * 31 + k);
    return v;
}
Nid message(uint32_t i) { return makeNid(NID_TYPE_NORMAL_MESSAGE, 0x10000 + i); }

struct Killed {
    uint32_t commits = 0;  // last commit the program reported done
    uint32_t nodes = 0;    // nodes written by then
};

Killed runAndKill(const std::filesystem::path& file, std::chrono::milliseconds after) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(NDB_COMMIT_LOOP, NDB_COMMIT_LOOP, file.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::this_thread::sleep_for(after);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) text.append(buf, size_t(n));
    ::close(out[0]);
    Killed k;
    size_t end = text.rfind('\n');
    if (end != std::string::npos) {
        size_t start = text.rfind('\n', end - 1);
        start = start == std::string::npos ? 0 : start + 1;
        std::sscanf(text.c_str() + start, "%u %u", &k.commits, &k.nodes);
    }
    return k;
}

}  // namespace

TEST(NdbDurability, KilledWriterLeavesItsLastCommit) {
    std::mt19937 rng(12345);
    bool sawLaterCommit = false;
    for (int round = 0; round < 20; ++round) {
        auto file = scratchFile("killed.pst");
        Killed k = runAndKill(file, std::chrono::milliseconds(30 + rng() % 400));
        if (k.commits == 0) continue;  // may have died inside create()
        SCOPED_TRACE("round " + std::to_string(round) + ", commit " + std::to_string(k.commits));
        NdbImage img = loadNdb(file, Expect::Crashed);
        ASSERT_TRUE(img.ok()) << img.report();
        // Everything reported committed is there, unless the next commit
        // (which may have reached the disk before the kill) deleted it.
        std::set<uint32_t> deletedByNext;
        for (uint32_t c = 1, next = 0; c <= k.commits + 1; ++c) {
            next += 5;
            if (c % 5 == 0 && next > 16) deletedByNext.insert(next - 16);
        }
        for (uint32_t i = 0; i < k.nodes; ++i) {
            auto it = img.nodes.find(message(i));
            if (it == img.nodes.end()) {
                EXPECT_TRUE(deletedByNext.count(i)) << "committed node " << i << " lost";
                continue;
            }
            EXPECT_EQ(img.read(it->second.data), payload(i)) << "node " << i;
            EXPECT_EQ(img.subnodes(it->second.subnode).size(), i % 4) << "node " << i;
        }
        for (auto& [nid, node] : img.nodes) {
            uint32_t i = (nid >> 5) - 0x10000;
            if (i >= k.nodes) sawLaterCommit = true;
            EXPECT_EQ(img.read(node.data), payload(i)) << "node " << i;
        }
        expectPffinfoAccepts(file);
        expectCheckerAccepts(file, false);
    }
    (void)sawLaterCommit;
}

// The child writes until the file size limit stops it, and reports how far
// it got and what the writer said.
TEST(NdbDurability, FullDiskIsReportedAndTheLastCommitSurvives) {
    auto file = scratchFile("full.pst");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        limitFileSize(3'000'000);
        int committed = 0, kind = -1;
        try {
            auto w = NdbWriter::create(file, CryptMethod::Permute);
            for (uint32_t i = 0;; ++i) {
                w->putNode(message(i), w->writeData(payload(i)), 0, 0);
                if (i % 10 == 9) {
                    w->commit();
                    committed = int(i + 1);
                }
            }
        } catch (const NdbError& e) {
            kind = int(e.kind());
        }
        int msg[2] = {committed, kind};
        (void)!::write(out[1], msg, sizeof msg);
        ::_exit(0);
    }
    ::close(out[1]);
    int msg[2] = {0, 0};
    ASSERT_EQ(::read(out[0], msg, sizeof msg), ssize_t(sizeof msg));
    ::close(out[0]);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(msg[1], int(NdbError::Kind::DiskFull));
    ASSERT_GT(msg[0], 0);
    NdbImage img = loadNdb(file, Expect::Crashed);
    ASSERT_TRUE(img.ok()) << img.report();
    for (int i = 0; i < msg[0]; ++i) {
        ASSERT_TRUE(img.nodes.count(message(uint32_t(i)))) << "committed node " << i << " lost";
        EXPECT_EQ(img.read(img.nodes.at(message(uint32_t(i))).data), payload(uint32_t(i)));
    }
    expectCheckerAccepts(file, false);
    expectPffinfoAccepts(file);
}

TEST(NdbDurability, WriterRefusesWorkAfterAnIoFailure) {
    // After DiskFull the writer reports the same failure instead of writing
    // over a state it no longer knows.
    auto file = scratchFile("after-failure.pst");
    pid_t pid = ::fork();
    if (pid == 0) {
        limitFileSize(1'000'000);
        auto w = NdbWriter::create(file, CryptMethod::Permute);
        try {
            for (uint32_t i = 0;; ++i) w->putNode(message(i), w->writeData(payload(i)), 0, 0);
        } catch (const NdbError&) {
        }
        int code = 0;
        try {
            w->commit();
        } catch (const NdbError& e) {
            code = e.kind() == NdbError::Kind::DiskFull ? 10 : 11;
        }
        try {
            w->close();
        } catch (const NdbError& e) {
            code += e.kind() == NdbError::Kind::DiskFull ? 100 : 200;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 110);
    NdbImage img = loadNdb(file, Expect::Crashed);
    EXPECT_TRUE(img.ok()) << img.report();
    EXPECT_TRUE(img.nodes.empty());
}

TEST(NdbDurability, CreateOnAFullDiskLeavesNoFile) {
    auto file = scratchFile("no-room.pst");
    pid_t pid = ::fork();
    if (pid == 0) {
        limitFileSize(8192);
        try {
            NdbWriter::create(file, CryptMethod::Permute);
        } catch (const NdbError& e) {
            ::_exit(e.kind() == NdbError::Kind::DiskFull ? 0 : 1);
        }
        ::_exit(2);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(file));
}
