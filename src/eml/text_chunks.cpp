#include "eml/text_chunks.h"

#include "eml/charset.h"

namespace eml {

namespace {

// A piece held this long without a safe place to cut is cut anyway.
constexpr size_t kLongestHeld = 1u << 20;

// Bytes below 0x40 are single characters in every charset handled here:
// UTF-8 and the double-byte charsets (Shift_JIS, GBK, Big5, EUC) use only
// bytes from 0x40 inside a character.
size_t safeCut(std::string_view bytes) {
    for (size_t i = bytes.size(); i > 0; --i)
        if (static_cast<unsigned char>(bytes[i - 1]) < 0x40) return i;
    return 0;
}

// The end of the last whole UTF-8 character (a forced cut).
size_t utf8Cut(std::string_view bytes) {
    size_t at = bytes.size();
    for (int back = 0; back < 4 && at > 0; ++back) {
        auto c = static_cast<unsigned char>(bytes[at - 1]);
        if (c < 0x80) return at;
        --at;
        if (c >= 0xC0) {
            int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            return bytes.size() - at >= static_cast<size_t>(length) ? bytes.size() : at;
        }
    }
    return bytes.size();
}

}  // namespace

ChunkedTextDecoder::ChunkedTextDecoder(std::string charset, Warnings& warnings)
    : charset_(std::move(charset)), warnings_(warnings) {}

const std::string& ChunkedTextDecoder::charset() const { return read_; }

bool ChunkedTextDecoder::handles(std::string_view declared) {
    std::string charset = canonicalCharset(declared);
    return charset.find("2022") == std::string::npos && charset.rfind("utf-16", 0) != 0 &&
           charset.rfind("utf-32", 0) != 0 && charset.rfind("ucs", 0) != 0 && charset != "utf-7" &&
           charset.find("hz") == std::string::npos;
}

void ChunkedTextDecoder::decode(std::string_view bytes, std::u16string& out) {
    if (bytes.empty()) return;
    decodedAny_ = true;
    DecodedText decoded = decodeText(bytes, charset_, warnings_);
    out += decoded.text;
    // A guess made on the first 8-bit text holds for the rest.
    if (decoded.charset != charset_ && (decoded.charset == "utf-8" || decoded.charset == "windows-1252"))
        charset_ = decoded.charset;
    if (charset().empty() || read_ == "us-ascii") read_ = decoded.charset;
}

void ChunkedTextDecoder::step(std::string_view bytes, std::u16string& out) {
    std::string_view text = bytes;
    if (!held_.empty()) {
        held_.append(bytes);
        text = held_;
    }
    size_t cut = safeCut(text);
    if (cut == 0 && text.size() >= kLongestHeld) cut = utf8Cut(text);
    decode(text.substr(0, cut), out);
    std::string rest(text.substr(cut));
    held_ = std::move(rest);
}

void ChunkedTextDecoder::flush(std::u16string& out) {
    size_t cut = utf8Cut(held_);
    decode(std::string_view(held_).substr(0, cut), out);
    held_.erase(0, cut);
}

void ChunkedTextDecoder::finish(std::u16string& out) {
    if (!decodedAny_) {
        // An empty text is read (and named) as decodeText reads it.
        DecodedText decoded = decodeText(held_, charset_, warnings_);
        out += decoded.text;
        read_ = decoded.charset;
    } else {
        decode(held_, out);
    }
    held_.clear();
}

}  // namespace eml
