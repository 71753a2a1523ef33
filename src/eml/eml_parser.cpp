#include "eml/eml_parser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/mman.h>
#include <unistd.h>

#include "eml/buffered_read_stream.h"
#include "eml/dates.h"
#include "eml/gmime_support.h"
#include "eml/message_reader.h"
#include "eml/parse_context.h"
#include "eml/raw_repair.h"
#include "eml/skipped_bodies.h"
#include "eml/streamed_text.h"

namespace eml {

namespace {

// Headers that only a mail message or a MIME entity carries; a file with
// none of them is not one. GMime keeps the Content-* fields on the message's
// MIME part.
bool hasMailHeader(GMimeHeaderList* headers) {
    static const char* const known[] = {
        "From", "To", "Cc", "Bcc", "Subject", "Date", "Message-ID", "Received", "MIME-Version",
        "Content-Type", "Sender", "Reply-To", "Return-Path", "In-Reply-To", "References",
        "Delivered-To", "X-Mailer", "Content-Transfer-Encoding", "Content-Disposition", "Newsgroups", "X-Unsent"};
    int count = headers ? g_mime_header_list_get_count(headers) : 0;
    for (int i = 0; i < count; ++i) {
        const char* name = g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i));
        if (!name) continue;
        for (const char* k : known)
            if (g_ascii_strcasecmp(name, k) == 0) return true;
    }
    return false;
}

bool looksLikeMail(GMimeMessage* message) {
    if (hasMailHeader(g_mime_object_get_header_list(GMIME_OBJECT(message)))) return true;
    GMimeObject* part = g_mime_message_get_mime_part(message);
    return part && hasMailHeader(g_mime_object_get_header_list(part));
}

// Text a mail reader would show: no control characters beyond the odd one
// (tabs, line ends, form feeds and the escapes of ISO-2022 are text).
bool looksLikeText(const uint8_t* data, size_t size) {
    size_t sample = std::min<size_t>(size, 65536);
    size_t control = 0;
    for (size_t i = 0; i < sample; ++i) {
        uint8_t c = data[i];
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1B) || c == 0x7F) ++control;
    }
    return control * 100 <= sample;
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

struct OptionsDeleter {
    void operator()(GMimeParserOptions* options) const { g_mime_parser_options_free(options); }
};

}  // namespace

