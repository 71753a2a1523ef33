// readpst -e writes each item of a folder as N.eml (RFC 822) under a folder
// tree named after the store; the messages are parsed back with GMime.

#include <fcntl.h>
#include <gmime/gmime.h>

#include <algorithm>
#include <mutex>

#include "independent_readers.h"
#include "process.h"

namespace test_readers {

namespace fs = std::filesystem;

namespace {

void initGmime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

std::string str(const char* s) { return s ? s : ""; }

std::vector<SeenRecipient> addresses(GMimeMessage* m, GMimeAddressType type, int seenType) {
    std::vector<SeenRecipient> out;
    InternetAddressList* list = g_mime_message_get_addresses(m, type);
    for (int i = 0; list && i < internet_address_list_length(list); ++i) {
        InternetAddress* a = internet_address_list_get_address(list, i);
        SeenRecipient r;
        r.name = str(internet_address_get_name(a));
        if (INTERNET_ADDRESS_IS_MAILBOX(a)) r.email = str(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a)));
        r.type = seenType;
        out.push_back(r);
    }
    return out;
}

// The part's data with its transfer encoding undone.
std::string decodedContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content) return {};
    GMimeStream* mem = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, mem);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem));
    std::string out(reinterpret_cast<const char*>(bytes->data), bytes->len);
    g_object_unref(mem);
    return out;
}

SeenMessage fromGmime(GMimeMessage* m);

void walk(GMimeObject* obj, SeenMessage& out) {
    if (GMIME_IS_MULTIPART(obj)) {
        auto* mp = GMIME_MULTIPART(obj);
        for (int i = 0; i < g_mime_multipart_get_count(mp); ++i) walk(g_mime_multipart_get_part(mp, i), out);
        return;
    }
    if (GMIME_IS_MESSAGE_PART(obj)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj));
        SeenAttachment a;
        if (inner) a.message = std::make_shared<SeenMessage>(fromGmime(inner));
        a.name = a.message ? a.message->subject : "";
        out.attachments.push_back(std::move(a));
        return;
    }
    if (!GMIME_IS_PART(obj)) return;
    auto* part = GMIME_PART(obj);
    GMimeContentType* ct = g_mime_object_get_content_type(obj);
    std::string filename = str(g_mime_part_get_filename(part));
    std::string disposition = str(g_mime_object_get_disposition(obj));
    bool isText = g_mime_content_type_is_type(ct, "text", "plain");
    bool isHtml = g_mime_content_type_is_type(ct, "text", "html");
    if (filename.empty() && disposition != "attachment" && (isText || isHtml) && GMIME_IS_TEXT_PART(obj)) {
        char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(obj));
        std::string& body = isText ? out.bodyText : out.bodyHtml;
        if (body.empty()) body = str(text);
        g_free(text);
        return;
    }
    SeenAttachment a;
    a.name = filename;
    std::string data = decodedContent(part);
    a.size = static_cast<int64_t>(data.size());
    a.digest = contentDigest(data);
    out.attachments.push_back(std::move(a));
}

SeenMessage fromGmime(GMimeMessage* m) {
    SeenMessage out;
    out.subject = str(g_mime_message_get_subject(m));
    InternetAddressList* from = g_mime_message_get_from(m);
    if (from && internet_address_list_length(from) > 0) {
        InternetAddress* a = internet_address_list_get_address(from, 0);
        out.senderName = str(internet_address_get_name(a));
        if (INTERNET_ADDRESS_IS_MAILBOX(a)) out.senderEmail = str(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a)));
    }
    out.date = str(g_mime_object_get_header(GMIME_OBJECT(m), "Date"));
    for (auto [type, seen] : {std::pair{GMIME_ADDRESS_TYPE_TO, 1}, {GMIME_ADDRESS_TYPE_CC, 2}, {GMIME_ADDRESS_TYPE_BCC, 3}}) {
        auto list = addresses(m, type, seen);
        out.recipients.insert(out.recipients.end(), list.begin(), list.end());
    }
    if (GMimeObject* body = g_mime_message_get_mime_part(m)) walk(body, out);
    return out;
}

SeenMessage parseEml(const fs::path& file) {
    initGmime();
    GError* err = nullptr;
    GMimeStream* stream = g_mime_stream_fs_open(file.c_str(), O_RDONLY, 0, &err);
    if (!stream) {
        if (err) g_error_free(err);
        return {};
    }
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* m = g_mime_parser_construct_message(parser, nullptr);
    SeenMessage out;
    if (m) {
        out = fromGmime(m);
        g_object_unref(m);
    }
    g_object_unref(parser);
    g_object_unref(stream);
    return out;
}

// N.eml in numeric order.
bool emlBefore(const fs::path& a, const fs::path& b) {
    auto num = [](const fs::path& p) { return std::strtol(p.stem().c_str(), nullptr, 10); };
    return num(a) != num(b) ? num(a) < num(b) : a < b;
}

SeenFolder folder(const fs::path& dir) {
    SeenFolder f;
    f.name = dir.filename().string();
    std::vector<fs::path> emls, dirs;
    for (auto& e : fs::directory_iterator(dir)) {
        if (e.is_directory()) dirs.push_back(e.path());
        else if (e.path().extension() == ".eml") emls.push_back(e.path());
    }
    std::sort(emls.begin(), emls.end(), emlBefore);
    std::sort(dirs.begin(), dirs.end());
    for (auto& e : emls) f.messages.push_back(parseEml(e));
    for (auto& d : dirs) f.subfolders.push_back(folder(d));
    return f;
}

}  // namespace

ReaderResult readWithReadpst(const fs::path& pst) {
    ReaderResult r;
    r.tool = "readpst";
    if (!toolInstalled("readpst")) {
        r.why = "tool readpst not installed (Debian package pst-utils)";
        return r;
    }
    r.available = true;
    detail::TempDir tmp;
    // One job: readpst's parallel jobs race on the numbered file names and can overwrite a message.
    auto c = detail::run({"readpst", "-q", "-j", "0", "-e", "-8", "-D", "-o", tmp.path().string(), fs::absolute(pst).string()});
    r.exitCode = c.exitCode;
    r.log = c.output;
    if (c.exitCode != 0) {
        r.why = "readpst failed (exit " + std::to_string(c.exitCode) + "): " + c.output;
        return r;
    }
    for (auto& e : fs::directory_iterator(tmp.path()))
        if (e.is_directory()) {
            r.root.subfolders.push_back(folder(e.path()));
            r.storeName = e.path().filename().string();
        }
    r.ok = true;
    return r;
}

}  // namespace test_readers
