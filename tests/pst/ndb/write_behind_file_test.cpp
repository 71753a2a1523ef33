// The file's writing thread: blocks and writes reach the file in the order
// they were queued, whatever the queue's size, and a failure of the thread
// reaches the caller at its next call and stops all later writing.

#include <atomic>
#include <fstream>
#include <thread>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "pst/format/constants.h"
#include "pst/ndb/disk_format.h"
#include "pst/ndb/write_behind_file.h"
#include "test_support.h"

namespace pst::ndb {
namespace {

using ndbtest::limitFileSize;
using ndbtest::pattern;
using ndbtest::scratchFile;

std::vector<uint8_t> readBack(WriteBehindFile& f, uint64_t offset, size_t n) {
    std::vector<uint8_t> out(n);
    f.read(offset, out);
    return out;
}

TEST(WriteBehindFile, BlocksAreSealedAsTheSynchronousBuilderSealsThem) {
    auto file = scratchFile("wb-blocks.pst");
    // A queue of a few blocks, so the caller waits on the thread many times.
    WriteBehindFile f(file, 20000);
    std::vector<std::vector<uint8_t>> expected;
    uint64_t ib = 0;
    for (uint32_t i = 0; i < 300; ++i) {
        auto payload = pattern(1 + (i * 977) % kMaxBlockPayload, i);
        const Bid bid = 4 + 4 * i + (i % 5 == 0 ? format::kBidInternalBit : 0);
        const auto crypt = i % 2 ? CryptMethod::Permute : CryptMethod::None;
        std::vector<uint8_t> block;
        buildBlock(payload, bid, ib, crypt, block);
        f.writeBlock(payload, bid, ib, crypt);
        expected.push_back(std::move(block));
        ib += expected.back().size();
    }
    ib = 0;
    for (auto& block : expected) {
        ASSERT_EQ(readBack(f, ib, block.size()), block) << "block at " << ib;
        ib += block.size();
    }
    f.close();
}

TEST(WriteBehindFile, LaterWritesWinAndExtendingKeepsItsPlaceInTheQueue) {
    auto file = scratchFile("wb-order.pst");
    WriteBehindFile f(file, 4096);
    f.write(0, pattern(3000, 1));
    f.writeNow(1000, pattern(512, 2));  // over the buffered bytes before it
    f.write(1200, pattern(100, 3));
    f.extendTo(1 << 20);
    f.write((1 << 20) - 10, pattern(10, 4));
    auto all = readBack(f, 0, 3000);
    auto first = pattern(3000, 1), second = pattern(512, 2), third = pattern(100, 3);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 1000, all.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.begin() + 200, all.begin() + 1000));
    EXPECT_TRUE(std::equal(third.begin(), third.end(), all.begin() + 1200));
    EXPECT_TRUE(std::equal(second.begin() + 300, second.end(), all.begin() + 1300));
    EXPECT_TRUE(std::equal(first.begin() + 1512, first.end(), all.begin() + 1512));
    EXPECT_EQ(readBack(f, (1 << 20) - 10, 10), pattern(10, 4));
    f.sync();
    EXPECT_EQ(std::filesystem::file_size(file), 1u << 20);
    f.close();
}

// The thread sleeps until a batch is queued and the caller until there is
// room for a batch more: whatever the queue's size and the mix of job sizes
// (below, around and above the batch, larger than the whole queue), no side
// waits for a wake-up that never comes, and the file ends as the writes say.
TEST(WriteBehindFile, AnyQueueSizeAndJobMixEndsInTheFileTheWritesDescribe) {
    for (size_t capacity : {size_t(1), size_t(3000), size_t(20000), size_t(300000), WriteBehindFile::kDefaultQueueBytes}) {
        SCOPED_TRACE("queue of " + std::to_string(capacity) + " bytes");
        auto file = scratchFile("wb-mix.pst");
        std::vector<uint8_t> image;
        auto apply = [&](uint64_t at, const std::vector<uint8_t>& bytes) {
            if (image.size() < at + bytes.size()) image.resize(at + bytes.size());
            std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
        };
        std::mt19937 random(static_cast<uint32_t>(capacity));
        {
            WriteBehindFile f(file, capacity);
            uint64_t end = 0;
            for (uint32_t i = 0; i < 400; ++i) {
                const unsigned kind = random() % 10;
                if (kind < 5) {
                    auto payload = pattern(1 + random() % kMaxBlockPayload, i);
                    std::vector<uint8_t> block;
                    buildBlock(payload, 4 + 4 * i, end, CryptMethod::Permute, block);
                    f.writeBlock(payload, 4 + 4 * i, end, CryptMethod::Permute);
                    apply(end, block);
                    end += block.size();
                } else if (kind < 7) {
                    // Small and large writes, also over what was written before.
                    const size_t size = random() % 3 == 0 ? 1 + random() % (3 << 20) : 1 + random() % 700;
                    const uint64_t at = random() % 2 ? end : random() % (end + 1);
                    auto bytes = pattern(size, i);
                    (kind == 5 ? f.write(at, bytes) : f.writeNow(at, bytes));
                    apply(at, bytes);
                    end = std::max<uint64_t>(end, at + size);
                } else if (kind == 7) {
                    end += random() % 5000;
                    f.extendTo(end);
                    if (image.size() < end) image.resize(end);
                } else if (kind == 8 && end > 0) {
                    const uint64_t at = random() % end;
                    const size_t n = static_cast<size_t>(std::min<uint64_t>(end - at, 1 + random() % 9000));
                    ASSERT_EQ(readBack(f, at, n), std::vector<uint8_t>(image.begin() + at, image.begin() + at + n))
                        << "after " << i << " jobs";
                } else {
                    f.sync();
                }
            }
            // Left below a batch on purpose: going out of scope still writes it
            // (an unbuffered write, which writes the buffered ones before it).
            f.writeNow(end, pattern(10, 9999));
            apply(end, pattern(10, 9999));
        }
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(onDisk == image) << "the file differs from what was written";
    }
}

