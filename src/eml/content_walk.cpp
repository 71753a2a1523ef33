#include "eml/content_walk.h"

#include "eml/bodies.h"
#include "eml/streamed_part.h"
#include "eml/streamed_text.h"

#include "eml/gmime_support.h"
#include "pst/format/property_tags.h"
#include "eml/message_reader.h"
#include "eml/secure.h"
#include "eml/tnef_reader.h"

namespace eml {

namespace {

// True when every line of `text` already ends in CR LF and it holds no NUL.
bool hasCrlfLineEnds(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c > u'\r') continue;
        if (c == 0 || c == u'\n') return false;
        if (c == u'\r' && (i + 1 == text.size() || text[++i] != u'\n')) return false;
    }
    return true;
}

std::u16string withCrlf(std::u16string&& text) {
    if (hasCrlfLineEnds(text)) return std::move(text);
    std::u16string out;
    out.reserve(text.size() + text.size() / 32);
    size_t i = 0;
    while (i < text.size()) {
        // The characters up to the next line end or NUL go across as one run.
        size_t end = i;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n' && text[end] != 0) ++end;
        out.append(text.data() + i, end - i);
        if (end == text.size()) break;
        const char16_t c = text[end];
        i = end + 1;
        if (c == u'\r' && i < text.size() && text[i] == u'\n') ++i;
        if (c != 0) out += u"\r\n";
    }
    return out;
}

bool isAttachmentDisposition(GMimeObject* object) {
    const char* disposition = g_mime_object_get_disposition(object);
    return disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
}

