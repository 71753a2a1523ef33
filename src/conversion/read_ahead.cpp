#include "conversion/read_ahead.h"

#include "conversion/text.h"

#include <algorithm>
#include <system_error>

namespace conversion {

namespace {
// How far past the next expected file a read may be looked for: rows whose
// import never reached the reader are skipped, the rest is read at once.
constexpr size_t kLookAhead = 64;

// How many results a waiting caller is woken for (fewer at the list's end),
// unless the ones read hold this much: a message with a large attachment is
// worth the caller's time on its own, and must not wait for the next ones.
constexpr size_t kWakeBatch = 8;
constexpr uint64_t kWakeBytes = 128u << 10;

// What a streamed value holds while it waits: its read and decode buffers.
constexpr uint64_t kStreamedValueBytes = 160u << 10;

uint64_t heldBytes(const pst::PropValue& value) {
    if (auto* b = std::get_if<pst::Bytes>(&value)) return b->capacity();
    if (auto* s = std::get_if<std::u16string>(&value)) return 2 * s->capacity();
    if (auto* v = std::get_if<std::vector<std::u16string>>(&value)) {
        uint64_t n = 0;
        for (auto& s : *v) n += 32 + 2 * s.capacity();
        return n;
    }
    if (auto* v = std::get_if<std::vector<pst::Bytes>>(&value)) {
        uint64_t n = 0;
        for (auto& b : *v) n += 24 + b.capacity();
        return n;
    }
    if (auto* v = std::get_if<std::vector<int32_t>>(&value)) return 4 * v->capacity();
    if (auto* v = std::get_if<std::vector<int64_t>>(&value)) return 8 * v->capacity();
    if (auto* v = std::get_if<std::vector<pst::Guid>>(&value)) return 16 * v->capacity();
    if (auto* source = std::get_if<pst::StreamedBytes>(&value))
        return kStreamedValueBytes + (*source ? (*source)->heldInMemory() : 0);
    return 0;
}

uint64_t heldBytes(const std::vector<pst::Property>& props) {
    uint64_t n = 0;
    for (auto& p : props) n += sizeof p + heldBytes(p.value);
    return n;
}
}  // namespace

uint64_t heldBytes(const pst::MessageContent& content) {
    uint64_t n = sizeof content + heldBytes(content.props);
    for (auto& named : content.named) n += sizeof named + 2 * named.name.name.capacity() + heldBytes(named.value);
    for (auto& r : content.recipients) n += heldBytes(r.props);
    for (auto& a : content.attachments) {
        n += heldBytes(a.props);
        if (a.embedded) n += heldBytes(*a.embedded);
    }
    return n;
}

ReadAhead::ReadAhead(Reader reader) : ReadAhead(std::move(reader), Limits{}) {}

ReadAhead::ReadAhead(Reader reader, Limits limits) : reader_(std::move(reader)), limits_(limits) {}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void ReadAhead::expect(quillmere::PathList files) {
    {
        std::lock_guard lock(mutex_);
        files_ = std::move(files);
        ++generation_;
        nextToRead_ = nextToTake_ = 0;
        ready_.clear();
        readyBytes_ = 0;
        if (!files_.empty() && !worker_.joinable()) {
            try {
                worker_ = std::thread([this] { work(); });
            } catch (const std::system_error&) {
                files_ = {};  // no second thread: every file is read when asked for
            }
        }
    }
    changed_.notify_all();
}

bool ReadAhead::roomForMore() const {
    if (ready_.empty()) return true;
    return ready_.size() < limits_.messages && readyBytes_ < limits_.bytes;
}

bool ReadAhead::worthWakingWorker() const {
    if (!workerWaiting_ || std::max(nextToRead_, nextToTake_) >= files_.size()) return false;
    return ready_.empty() || (ready_.size() <= limits_.messages / 2 && readyBytes_ <= limits_.bytes / 2);
}

bool ReadAhead::callerWaitIsOver() const {
    if (ready_.empty()) return false;
    const size_t wanted = std::min({kWakeBatch, limits_.messages, files_.size() - ready_.front().index});
    return ready_.size() >= wanted || readyBytes_ >= std::min(limits_.bytes / 2, kWakeBytes);
}

void ReadAhead::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        workerWaiting_ = true;
        changed_.wait(lock, [this] { return stopping_ || (nextToRead_ < files_.size() && roomForMore()); });
        workerWaiting_ = false;
        if (stopping_) return;
        nextToRead_ = std::max(nextToRead_, nextToTake_);  // files the reads have passed are not wanted
        if (nextToRead_ >= files_.size()) continue;
        const size_t index = nextToRead_++;
        const uint64_t generation = generation_;
        const std::filesystem::path file = toPath(files_.at(index));
        lock.unlock();

        Result result;
        result.index = index;
        try {
            result.content = reader_(file);
            result.bytes = heldBytes(result.content->content);
        } catch (...) {
            result.error = std::current_exception();
        }

        lock.lock();
        if (generation != generation_) continue;
        readyBytes_ += result.bytes;
        ready_.push_back(std::move(result));
        if (callerWaiting_ && callerWaitIsOver()) changed_.notify_all();
    }
}

std::optional<size_t> ReadAhead::findExpected(const std::filesystem::path& file) const {
    const size_t end = std::min(files_.size(), nextToTake_ + kLookAhead);
    for (size_t i = nextToTake_; i < end; ++i)
        if (toPath(files_.at(i)) == file) return i;
    return std::nullopt;
}

ReadMessage ReadAhead::read(const std::filesystem::path& file) {
    std::unique_lock lock(mutex_);
    auto index = findExpected(file);
    if (!index) {
        lock.unlock();
        return reader_(file);
    }
    nextToTake_ = *index;  // the lowest index still wanted, while this one is awaited
    // Results come in index order; the ones before this file are not wanted.
    for (;;) {
        while (!ready_.empty() && ready_.front().index < *index) {
            readyBytes_ -= ready_.front().bytes;
            ready_.pop_front();
        }
        if (!ready_.empty()) break;
        if (workerWaiting_) changed_.notify_all();
        // Waiting for a few results rather than one: when reading is the
        // slower side, this thread then wakes once for each few messages.
        callerWaiting_ = true;
        changed_.wait(lock, [this] { return callerWaitIsOver(); });
        callerWaiting_ = false;
    }
    Result result = std::move(ready_.front());
    ready_.pop_front();
    readyBytes_ -= result.bytes;
    nextToTake_ = *index + 1;
    ++hits_;
    const bool wake = worthWakingWorker();
    lock.unlock();
    if (wake) changed_.notify_all();
    if (result.error) std::rethrow_exception(result.error);
    return std::move(*result.content);
}

size_t ReadAhead::readAheadHits() const {
    std::lock_guard lock(mutex_);
    return hits_;
}

}  // namespace conversion
