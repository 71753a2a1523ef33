#include "eml/gmime_support.h"

#include <algorithm>
#include <mutex>

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

}  // namespace

namespace {

// Decodes into a buffer sized for the whole content at once: big attachments
// are then written once, not regrown and copied over and over.
GByteArray* decodeToArray(GMimePart* part) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) return nullptr;
    GMimeStream* source = g_mime_data_wrapper_get_stream(wrapper);
    gint64 length = source ? g_mime_stream_length(source) : -1;
    guint reserve = length > 0 && length < G_MAXINT32 ? static_cast<guint>(length) : 0;
    if (g_mime_data_wrapper_get_encoding(wrapper) == GMIME_CONTENT_ENCODING_BASE64) reserve = reserve / 4 * 3 + 4;
    GByteArray* array = g_byte_array_sized_new(reserve);
    GPtr<GMimeStream> out(g_mime_stream_mem_new_with_byte_array(array));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(out.get()), FALSE);
    g_mime_data_wrapper_write_to_stream(wrapper, out.get());
    return array;
}

}  // namespace

std::vector<uint8_t> decodedBytes(GMimePart* part) {
    // Parts of a message read from memory are windows onto one buffer: the
    // common encodings are decoded from there straight into the result.
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    GMimeStream* source = wrapper ? g_mime_data_wrapper_get_stream(wrapper) : nullptr;
    if (source && GMIME_IS_STREAM_MEM(source) && GMIME_STREAM_MEM(source)->buffer) {
        GByteArray* buffer = GMIME_STREAM_MEM(source)->buffer;
        gint64 start = source->bound_start;
        gint64 end = source->bound_end < 0 ? static_cast<gint64>(buffer->len) : source->bound_end;
        if (start >= 0 && start <= end && end <= static_cast<gint64>(buffer->len)) {
            const char* raw = reinterpret_cast<const char*>(buffer->data) + start;
            size_t length = static_cast<size_t>(end - start);
            GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(wrapper);
            switch (encoding) {
                case GMIME_CONTENT_ENCODING_BASE64:
                case GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE: {
                    GMimeEncoding state;
                    g_mime_encoding_init_decode(&state, encoding);
                    std::vector<uint8_t> out(g_mime_encoding_outlen(&state, length) + 4);
                    size_t n = g_mime_encoding_flush(&state, raw, length, reinterpret_cast<char*>(out.data()));
                    out.resize(n);
                    return out;
                }
                case GMIME_CONTENT_ENCODING_DEFAULT:
                case GMIME_CONTENT_ENCODING_7BIT:
                case GMIME_CONTENT_ENCODING_8BIT:
                case GMIME_CONTENT_ENCODING_BINARY:
                    return std::vector<uint8_t>(raw, raw + length);
                default:
                    break;  // uuencode and the like take the filter road
            }
        }
    }
    GByteArray* array = decodeToArray(part);
    if (!array) return {};
    std::vector<uint8_t> out(array->data, array->data + array->len);
    g_byte_array_unref(array);
    return out;
}

std::string decodedContent(GMimePart* part) {
    std::vector<uint8_t> bytes = decodedBytes(part);
    return std::string(bytes.begin(), bytes.end());
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
