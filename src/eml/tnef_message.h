#pragma once
// What a message keeps of its winmail.dat, as Outlook reads one: the
// encapsulated properties (the MIME headers win for From, Reply-To and
// Date), the body (the HTML its compressed RTF wraps, else the RTF itself,
// else the text) and the attachments, attached messages included.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "eml/attachments.h"
#include "eml/parse_context.h"
#include "pst/message_content.h"

namespace eml {

struct TnefBody {
    std::optional<std::u16string> plain;
    std::optional<std::u16string> html;
    // A rich-text body that wraps nothing: kept compressed as it came.
    std::optional<pst::Bytes> rtfCompressed;
    bool empty() const { return !plain && !html && !rtfCompressed; }
};

struct TnefMessage {
    std::vector<pst::Property> props;  // without bodies and what the store computes
    std::vector<pst::NamedProperty> named;
    std::vector<pst::RecipientRow> recipients;
    TnefBody body;
    std::vector<PendingAttachment> attachments;
};

// nullopt when the bytes are no readable TNEF stream (a warning says why);
// `depth` is the nesting depth of the message that carries the stream.
std::optional<TnefMessage> readTnefMessage(std::span<const uint8_t> stream, ParseContext& context, int depth);

// Whether a MIME header of the carrying message decides this property.
bool mimeHeaderWins(pst::PropTag tag);

}  // namespace eml
