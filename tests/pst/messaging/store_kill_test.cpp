// A conversion killed at any moment leaves a store that opens cleanly and
// holds every message committed before the kill.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "pst/read/pst_reader.h"
#include "store_test_support.h"

using namespace pst;
using namespace pst::testing;

namespace {

// The child writes messages with frequent automatic commits and records, in
// a side file, how many messages each explicit commit made durable.
[[noreturn]] void writeUntilKilled(const std::filesystem::path& pst, const std::filesystem::path& progress) {
    StoreOptions options;
    options.commitEveryBytes = 128 << 10;
    options.commitEverySeconds = 0.05;
    auto store = Store::create(pst, u"Killed", options);
    FolderId f = store->createFolder(store->ipmSubtree(), u"Inbox");
    for (int i = 0;; ++i) {
        MessageContent m = mailMessage(u"message", std::u16string(500 + i % 700, u'b'), {{u"Bob", u"bob@example.com"}});
        if (i % 7 == 0) m.attachments.push_back(fileAttachment(u"a.bin", patternBytes(20000 + i, i)));
        store->addMessage(f, m);
        if (i % 25 == 24) {
            store->commit();
            std::ofstream(progress, std::ios::trunc) << (i + 1) << std::endl;
        }
    }
}

}  // namespace

TEST(StoreKill, EveryKillLeavesACommittedConsistentStore) {
    ScratchDir dir;
    for (int round = 0; round < 8; ++round) {
        auto pst = dir.file("killed" + std::to_string(round) + ".pst");
        auto progress = dir.file("progress" + std::to_string(round));
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                writeUntilKilled(pst, progress);
            } catch (...) {
            }
            ::_exit(3);
        }
        ::usleep(150000 + round * 70000);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own in round " << round;
        if (!std::filesystem::exists(pst)) continue;  // killed before the file was made

        int committed = 0;
        std::ifstream(progress) >> committed;
        EXPECT_EQ(checkerDefects(pst, false), "") << "round " << round;
        auto r = read::PstReader::open(pst);
        auto inbox = r->findSubfolder(r->ipmSubtree().nid, u"Inbox");
        if (!inbox) {
            EXPECT_EQ(committed, 0) << "round " << round;
            continue;
        }
        auto nids = r->messageNids(inbox->nid);
        EXPECT_GE(nids.size(), size_t(committed)) << "round " << round;
        EXPECT_EQ(nids.size(), size_t(inbox->contentCount)) << "round " << round;
        if (!nids.empty()) { EXPECT_EQ(read::stringProp(r->readMessage(nids.back()).props, tags::PR_SUBJECT_W), u"message"); }
    }
}