namespace {

// The length of the line break that starts `text` (the blank line ending the
// header block), 0 when there is none.
size_t leadingLineBreak(std::string_view text) {
    if (text.starts_with("\r\n")) return 2;
    return text.starts_with('\n') ? 1 : 0;
}

// The bytes after the blank line that ends the header block.
std::string_view bodyAfterHeaders(GByteArray* array, size_t headersEnd) {
    std::string_view rest = std::string_view(reinterpret_cast<const char*>(array->data), array->len)
                                .substr(std::min<size_t>(headersEnd, array->len));
    return rest.substr(leadingLineBreak(rest));
}

pst::FileTime currentTime() {
    gint64 micros = g_get_real_time();
    return fileTimeFromUnix(micros / 1000000, static_cast<int32_t>(micros % 1000000));
}

// GMime's parser options, made once for each thread (a set costs a dozen
// allocations) and pointed at the warnings of the message being read.
GMimeParserOptions* parserOptions(Warnings& warnings) {
    thread_local std::unique_ptr<GMimeParserOptions, OptionsDeleter> options = [] {
        std::unique_ptr<GMimeParserOptions, OptionsDeleter> made(g_mime_parser_options_new());
        g_mime_parser_options_set_address_compliance_mode(made.get(), GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(made.get(), GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_rfc2047_compliance_mode(made.get(), GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_allow_addresses_without_domain(made.get(), TRUE);
        const char* charsets[] = {"utf-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(made.get(), charsets);
        return made;
    }();
    g_mime_parser_options_set_warning_callback(options.get(), onParserWarning, &warnings);
    return options.get();
}

// GMime keeps the parts as windows onto the one buffer the stream owns: the
// stream must live as long as the message.
struct Constructed {
    GPtr<GMimeStream> stream;
    GPtr<GMimeMessage> message;
    gint64 headersEnd = 0;
};

Constructed constructMessage(GPtr<GMimeStream> stream, GMimeParserOptions* options) {
    Constructed out;
    out.stream = std::move(stream);
    // Read a file in large pieces; a message in memory is read where it is.
    constexpr size_t kParserReads = 1u << 20;
    GPtr<GMimeStream> read(GMIME_IS_STREAM_MEM(out.stream.get())
                               ? GMIME_STREAM(g_object_ref(out.stream.get()))
                               : bufferedReadStream(out.stream.get(), kParserReads));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(read.get()));
    g_mime_parser_set_persist_stream(parser.get(), TRUE);
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    out.message.reset(g_mime_parser_construct_message(parser.get(), options));
    out.headersEnd = g_mime_parser_get_headers_end(parser.get());
    return out;
}

Constructed constructMessage(GByteArray* array, GMimeParserOptions* options) {
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(array));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream.get()), TRUE);
    return constructMessage(std::move(stream), options);
}

// A file of text without any message header: mail readers show it as the
// text of a message without sender or subject.
const char kHeaderlessHeader[] = "Content-Type: text/plain\r\n\r\n";

ParseResult readHeaderlessText(GPtr<GMimeStream> stream, std::optional<pst::FileTime> fileTime, Warnings& warnings) {
    Warnings ignored;
    GMimeParserOptions* options = parserOptions(ignored);
    Constructed parsed = constructMessage(std::move(stream), options);
    GMimeMessage* message = parsed.message.get();
    if (!message) throw ParseError("The file is not an e-mail message: it has no message headers.");
    warnings.add("the file has no message headers; its text became the body of an item without sender or subject");
    ParseContext context;
    context.options = options;
    context.warnings = &warnings;
    context.sentTime = {fileTime, currentTime()};
    ParseResult result;
    result.message = readMessageContent(message, std::string_view(), context, 0);
    result.warnings = warnings.take();
    return result;
}

ParseResult readHeaderlessText(const uint8_t* data, size_t size, std::optional<pst::FileTime> fileTime,
                               Warnings& warnings) {
    GByteArray* array = g_byte_array_sized_new(static_cast<guint>(size + sizeof kHeaderlessHeader));
    g_byte_array_append(array, reinterpret_cast<const guint8*>(kHeaderlessHeader), sizeof kHeaderlessHeader - 1);
    g_byte_array_append(array, data, static_cast<guint>(size));
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(array));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream.get()), TRUE);
    return readHeaderlessText(std::move(stream), fileTime, warnings);
}

ParseResult parseArray(GByteArray* array, std::optional<pst::FileTime> fileTime, int64_t heldPartStreamedFrom) {
    Warnings warnings;
    RepairedInput repaired = repairRawMessage(array, warnings);
    GMimeParserOptions* options = parserOptions(warnings);
    Constructed parsed = constructMessage(array, options);
    GMimeMessage* message = parsed.message.get();
    if (!message || !looksLikeMail(message)) {
        // The file as it came, as a file read from disk is judged.
        std::string_view text = repaired.original.empty()
                                    ? std::string_view(reinterpret_cast<const char*>(array->data), array->len)
                                    : std::string_view(repaired.original);
        if (!looksLikeText(reinterpret_cast<const uint8_t*>(text.data()), text.size()))
            throw ParseError("The file is not an e-mail message: it holds binary data, not text or message headers.");
        Warnings textWarnings;
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        return readHeaderlessText(reinterpret_cast<const uint8_t*>(text.data()), text.size(), fileTime, textWarnings);
    }

    gint64 headersEnd = parsed.headersEnd;
    if (headersEnd < 0 || static_cast<uint64_t>(headersEnd) > array->len) headersEnd = 0;
    std::string_view rawHeaders(reinterpret_cast<const char*>(array->data), static_cast<size_t>(headersEnd));
    if (repaired.headersChanged) rawHeaders = repaired.originalHeaders;

    ParseContext context;
    context.options = options;
    context.warnings = &warnings;
    context.sentTime = {fileTime, currentTime()};
    context.fileBody = [array, headersEnd] { return std::string(bodyAfterHeaders(array, static_cast<size_t>(headersEnd))); };
    context.heldPartStreamedFrom = heldPartStreamedFrom;
    ParseResult result;
    result.message = readMessageContent(message, rawHeaders, context, 0);
    result.warnings = warnings.take();
    result.warningsWhenRead = warnings.takeWhenRead();
    return result;
}

