#include "eml/eml_parser.h"

#include <cstring>
#include <fstream>

#include "eml/gmime_support.h"
#include "eml/message_reader.h"
#include "eml/parse_context.h"

namespace eml {

namespace {

// Headers that only a mail message carries; a file with none of them is not
// one.
bool looksLikeMail(GMimeMessage* message) {
    static const char* const known[] = {
        "From", "To", "Cc", "Bcc", "Subject", "Date", "Message-ID", "Received", "MIME-Version",
        "Content-Type", "Sender", "Reply-To", "Return-Path", "In-Reply-To", "References",
        "Delivered-To", "X-Mailer", "Content-Transfer-Encoding", "Newsgroups", "X-Unsent"};
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        const char* name = g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i));
        if (!name) continue;
        for (const char* k : known)
            if (g_ascii_strcasecmp(name, k) == 0) return true;
    }
    return false;
}

void onParserWarning(gint64, GMimeParserWarning code, const gchar*, gpointer userData) {
    auto* warnings = static_cast<Warnings*>(userData);
    switch (code) {
        case GMIME_WARN_MALFORMED_MULTIPART:
        case GMIME_CRIT_MULTIPART_WITHOUT_BOUNDARY:
            warnings->add("a multipart part is malformed; its content was read as far as possible");
            break;
        case GMIME_WARN_TRUNCATED_MESSAGE:
            warnings->add("the message is truncated");
            break;
        case GMIME_WARN_MALFORMED_MESSAGE:
            warnings->add("the message is malformed");
            break;
        case GMIME_CRIT_NESTING_OVERFLOW:
            warnings->add("the MIME parts are nested too deep; the deepest were kept unread");
            break;
        case GMIME_CRIT_INVALID_HEADER_NAME:
            warnings->add("a header line is not valid and was skipped");
            break;
        case GMIME_WARN_INVALID_CONTENT_TYPE:
            warnings->add("a content type cannot be read; the part is kept as a file");
            break;
        default:
            break;
    }
}

// Mail clients skip NUL bytes in the header block; GMime would end a
// header's value at the first one.
void dropHeaderNuls(GByteArray* array) {
    const uint8_t* bytes = array->data;
    size_t size = array->len;
    size_t headerEnd = size;
    for (size_t i = 0; i + 1 < size; ++i) {
        if (bytes[i] != '\n') continue;
        if (bytes[i + 1] == '\n' || (bytes[i + 1] == '\r' && i + 2 < size && bytes[i + 2] == '\n')) {
            headerEnd = i + 1;
            break;
        }
    }
    size_t kept = 0;
    for (size_t i = 0; i < headerEnd; ++i)
        if (bytes[i] != 0) array->data[kept++] = bytes[i];
    if (kept == headerEnd) return;
    std::memmove(array->data + kept, array->data + headerEnd, size - headerEnd);
    g_byte_array_set_size(array, static_cast<guint>(size - (headerEnd - kept)));
}

struct OptionsDeleter {
    void operator()(GMimeParserOptions* options) const { g_mime_parser_options_free(options); }
};

}  // namespace

namespace {

ParseResult parseArray(GByteArray* array) {
    Warnings warnings;
    std::unique_ptr<GMimeParserOptions, OptionsDeleter> options(g_mime_parser_options_new());
    g_mime_parser_options_set_address_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_parameter_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_rfc2047_compliance_mode(options.get(), GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_allow_addresses_without_domain(options.get(), TRUE);
    const char* charsets[] = {"utf-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options.get(), charsets);
    g_mime_parser_options_set_warning_callback(options.get(), onParserWarning, &warnings);

    // GMime keeps the parts as windows onto this one buffer.
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(array));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream.get()), TRUE);

    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), options.get()));
    if (!message || !looksLikeMail(message.get()))
        throw ParseError("The file is not an e-mail message: it has no message headers.");

    gint64 headersEnd = g_mime_parser_get_headers_end(parser.get());
    if (headersEnd < 0 || static_cast<uint64_t>(headersEnd) > array->len) headersEnd = 0;
    std::string_view rawHeaders(reinterpret_cast<const char*>(array->data), static_cast<size_t>(headersEnd));

    ParseContext context;
    context.options = options.get();
    context.warnings = &warnings;
    ParseResult result;
    result.message = readMessageContent(message.get(), rawHeaders, array->len, context, 0);
    result.warnings = warnings.take();
    return result;
}

bool isBlank(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (data[i] != ' ' && data[i] != '\t' && data[i] != '\r' && data[i] != '\n') return false;
    return true;
}

}  // namespace

ParseResult parseMessage(std::span<const uint8_t> bytes) {
    ensureGMime();
    if (isBlank(bytes.data(), bytes.size())) throw ParseError("The file is empty.");
    if (bytes.size() > G_MAXUINT32 / 2) throw ParseError("The file is larger than 2 GB, more than one message can hold.");
    GByteArray* array = g_byte_array_sized_new(static_cast<guint>(bytes.size()));
    g_byte_array_append(array, bytes.data(), static_cast<guint>(bytes.size()));
    dropHeaderNuls(array);
    return parseArray(array);
}

ParseResult parseFile(const std::filesystem::path& file) {
    ensureGMime();
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) throw ParseError("The path names a folder, not a file.");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ParseError("The file cannot be opened.");
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) throw ParseError("The file cannot be read.");
    if (static_cast<uint64_t>(size) > G_MAXUINT32 / 2)
        throw ParseError("The file is larger than 2 GB, more than one message can hold.");
    in.seekg(0, std::ios::beg);
    GByteArray* array = g_byte_array_sized_new(static_cast<guint>(size));
    g_byte_array_set_size(array, static_cast<guint>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(array->data), size)) {
        g_byte_array_unref(array);
        throw ParseError("The file cannot be read.");
    }
    if (isBlank(array->data, array->len)) {
        g_byte_array_unref(array);
        throw ParseError("The file is empty.");
    }
    dropHeaderNuls(array);
    return parseArray(array);
}

}  // namespace eml
