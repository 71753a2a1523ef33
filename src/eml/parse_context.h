#pragma once
// What every step of reading one file shares.

#include <optional>
#include <string_view>

#include <gmime/gmime.h>

#include "eml/envelope.h"
#include "eml/warnings.h"

namespace eml {

struct ParseContext {
    GMimeParserOptions* options = nullptr;
    Warnings* warnings = nullptr;
    // The file's bytes after its header block: the top-level MIME entity's
    // body as sent.
    std::optional<std::string_view> fileBody;
    // The sent time of a message that names none.
    SentTimeFallback sentTime;
    // Attached messages are read recursively up to this depth; deeper ones
    // are kept as .eml files.
    static constexpr int kMaxMessageDepth = 16;
};

}  // namespace eml
