#pragma once
// The envelope of a message: subject, addresses, dates, ids, importance and
// the transport headers.

#include <string>
#include <string_view>

#include <gmime/gmime.h>

#include "eml/warnings.h"
#include "pst/message_content.h"

namespace eml {

struct SubjectParts {
    std::u16string prefix;      // "RE: ", "Fwd: ", ... or empty
    std::u16string normalized;  // the rest
};
// Splits off a reply/forward prefix: one to three letters, a colon and the
// spaces after it, at the very start.
SubjectParts splitSubject(std::u16string_view subject);

// The unfolded, decoded (RFC 2047, or the fallback charsets for raw 8-bit
// text) value of the first header of that name; empty if absent.
std::u16string headerText(GMimeHeaderList* headers, const char* name, GMimeParserOptions* options);
bool hasHeader(GMimeHeaderList* headers, const char* name);

// Sets every envelope property of `out` from the message's headers.
// `rawHeaders` is the header block as it stands in the file.
void readEnvelope(GMimeMessage* message, GMimeParserOptions* options, std::string_view rawHeaders,
                  std::string_view fallbackCharset, pst::MessageContent& out, Warnings& warnings);

}  // namespace eml
