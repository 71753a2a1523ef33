#pragma once
// One parsed message (the file's, or one attached to it) to a mail item.

#include <string_view>

#include <gmime/gmime.h>

#include "eml/parse_context.h"
#include "pst/message_content.h"

namespace eml {

// `rawHeaders` is the header block as sent.
pst::MessageContent readMessageContent(GMimeMessage* message, std::string_view rawHeaders, ParseContext& context,
                                       int depth);

// An attached message: its header block and size are taken from GMime.
pst::MessageContent readEmbeddedMessage(GMimeMessage* message, ParseContext& context, int depth);

}  // namespace eml
