#include "eml/attachments.h"

#include <cstdio>

#include "eml/charset.h"
#include "eml/encoded_words.h"
#include "eml/gmime_support.h"
#include "eml/streamed_part.h"
#include "pst/format/property_tags.h"

namespace eml {

using namespace pst::tags;

namespace {

const char* extensionForType(std::string_view type) {
    static const struct { std::string_view type; const char* ext; } table[] = {
        {"text/plain", ".txt"}, {"text/html", ".htm"}, {"text/calendar", ".ics"},
        {"text/enriched", ".txt"}, {"text/rtf", ".rtf"}, {"application/rtf", ".rtf"},
        {"text/csv", ".csv"}, {"text/xml", ".xml"}, {"application/xml", ".xml"},
        {"image/jpeg", ".jpg"}, {"image/jpg", ".jpg"}, {"image/pjpeg", ".jpg"}, {"image/png", ".png"},
        {"image/gif", ".gif"}, {"image/bmp", ".bmp"}, {"image/tiff", ".tif"}, {"image/svg+xml", ".svg"},
        {"image/webp", ".webp"}, {"application/pdf", ".pdf"}, {"application/zip", ".zip"},
        {"application/msword", ".doc"}, {"application/vnd.ms-excel", ".xls"},
        {"application/pkcs7-signature", ".p7s"}, {"application/x-pkcs7-signature", ".p7s"},
        {"application/pkcs7-mime", ".p7m"}, {"application/x-pkcs7-mime", ".p7m"},
        {"application/pgp-signature", ".asc"}, {"application/pgp-encrypted", ".pgp"},
        {"message/rfc822", ".eml"}, {"message/delivery-status", ".txt"},
        {"message/disposition-notification", ".txt"}, {"audio/mpeg", ".mp3"}, {"audio/wav", ".wav"},
        {"video/mp4", ".mp4"},
    };
    for (const auto& entry : table)
        if (entry.type == type) return entry.ext;
    return ".dat";
}

// The store sets PR_ATTACH_SIZE from what it writes.
void setCommon(pst::AttachmentContent& attachment, std::string_view type) {
    auto& p = attachment.props;
    p.push_back({PR_ATTACH_MIME_TAG_W, utf8ToUtf16(type)});
    p.push_back({PR_RENDERING_POSITION, int32_t(-1)});
}

std::string rawHeader(GMimeObject* object, const char* name) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    GMimeHeader* header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    return header ? str(g_mime_header_get_raw_value(header)) : std::string();
}

bool hasSplitWords(const std::string& raw) {
    return raw.find("?= ") != std::string::npos || raw.find("?=\t") != std::string::npos ||
           raw.find("?=\r") != std::string::npos || raw.find("?=\n") != std::string::npos;
}

// The part's file name, RFC 2231 and RFC 2047 decoded by GMime. A name in
// several base64 words is read again after joining them.
std::u16string fileNameOf(GMimePart* part) {
    GMimeObject* object = GMIME_OBJECT(part);
    std::string disposition = rawHeader(object, "Content-Disposition");
    if (hasSplitWords(disposition)) {
        GPtr<GMimeContentDisposition> parsed(
            g_mime_content_disposition_parse(nullptr, joinSplitBase64Words(disposition).c_str()));
        const char* name = parsed ? g_mime_content_disposition_get_parameter(parsed.get(), "filename") : nullptr;
        if (name && *name) return utf8ToUtf16(name);
    }
    std::string type = rawHeader(object, "Content-Type");
    if (!g_mime_object_get_content_disposition_parameter(object, "filename") && hasSplitWords(type)) {
        GPtr<GMimeContentType> parsed(g_mime_content_type_parse(nullptr, joinSplitBase64Words(type).c_str()));
        const char* name = parsed ? g_mime_content_type_get_parameter(parsed.get(), "name") : nullptr;
        if (name && *name) return utf8ToUtf16(name);
    }
    return utf8ToUtf16(str(g_mime_part_get_filename(part)));
}

}  // namespace

std::u16string fileExtension(std::u16string_view name) {
    size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
    return std::u16string(name.substr(dot));
}

