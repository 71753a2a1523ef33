#include "pst/ndb/write_behind_file.h"

#include <algorithm>
#include <cstring>

#include "pst/format/constants.h"
#include "pst/ndb/disk_format.h"

namespace pst::ndb {

WriteBehindFile::WriteBehindFile(const std::filesystem::path& path, size_t queueBytes)
    : file_(path), capacity_(queueBytes), wakeBytes_(std::clamp<size_t>(queueBytes / 4, 1, 1 << 20)) {
    thread_ = std::thread([this] { worker(); });
}

WriteBehindFile::~WriteBehindFile() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    hasWork_.notify_all();
    thread_.join();
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
    const bool wake = workerWaiting_ && queuedBytes_ >= wakeBytes_;
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

void WriteBehindFile::run(Job& job) {
    switch (job.op) {
        case Op::Block:
            sealBlock(job.bytes(), job.size, job.bid, job.offset, job.crypt);
            file_.write(job.offset, job.bytes());
            break;
        case Op::Write: file_.write(job.offset, job.bytes()); break;
        case Op::WriteNow: file_.writeNow(job.offset, job.bytes()); break;
        case Op::Extend: file_.extendTo(job.offset); break;
    }
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
                return stopping_ || (!queue_.empty() && (queuedBytes_ >= wakeBytes_ || roomWanted_ || drainWaiters_ > 0));
            });
            workerWaiting_ = false;
            if (queue_.empty()) return;  // stopping, and nothing left
        }
        Job job = std::move(queue_.front());
        queue_.pop_front();
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
        if (failed && !failure_) {
            failure_ = std::move(failed);
            failed_ = true;
        }
        queuedBytes_ -= job.length;
        spare_.push_back(std::move(job.data));
        // Enough buffers to fill the queue with blocks; the rest go back.
        if (spare_.size() > capacity_ / format::kMaxBlockSize + 1) spare_.pop_back();
        if (callerWaitIsOver()) progress_.notify_all();
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
    throwIfFailed();
    file_.sync();
}

bool WriteBehindFile::renameNoReplace(const std::filesystem::path& to) {
    drain();
    throwIfFailed();
    return file_.renameNoReplace(to);
}

void WriteBehindFile::releaseReservation() {
    drain();
    file_.releaseReservation();
}

void WriteBehindFile::close() {
    drain();
    file_.close();
}

}  // namespace pst::ndb
