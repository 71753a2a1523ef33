#pragma once
// A stream GMime's parser reads a large file through. The parser reads a
// few kilobytes at a time, one system call (and a seek) each from a file
// stream; this one fills a large buffer from its source instead. The parts
// the parser keeps are windows onto the source itself, as they would be
// without it.

#include <gmime/gmime.h>

namespace eml {

// A new reference to a stream reading `source` (which it refers to) through
// a buffer of `bufferSize` bytes.
GMimeStream* bufferedReadStream(GMimeStream* source, size_t bufferSize);

}  // namespace eml
