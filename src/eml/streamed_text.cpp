#include "eml/streamed_text.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include <unistd.h>

#include "eml/charset.h"
#include "eml/text_chunks.h"

namespace eml {

namespace {

constexpr size_t kPiece = 64 * 1024;

// A value made of UTF-16 text produced a piece at a time.
class Utf16Source : public pst::ValueSource {
public:
    size_t read(std::span<uint8_t> buffer) override {
        size_t given = 0;
        while (given < buffer.size()) {
            size_t ready = pending_.size() * sizeof(char16_t) - pendingAt_;
            if (ready > 0) {
                size_t n = std::min(ready, buffer.size() - given);
                std::memcpy(buffer.data() + given, reinterpret_cast<const uint8_t*>(pending_.data()) + pendingAt_, n);
                pendingAt_ += n;
                given += n;
                continue;
            }
            if (ended_) break;
            pending_.clear();
            pendingAt_ = 0;
            ended_ = !produce(pending_);
        }
        return given;
    }

    std::vector<std::string> warnings() const override {
        if (!readFailed_) return {};
        return {"a long text could not be read to its end from the file; what could be read was kept"};
    }

protected:
    // Appends the next text to `out`; false once the text has ended (what
    // was appended then is its last).
    virtual bool produce(std::u16string& out) = 0;
    bool readFailed_ = false;

private:
    std::u16string pending_;
    size_t pendingAt_ = 0;
    bool ended_ = false;
};

// Bytes [at, to) of a file, a piece at a time.
class FileRange {
public:
    FileRange(int fd, uint64_t from, uint64_t to) : fd_(dup(fd)), from_(from), at_(from), to_(to) {}
    ~FileRange() { if (fd_ >= 0) close(fd_); }
    FileRange(const FileRange&) = delete;
    FileRange& operator=(const FileRange&) = delete;

    // The next piece; empty at the end or when the file fails (`failed`).
    std::string_view next() {
        if (fd_ < 0 || at_ >= to_) return {};
        size_t want = static_cast<size_t>(std::min<uint64_t>(buffer_.size(), to_ - at_));
        ssize_t n = pread(fd_, buffer_.data(), want, static_cast<off_t>(at_));
        if (n <= 0) {
            failed_ = true;
            return {};
        }
        at_ += static_cast<uint64_t>(n);
        return {buffer_.data(), static_cast<size_t>(n)};
    }
    void rewind() { at_ = from_; }
    bool failed() const { return failed_ || fd_ < 0; }

private:
    int fd_;
    uint64_t from_, at_, to_;
    bool failed_ = false;
    std::vector<char> buffer_ = std::vector<char>(kPiece);
};

// Header lines as the item keeps them: CRLF line ends, no NUL bytes.
void appendHeaderText(std::string_view piece, std::string& out) {
    for (char c : piece) {
        if (c == '\r' || c == '\0') continue;
        if (c == '\n') out += "\r\n";
        else out.push_back(c);
    }
}

class HeaderBlockSource final : public Utf16Source {
public:
    HeaderBlockSource(int fd, uint64_t from, uint64_t to, std::string fallback)
        : file_(fd, from, to), fallback_(std::move(fallback)) {}

protected:
    bool produce(std::u16string& out) override {
        if (!decoder_) decoder_.emplace(allUtf8() ? "utf-8" : fallback_, ignored_);
        std::string_view piece = file_.next();
        if (piece.empty()) {
            readFailed_ = file_.failed();
            decoder_->finish(out);
            return false;
        }
        text_.clear();
        appendHeaderText(piece, text_);
        decoder_->step(text_, out);
        return true;
    }

private:
    // One pass over the block before it is read: is it UTF-8 throughout?
    bool allUtf8() {
        std::string held;
        bool valid = true;
        for (std::string_view piece; valid && !(piece = file_.next()).empty();) {
            appendHeaderText(piece, held);
            size_t whole = held.size();
            // A character split between two pieces is checked with the next.
            for (int back = 0; back < 4 && whole > 0 && (static_cast<unsigned char>(held[whole - 1]) & 0x80); ++back) {
                --whole;
                if (static_cast<unsigned char>(held[whole]) >= 0xC0) break;
            }
            valid = isValidUtf8(std::string_view(held).substr(0, whole));
            held.erase(0, whole);
        }
        valid = valid && isValidUtf8(held);
        file_.rewind();
        return valid;
    }

    FileRange file_;
    std::string fallback_;
    Warnings ignored_;  // the block's charset is a guess: no warning
    std::optional<ChunkedTextDecoder> decoder_;
    std::string text_;
};

}  // namespace

pst::StreamedBytes streamedHeaderBlock(int fd, uint64_t from, uint64_t to, std::string fallbackCharset) {
    return std::make_shared<HeaderBlockSource>(fd, from, to, std::move(fallbackCharset));
}

}  // namespace eml