// In a child under a file size limit: the thread's DiskFull comes back at
// a later call, every call after it repeats it, and nothing queued after
// the failure is written.
TEST(WriteBehindFile, AFailureOfTheThreadReachesTheNextCallAndStopsWriting) {
    auto file = scratchFile("wb-full.pst");
    pid_t pid = ::fork();
    if (pid == 0) {
        limitFileSize(1'000'000);
        int code = 0;
        {
            WriteBehindFile f(file, 1 << 16);
            uint64_t at = 0;
            try {
                for (;; at += 8192) f.write(at, pattern(8192, 7));
            } catch (const NdbError& e) {
                code = e.kind() == NdbError::Kind::DiskFull ? 1 : 9;
            }
            if (at < 1'000'000) code = 9;  // the failure cannot come before the limit
            try {
                f.writeNow(0, pattern(512, 8));  // must not reach the file
            } catch (const NdbError& e) {
                code += e.kind() == NdbError::Kind::DiskFull ? 10 : 90;
            }
            try {
                f.sync();
            } catch (const NdbError& e) {
                code += e.kind() == NdbError::Kind::DiskFull ? 100 : 900;
            }
            f.close();
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 111);
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> head(512);
    in.read(reinterpret_cast<char*>(head.data()), 512);
    auto first = pattern(8192, 7);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), first.begin())) << "a write queued after the failure reached the file";
}

// A commit finished behind, held before its HEADER: a HEADER for the file's
// growth written meanwhile keeps the ROOT already on disk, whatever ROOT it
// was handed; the commit's HEADER then takes its own ROOT and the end the
// file has grown to, and counters never go back.
std::atomic<bool> holdCommit{false};

void holdBeforeHeader(CommitStep step, uint64_t) {
    while (step == CommitStep::BeforeHeader && holdCommit) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

struct HeaderOnDisk {
    uint64_t nbtBid, fileEof, bidNextB;
    uint32_t unique;
};

HeaderOnDisk headerOf(WriteBehindFile& f) {
    auto h = readBack(f, 0, format::kHeaderSize);
    const uint8_t* root = h.data() + format::kHdrRoot;
    return {get64(root + format::kRootBrefNbt), get64(root + format::kRootFileEof), get64(&h[format::kHdrBidNextB]),
            get32(&h[format::kHdrUnique])};
}

TEST(WriteBehindFile, AHeaderWrittenWhileACommitIsHeldKeepsTheRootOnDisk) {
    auto file = scratchFile("wb-commit.pst");
    WriteBehindFile f(file);
    f.extendTo(1 << 20);
    auto fields = [](uint64_t root, uint64_t eof, uint64_t bidNext) {
        HeaderFields h;
        h.nbtBid = root;
        h.fileEof = eof;
        h.bidNextB = bidNext;
        return h;
    };
    f.writeHeader(fields(100, 300'000, 40), true);
    f.flush();
    EXPECT_EQ(headerOf(f).nbtBid, 100u);

    holdCommit = true;
    setCommitStepHook(holdBeforeHeader);
    f.commitBehind(fields(200, 400'000, 80), 1);
    f.writeBlock(pattern(5000, 1), 84, 600'000, CryptMethod::Permute);  // written while the commit waits
    f.writeHeader(fields(999, 700'000, 88), false);
    f.flush();
    HeaderOnDisk held = headerOf(f);
    EXPECT_EQ(held.nbtBid, 100u) << "a ROOT not yet synced reached the HEADER";
    EXPECT_EQ(held.fileEof, 700'000u);
    EXPECT_EQ(f.durableCommit(), 0u);

    holdCommit = false;
    f.waitForCommits();
    setCommitStepHook(nullptr);
    HeaderOnDisk done = headerOf(f);
    EXPECT_EQ(f.durableCommit(), 1u);
    EXPECT_EQ(done.nbtBid, 200u);
    EXPECT_EQ(done.fileEof, 700'000u) << "the commit's HEADER took back the file's growth";
    EXPECT_EQ(done.bidNextB, 88u);
    EXPECT_EQ(done.unique, held.unique + 1);
    f.close();
}

}  // namespace
}  // namespace pst::ndb
