#include "pst/ndb/write_behind_file.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "pst/format/constants.h"

namespace pst::ndb {

namespace {
std::atomic<CommitStepHook> commitStepHook{nullptr};

void reach(CommitStep step, uint64_t number) {
    if (CommitStepHook hook = commitStepHook.load(std::memory_order_acquire)) hook(step, number);
}

static_assert(std::is_trivially_copyable_v<HeaderFields>);

std::span<const uint8_t> bytesOf(const HeaderFields& h) {
    return {reinterpret_cast<const uint8_t*>(&h), sizeof h};
}

HeaderFields headerFrom(std::span<const uint8_t> bytes) {
    HeaderFields h;
    std::memcpy(&h, bytes.data(), sizeof h);
    return h;
}
}  // namespace

void setCommitStepHook(CommitStepHook hook) { commitStepHook.store(hook, std::memory_order_release); }

WriteBehindFile::WriteBehindFile(const std::filesystem::path& path, size_t queueBytes)
    : file_(path), capacity_(queueBytes), wakeBytes_(std::clamp<size_t>(queueBytes / 4, 1, 1 << 20)) {
    thread_ = std::thread([this] { worker(); });
    committerThread_ = std::thread([this] { committer(); });
}

WriteBehindFile::~WriteBehindFile() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    hasWork_.notify_all();
    thread_.join();
    // The writing thread has handed over its last commit, if any: the
    // committing thread finishes it before it ends.
    {
        std::lock_guard lock(mutex_);
        workerDone_ = true;
    }
    commitWork_.notify_all();
    committerThread_.join();
}

