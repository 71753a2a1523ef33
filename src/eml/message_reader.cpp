#include "eml/message_reader.h"

#include <algorithm>
#include <climits>

#include "eml/bodies.h"
#include "eml/charset.h"
#include "eml/content_walk.h"
#include "eml/envelope.h"
#include "eml/gmime_support.h"
#include "pst/format/property_tags.h"
#include "eml/secure.h"

namespace eml {

using namespace pst::tags;

namespace {

// What the message holds, in bytes: an attached message is not kept as
// bytes, so its size is what its properties and attachments weigh.
std::u16string withCrlfLineEnds(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out += u"\r\n";
        else out.push_back(text[i]);
    }
    return out;
}

constexpr pst::PropTag PR_RTF_COMPRESSED = pst::makeTag(0x1009, pst::PropType::Binary);

// What winmail.dat says wins over the MIME message, but for From, Reply-To
// and Date when the headers give them.
void applyTnef(TnefMessage& tnef, pst::MessageContent& out) {
    for (auto& p : tnef.props) {
        if (mimeHeaderWins(p.tag) && std::any_of(out.props.begin(), out.props.end(), [&](const pst::Property& q) {
                return pst::tagId(q.tag) == pst::tagId(p.tag);
            }))
            continue;
        std::erase_if(out.props, [&](const pst::Property& q) { return pst::tagId(q.tag) == pst::tagId(p.tag); });
        out.props.push_back(std::move(p));
    }
    for (auto& n : tnef.named) out.setNamed(n.name, n.type, std::move(n.value));
    if (out.recipients.empty()) out.recipients = std::move(tnef.recipients);
}

uint64_t approximateSize(const pst::MessageContent& message) {
    uint64_t size = 0;
    auto weigh = [&size](const std::vector<pst::Property>& props) {
        for (const auto& p : props) {
            if (auto* s = std::get_if<std::u16string>(&p.value)) size += s->size() * 2;
            else if (auto* b = std::get_if<pst::Bytes>(&p.value)) size += b->size();
            else size += 8;
        }
    };
    weigh(message.props);
    for (const auto& r : message.recipients) weigh(r.props);
    for (const auto& a : message.attachments) {
        weigh(a.props);
        if (a.embedded) size += approximateSize(*a.embedded);
    }
    return size;
}

}  // namespace

pst::MessageContent readMessageContent(GMimeMessage* message, std::string_view rawHeaders, size_t size,
                                       ParseContext& context, int depth) {
    pst::MessageContent out;
    MessageParts parts = walkContent(g_mime_message_get_mime_part(message), context, depth);

    // Raw 8-bit headers are most likely in the charset of the text.
    std::string fallback = parts.textCharset.empty() || parts.textCharset == "us-ascii"
                               ? std::string("windows-1252") : parts.textCharset;
    keepConverterLoaded(fallback);
    keepConverterLoaded("windows-1252");
    GMimeParserOptions* headerOptions = g_mime_parser_options_clone(context.options);
    const char* charsets[] = {"utf-8", fallback.c_str(), "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(headerOptions, charsets);
    readEnvelope(message, headerOptions, rawHeaders, fallback, out, *context.warnings);
    g_mime_parser_options_free(headerOptions);

    out.set(PR_MESSAGE_CLASS_W, std::u16string(parts.opaqueSmime ? kSmimeMessageClass : u"IPM.Note"));
    if (parts.tnef) applyTnef(*parts.tnef, out);
    if (parts.calendar) {
        applyMeeting(*parts.calendar, out);
        // [MS-OXCICAL] 2.1.3.1.1.20.11: DESCRIPTION is the body when nothing else is.
        const CalendarEvent& event = parts.calendar->event;
        if (!parts.plain && !parts.html && !event.description.empty() && event.method != "REPLY")
            parts.plain = withCrlfLineEnds(event.description);
    }
    int visible = writeBodiesAndAttachments(parts, out);
    if (parts.tnef && parts.tnef->body.rtfCompressed) {
        out.set(PR_RTF_COMPRESSED, *parts.tnef->body.rtfCompressed);
        out.set(PR_NATIVE_BODY_INFO, int32_t(2));
    }
    out.set(PR_HASATTACH, visible > 0);
    // An imported message has been read; it has attachments only when it has.
    out.set(PR_MESSAGE_FLAGS, MSGFLAG_READ | (visible > 0 ? MSGFLAG_HASATTACH : 0));
    out.set(PR_MESSAGE_SIZE, static_cast<int32_t>(std::min<size_t>(size, INT32_MAX)));
    return out;
}

pst::MessageContent readEmbeddedMessage(GMimeMessage* message, ParseContext& context, int depth) {
    char* headers = g_mime_object_get_headers(GMIME_OBJECT(message), nullptr);
    std::string rawHeaders = str(headers);
    g_free(headers);
    pst::MessageContent content = readMessageContent(message, rawHeaders, 0, context, depth);
    content.set(PR_MESSAGE_SIZE, static_cast<int32_t>(std::min<uint64_t>(approximateSize(content), INT32_MAX)));
    return content;
}

}  // namespace eml
