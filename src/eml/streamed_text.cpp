#include "eml/streamed_text.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include <unistd.h>

#include "eml/bodies.h"
#include "eml/charset.h"
#include "eml/html_to_text.h"
#include "eml/text_chunks.h"
#include "util/utf.h"

namespace eml {

namespace {

constexpr size_t kPiece = 64 * 1024;
// What a long body's derived values (charset, plain text of HTML, pictures
// the HTML shows) are computed from.
constexpr size_t kBodyBeginning = 256 * 1024;

// A value produced a piece at a time.
class ProducedSource : public pst::ValueSource {
public:
    size_t read(std::span<uint8_t> buffer) override {
        size_t given = 0;
        while (given < buffer.size()) {
            if (pendingAt_ < pending_.size()) {
                size_t n = std::min(pending_.size() - pendingAt_, buffer.size() - given);
                std::memcpy(buffer.data() + given, pending_.data() + pendingAt_, n);
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

protected:
    // Appends the next bytes to `out`; false once the value has ended (what
    // was appended then is its last).
    virtual bool produce(std::string& out) = 0;

private:
    std::string pending_;
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

class HeaderBlockSource final : public ProducedSource {
public:
    HeaderBlockSource(int fd, uint64_t from, uint64_t to, std::string fallback)
        : file_(fd, from, to), fallback_(std::move(fallback)) {}

    std::vector<std::string> warnings() const override {
        if (!readFailed_) return {};
        return {"the message's header block could not be read to its end from the file; what could be read was kept"};
    }

protected:
    bool produce(std::string& out) override {
        if (!decoder_) decoder_.emplace(allUtf8() ? "utf-8" : fallback_, ignored_);
        std::string_view piece = file_.next();
        decoded_.clear();
        bool more = !piece.empty();
        if (more) {
            text_.clear();
            appendHeaderText(piece, text_);
            decoder_->step(text_, decoded_);
        } else {
            readFailed_ = file_.failed();
            decoder_->finish(decoded_);
        }
        quillmere::appendUtf16Le(decoded_, out);
        return more;
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
    std::u16string decoded_;
    bool readFailed_ = false;
};

// Text lines as the item keeps them: CRLF line ends, no NUL characters,
// a line end split between two pieces read as one.
class CrlfLines {
public:
    void append(std::u16string_view text, std::u16string& out) {
        for (char16_t c : text) {
            bool cr = afterCr_;
            afterCr_ = c == u'\r';
            if (c == u'\r') out += u"\r\n";
            else if (c == u'\n') { if (!cr) out += u"\r\n"; }
            else if (c != 0) out.push_back(c);
        }
    }

private:
    bool afterCr_ = false;
};

// A text body: the part's decoded bytes (themselves streamed) read in their
// charset, as UTF-16LE with CRLF line ends (plain text) or as UTF-8 whose
// charset declaration says so (HTML).
class TextBodySource final : public ProducedSource {
public:
    TextBodySource(pst::StreamedBytes decoded, bool html) : decoded_(std::move(decoded)), html_(html) {}

    // Reads the beginning; the charset is then the declared one or, for
    // HTML, the one its <meta> names.
    std::string_view readBeginning() {
        piece_.resize(kPiece);
        while (raw_.size() < kBodyBeginning) {
            size_t n = decoded_->read(std::span(reinterpret_cast<uint8_t*>(piece_.data()), piece_.size()));
            if (n == 0) break;
            raw_.append(piece_.data(), n);
        }
        return raw_;
    }

    // Decodes the beginning in `charset`: the text the derived values are
    // computed from.
    const std::u16string& start(const std::string& charset) {
        decoder_.emplace(charset, warnings_);
        decoded16_.clear();
        decoder_->step(raw_, decoded16_);
        if (raw_.size() < kBodyBeginning) finishDecoding();
        else if (decoder_->charset().empty()) decoder_->flush(decoded16_);
        raw_.clear();
        raw_.shrink_to_fit();
        beginning_.clear();
        emit(decoded16_, beginning_);
        return beginning_;
    }
    const std::string& charset() const { return decoder_->charset(); }
    bool decodedWhole() const { return ended_; }

    std::vector<std::string> warnings() const override {
        std::vector<std::string> out = decoded_->warnings();
        for (const auto& w : warnings_.items())
            if (std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
        return out;
    }

protected:
    bool produce(std::string& out) override {
        if (!startGiven_) {
            startGiven_ = true;
            put(beginning_, out, true);
            beginning_.clear();
            beginning_.shrink_to_fit();
            return !ended_;
        }
        if (ended_) return false;
        size_t n = decoded_->read(std::span(reinterpret_cast<uint8_t*>(piece_.data()), piece_.size()));
        decoded16_.clear();
        if (n > 0) decoder_->step(std::string_view(piece_.data(), n), decoded16_);
        else finishDecoding();
        std::u16string lines;
        emit(decoded16_, lines);
        put(lines, out, false);
        return !ended_;
    }

private:
    void finishDecoding() {
        decoder_->finish(decoded16_);
        ended_ = true;
    }

    void emit(const std::u16string& text, std::u16string& out) {
        if (html_) out += text;
        else lines_.append(text, out);
    }

    void put(const std::u16string& text, std::string& out, bool first) {
        if (!html_) return quillmere::appendUtf16Le(text, out);
        std::string utf8 = utf16ToUtf8(text);
        out += first ? declareUtf8(std::move(utf8)) : utf8;
    }

    pst::StreamedBytes decoded_;
    bool html_;
    std::string raw_;
    std::vector<char> piece_;
    Warnings warnings_;
    std::optional<ChunkedTextDecoder> decoder_;
    std::u16string decoded16_;
    std::u16string beginning_;
    CrlfLines lines_;
    bool startGiven_ = false;
    bool ended_ = false;
};

}  // namespace

std::optional<StreamedTextBody> streamedTextBody(pst::StreamedBytes decoded, std::string charset, bool html) {
    auto source = std::make_shared<TextBodySource>(std::move(decoded), html);
    std::string_view raw = source->readBeginning();
    if (html && charset.empty()) charset = metaCharset(raw);
    if (!ChunkedTextDecoder::handles(charset)) return std::nullopt;
    StreamedTextBody body;
    body.beginning = source->start(charset);
    body.charset = source->charset();
    body.whole = source->decodedWhole();
    body.value = std::move(source);
    return body;
}

pst::StreamedBytes streamedHeaderBlock(int fd, uint64_t from, uint64_t to, std::string fallbackCharset) {
    return std::make_shared<HeaderBlockSource>(fd, from, to, std::move(fallbackCharset));
}

}  // namespace eml
