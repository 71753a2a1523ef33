#pragma once
// The file under a writer, with a second thread behind it: block payloads and
// positioned writes go into a bounded queue, and the thread encodes each
// block, computes its CRC and trailer and writes it, in the order queued.
// The caller allocates block ids and offsets itself, so nothing above sees
// when a block reaches the file.
//
// The thread is woken only when a batch of work is queued (a quarter of the
// queue, at most 1 MB), and the caller only when it waits for room or for
// the queue to empty: a thread woken for every block costs more than the
// block. Operations that need the file as written (reads, syncs, renames,
// closing) first wait until the queue is empty, then run on the caller's thread.
// The first failure of the thread stops all further writing (what is queued
// after it is dropped) and is thrown as the same NdbError by the next call.
//
// A commit can also be queued to finish behind the caller: once the writing
// thread reaches it, everything queued before it has been written, and a
// third thread syncs the file, writes the HEADER and syncs again while the
// writing thread goes on with what was queued after it. Every HEADER is
// built as it is written, from the fields handed over and the ROOT of the
// newest commit whose HEADER may be written by then: a HEADER written for
// the file's growth while a commit is being synced keeps the ROOT before it,
// and the commit's own HEADER takes the file's end as it has grown since.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "pst/ndb/disk_format.h"
#include "pst/ndb/ndb_types.h"
#include "pst/ndb/pst_file.h"

namespace pst::ndb {

// The steps of a commit finished behind, for tests that stop the process
// between them; the hook runs on the committing thread.
enum class CommitStep { BeforeFirstSync, BeforeHeader, BeforeSecondSync, Durable };
using CommitStepHook = void (*)(CommitStep step, uint64_t commitNumber);
void setCommitStepHook(CommitStepHook hook);

class WriteBehindFile {
public:
    // Creates the file (fails if it exists); at most `queueBytes` wait in the queue.
    explicit WriteBehindFile(const std::filesystem::path& path, size_t queueBytes = kDefaultQueueBytes);
    ~WriteBehindFile();
    WriteBehindFile(const WriteBehindFile&) = delete;
    WriteBehindFile& operator=(const WriteBehindFile&) = delete;

    static constexpr size_t kDefaultQueueBytes = 8 << 20;

    // --- queued: they return once the bytes are copied -----------------------
    // One block: `payload` encoded (external blocks), padded and sealed with
    // its BLOCKTRAILER at `ib`.
    void writeBlock(std::span<const uint8_t> payload, Bid bid, uint64_t ib, CryptMethod crypt);
    // PstFile::write, PstFile::writeNow and PstFile::extendTo, in queue order.
    void write(uint64_t offset, std::span<const uint8_t> data);
    void writeNow(uint64_t offset, std::span<const uint8_t> data);
    void extendTo(uint64_t size);
    // A HEADER of these fields; unless `newRoot`, with the ROOT of the last
    // HEADER written (the file grew, the committed state did not change).
    void writeHeader(const HeaderFields& fields, bool newRoot);
    // Commit number `number` with this HEADER, finished behind: see above.
    // A commit queued before it must have finished (waitForCommits).
    void commitBehind(const HeaderFields& fields, uint64_t number);

    // The number of the last commit made behind that is on the disk.
    uint64_t durableCommit() const { return durable_.load(std::memory_order_acquire); }
    // Waits until no commit is queued or being finished (or one failed).
    void waitForCommits();

    // --- after the queue is empty, on the caller's thread --------------------
    // (all but reads and flush also wait for the commits being finished)
    void read(uint64_t offset, std::span<uint8_t> out);
    void flush();
    void sync();
    bool renameNoReplace(const std::filesystem::path& to);
    // Also after a failure: drops what is queued.
    void releaseReservation();
    void close();

    // Throws the queue's first failure, if there was one.
    void throwIfFailed();
    const std::filesystem::path& path() const { return file_.path(); }

private:
    enum class Op : uint8_t { Block, Write, WriteNow, Extend, Header, Commit };
    struct Job {
        Op op;
        CryptMethod crypt = CryptMethod::None;
        uint64_t offset = 0;
        Bid bid = 0;
        size_t size = 0;    // payload bytes for a block, else `length`
        size_t length = 0;  // bytes of `data` that go to the file (a reused buffer may hold more)
        std::vector<uint8_t> data;
        std::span<uint8_t> bytes() { return {data.data(), length}; }
    };

    void enqueue(Op op, uint64_t offset, std::span<const uint8_t> data, size_t bufferSize, Bid bid = 0,
                 CryptMethod crypt = CryptMethod::None);
    void run(Job& job);
    void worker();
    void drain();
    bool callerWaitIsOver() const;
    void handOverCommit(const HeaderFields& fields, uint64_t number);
    void committer();
    void finishCommit(const HeaderFields& fields, uint64_t number);
    void putHeader(HeaderFields fields, bool newRoot);
    void recordFailure(NdbError e);

    PstFile file_;
    const size_t capacity_;
    const size_t wakeBytes_;  // queued bytes that wake the thread

    std::mutex mutex_;
    std::condition_variable hasWork_;
    std::condition_variable progress_;  // room made, or the queue emptied
    std::deque<Job> queue_;
    std::vector<std::vector<uint8_t>> spare_;  // buffers of finished jobs, reused
    size_t queuedBytes_ = 0;
    // What each side waits for, so that the other wakes it only then.
    bool workerWaiting_ = false;
    bool roomWanted_ = false;       // the caller waits until queuedBytes_ <= roomLevel_
    size_t roomLevel_ = 0;
    unsigned drainWaiters_ = 0;     // callers waiting for an empty queue
    bool busy_ = false;
    bool stopping_ = false;
    std::optional<NdbError> failure_;
    std::atomic<bool> failed_{false};  // failure_ is set: read without the lock

    // The commit handed to the committing thread (under mutex_).
    std::condition_variable commitWork_;
    std::optional<std::pair<HeaderFields, uint64_t>> handedCommit_;
    unsigned commitsQueued_ = 0;      // commit jobs in the queue
    unsigned commitsUnfinished_ = 0;  // queued or being finished
    std::atomic<uint64_t> durable_{0};
    bool workerDone_ = false;  // the writing thread has ended: no more hand-overs

    std::mutex headerMutex_;  // one HEADER write at a time, built from lastHeader_
    HeaderFields lastHeader_;
    bool headerWritten_ = false;

    std::thread thread_;
    std::thread committerThread_;
};

}  // namespace pst::ndb