bool isBlank(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (data[i] != ' ' && data[i] != '\t' && data[i] != '\r' && data[i] != '\n') return false;
    return true;
}

// A large file seen through a read-only mapping while the repairs are
// looked for. The pages the scan has passed are handed back as it goes, so
// that the file never counts whole against the process's memory.
class MappedFile {
public:
    MappedFile(int fd, size_t size) : size_(size) {
        void* at = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (at == MAP_FAILED) throw ParseError("The file cannot be read.");
        data_ = static_cast<const uint8_t*>(at);
        madvise(at, size, MADV_SEQUENTIAL);
    }
    ~MappedFile() { munmap(const_cast<uint8_t*>(data_), size_); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    std::string_view text() const { return {reinterpret_cast<const char*>(data_), size_}; }

    // Every page back: what is read later is read again from the file.
    void releaseAll() {
        madvise(const_cast<uint8_t*>(data_), size_, MADV_DONTNEED);
        released_ = 0;
    }

    // The scan has passed `at`. The pages are handed back a few megabytes
    // behind it: the kernel maps a large page-cache folio whole when any of
    // its pages is touched, which would bring back pages just handed back.
    void passed(size_t at) {
        constexpr size_t kRelease = 16u << 20;
        constexpr size_t kBehind = 4u << 20;
        constexpr size_t kFolio = 2u << 20;
        if (at < released_ + kRelease + kBehind) return;
        size_t end = (at - kBehind) / kFolio * kFolio;
        madvise(const_cast<uint8_t*>(data_) + released_, end - released_, MADV_DONTNEED);
        released_ = end;
    }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t released_ = 0;
};

struct FileCloser {
    int fd;
    ~FileCloser() { if (fd >= 0) close(fd); }
};

GPtr<GMimeStream> fileStream(int fd) {
    int own = dup(fd);
    if (own < 0) throw ParseError("The file cannot be read.");
    // (from the file's start: a duplicate shares the descriptor's offset)
    return GPtr<GMimeStream>(g_mime_stream_fs_new_with_bounds(own, 0, -1));
}

// The file as GMime reads it: the file itself, or with repairs the file's
// pieces between them and the repaired bytes, one stream of all.
GPtr<GMimeStream> repairedFileStream(int fd, uint64_t size, const std::vector<RawEdit>& edits) {
    GPtr<GMimeStream> file = fileStream(fd);
    if (edits.empty()) return file;
    GPtr<GMimeStream> all(g_mime_stream_cat_new());
    auto addFile = [&](uint64_t from, uint64_t to) {
        if (to <= from) return;
        GPtr<GMimeStream> piece(g_mime_stream_substream(file.get(), static_cast<gint64>(from), static_cast<gint64>(to)));
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(all.get()), piece.get());
    };
    uint64_t at = 0;
    for (const auto& edit : edits) {
        addFile(at, edit.at);
        if (!edit.insert.empty()) {
            GPtr<GMimeStream> piece(g_mime_stream_mem_new_with_buffer(edit.insert.data(), edit.insert.size()));
            g_mime_stream_cat_add_source(GMIME_STREAM_CAT(all.get()), piece.get());
        }
        at = edit.at + edit.remove;
    }
    addFile(at, size);
    return all;
}

