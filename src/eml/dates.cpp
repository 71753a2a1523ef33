#include "eml/dates.h"

#include <cstring>
#include <string>

#include "eml/gmime_support.h"

namespace eml {

namespace {

using pst::kFileTimeTicksPerSecond;
using pst::kUnixEpochInFileTimeSeconds;

}  // namespace

pst::FileTime fileTimeFromUnix(int64_t seconds, int32_t microseconds) {
    return {static_cast<uint64_t>((seconds + kUnixEpochInFileTimeSeconds) * kFileTimeTicksPerSecond +
                                  static_cast<int64_t>(microseconds) * 10)};
}

std::optional<pst::FileTime> parseMailDate(std::string_view text) {
    ensureGMime();
    std::string value(text);
    // GMime stops at NUL; a date never holds one anyway.
    if (value.find('\0') != std::string::npos) value.resize(value.find('\0'));
    bool hasDigit = false;
    for (char c : value) hasDigit |= (c >= '0' && c <= '9');
    if (!hasDigit) return std::nullopt;
    GDateTime* date = g_mime_utils_header_decode_date(value.c_str());
    if (!date) return std::nullopt;
    int64_t seconds = g_date_time_to_unix(date);
    g_date_time_unref(date);
    // GMime answers the epoch for text it cannot read; years before 1601 or
    // after 30827 cannot be a FILETIME.
    if (seconds == 0 || seconds < -kUnixEpochInFileTimeSeconds || seconds > 910692730085LL)
        return std::nullopt;
    return fileTimeFromUnix(seconds);
}

namespace {

template <typename Better>
std::optional<pst::FileTime> receivedTime(GMimeHeaderList* headers, Better better) {
    std::optional<pst::FileTime> newest;
    int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const char* name = g_mime_header_get_name(header);
        if (!name || g_ascii_strcasecmp(name, "Received") != 0) continue;
        std::string value = str(g_mime_header_get_raw_value(header));
        size_t semicolon = value.rfind(';');
        if (semicolon == std::string::npos) continue;
        auto time = parseMailDate(std::string_view(value).substr(semicolon + 1));
        if (time && (!newest || better(*time, *newest))) newest = time;
    }
    return newest;
}

}  // namespace

std::optional<pst::FileTime> newestReceivedTime(GMimeHeaderList* headers) {
    return receivedTime(headers, [](pst::FileTime a, pst::FileTime b) { return a.value > b.value; });
}

std::optional<pst::FileTime> oldestReceivedTime(GMimeHeaderList* headers) {
    return receivedTime(headers, [](pst::FileTime a, pst::FileTime b) { return a.value < b.value; });
}

}  // namespace eml
