#pragma once
// A TNEF stream (winmail.dat, application/ms-tnef) to what it encapsulates:
// the message's properties, its recipient rows and its attachments, as
// [MS-OXTNEF] lays them out. Nothing here decides which of them a message
// keeps; see tnef_message.h.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pst/property.h"

namespace eml {

struct TnefAttachmentData {
    std::vector<pst::Property> props;  // attAttachment, then the legacy attributes it lacks
    // PR_ATTACH_DATA_OBJ holding a message: its own TNEF stream.
    std::vector<uint8_t> embeddedStream;
};

struct TnefData {
    std::vector<pst::Property> props;  // attMsgProps over the legacy attributes
    std::vector<pst::NamedProperty> named;
    std::vector<std::vector<pst::Property>> recipients;  // attRecipTable rows
    std::vector<TnefAttachmentData> attachments;
    std::vector<std::string> problems;  // what was skipped or repaired
};

struct TnefError {
    std::string what;
};

// Throws TnefError when the bytes are no TNEF stream or end inside an
// attribute.
TnefData readTnef(std::span<const uint8_t> stream);

// Whether the bytes start with the TNEF signature.
bool looksLikeTnef(std::span<const uint8_t> bytes);

}  // namespace eml