// What stands in a skipped body's place while GMime parses: unlike
// anything in a file, and new for every file.
std::string newSkipMark() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char mark[48];
    std::snprintf(mark, sizeof mark, "\x01quillmere-skipped-%016llx-", static_cast<unsigned long long>(random()));
    return mark;
}

// A header block longer than this is read from the file when the store
// writes it, never held.
constexpr size_t kLongHeaderBlock = 1u << 20;

// The bytes of `stream` from `from` to its end (or to `to`).
std::string streamText(GMimeStream* stream, gint64 from, gint64 to = -1) {
    GPtr<GMimeStream> window(g_mime_stream_substream(stream, from, to));
    std::string out;
    char buffer[65536];
    ssize_t n;
    while (!g_mime_stream_eos(window.get()) && (n = g_mime_stream_read(window.get(), buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    return out;
}

// A file read from disk as GMime needs it, never whole in memory: the
// repairs are planned over a mapping of the file, GMime parses the file
// itself (with the repairs spliced in and the long bodies the scan found
// left out) and keeps its parts as windows onto it, and large attachments
// stay there until the store writes them.
ParseResult parseLargeFile(int fd, uint64_t size, std::optional<pst::FileTime> fileTime, const FileReading& reading) {
    MappedFile mapped(fd, static_cast<size_t>(size));
    if (isBlank(mapped.data(), mapped.size())) throw ParseError("The file is empty.");

    Warnings warnings;
    RepairScan scan;
    scan.passed = [&](size_t at) { mapped.passed(at); };
    scan.readAt = [&](size_t at, char* into, size_t count) {
        ssize_t n = pread(fd, into, count, static_cast<off_t>(at));
        return n > 0 ? static_cast<size_t>(n) : size_t{0};
    };
    scan.holdHeadersUpTo = kLongHeaderBlock;
    scan.skipBodiesFrom = reading.skippedBodiesFrom;
    scan.skipMark = newSkipMark();
    RepairPlan plan = planRawRepairs(mapped.text(), warnings, scan);
    mapped.releaseAll();  // a long header line or a header-less file was read through whole

    std::vector<RawEdit> repairs;  // the edits without the skipped bodies
    for (const auto& edit : plan.edits)
        if (!edit.skipsBody()) repairs.push_back(edit);
    // Whether the parsed stream holds marks in place of skipped bodies.
    bool marked = repairs.size() < plan.edits.size();
    Warnings beforeParse;
    if (marked) beforeParse = warnings;
    GMimeParserOptions* options = parserOptions(warnings);
    Constructed parsed = constructMessage(repairedFileStream(fd, size, plan.edits), options);
    if (marked && !restoreSkippedBodies(parsed.message.get(), fileStream(fd).get(), plan.edits, scan.skipMark)) {
        // GMime read the file otherwise than the scan did: it reads all of it.
        warnings = std::move(beforeParse);
        options = parserOptions(warnings);
        parsed = constructMessage(repairedFileStream(fd, size, repairs), options);
        marked = false;
    }
    GMimeMessage* message = parsed.message.get();
    if (!message || !looksLikeMail(message)) {
        if (!looksLikeText(mapped.data(), mapped.size()))
            throw ParseError("The file is not an e-mail message: it holds binary data, not text or message headers.");
        // The text straight from the file, behind the header it lacks.
        uint64_t start = mapped.text().substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
        mapped.releaseAll();
        GPtr<GMimeStream> all(g_mime_stream_cat_new());
        GPtr<GMimeStream> header(g_mime_stream_mem_new_with_buffer(kHeaderlessHeader, sizeof kHeaderlessHeader - 1));
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(all.get()), header.get());
        GPtr<GMimeStream> file = fileStream(fd);
        GPtr<GMimeStream> text(g_mime_stream_substream(file.get(), static_cast<gint64>(start), static_cast<gint64>(size)));
        g_mime_stream_cat_add_source(GMIME_STREAM_CAT(all.get()), text.get());
        Warnings textWarnings;
        return readHeaderlessText(std::move(all), fileTime, textWarnings);
    }

    GMimeStream* stream = parsed.stream.get();
    gint64 headersEnd = std::max<gint64>(parsed.headersEnd, 0);
    const RepairedInput& input = plan.input;
    bool longBlock = input.headersEnd - input.headersStart > kLongHeaderBlock;
    std::string rawHeaders = longBlock             ? std::string()
                             : input.headersChanged ? input.originalHeaders
                                                    : streamText(stream, 0, headersEnd);

    ParseContext context;
    context.streamedTextFrom = static_cast<int64_t>(reading.streamedTextFrom);
    if (longBlock)
        context.longHeaderBlock = [fd, from = input.headersStart, to = input.headersEnd](const std::string& fallback) {
            return streamedHeaderBlock(fd, from, to, fallback);
        };
    context.options = options;
    context.warnings = &warnings;
    context.sentTime = {fileTime, currentTime()};
    context.fileBody = [stream, headersEnd, marked, fd, size, &repairs] {
        GPtr<GMimeStream> whole = marked ? repairedFileStream(fd, size, repairs) : nullptr;
        std::string body = streamText(marked ? whole.get() : stream, headersEnd);
        body.erase(0, leadingLineBreak(body));
        return body;
    };
    ParseResult result;
    result.message = readMessageContent(message, rawHeaders, context, 0);
    result.warnings = warnings.take();
    return result;
}

}  // namespace

ParseResult parseMessage(std::span<const uint8_t> bytes) {
    ensureGMime();
    if (isBlank(bytes.data(), bytes.size())) throw ParseError("The file is empty.");
    if (bytes.size() > G_MAXUINT32 / 2) throw ParseError("The file is larger than 2 GB, more than one message can hold.");
    GByteArray* array = g_byte_array_sized_new(static_cast<guint>(bytes.size()));
    g_byte_array_append(array, bytes.data(), static_cast<guint>(bytes.size()));
    return parseArray(array, std::nullopt, INT64_MAX);
}

ParseResult parseFile(const std::filesystem::path& file, const FileReading& reading) {
    ensureGMime();
    // One open, one fstat and the reads: this runs once for every message.
    const FileCloser closer{::open(file.c_str(), O_RDONLY | O_CLOEXEC)};
    const int fd = closer.fd;
    if (fd < 0) throw ParseError("The file cannot be opened.");
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw ParseError("The file cannot be read.");
    if (S_ISDIR(st.st_mode)) throw ParseError("The path names a folder, not a file.");
    if (st.st_size < 0) throw ParseError("The file cannot be read.");
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size > G_MAXUINT32 / 2) throw ParseError("The file is larger than 2 GB, more than one message can hold.");
    if (size > reading.wholeUpTo) return parseLargeFile(fd, size, fileTimeFromUnix(st.st_mtim.tv_sec), reading);
    GByteArray* array = g_byte_array_sized_new(static_cast<guint>(size));
    g_byte_array_set_size(array, static_cast<guint>(size));
    for (size_t done = 0; done < size;) {
        ssize_t n = ::read(fd, array->data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            g_byte_array_unref(array);
            throw ParseError("The file cannot be read.");
        }
        done += static_cast<size_t>(n);
    }
    if (isBlank(array->data, array->len)) {
        g_byte_array_unref(array);
        throw ParseError("The file is empty.");
    }
    const uint64_t heldFrom = std::min<uint64_t>(reading.heldPartsStreamedFrom, INT64_MAX);
    return parseArray(array, fileTimeFromUnix(st.st_mtim.tv_sec), static_cast<int64_t>(heldFrom));
}

}  // namespace eml
