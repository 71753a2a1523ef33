#pragma once
// Walks a message's MIME tree the way Outlook reads it: which parts are the
// plain and HTML bodies, which are attachments, which pictures belong to the
// HTML.

#include <optional>
#include <string>
#include <vector>

#include <gmime/gmime.h>

#include "eml/attachments.h"
#include "eml/calendar_meeting.h"
#include "eml/charset.h"
#include "eml/parse_context.h"
#include "eml/reports.h"
#include "eml/tnef_message.h"

namespace eml {

struct HtmlBody {
    std::string bytes;  // as sent
    DecodedText decoded;
    // A long body read from the file: its whole value, `decoded` then
    // holds only its beginning.
    pst::StreamedBytes streamed;
    bool partial = false;  // `decoded` is only the beginning
};

struct MessageParts {
    std::optional<std::u16string> plain;  // CRLF line ends
    // A long plain body read from the file: its whole value, `plain` then
    // holds only its beginning.
    pst::StreamedBytes streamedPlain;
    std::optional<HtmlBody> html;
    std::vector<PendingAttachment> attachments;
    // The charset of the first text body: the best guess for raw 8-bit
    // headers.
    std::string textCharset;
    bool opaqueSmime = false;
    // An S/MIME clear-signed message: the body and attachments above are
    // those of the signed content; Outlook keeps only the signed entity,
    // whole, as its one attachment.
    std::optional<PendingAttachment> signedEntity;
    // The fields of a multipart/report's machine-readable part.
    std::optional<Report> report;
    // What a winmail.dat part carried besides its body and attachments
    // (which are in `plain`, `html` and `attachments` already).
    std::optional<TnefMessage> tnef;
    // The meeting of a text/calendar body part (kept as the meeting's own
    // property, not as an attachment).
    std::optional<CalendarPart> calendar;
};

// `depth` is the nesting depth of the message being read (0 for the file).
MessageParts walkContent(GMimeObject* root, ParseContext& context, int depth);

}  // namespace eml
