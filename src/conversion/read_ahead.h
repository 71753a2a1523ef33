#pragma once
// Reads the messages a run is about to import on a second thread, in the
// order they will be asked for, so that parsing one file overlaps writing the
// one before. What is asked for is always what the reader gives for that
// file: a file read ahead gives the same content, or the same exception, as
// reading it when asked.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "eml/warnings.h"
#include "pst/message_content.h"
#include "util/path_list.h"

namespace conversion {

// One file turned into a message, with what the reader repaired or dropped
// on the way (empty for a clean message), and the streamed values whose
// damage is known once they are read and belongs among those warnings.
struct ReadMessage {
    ReadMessage(pst::MessageContent content = {}, std::vector<std::string> warnings = {},
                std::vector<eml::WarningsWhenRead> warningsWhenRead = {})
        : content(std::move(content)), warnings(std::move(warnings)), warningsWhenRead(std::move(warningsWhenRead)) {}
    pst::MessageContent content;
    std::vector<std::string> warnings;
    std::vector<eml::WarningsWhenRead> warningsWhenRead;
};

// The memory a read message holds: its values, and for each streamed value
// the buffers it reads through (its bytes stay in the file until written).
uint64_t heldBytes(const pst::MessageContent& content);

class ReadAhead {
public:
    using Reader = std::function<ReadMessage(const std::filesystem::path&)>;

    struct Limits {
        // Enough small messages to keep the reading thread busy while the
        // store's thread waits for a commit to reach the disk.
        size_t messages = 512;
        // By the memory the read messages hold (heldBytes); one message is
        // read ahead whatever its size.
        uint64_t bytes = 8u << 20;
    };

    explicit ReadAhead(Reader reader);
    ReadAhead(Reader reader, Limits limits);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The files that will be read next, in order. Replaces what was expected
    // before; an empty list stops reading ahead and drops what was read.
    void expect(quillmere::PathList files);

    // The content of `file`. A file that is among the next expected ones is
    // taken from the read-ahead (the expected files before it are dropped);
    // any other file is read at once, on the caller's thread.
    ReadMessage read(const std::filesystem::path& file);

    // How many reads were answered from the read-ahead (for tests).
    size_t readAheadHits() const;

private:
    struct Result {
        size_t index = 0;
        uint64_t bytes = 0;
        std::optional<ReadMessage> content;
        std::exception_ptr error;
    };

    void work();
    bool roomForMore() const;
    bool worthWakingWorker() const;
    bool callerWaitIsOver() const;
    std::optional<size_t> findExpected(const std::filesystem::path& file) const;

    Reader reader_;
    Limits limits_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    quillmere::PathList files_;
    uint64_t generation_ = 0;   // bumped by expect(), so a stale result is not queued
    size_t nextToRead_ = 0;     // the worker's next index
    size_t nextToTake_ = 0;     // the caller's next index
    std::deque<Result> ready_;
    uint64_t readyBytes_ = 0;
    size_t hits_ = 0;
    // Who waits, so that the other side wakes it only then: the worker for
    // room (woken once half the read-ahead is taken), the caller for a result.
    bool workerWaiting_ = false;
    bool callerWaiting_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace conversion
