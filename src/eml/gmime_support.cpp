#include "eml/gmime_support.h"

#include <algorithm>
#include <mutex>
#include <type_traits>

#include "eml/transfer_decoding.h"

namespace eml {

void ensureGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

namespace {

std::string takeByteArray(GMimeStream* stream) {
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return std::string(reinterpret_cast<const char*>(array->data), array->len);
}

void noteDamage(bool damaged, Warnings* warnings) {
    if (damaged && warnings)
        warnings->add(kDamagedBase64Warning);
}

// The part's content decoded into `out` (a byte vector or a string), read
// piece by piece from a part that is a window onto a file, so that the
// encoded text is never held beside the result.
template <typename Out>
Out decodedInto(GMimePart* part, Warnings* warnings) {
    Out out;
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) return out;
    GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(wrapper);
    GMimeStream* source = g_mime_data_wrapper_get_stream(wrapper);
    if (!source) return out;
    // Parts of a message read from memory are decoded from its buffer
    // straight into the result.
    if (std::optional<std::string_view> raw = memoryWindow(source)) {
        if constexpr (std::is_same_v<Out, std::string>) {
            // Text is decoded straight into the string.
            if (ChunkedTransferDecoder::handles(encoding)) {
                ChunkedTransferDecoder decoder(encoding);
                out.resize(decoder.outputRoom(raw->size()));
                auto* into = reinterpret_cast<uint8_t*>(out.data());
                size_t made = decoder.step(*raw, into);
                made += decoder.finish(into + made);
                out.resize(made);
                noteDamage(decoder.damaged(), warnings);
                return out;
            }
        }
        TransferDecoded decoded = decodeTransfer(*raw, encoding);
        noteDamage(decoded.damaged, warnings);
        if constexpr (std::is_same_v<Out, std::vector<uint8_t>>) return std::move(decoded.bytes);
        out.assign(decoded.bytes.begin(), decoded.bytes.end());
        return out;
    }
    if (!ChunkedTransferDecoder::handles(encoding)) {
        GPtr<GMimeStream> copy(g_mime_stream_mem_new());
        g_mime_stream_reset(source);
        g_mime_stream_write_to_stream(source, copy.get());
        g_mime_stream_reset(source);
        TransferDecoded decoded = decodeTransfer(takeByteArray(copy.get()), encoding);
        noteDamage(decoded.damaged, warnings);
        out.assign(decoded.bytes.begin(), decoded.bytes.end());
        return out;
    }
    ChunkedTransferDecoder decoder(encoding);
    gint64 length = g_mime_stream_length(source);
    if (length > 0) out.reserve(static_cast<size_t>(length));
    std::vector<char> piece(64 * 1024);
    g_mime_stream_reset(source);
    for (;;) {
        ssize_t n = g_mime_stream_eos(source) ? 0 : g_mime_stream_read(source, piece.data(), piece.size());
        size_t at = out.size();
        out.resize(at + decoder.outputRoom(n > 0 ? static_cast<size_t>(n) : 0));
        auto* into = reinterpret_cast<uint8_t*>(out.data()) + at;
        size_t made = n > 0 ? decoder.step(std::string_view(piece.data(), static_cast<size_t>(n)), into) : decoder.finish(into);
        out.resize(at + made);
        if (n <= 0) break;
    }
    g_mime_stream_reset(source);
    noteDamage(decoder.damaged(), warnings);
    return out;
}

}  // namespace

std::optional<std::string_view> memoryWindow(GMimeStream* stream) {
    if (!stream || !GMIME_IS_STREAM_MEM(stream) || !GMIME_STREAM_MEM(stream)->buffer) return std::nullopt;
    GByteArray* buffer = GMIME_STREAM_MEM(stream)->buffer;
    gint64 start = stream->bound_start;
    gint64 end = stream->bound_end < 0 ? static_cast<gint64>(buffer->len) : stream->bound_end;
    if (start < 0 || start > end || end > static_cast<gint64>(buffer->len)) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(buffer->data) + start, static_cast<size_t>(end - start));
}

std::vector<uint8_t> decodedBytes(GMimePart* part, Warnings* warnings) {
    return decodedInto<std::vector<uint8_t>>(part, warnings);
}

std::string decodedContent(GMimePart* part, Warnings* warnings) {
    return decodedInto<std::string>(part, warnings);
}

std::string serialised(GMimeObject* object) {
    GPtr<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, out.get());
    return takeByteArray(out.get());
}

std::string mimeType(GMimeObject* object) {
    GMimeContentType* type = object ? g_mime_object_get_content_type(object) : nullptr;
    if (!type) return "application/octet-stream";
    std::string result = str(g_mime_content_type_get_media_type(type)) + "/" +
                         str(g_mime_content_type_get_media_subtype(type));
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

}  // namespace eml
