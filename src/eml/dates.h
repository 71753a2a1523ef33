#pragma once
// RFC 822 dates to FILETIME.

#include <optional>
#include <string_view>

#include <gmime/gmime.h>

#include "pst/property.h"

namespace eml {

// A Date-style value ("Tue, 1 Dec 2026 10:00:00 +0100", and the usual
// variations); nullopt when it names no plausible time.
std::optional<pst::FileTime> parseMailDate(std::string_view text);

// The newest time stamp of the Received headers (the text after each one's
// last ';'), if any can be read.
std::optional<pst::FileTime> newestReceivedTime(GMimeHeaderList* headers);
// The oldest of them: the first relay's, nearest to the sending.
std::optional<pst::FileTime> oldestReceivedTime(GMimeHeaderList* headers);

pst::FileTime fileTimeFromUnix(int64_t seconds, int32_t microseconds = 0);

}  // namespace eml