std::u16string safeFileName(std::u16string_view name) {
    size_t slash = name.find_last_of(u"/\\");
    if (slash != std::u16string_view::npos) name = name.substr(slash + 1);
    std::u16string out;
    for (char16_t c : name) {
        if (c < 0x20 || c == 0x7F) continue;
        if (c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|')
            out.push_back(u'_');
        else
            out.push_back(c);
    }
    while (!out.empty() && (out.back() == u' ' || out.back() == u'.')) out.pop_back();
    size_t lead = out.find_first_not_of(u' ');
    return lead == std::u16string::npos ? std::u16string() : out.substr(lead);
}

std::u16string shortFileName(std::u16string_view longName) {
    std::u16string ext = fileExtension(longName);
    std::u16string_view base = longName.substr(0, longName.size() - ext.size());
    auto clean = [](std::u16string_view in, size_t limit, bool& cut) {
        std::u16string out;
        for (char16_t c : in) {
            if (c == u' ' || c == u'.') { cut = true; continue; }
            char16_t u = (c >= u'a' && c <= u'z') ? c - 32 : c;
            bool ok = (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                      std::u16string_view(u"!#$%&'()-@^_`{}~").find(u) != std::u16string_view::npos;
            if (!ok) { u = u'_'; cut = true; }
            out.push_back(u);
        }
        if (out.size() > limit) { out.resize(limit); cut = true; }
        return out;
    };
    bool cutBase = false, cutExt = false;
    std::u16string shortBase = clean(base, 8, cutBase);
    std::u16string shortExt = ext.empty() ? std::u16string() : clean(std::u16string_view(ext).substr(1), 3, cutExt);
    if (shortBase.empty()) shortBase = u"ATTACH";
    if (cutBase || cutExt) {
        if (shortBase.size() > 6) shortBase.resize(6);
        shortBase += u"~1";
    }
    return shortExt.empty() ? shortBase : shortBase + u"." + shortExt;
}

std::u16string madeUpFileName(std::string_view type, int ordinal) {
    char name[32];
    std::snprintf(name, sizeof name, "ATT%05d%s", ordinal, extensionForType(type));
    return utf8ToUtf16(name);
}

void setFileNames(pst::AttachmentContent& attachment, std::u16string_view longName) {
    auto& p = attachment.props;
    p.push_back({PR_ATTACH_LONG_FILENAME_W, std::u16string(longName)});
    p.push_back({PR_ATTACH_FILENAME_W, shortFileName(longName)});
    p.push_back({PR_DISPLAY_NAME_W, std::u16string(longName)});
    std::u16string ext = fileExtension(longName);
    if (!ext.empty()) p.push_back({PR_ATTACH_EXTENSION_W, ext});
}

void renameAttachment(pst::AttachmentContent& attachment, std::u16string_view longName) {
    std::erase_if(attachment.props, [](const pst::Property& p) {
        return p.tag == PR_ATTACH_LONG_FILENAME_W || p.tag == PR_ATTACH_FILENAME_W ||
               p.tag == PR_DISPLAY_NAME_W || p.tag == PR_ATTACH_EXTENSION_W;
    });
    setFileNames(attachment, longName);
}

PendingAttachment attachmentFromPart(GMimePart* part, int ordinal, std::u16string_view defaultName,
                                     ParseContext* context) {
    PendingAttachment pending;
    std::string type = mimeType(GMIME_OBJECT(part));
    std::u16string name = safeFileName(fileNameOf(part));
    if (name.empty()) name = std::u16string(defaultName);
    // [MS-OXCMAIL] 2.2.3.4.1.1: without a file name, Content-Description names it.
    if (name.empty()) name = safeFileName(utf8ToUtf16(str(g_mime_object_get_header(GMIME_OBJECT(part), "Content-Description"))));
    if (name.empty()) name = madeUpFileName(type, ordinal);

    pst::PropValue data;
    if (pst::StreamedBytes streamed = streamedContent(part)) {
        data = std::move(streamed);
    } else if (pst::StreamedBytes held = context ? streamedHeldContent(part, context->heldPartStreamedFrom) : nullptr) {
        context->warnings->addWhenRead(held);
        data = std::move(held);
    } else {
        data = decodedBytes(part, context ? context->warnings : nullptr);
    }
    auto& attachment = pending.content;
    attachment.props.reserve(12);
    attachment.props.push_back({PR_ATTACH_METHOD, ATTACH_BY_VALUE});
    setFileNames(attachment, name);
    setCommon(attachment, type);
    attachment.props.push_back({PR_ATTACH_DATA_BIN, std::move(data)});

    std::string contentId = str(g_mime_object_get_content_id(GMIME_OBJECT(part)));
    if (!contentId.empty()) {
        pending.contentId = utf8ToUtf16(contentId);
        attachment.props.push_back({PR_ATTACH_CONTENT_ID_W, pending.contentId});
    }
    std::string location = str(g_mime_part_get_content_location(part));
    if (!location.empty()) {
        pending.contentLocation = utf8ToUtf16(location);
        attachment.props.push_back({PR_ATTACH_CONTENT_LOCATION_W, pending.contentLocation});
    }
    return pending;
}

PendingAttachment attachmentFromBytes(std::string bytes, std::u16string longName, std::string type) {
    PendingAttachment pending;
    auto& attachment = pending.content;
    attachment.props.push_back({PR_ATTACH_METHOD, ATTACH_BY_VALUE});
    setFileNames(attachment, longName);
    setCommon(attachment, type);
    attachment.props.push_back({PR_ATTACH_DATA_BIN, pst::Bytes(bytes.begin(), bytes.end())});
    return pending;
}

PendingAttachment embeddedMessageAttachment(std::shared_ptr<pst::MessageContent> message,
                                            std::u16string displayName) {
    PendingAttachment pending;
    auto& attachment = pending.content;
    attachment.props.push_back({PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG});
    attachment.props.push_back({PR_DISPLAY_NAME_W, displayName.empty() ? std::u16string(u"Untitled Attachment") : displayName});
    setCommon(attachment, "message/rfc822");
    attachment.embedded = std::move(message);
    return pending;
}

}  // namespace eml
