#include "eml/message_reader.h"

#include <algorithm>

#include "eml/bodies.h"
#include "eml/charset.h"
#include "eml/content_walk.h"
#include "eml/envelope.h"
#include "eml/gmime_support.h"
#include "pst/format/property_tags.h"
#include "eml/message_marks.h"
#include "eml/named_properties.h"
#include "eml/reports.h"
#include "eml/secure.h"

namespace eml {

using namespace pst::tags;

namespace {

std::u16string withCrlfLineEnds(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out += u"\r\n";
        else out.push_back(text[i]);
    }
    return out;
}


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

}  // namespace

pst::MessageContent readMessageContent(GMimeMessage* message, std::string_view rawHeaders, ParseContext& context,
                                       int depth) {
    pst::MessageContent out;
    out.props.reserve(48);  // about what a plain message sets: one allocation, not seven
    MessageParts parts = walkContent(g_mime_message_get_mime_part(message), context, depth);

    // Raw 8-bit headers are most likely in the charset of the text.
    std::string fallback = parts.textCharset.empty() || parts.textCharset == "us-ascii"
                               ? std::string("windows-1252") : parts.textCharset;
    keepConverterLoaded(fallback);
    keepConverterLoaded("windows-1252");
    GMimeParserOptions* headerOptions = g_mime_parser_options_clone(context.options);
    const char* charsets[] = {"utf-8", fallback.c_str(), "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(headerOptions, charsets);
    readEnvelope(message, headerOptions, rawHeaders, fallback, context.sentTime, out, *context.warnings);
    if (depth == 0 && context.longHeaderBlock) out.set(PR_TRANSPORT_MESSAGE_HEADERS_W, context.longHeaderBlock(fallback));
    Marks marks = readMarks(message, headerOptions, out);
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
    if (parts.html && parts.html->partial && !parts.plain)
        context.warnings->add("the HTML body is too long to be turned into plain text whole; the plain text was made "
                              "from its beginning, the HTML is kept whole");
    int visible = writeBodiesAndAttachments(parts, out);
    if (parts.tnef && parts.tnef->body.rtfCompressed) {
        out.set(pst::tags::PR_RTF_COMPRESSED, *parts.tnef->body.rtfCompressed);
        out.set(PR_NATIVE_BODY_INFO, int32_t(2));
    }
    if (parts.signedEntity) {
        out.set(PR_MESSAGE_CLASS_W, std::u16string(kSmimeSignedMessageClass));
        out.attachments.clear();  // they are parts of the signed entity
        out.attachments.push_back(std::move(parts.signedEntity->content));
    }
    if (parts.report) applyReport(*parts.report, out);
    // The store sets has-attachment and the size from what it writes (a
    // winmail.dat may name its own); when every attachment is shown in the
    // body, Outlook shows no paperclip.
    std::erase_if(out.props, [](const pst::Property& p) { return p.tag == PR_HASATTACH || p.tag == PR_MESSAGE_SIZE; });
    if (!out.attachments.empty() && visible == 0) out.setNamed(named::SmartNoAttach, pst::PropType::Boolean, true);
    // An imported message has been read; a draft was never delivered.
    int32_t flags = MSGFLAG_READ;
    if (marks.unsent) {
        flags |= MSGFLAG_UNSENT;
        std::erase_if(out.props, [](const pst::Property& p) { return p.tag == PR_MESSAGE_DELIVERY_TIME; });
    }
    out.set(PR_MESSAGE_FLAGS, flags);
    return out;
}

pst::MessageContent readEmbeddedMessage(GMimeMessage* message, ParseContext& context, int depth) {
    char* headers = g_mime_object_get_headers(GMIME_OBJECT(message), nullptr);
    std::string rawHeaders = str(headers);
    g_free(headers);
    return readMessageContent(message, rawHeaders, context, depth);
}

}  // namespace eml
