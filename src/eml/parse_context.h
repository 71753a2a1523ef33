#pragma once
// What every step of reading one file shares.

#include <gmime/gmime.h>

#include "eml/warnings.h"

namespace eml {

struct ParseContext {
    GMimeParserOptions* options = nullptr;
    Warnings* warnings = nullptr;
    // Attached messages are read recursively up to this depth; deeper ones
    // are kept as .eml files.
    static constexpr int kMaxMessageDepth = 16;
};

}  // namespace eml
