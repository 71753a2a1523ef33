#include "eml/tnef_message.h"

#include <algorithm>

#include "eml/bodies.h"
#include "eml/charset.h"
#include "eml/code_pages.h"
#include "pst/format/property_tags.h"
#include "eml/named_properties.h"
#include "eml/rtf_compressed.h"
#include "eml/rtf_text.h"
#include "eml/tnef_reader.h"

namespace eml {

using namespace pst::tags;

namespace {


// Properties a new store gives every object itself, or that only mean
// something in the store the message came from.
bool computedByStore(uint16_t id) {
    switch (id) {
        case 0x0E02: case 0x0E03: case 0x0E04:  // display To/Cc/Bcc
        case 0x0E05:                             // parent display name
        case 0x0E07: case 0x0E08:                // flags, size
        case 0x0E09: case 0x0E0A:                // parent and sent-mail entry ids
        case 0x0E17:                             // message status
        case 0x0E1B:                             // has attachments
        case 0x0E20: case 0x0E21:                // attachment size and number
        case 0x0FF4: case 0x0FF6: case 0x0FF7: case 0x0FF9: case 0x0FFA: case 0x0FFB: case 0x0FFE: case 0x0FFF:
        case 0x300B:                             // search key
        case 0x3007: case 0x3008:                // creation and change times
        case 0x3013:                             // change key
        case 0x3613:
            return true;
        default:
            // Replication and sync state, and the store's own bookkeeping.
            return (id >= 0x0E30 && id <= 0x0E3D) || (id >= 0x65E0 && id <= 0x65E3) || (id >= 0x6600 && id <= 0x67FF);
    }
}

bool bodyProperty(uint16_t id) {
    switch (id) {
        case 0x1000: case 0x1013: case 0x1009: case 0x1016: case 0x3FDE:
        case 0x0E1F: case 0x1006: case 0x1007: case 0x1008: case 0x1010: case 0x1011:
            return true;
        default: return false;
    }
}

bool attachmentFlagDecidedHere(uint16_t id) {
    return id == pst::tagId(PR_ATTACHMENT_HIDDEN) || id == pst::tagId(PR_ATTACH_FLAGS);
}

const pst::PropValue* findId(const std::vector<pst::Property>& props, uint16_t id) {
    for (auto& p : props)
        if (pst::tagId(p.tag) == id) return &p.value;
    return nullptr;
}

template <class T>
const T* valueOf(const std::vector<pst::Property>& props, uint16_t id) {
    auto* v = findId(props, id);
    return v ? std::get_if<T>(v) : nullptr;
}

TnefBody bodyOf(const std::vector<pst::Property>& props, Warnings& warnings) {
    TnefBody body;
    if (auto* text = valueOf<std::u16string>(props, 0x1000)) body.plain = *text;
    if (auto* rtf = valueOf<pst::Bytes>(props, 0x1009)) {
        std::optional<std::string> decompressed = decompressRtf(*rtf);
        std::optional<RtfContent> content = decompressed ? readRtf(*decompressed) : std::nullopt;
        if (!decompressed) warnings.add("the rich-text body of winmail.dat is damaged; it is kept as it came");
        if (content && content->kind == RtfContent::Kind::Html) {
            body.html = std::move(content->text);
            return body;
        }
        if (content && content->kind == RtfContent::Kind::Text) {
            if (!body.plain) body.plain = std::move(content->text);
            return body;
        }
        if (!valueOf<pst::Bytes>(props, 0x1013)) {
            body.rtfCompressed = *rtf;
            if (!body.plain && content) body.plain = std::move(content->text);
            return body;
        }
    }
    if (auto* html = valueOf<pst::Bytes>(props, 0x1013)) {
        int codePage = 65001;
        if (auto* cpid = valueOf<int32_t>(props, 0x3FDE)) codePage = *cpid;
        body.html = decodeText(std::string_view(reinterpret_cast<const char*>(html->data()), html->size()),
                               charsetOfCodePage(codePage), warnings)
                        .text;
    }
    return body;
}

std::u16string crlf(std::u16string text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out += u"\r\n";
        else out.push_back(text[i]);
    }
    return out;
}

pst::MessageContent embeddedMessage(TnefMessage inner);

PendingAttachment attachmentOf(TnefAttachmentData data, ParseContext& context, int depth, int ordinal) {
    PendingAttachment pending;
    auto& props = pending.content.props;
    for (auto& p : data.props)
        if (!computedByStore(pst::tagId(p.tag)) && !attachmentFlagDecidedHere(pst::tagId(p.tag))) props.push_back(std::move(p));

    if (!data.embeddedStream.empty()) {
        std::optional<TnefMessage> inner;
        if (depth + 1 <= ParseContext::kMaxMessageDepth) inner = readTnefMessage(data.embeddedStream, context, depth + 1);
        if (inner) {
            auto message = std::make_shared<pst::MessageContent>(embeddedMessage(std::move(*inner)));
            std::erase_if(props, [](const pst::Property& p) { return pst::tagId(p.tag) == pst::tagId(PR_ATTACH_DATA_BIN); });
            std::erase_if(props, [](const pst::Property& p) { return p.tag == PR_ATTACH_METHOD; });
            props.push_back({PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG});
            pending.content.embedded = std::move(message);
        } else {
            // Kept as the stream it came in, so nothing is lost.
            std::erase_if(props, [](const pst::Property& p) { return p.tag == PR_ATTACH_METHOD; });
            props.push_back({PR_ATTACH_METHOD, ATTACH_BY_VALUE});
            props.push_back({PR_ATTACH_DATA_BIN, pst::Bytes(data.embeddedStream.begin(), data.embeddedStream.end())});
            context.warnings->add("a message attached inside winmail.dat could not be read; it is kept as a file");
        }
    }
    if (!pending.content.embedded) {
        // Whatever the sender's object was, the bytes are a file now.
        std::erase_if(props, [](const pst::Property& p) { return p.tag == PR_ATTACH_METHOD; });
        props.insert(props.begin(), {PR_ATTACH_METHOD, ATTACH_BY_VALUE});
        if (!findId(props, pst::tagId(PR_ATTACH_DATA_BIN))) props.push_back({PR_ATTACH_DATA_BIN, pst::Bytes{}});
    }

    std::u16string longName;
    if (auto* name = valueOf<std::u16string>(props, pst::tagId(PR_ATTACH_LONG_FILENAME_W))) longName = *name;
    else if (auto* shortName = valueOf<std::u16string>(props, pst::tagId(PR_ATTACH_FILENAME_W))) longName = *shortName;
    else if (auto* display = valueOf<std::u16string>(props, pst::tagId(PR_DISPLAY_NAME_W))) longName = *display;
    longName = safeFileName(longName);
    if (!pending.content.embedded) {
        if (longName.empty()) longName = madeUpFileName("application/octet-stream", ordinal);
        std::erase_if(props, [](const pst::Property& p) {
            auto id = pst::tagId(p.tag);
            return id == pst::tagId(PR_ATTACH_LONG_FILENAME_W) || id == pst::tagId(PR_ATTACH_FILENAME_W) ||
                   id == pst::tagId(PR_DISPLAY_NAME_W) || id == pst::tagId(PR_ATTACH_EXTENSION_W);
        });
        setFileNames(pending.content, longName);
    } else if (!findId(props, pst::tagId(PR_DISPLAY_NAME_W))) {
        auto* subject = pending.content.embedded->find(PR_SUBJECT_W);
        props.push_back({PR_DISPLAY_NAME_W, subject ? std::get<std::u16string>(*subject) : std::u16string(u"Untitled Attachment")});
    }
    if (auto* id = valueOf<std::u16string>(props, pst::tagId(PR_ATTACH_CONTENT_ID_W))) pending.contentId = *id;
    if (auto* location = valueOf<std::u16string>(props, pst::tagId(PR_ATTACH_CONTENT_LOCATION_W)))
        pending.contentLocation = *location;
    // Pictures of the HTML body are its related parts.
    pending.related = !pending.contentId.empty() || !pending.contentLocation.empty();
    return pending;
}

pst::MessageContent embeddedMessage(TnefMessage inner) {
    pst::MessageContent out;
    out.props = std::move(inner.props);
    out.named = std::move(inner.named);
    out.recipients = std::move(inner.recipients);
    MessageParts parts;
    if (inner.body.plain) parts.plain = crlf(*inner.body.plain);
    if (inner.body.html) {
        HtmlBody html;
        html.decoded.text = *inner.body.html;
        html.decoded.charset = "utf-8";
        parts.html = std::move(html);
    }
    parts.attachments = std::move(inner.attachments);
    if (!findId(out.props, pst::tagId(PR_MESSAGE_CLASS_W))) out.set(PR_MESSAGE_CLASS_W, std::u16string(u"IPM.Note"));
    int visible = writeBodiesAndAttachments(parts, out);
    if (inner.body.rtfCompressed) {
        out.set(pst::tags::PR_RTF_COMPRESSED, *inner.body.rtfCompressed);
        out.set(PR_NATIVE_BODY_INFO, int32_t(2));
    }
    // Has-attachment and the size are the store's to set; a message whose
    // attachments are all shown in its body shows no paperclip.
    std::erase_if(out.props, [](const pst::Property& p) {
        return pst::tagId(p.tag) == pst::tagId(PR_HASATTACH) || pst::tagId(p.tag) == pst::tagId(PR_MESSAGE_SIZE);
    });
    if (!out.attachments.empty() && visible == 0) out.setNamed(named::SmartNoAttach, pst::PropType::Boolean, true);
    out.set(PR_MESSAGE_FLAGS, MSGFLAG_READ);
    return out;
}

}  // namespace

