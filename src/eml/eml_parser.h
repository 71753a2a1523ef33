#pragma once
// Reads one RFC 822 message into the content of a mail item (IPM.Note):
// its properties, recipient rows and attachments, embedded messages parsed
// recursively.

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "pst/message_content.h"

namespace eml {

struct ParseResult {
    pst::MessageContent message;
    // What was repaired or dropped on the way (a missing closing boundary,
    // broken base64, an unknown charset...). Empty for a clean message.
    std::vector<std::string> warnings;
};

// The file cannot be turned into any mail item (empty, unreadable, not a
// message at all). The text says why, for the user.
class ParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

ParseResult parseMessage(std::span<const uint8_t> bytes);
ParseResult parseFile(const std::filesystem::path& file);

}  // namespace eml