std::string withCrlfLineEnds(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

class Walker {
public:
    Walker(ParseContext& context, int depth) : context_(context), depth_(depth) {}

    MessageParts run(GMimeObject* root) {
        if (isOpaqueSmime(root) && GMIME_IS_PART(root)) {
            parts_.opaqueSmime = true;
            // Outlook's S/MIME handler looks for exactly this name.
            PendingAttachment blob = attachmentFromPart(GMIME_PART(root), nextOrdinal());
            renameAttachment(blob.content, kSmimeOpaqueName);
            // Sent as application/octet-stream named *.p7m, it is the same
            // CMS data ([MS-OXOSMIME] 2.1.3.2).
            if (mimeType(root) == "application/octet-stream")
                for (auto& p : blob.content.props)
                    if (p.tag == pst::tags::PR_ATTACH_MIME_TAG_W) p.value = std::u16string(u"application/pkcs7-mime");
            addAttachment(std::move(blob));
        } else if (isSmimeClearSigned(root)) {
            clearSigned(GMIME_MULTIPART(root));
        } else if (root) {
            reportRoot_ = mimeType(root) == "multipart/report";
            root_ = root;
            walk(root, 0);
        }
        return std::move(parts_);
    }

private:
    bool bodyTaken() const { return parts_.plain || parts_.html; }
    int nextOrdinal() { return ++ordinal_; }

    void addAttachment(PendingAttachment attachment) {
        attachment.related = relatedDepth_ > 0;
        parts_.attachments.push_back(std::move(attachment));
    }

    std::string charsetOf(GMimeObject* object) {
        GMimeContentType* type = g_mime_object_get_content_type(object);
        return type ? str(g_mime_content_type_get_parameter(type, "charset")) : std::string();
    }

    // A long text body read from the file stays there until the store
    // writes it.
    std::optional<StreamedTextBody> streamedBody(GMimePart* part, const std::string& charset, bool html) {
        pst::StreamedBytes decoded = streamedContent(part, context_.streamedTextFrom);
        if (!decoded) return std::nullopt;
        return streamedTextBody(std::move(decoded), charset, html);
    }

    void takePlain(GMimePart* part) {
        std::string charset = charsetOf(GMIME_OBJECT(part));
        if (auto streamed = streamedBody(part, charset, false)) {
            if (parts_.textCharset.empty()) parts_.textCharset = streamed->charset;
            parts_.plain = std::move(streamed->beginning);
            parts_.streamedPlain = std::move(streamed->value);
            return;
        }
        DecodedText decoded = decodeText(decodedContent(part, context_.warnings), charset, *context_.warnings);
        if (parts_.textCharset.empty()) parts_.textCharset = decoded.charset;
        parts_.plain = withCrlf(std::move(decoded.text));
    }

    void takeHtml(GMimePart* part) {
        HtmlBody html;
        if (auto streamed = streamedBody(part, charsetOf(GMIME_OBJECT(part)), true)) {
            html.decoded.text = std::move(streamed->beginning);
            html.decoded.charset = streamed->charset;
            html.streamed = std::move(streamed->value);
            html.partial = !streamed->whole;
            if (parts_.textCharset.empty()) parts_.textCharset = html.decoded.charset;
            parts_.html = std::move(html);
            return;
        }
        html.bytes = decodedContent(part, context_.warnings);
        std::string charset = charsetOf(GMIME_OBJECT(part));
        if (charset.empty()) charset = metaCharset(html.bytes);
        html.decoded = decodeText(html.bytes, charset, *context_.warnings);
        if (parts_.textCharset.empty()) parts_.textCharset = html.decoded.charset;
        parts_.html = std::move(html);
    }

    static bool isBodyText(GMimeObject* object, const char* subtype) {
        // Only an attachment disposition keeps a text part from being the
        // body; a file name does not.
        if (!GMIME_IS_PART(object) || isAttachmentDisposition(object)) return false;
        return mimeType(object) == std::string("text/") + subtype;
    }

    void walk(GMimeObject* object, int nesting) {
        if (nesting > 64) {  // GMime limits nesting itself; this is a second guard
            addAttachment(attachmentFromBytes(serialised(object), madeUpFileName("message/rfc822", nextOrdinal()),
                                              "message/rfc822"));
            return;
        }
        if (reportRoot_) {
            std::string type = mimeType(object);
            if (type == "message/delivery-status" || type == "message/global-delivery-status" ||
                type == "message/disposition-notification")
                reportPart(object, type);
        }
        if (GMIME_IS_MESSAGE_PART(object)) return attachMessage(GMIME_MESSAGE_PART(object));
        if (GMIME_IS_MULTIPART_SIGNED(object)) return signedPart(GMIME_MULTIPART(object), nesting);
        if (GMIME_IS_MULTIPART_ENCRYPTED(object)) return encryptedPart(GMIME_MULTIPART(object), nesting);
        if (GMIME_IS_MULTIPART(object) && g_mime_multipart_get_count(GMIME_MULTIPART(object)) == 0)
            return partlessMultipart(GMIME_MULTIPART(object));
        if (GMIME_IS_MULTIPART(object)) {
            std::string type = mimeType(object);
            if (type == "multipart/alternative") return alternative(GMIME_MULTIPART(object), nesting);
            if (type == "multipart/related") return related(GMIME_MULTIPART(object), nesting);
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
                walk(g_mime_multipart_get_part(multipart, i), nesting + 1);
            return;
        }
        if (GMIME_IS_PART(object)) return leaf(GMIME_PART(object));
    }

    // A multipart whose boundary never comes: mail readers show its content
    // as text.
    void partlessMultipart(GMimeMultipart* multipart) {
        std::string content = str(g_mime_multipart_get_prologue(multipart));
        std::string epilogue = str(g_mime_multipart_get_epilogue(multipart));
        if (!epilogue.empty()) content += "\n" + epilogue;
        if (content.find_first_not_of(" \t\r\n") == std::string::npos) return;
        context_.warnings->add("a multipart part has no parts (its boundary never comes); its content was kept as text");
        std::string charset = charsetOf(GMIME_OBJECT(multipart));
        DecodedText decoded = decodeText(content, charset, *context_.warnings);
        if (!bodyTaken()) {
            if (parts_.textCharset.empty()) parts_.textCharset = decoded.charset;
            parts_.plain = withCrlf(std::move(decoded.text));
            return;
        }
        addAttachment(attachmentFromBytes(std::move(content), madeUpFileName("text/plain", nextOrdinal()), "text/plain"));
    }

    // [MS-OXOSMIME] 2.1.3.1: the body comes from the signed content; the
    // signed entity is kept byte for byte, so that its signature can still
    // be verified.
    void clearSigned(GMimeMultipart* multipart) {
        if (g_mime_multipart_get_count(multipart) > 0) walk(g_mime_multipart_get_part(multipart, 0), 1);
        GMimeObject* object = GMIME_OBJECT(multipart);
        std::string entity;
        if (depth_ == 0 && context_.fileBody) {
            char* headers = g_mime_object_get_headers(object, nullptr);
            entity = str(headers);
            g_free(headers);
            std::string body = context_.fileBody();
            bool crlf = body.find("\r\n") != std::string::npos;
            if (crlf) entity = withCrlfLineEnds(entity);
            entity += crlf ? "\r\n" : "\n";
            entity += body;
        } else {
            entity = serialised(object);
        }
        parts_.signedEntity = attachmentFromBytes(std::move(entity), kSmimeOpaqueName, "multipart/signed");
    }

    void reportPart(GMimeObject* object, const std::string& type) {
        if (parts_.report || !GMIME_IS_PART(object)) return;
        std::string content = decodedContent(GMIME_PART(object));
        if (type == "message/disposition-notification") parts_.report = parseDispositionNotification(content);
        else parts_.report = parseDeliveryStatus(content);
    }

    void leaf(GMimePart* part) {
        GMimeObject* object = GMIME_OBJECT(part);
        if (isTnef(part) && unpackTnef(part)) return;
        if (!parts_.calendar && !isAttachmentDisposition(object) && mimeType(object) == "text/calendar" &&
            takeCalendar(part))
            return;
        if (!bodyTaken() && isBodyText(object, "plain")) return takePlain(part);
        if (!bodyTaken() && isBodyText(object, "html")) return takeHtml(part);
        std::string type = mimeType(object);
        addAttachment(attachmentFromPart(part, nextOrdinal(), securePartName(type), &context_));
    }

    static bool isTnef(GMimePart* part) {
        std::string type = mimeType(GMIME_OBJECT(part));
        if (type == "application/ms-tnef" || type == "application/vnd.ms-tnef") return true;
        const char* name = g_mime_part_get_filename(part);
        return name && g_ascii_strcasecmp(name, "winmail.dat") == 0;
    }

    // The body, properties and attachments winmail.dat carries take the
    // place of the part; false (the part stays a file) when it cannot be read.
    bool unpackTnef(GMimePart* part) {
        std::vector<uint8_t> bytes = decodedBytes(part);
        if (!looksLikeTnef(bytes)) return false;
        std::optional<TnefMessage> tnef = readTnefMessage(bytes, context_, depth_);
        if (!tnef) return false;
        if (tnef->props.empty() && tnef->body.empty() && tnef->attachments.empty()) {
            context_.warnings->add("winmail.dat holds nothing to unpack; it is kept as an attachment");
            return false;
        }
        if (!tnef->body.empty()) {
            parts_.plain = std::move(tnef->body.plain);
            parts_.streamedPlain.reset();
            parts_.html.reset();
            if (tnef->body.html) {
                HtmlBody html;
                html.decoded.text = std::move(*tnef->body.html);
                html.decoded.charset = "utf-8";
                html.bytes = utf16ToUtf8(html.decoded.text);
                parts_.html = std::move(html);
            }
            tnef->body.plain.reset();
            tnef->body.html.reset();
        }
        for (auto& attachment : tnef->attachments) parts_.attachments.push_back(std::move(attachment));
        tnef->attachments.clear();
        parts_.tnef = std::move(tnef);
        return true;
    }

    // An invitation, reply or cancellation: the meeting the message is.
    bool takeCalendar(GMimePart* part) {
        std::string text = decodedContent(part);
        std::optional<CalendarEvent> event = readCalendar(text, *context_.warnings);
        if (!event) return false;
        if (event->method.empty()) {
            GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(part));
            std::string method = type ? str(g_mime_content_type_get_parameter(type, "method")) : std::string();
            for (auto& c : method) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            event->method = method;
        }
        if (!meetingClass(*event)) return false;
        parts_.calendar = CalendarPart{std::move(*event), pst::Bytes(text.begin(), text.end()),
                                       GMIME_OBJECT(part) == root_};
        return true;
    }

    void attachMessage(GMimeMessagePart* messagePart) {
        GMimeMessage* message = g_mime_message_part_get_message(messagePart);
        GMimeObject* object = GMIME_OBJECT(messagePart);
        std::u16string fileName = utf8ToUtf16(str(g_mime_object_get_content_disposition_parameter(object, "filename")));
        if (!message || depth_ + 1 > ParseContext::kMaxMessageDepth) {
            std::string bytes = message ? serialised(GMIME_OBJECT(message)) : std::string();
            if (message) context_.warnings->add("attached messages nested too deep are kept as .eml files");
            std::u16string name = safeFileName(fileName);
            if (name.empty()) name = madeUpFileName("message/rfc822", nextOrdinal());
            addAttachment(attachmentFromBytes(std::move(bytes), name, "message/rfc822"));
            return;
        }
        auto content = std::make_shared<pst::MessageContent>(readEmbeddedMessage(message, context_, depth_ + 1));
        std::u16string shown = safeFileName(fileName);
        if (shown.empty()) {
            if (auto* subject = content->find(pst::tags::PR_SUBJECT_W)) shown = std::get<std::u16string>(*subject);
        }
        PendingAttachment attachment = embeddedMessageAttachment(std::move(content), shown);
        addAttachment(std::move(attachment));
    }

    void signedPart(GMimeMultipart* multipart, int nesting) {
        int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i) {
            GMimeObject* child = g_mime_multipart_get_part(multipart, i);
            if (i == 0) {
                walk(child, nesting + 1);
            } else if (GMIME_IS_PART(child)) {
                std::string type = mimeType(child);
                addAttachment(attachmentFromPart(GMIME_PART(child), nextOrdinal(), securePartName(type), &context_));
            } else {
                walk(child, nesting + 1);
            }
        }
    }

    void encryptedPart(GMimeMultipart* multipart, int nesting) {
        int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i) {
            GMimeObject* child = g_mime_multipart_get_part(multipart, i);
            if (GMIME_IS_PART(child)) {
                std::string type = mimeType(child);
                std::u16string name = type == "application/octet-stream" ? u"encrypted.asc" : securePartName(type);
                addAttachment(attachmentFromPart(GMIME_PART(child), nextOrdinal(), name, &context_));
            } else {
                walk(child, nesting + 1);
            }
        }
    }

    static bool isHtmlAlternative(GMimeObject* child) {
        if (isBodyText(child, "html")) return true;
        return GMIME_IS_MULTIPART(child) && mimeType(child) == "multipart/related";
    }

    void alternative(GMimeMultipart* multipart, int nesting) {
        int count = g_mime_multipart_get_count(multipart);
        GMimeObject* plain = nullptr;
        GMimeObject* html = nullptr;
        for (int i = 0; i < count; ++i) {
            GMimeObject* child = g_mime_multipart_get_part(multipart, i);
            if (isBodyText(child, "plain")) plain = child;
            else if (isHtmlAlternative(child)) html = child;
        }
        if (bodyTaken() || (!plain && !html)) {
            // Nothing Outlook would show as the body here: keep every part.
            for (int i = 0; i < count; ++i) walk(g_mime_multipart_get_part(multipart, i), nesting + 1);
            return;
        }
        if (plain) takePlain(GMIME_PART(plain));
        if (html) {
            if (GMIME_IS_PART(html)) takeHtml(GMIME_PART(html));
            else relatedBody(GMIME_MULTIPART(html), nesting + 1, /*plainTaken=*/plain != nullptr);
        }
        // Other alternatives (a calendar, enriched text...) are kept as files;
        // further plain or HTML renderings of the same text are not.
        for (int i = 0; i < count; ++i) {
            GMimeObject* child = g_mime_multipart_get_part(multipart, i);
            if (child == plain || child == html || isBodyText(child, "plain") || isHtmlAlternative(child)) continue;
            walk(child, nesting + 1);
        }
    }

    GMimeObject* relatedRoot(GMimeMultipart* multipart) {
        GMimeContentType* type = g_mime_object_get_content_type(GMIME_OBJECT(multipart));
        std::string start = type ? str(g_mime_content_type_get_parameter(type, "start")) : std::string();
        if (start.size() > 2 && start.front() == '<' && start.back() == '>') start = start.substr(1, start.size() - 2);
        int count = g_mime_multipart_get_count(multipart);
        if (!start.empty()) {
            for (int i = 0; i < count; ++i) {
                GMimeObject* child = g_mime_multipart_get_part(multipart, i);
                if (str(g_mime_object_get_content_id(child)) == start) return child;
            }
        }
        return count > 0 ? g_mime_multipart_get_part(multipart, 0) : nullptr;
    }

    void related(GMimeMultipart* multipart, int nesting) {
        if (bodyTaken()) {
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
                walk(g_mime_multipart_get_part(multipart, i), nesting + 1);
            return;
        }
        relatedBody(multipart, nesting, false);
    }

    // The root gives the body; the other parts are the pictures and files it
    // refers to.
    void relatedBody(GMimeMultipart* multipart, int nesting, bool plainTaken) {
        GMimeObject* root = relatedRoot(multipart);
        if (root) {
            if (plainTaken && isBodyText(root, "html")) takeHtml(GMIME_PART(root));
            else if (plainTaken && GMIME_IS_MULTIPART(root) && mimeType(root) == "multipart/alternative") {
                // Only its HTML rendering is wanted now.
                GMimeMultipart* alt = GMIME_MULTIPART(root);
                for (int i = 0; i < g_mime_multipart_get_count(alt); ++i)
                    if (isBodyText(g_mime_multipart_get_part(alt, i), "html"))
                        takeHtml(GMIME_PART(g_mime_multipart_get_part(alt, i)));
            } else {
                walk(root, nesting + 1);
            }
        }
        ++relatedDepth_;
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            GMimeObject* child = g_mime_multipart_get_part(multipart, i);
            if (child != root) walk(child, nesting + 1);
        }
        --relatedDepth_;
    }

    ParseContext& context_;
    int depth_;
    GMimeObject* root_ = nullptr;
    MessageParts parts_;
    int ordinal_ = 0;
    int relatedDepth_ = 0;
    bool reportRoot_ = false;
};

}  // namespace

MessageParts walkContent(GMimeObject* root, ParseContext& context, int depth) {
    return Walker(context, depth).run(root);
}

}  // namespace eml
