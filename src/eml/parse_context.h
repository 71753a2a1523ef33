#pragma once
// What every step of reading one file shares.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <gmime/gmime.h>

#include "eml/envelope.h"
#include "eml/warnings.h"
#include "pst/value_source.h"

namespace eml {

struct ParseContext {
    GMimeParserOptions* options = nullptr;
    Warnings* warnings = nullptr;
    // The file's bytes after its header block: the top-level MIME entity's
    // body as sent (read only when asked for: it may be large).
    std::function<std::string()> fileBody;
    // The file's header block when it is too long to hold: the item's
    // Internet headers read from the file as the store writes them (raw
    // 8-bit text in `fallbackCharset`).
    std::function<pst::StreamedBytes(const std::string& fallbackCharset)> longHeaderBlock;
    // Text bodies read from the file whose encoded content is this long or
    // longer are streamed into the store.
    int64_t streamedTextFrom = 1 << 20;
    // Attachments of a message held in memory whose encoded content is this
    // long or longer are left encoded in its buffer for the store's thread.
    int64_t heldPartStreamedFrom = INT64_MAX;
    // The sent time of a message that names none.
    SentTimeFallback sentTime;
    // Attached messages are read recursively up to this depth; deeper ones
    // are kept as .eml files.
    static constexpr int kMaxMessageDepth = 16;
};

}  // namespace eml
