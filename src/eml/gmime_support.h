#pragma once
// Small helpers around GMime: library start-up, owning references to its
// objects, and the decoded bytes of a part.

#include <gmime/gmime.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "eml/warnings.h"

namespace eml {

// Initialises GMime once per process (safe to call from anywhere, any time).
void ensureGMime();

struct GObjectUnref {
    void operator()(void* object) const { if (object) g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

// The bytes a stream of a message parsed from memory stands for: GMime's
// parts are windows onto the message's one buffer. Nothing for any other
// stream.
std::optional<std::string_view> memoryWindow(GMimeStream* stream);

// The content of a leaf part with its transfer encoding removed; damage
// to the encoding is named in `warnings` when given.
std::string decodedContent(GMimePart* part, Warnings* warnings = nullptr);
std::vector<uint8_t> decodedBytes(GMimePart* part, Warnings* warnings = nullptr);

// The object serialised as it would appear on the wire (headers and body).
std::string serialised(GMimeObject* object);

// Lower-case "type/subtype" of an object, "application/octet-stream" if none.
std::string mimeType(GMimeObject* object);

// A GMime string that may be null, as std::string.
inline std::string str(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace eml
