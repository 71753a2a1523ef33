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

#include "eml/warnings.h"
#include "pst/message_content.h"

namespace eml {

struct ParseResult {
    pst::MessageContent message;
    // What was repaired or dropped on the way (a missing closing boundary,
    // broken base64, an unknown charset...). Empty for a clean message.
    std::vector<std::string> warnings;
    // Streamed values of a file read whole, whose damage is known once they
    // are read and belongs among `warnings` (withWarningsWhenRead).
    std::vector<WarningsWhenRead> warningsWhenRead;
};

// The file cannot be turned into any mail item (empty, unreadable, not a
// message at all). The text says why, for the user.
class ParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a file is read: files up to `wholeUpTo` bytes are read into memory at
// once; larger ones are parsed from the file itself, their large parts left
// there and streamed into the store (pst::StreamedBytes) when it writes them.
struct FileReading {
    uint64_t wholeUpTo = 8u << 20;
    // Text bodies of such a file whose encoded content is this long or
    // longer reach the store the same way.
    uint64_t streamedTextFrom = 1u << 20;
    // Attachments of a file read whole whose encoded content is this long
    // or longer are decoded by whoever reads the value (the store's thread,
    // as it writes them), not while the file is parsed.
    uint64_t heldPartsStreamedFrom = 256u << 10;
    // Bodies of a file parsed from the file itself this long or longer
    // (attachments, mostly) are found by the repair scan and left out of GMime's parse, which would
    // otherwise read each through once more only to find where it ends.
    uint64_t skippedBodiesFrom = 1u << 20;
};

ParseResult parseMessage(std::span<const uint8_t> bytes);
ParseResult parseFile(const std::filesystem::path& file, const FileReading& reading = {});

}  // namespace eml