void WriteBehindFile::enqueue(Op op, uint64_t offset, std::span<const uint8_t> data, size_t bufferSize, Bid bid,
                              CryptMethod crypt) {
    std::unique_lock lock(mutex_);
    // One job larger than the whole queue still goes, alone.
    if (!failure_ && !queue_.empty() && queuedBytes_ + bufferSize > capacity_) {
        // Wait until there is room for this job and a batch more, so that a
        // full queue does not wake this thread for every block written.
        roomLevel_ = capacity_ >= bufferSize + wakeBytes_ ? capacity_ - bufferSize - wakeBytes_ : 0;
        roomWanted_ = true;
        if (workerWaiting_) hasWork_.notify_one();
        progress_.wait(lock, [&] { return failure_ || queue_.empty() || queuedBytes_ <= roomLevel_; });
        roomWanted_ = false;
    }
    if (failure_) throw *failure_;
    Job job;
    job.op = op;
    job.crypt = crypt;
    job.offset = offset;
    job.bid = bid;
    job.size = data.size();
    if (!spare_.empty()) {
        job.data = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    // The copy is made outside the lock, so the thread keeps writing meanwhile.
    if (job.data.size() < bufferSize) job.data.resize(bufferSize);
    job.length = bufferSize;
    if (!data.empty()) std::memcpy(job.data.data(), data.data(), data.size());
    lock.lock();
    queuedBytes_ += bufferSize;
    queue_.push_back(std::move(job));
    // A commit starts at once: the sooner it is synced, the sooner it counts.
    if (op == Op::Commit) {
        ++commitsQueued_;
        ++commitsUnfinished_;
    }
    const bool wake = workerWaiting_ && (queuedBytes_ >= wakeBytes_ || op == Op::Commit);
    lock.unlock();
    if (wake) hasWork_.notify_one();
}

void WriteBehindFile::writeBlock(std::span<const uint8_t> payload, Bid bid, uint64_t ib, CryptMethod crypt) {
    enqueue(Op::Block, ib, payload, format::blockSizeOnDisk(payload.size()), bid, crypt);
}

void WriteBehindFile::write(uint64_t offset, std::span<const uint8_t> data) {
    enqueue(Op::Write, offset, data, data.size());
}

void WriteBehindFile::writeNow(uint64_t offset, std::span<const uint8_t> data) {
    enqueue(Op::WriteNow, offset, data, data.size());
}

void WriteBehindFile::extendTo(uint64_t size) { enqueue(Op::Extend, size, {}, 0); }

void WriteBehindFile::writeHeader(const HeaderFields& fields, bool newRoot) {
    enqueue(Op::Header, 0, bytesOf(fields), sizeof fields, newRoot ? 1 : 0);
}

void WriteBehindFile::commitBehind(const HeaderFields& fields, uint64_t number) {
    enqueue(Op::Commit, 0, bytesOf(fields), sizeof fields, number);
}

void WriteBehindFile::run(Job& job) {
    switch (job.op) {
        case Op::Block:
            sealBlock(job.bytes(), job.size, job.bid, job.offset, job.crypt);
            file_.write(job.offset, job.bytes());
            break;
        case Op::Write: file_.write(job.offset, job.bytes()); break;
        case Op::WriteNow: file_.writeNow(job.offset, job.bytes()); break;
        case Op::Extend: file_.extendTo(job.offset); break;
        case Op::Header: putHeader(headerFrom(job.bytes()), job.bid != 0); break;
        case Op::Commit:
            // Everything queued before the commit goes to the file now, so
            // that the committing thread's sync covers it.
            file_.flush();
            handOverCommit(headerFrom(job.bytes()), job.bid);
            break;
    }
}

// The HEADER is written in place by two threads (the growth of the file,
// commits finished behind): each write starts from the last one, so a later
// write never takes back what an earlier one recorded. Counters and the end
// of the file only grow; the ROOT changes only with a commit's HEADER.
void WriteBehindFile::putHeader(HeaderFields h, bool newRoot) {
    std::lock_guard lock(headerMutex_);
    if (headerWritten_) {
        const HeaderFields& last = lastHeader_;
        if (!newRoot) {
            h.nbtBid = last.nbtBid;
            h.nbtIb = last.nbtIb;
            h.bbtBid = last.bbtBid;
            h.bbtIb = last.bbtIb;
        }
        if (last.fileEof > h.fileEof) {
            h.fileEof = last.fileEof;
            h.amapLast = last.amapLast;
            h.amapFree = last.amapFree;
        }
        h.bidNextB = std::max(h.bidNextB, last.bidNextB);
        h.bidNextP = std::max(h.bidNextP, last.bidNextP);
        for (size_t i = 0; i < h.rgnid.size(); ++i) h.rgnid[i] = std::max(h.rgnid[i], last.rgnid[i]);
        h.unique = last.unique + 1;
    } else {
        h.unique = 1;
    }
    file_.writeInPlace(0, buildHeader(h));
    lastHeader_ = h;
    headerWritten_ = true;
}

void WriteBehindFile::handOverCommit(const HeaderFields& fields, uint64_t number) {
    std::unique_lock lock(mutex_);
    // One commit at a time: the committer waits for the one before.
    progress_.wait(lock, [&] { return !handedCommit_.has_value(); });
    handedCommit_.emplace(fields, number);
    commitWork_.notify_one();
}

void WriteBehindFile::committer() {
    std::unique_lock lock(mutex_);
    for (;;) {
        commitWork_.wait(lock, [&] { return workerDone_ || handedCommit_.has_value(); });
        if (!handedCommit_) return;
        const auto [fields, number] = *handedCommit_;
        lock.unlock();
        // A failure of the writing thread after the hand-over does not stop
        // this commit: everything it reaches was written before.
        std::optional<NdbError> failed;
        try {
            finishCommit(fields, number);
        } catch (const NdbError& e) {
            failed = e;
        } catch (const std::bad_alloc&) {
            failed = NdbError(NdbError::Kind::Io, "cannot write " + file_.path().string() + ": out of memory");
        }
        lock.lock();
        if (failed) {
            if (!failure_) {
                failure_ = std::move(failed);
                failed_ = true;
            }
        } else {
            durable_.store(number, std::memory_order_release);
        }
        handedCommit_.reset();
        --commitsUnfinished_;
        progress_.notify_all();
        if (!failed) {
            lock.unlock();
            reach(CommitStep::Durable, number);
            lock.lock();
        }
    }
}

// The data first, then the HEADER that reaches it, then the HEADER itself:
// the same order a commit made in one go keeps.
void WriteBehindFile::finishCommit(const HeaderFields& fields, uint64_t number) {
    reach(CommitStep::BeforeFirstSync, number);
    file_.syncWritten();
    reach(CommitStep::BeforeHeader, number);
    putHeader(fields, true);
    reach(CommitStep::BeforeSecondSync, number);
    file_.syncWritten();
}

void WriteBehindFile::waitForCommits() {
    std::unique_lock lock(mutex_);
    progress_.wait(lock, [&] { return commitsUnfinished_ == 0; });
}

void WriteBehindFile::worker() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty()) {
            // Once woken the thread empties the queue; then it sleeps until
            // a batch is queued or someone needs the queue empty.
            if (stopping_) return;
            workerWaiting_ = true;
            hasWork_.wait(lock, [&] {
                return stopping_ || (!queue_.empty() && (queuedBytes_ >= wakeBytes_ || roomWanted_ || drainWaiters_ > 0 ||
                                                         commitsQueued_ > 0));
            });
            workerWaiting_ = false;
            if (queue_.empty()) return;  // stopping, and nothing left
        }
        Job job = std::move(queue_.front());
        queue_.pop_front();
        if (job.op == Op::Commit) --commitsQueued_;
        const bool skip = failure_.has_value();
        busy_ = true;
        lock.unlock();
        std::optional<NdbError> failed;
        if (!skip) {
            try {
                run(job);
            } catch (const NdbError& e) {
                failed = e;
            } catch (const std::bad_alloc&) {
                failed = NdbError(NdbError::Kind::Io, "cannot write " + file_.path().string() + ": out of memory");
            }
        }
        lock.lock();
        busy_ = false;
        const bool failedHere = failed.has_value();
        if (failed && !failure_) {
            failure_ = std::move(failed);
            failed_ = true;
        }
        queuedBytes_ -= job.length;
        // A commit not handed over (skipped, or its flush failed) ends here.
        const bool commitDropped = job.op == Op::Commit && (skip || failedHere);
        if (commitDropped) --commitsUnfinished_;
        spare_.push_back(std::move(job.data));
        // Enough buffers to fill the queue with blocks; the rest go back.
        if (spare_.size() > capacity_ / format::kMaxBlockSize + 1) spare_.pop_back();
        if (commitDropped || callerWaitIsOver()) progress_.notify_all();
    }
}

