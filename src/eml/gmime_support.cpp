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

std::string decodedContent(GMimePart* part) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) return {};
    GPtr<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(wrapper, out.get());
    return takeByteArray(out.get());
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
