#include "eml/streamed_part.h"

#include <algorithm>
#include <array>
#include <vector>

#include "eml/gmime_support.h"
#include "eml/transfer_decoding.h"

namespace eml {

namespace {

class StreamedPart final : public pst::ValueSource {
public:
    StreamedPart(GMimeStream* stream, GMimeContentEncoding encoding) : stream_(stream), decoder_(encoding) {
        g_object_ref(stream);
    }

    size_t read(std::span<uint8_t> buffer) override {
        size_t given = 0;
        while (given < buffer.size()) {
            if (decodedAt_ < decoded_.size()) {
                size_t n = std::min(buffer.size() - given, decoded_.size() - decodedAt_);
                std::copy_n(decoded_.begin() + static_cast<std::ptrdiff_t>(decodedAt_), n, buffer.begin() + given);
                decodedAt_ += n;
                given += n;
                continue;
            }
            if (ended_) break;
            decodeMore();
        }
        return given;
    }

    std::vector<std::string> warnings() const override {
        std::vector<std::string> out;
        if (readFailed_) out.push_back("an attachment could not be read to its end from the file; what could be read was kept");
        if (decoder_.damaged()) out.push_back(kDamagedBase64Warning);
        return out;
    }

private:
    void decodeMore() {
        if (!started_) {
            started_ = true;
            if (g_mime_stream_reset(stream_.get()) != 0) return fail();
            expected_ = g_mime_stream_length(stream_.get());
        }
        decodedAt_ = 0;
        ssize_t n = 0;
        if (readSoFar_ < expected_) {
            size_t want = static_cast<size_t>(std::min<gint64>(expected_ - readSoFar_, static_cast<gint64>(encoded_.size())));
            n = g_mime_stream_read(stream_.get(), encoded_.data(), want);
        }
        if (n <= 0) {
            // The file ended, or could not be read, before the part did. (A
            // window onto a repaired file that runs to its end, a cat
            // stream, claims a length longer than it has.)
            bool windowEnded = n == 0 && GMIME_IS_STREAM_CAT(stream_.get()) && g_mime_stream_eos(stream_.get());
            if (readSoFar_ < expected_ && !windowEnded) readFailed_ = true;
            n = 0;
        }
        readSoFar_ += n;
        decoded_.resize(decoder_.outputRoom(static_cast<size_t>(n)));
        size_t out = 0;
        if (n > 0) {
            out = decoder_.step(std::string_view(encoded_.data(), static_cast<size_t>(n)), decoded_.data());
        } else {
            out = decoder_.finish(decoded_.data());
            ended_ = true;
        }
        decoded_.resize(out);
    }

    void fail() {
        readFailed_ = true;
        ended_ = true;
        decoded_.clear();
    }

    GPtr<GMimeStream> stream_;
    ChunkedTransferDecoder decoder_;
    std::vector<char> encoded_ = std::vector<char>(64 * 1024);
    std::vector<uint8_t> decoded_;
    size_t decodedAt_ = 0;
    gint64 expected_ = 0;  // the part's encoded length
    gint64 readSoFar_ = 0;
    bool started_ = false;
    bool ended_ = false;
    bool readFailed_ = false;
};

// The decoding of a part whose encoded bytes are in memory, written
// straight into the reader's buffer.
class HeldPart final : public pst::ValueSource {
public:
    HeldPart(GMimeStream* stream, std::string_view encoded, GMimeContentEncoding encoding)
        : stream_(stream), encoded_(encoded), decoder_(encoding) {
        g_object_ref(stream);  // which keeps the message's buffer
    }

    size_t read(std::span<uint8_t> buffer) override {
        size_t given = 0;
        while (given < buffer.size()) {
            if (pendingAt_ < pendingEnd_) {
                size_t n = std::min(buffer.size() - given, pendingEnd_ - pendingAt_);
                std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_), n, buffer.begin() + given);
                pendingAt_ += n;
                given += n;
                continue;
            }
            if (ended_) break;
            size_t room = buffer.size() - given;
            if (room >= pending_.size()) {
                given += decodeNext(buffer.data() + given, room);
            } else {
                pendingAt_ = 0;
                pendingEnd_ = decodeNext(pending_.data(), pending_.size());
            }
        }
        return given;
    }

    std::vector<std::string> warnings() const override {
        if (decoder_.damaged()) return {kDamagedBase64Warning};
        return {};
    }

    uint64_t heldInMemory() const override { return ended_ ? 0 : encoded_.size(); }

private:
    size_t decodeNext(uint8_t* out, size_t room) {
        size_t take = std::min(encoded_.size() - at_, decoder_.inputFitting(room));
        if (take == 0) {
            ended_ = true;
            stream_.reset();  // the message's buffer may go
            return decoder_.finish(out);
        }
        size_t made = decoder_.step(encoded_.substr(at_, take), out);
        at_ += take;
        return made;
    }

    GPtr<GMimeStream> stream_;
    std::string_view encoded_;
    size_t at_ = 0;
    ChunkedTransferDecoder decoder_;
    // For a reader that asks for fewer bytes than a step may give.
    std::array<uint8_t, 256> pending_;
    size_t pendingAt_ = 0;
    size_t pendingEnd_ = 0;
    bool ended_ = false;
};

}  // namespace

pst::StreamedBytes streamedHeldContent(GMimePart* part, gint64 minimum) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) return nullptr;
    GMimeStream* source = g_mime_data_wrapper_get_stream(wrapper);
    GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(wrapper);
    std::optional<std::string_view> encoded = memoryWindow(source);
    if (!encoded || !ChunkedTransferDecoder::handles(encoding)) return nullptr;
    if (static_cast<gint64>(encoded->size()) < minimum) return nullptr;
    return std::make_shared<HeldPart>(source, *encoded, encoding);
}

pst::StreamedBytes streamedContent(GMimePart* part, gint64 minimum) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) return nullptr;
    GMimeStream* source = g_mime_data_wrapper_get_stream(wrapper);
    GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(wrapper);
    if (!source || GMIME_IS_STREAM_MEM(source) || !ChunkedTransferDecoder::handles(encoding)) return nullptr;
    if (g_mime_stream_length(source) < minimum) return nullptr;
    return std::make_shared<StreamedPart>(source, encoding);
}

}  // namespace eml