bool WriteBehindFile::callerWaitIsOver() const {
    if (drainWaiters_ > 0 && queue_.empty()) return true;
    return roomWanted_ && (failure_ || queue_.empty() || queuedBytes_ <= roomLevel_);
}

void WriteBehindFile::drain() {
    std::unique_lock lock(mutex_);
    if (queue_.empty() && !busy_) return;
    ++drainWaiters_;
    if (workerWaiting_) hasWork_.notify_one();
    progress_.wait(lock, [&] { return queue_.empty() && !busy_; });
    --drainWaiters_;
}

void WriteBehindFile::throwIfFailed() {
    if (!failed_) return;
    std::lock_guard lock(mutex_);
    if (failure_) throw *failure_;
}

void WriteBehindFile::read(uint64_t offset, std::span<uint8_t> out) {
    drain();
    throwIfFailed();
    file_.read(offset, out);
}

void WriteBehindFile::flush() {
    drain();
    throwIfFailed();
    file_.flush();
}

void WriteBehindFile::sync() {
    drain();
    waitForCommits();
    throwIfFailed();
    file_.sync();
}

bool WriteBehindFile::renameNoReplace(const std::filesystem::path& to) {
    drain();
    waitForCommits();
    throwIfFailed();
    return file_.renameNoReplace(to);
}

void WriteBehindFile::releaseReservation() {
    drain();
    waitForCommits();
    file_.releaseReservation();
}

void WriteBehindFile::close() {
    drain();
    waitForCommits();
    file_.close();
}

}  // namespace pst::ndb