bool mimeHeaderWins(pst::PropTag tag) {
    switch (pst::tagId(tag)) {
        // From: the sent-representing group; the sender group follows it.
        case 0x0041: case 0x0042: case 0x0064: case 0x0065: case 0x003B: case 0x5D02:
        case 0x0C19: case 0x0C1A: case 0x0C1D: case 0x0C1E: case 0x0C1F: case 0x5D01:
        // Reply-To
        case 0x004F: case 0x0050:
        // Date
        case 0x0039:
        // The header block itself
        case 0x007D:
            return true;
        default: return false;
    }
}

std::optional<TnefMessage> readTnefMessage(std::span<const uint8_t> stream, ParseContext& context, int depth) {
    TnefData data;
    try {
        data = readTnef(stream);
    } catch (const TnefError& e) {
        context.warnings->add("winmail.dat could not be unpacked (" + e.what + "); it is kept as an attachment");
        return std::nullopt;
    }
    for (auto& problem : data.problems) context.warnings->add("winmail.dat: " + problem);

    TnefMessage out;
    out.body = bodyOf(data.props, *context.warnings);
    if (out.body.plain) out.body.plain = crlf(*out.body.plain);
    for (auto& p : data.props) {
        uint16_t id = pst::tagId(p.tag);
        if (!computedByStore(id) && !bodyProperty(id)) out.props.push_back(std::move(p));
    }
    out.named = std::move(data.named);
    for (auto& row : data.recipients) {
        pst::RecipientRow recipient;
        for (auto& p : row)
            if (!computedByStore(pst::tagId(p.tag)) || p.tag == PR_ENTRYID) recipient.props.push_back(std::move(p));
        if (findId(recipient.props, pst::tagId(PR_RECIPIENT_TYPE))) out.recipients.push_back(std::move(recipient));
    }
    int ordinal = 0;
    for (auto& attachment : data.attachments)
        out.attachments.push_back(attachmentOf(std::move(attachment), context, depth, ++ordinal));
    return out;
}

}  // namespace eml
