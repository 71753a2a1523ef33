// A process killed while an automatic commit is on its way to the disk:
// stopped before the commit's first sync, before its HEADER, before its
// second sync and once it is durable, with the next messages (one large
// enough to grow the file by several sections) written meanwhile. The store
// must open in our checker, our reader and the independent readers holding
// exactly the messages of the last commit whose HEADER reached the file.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "independent_readers.h"
#include "pst/ndb/write_behind_file.h"
#include "pst/read/pst_reader.h"
#include "store_test_support.h"

using namespace pst;
using namespace pst::testing;
using namespace test_readers;
using pst::ndb::CommitStep;

namespace {

constexpr int kStoppedCommit = 3;  // the commit made behind after message 3 holds messages 1-3

std::u16string subjectOf(int i) {
    std::string s = "message " + std::to_string(i);
    return std::u16string(s.begin(), s.end());
}

// In the child: stops the committing thread at one step of one commit, tells
// the parent through a pipe and waits there to be killed.
CommitStep stopStep;
int stopPipe = -1;
std::atomic<int> commitsAtStep{0};

void stopThere(CommitStep step, uint64_t) {
    if (step != stopStep || ++commitsAtStep != kStoppedCommit) return;
    const char stopped = 's';
    if (::write(stopPipe, &stopped, 1) != 1) ::_exit(4);
    for (;;) ::pause();
}

// Every message is committed behind as soon as it is added; the one after
// the stopped commit carries 1.5 MB, written while that commit waits.
[[noreturn]] void writeWithCommitsBehind(const std::filesystem::path& pst) {
    StoreOptions options;
    options.commitEveryBytes = 1;
    options.commitEverySeconds = 1e9;
    auto store = Store::create(pst, u"Stopped", options);
    FolderId inbox = store->createFolder(store->ipmSubtree(), u"Inbox");
    pst::ndb::setCommitStepHook(stopThere);
    for (int i = 1;; ++i) {
        MessageContent m = mailMessage(subjectOf(i), u"body of " + subjectOf(i), {{u"Bob", u"bob@example.com"}});
        if (i == kStoppedCommit + 1) m.attachments.push_back(fileAttachment(u"large.bin", patternBytes(1536 << 10, i)));
        store->addMessage(inbox, m);
    }
}

size_t inboxMessages(const SeenFolder* top, const std::string& tool) {
    const SeenFolder* inbox = top ? top->find("Inbox") : nullptr;
    EXPECT_NE(inbox, nullptr) << tool << " sees no Inbox";
    return inbox ? inbox->messages.size() : 0;
}

void expectIndependentReadersSee(const std::filesystem::path& pst, size_t expected) {
    std::vector<std::string> missing;
    for (auto read : {readWithPffexport, readWithReadpst, readWithPstExtractor}) {
        ReaderResult r = read(pst);
        if (!r.available) {
            missing.push_back(r.why);
            continue;
        }
        SCOPED_TRACE(r.tool);
        ASSERT_TRUE(r.ok) << r.why << "\n" << r.log;
        EXPECT_EQ(inboxMessages(r.topOfStore(), r.tool), expected);
    }
    ToolRun info = runPffinfo(pst);
    if (info.available) {
        EXPECT_TRUE(info.ok()) << info.output;
    }
    for (auto& why : missing) std::cout << "not checked: " << why << "\n";
}

}  // namespace

TEST(CommitBehindKill, AStoreKilledMidCommitHoldsItsLastCommittedHeader) {
    const struct {
        CommitStep step;
        const char* name;
        int messages;  // what the file holds after the kill
    } cases[] = {
        {CommitStep::BeforeFirstSync, "before the first sync", kStoppedCommit - 1},
        {CommitStep::BeforeHeader, "before the HEADER", kStoppedCommit - 1},
        {CommitStep::BeforeSecondSync, "before the second sync", kStoppedCommit},
        {CommitStep::Durable, "once durable", kStoppedCommit},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("stopped ") + c.name);
        const auto pst = dir.file(std::string("stopped ") + c.name + ".pst");
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            stopStep = c.step;
            stopPipe = fds[1];
            try {
                writeWithCommitsBehind(pst);
            } catch (...) {
            }
            ::_exit(3);
        }
        ::close(fds[1]);
        pollfd p{fds[0], POLLIN, 0};
        char stopped = 0;
        const bool reached = ::poll(&p, 1, 60000) == 1 && ::read(fds[0], &stopped, 1) == 1;
        ::close(fds[0]);
        // Time for the next message to be written behind the stopped commit.
        if (reached) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(reached) << "the commit never reached the step";
        ASSERT_TRUE(WIFSIGNALED(status));

        EXPECT_EQ(checkerDefects(pst, false), "");
        auto r = read::PstReader::open(pst);
        auto inbox = r->findSubfolder(r->ipmSubtree().nid, u"Inbox");
        ASSERT_TRUE(inbox.has_value());
        EXPECT_EQ(inbox->contentCount, uint32_t(c.messages));
        auto nids = r->messageNids(inbox->nid);
        ASSERT_EQ(nids.size(), size_t(c.messages));
        std::vector<std::u16string> subjects;
        for (auto nid : nids) subjects.push_back(read::stringProp(r->readMessage(nid).props, tags::PR_SUBJECT_W));
        std::sort(subjects.begin(), subjects.end());
        std::vector<std::u16string> expected;
        for (int i = 1; i <= c.messages; ++i) expected.push_back(subjectOf(i));
        EXPECT_EQ(subjects, expected);
        expectIndependentReadersSee(pst, size_t(c.messages));
    }
}
