#include "eml/transfer_decoding.h"

#include <algorithm>

namespace eml {

namespace {

bool isBase64Letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// The decoder stops at the first '=' padding: data after it is not read.
bool dataAfterPadding(std::string_view encoded) {
    size_t pad = encoded.find('=');
    if (pad == std::string_view::npos) return false;
    return std::any_of(encoded.begin() + static_cast<std::ptrdiff_t>(pad), encoded.end(), isBase64Letter);
}

// Runs GMime's decoder over the whole text; returns how many bytes it gave,
// leaving room in `bytes` for what the caller takes from the decoder's state.
size_t decodeWhole(GMimeContentEncoding encoding, std::string_view encoded, GMimeEncoding& state,
                   std::vector<uint8_t>& bytes) {
    g_mime_encoding_init_decode(&state, encoding);
    bytes.resize(g_mime_encoding_outlen(&state, encoded.size()) + 4);
    return g_mime_encoding_flush(&state, encoded.data(), encoded.size(), reinterpret_cast<char*>(bytes.data()));
}

TransferDecoded decodeBase64(std::string_view encoded) {
    TransferDecoded out;
    GMimeEncoding state;
    size_t n = decodeWhole(GMIME_CONTENT_ENCODING_BASE64, encoded, state, out.bytes);
    // Without its '=' padding the last group stays in the decoder: two or
    // three characters still carry one or two whole bytes.
    if (state.state == 2) {
        out.bytes[n++] = static_cast<uint8_t>(state.save >> 4);
    } else if (state.state == 3) {
        out.bytes[n++] = static_cast<uint8_t>(state.save >> 10);
        out.bytes[n++] = static_cast<uint8_t>(state.save >> 2);
    } else if (state.state == 1) {
        out.damaged = true;
    } else if (state.state < 0) {
        out.damaged = dataAfterPadding(encoded);
    }
    out.bytes.resize(n);
    return out;
}

TransferDecoded decodeQuotedPrintable(std::string_view encoded) {
    TransferDecoded out;
    GMimeEncoding state;
    out.bytes.resize(decodeWhole(GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE, encoded, state, out.bytes));
    return out;
}

uint8_t uuValue(char c) { return static_cast<uint8_t>((static_cast<unsigned char>(c) - 0x20) & 0x3F); }

bool startsWith(std::string_view line, std::string_view prefix) {
    return line.size() >= prefix.size() && line.compare(0, prefix.size(), prefix) == 0;
}

// Each line says how many bytes it holds; characters missing at its end
// (blanks that a mail relay trimmed) are read as blanks, which is what they
// were.
TransferDecoded decodeUuencode(std::string_view encoded) {
    TransferDecoded out;
    out.bytes.reserve(encoded.size() / 4 * 3);
    std::vector<std::string_view> lines;
    for (size_t at = 0; at < encoded.size();) {
        size_t end = encoded.find('\n', at);
        if (end == std::string_view::npos) end = encoded.size();
        std::string_view line = encoded.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        at = end + 1;
    }
    size_t first = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        if (startsWith(lines[i], "begin ")) {
            first = i + 1;
            break;
        }
    for (size_t i = first; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.empty()) continue;
        if (startsWith(line, "end") && line.find_first_not_of(" \t", 3) == std::string_view::npos) break;
        size_t count = uuValue(line[0]);
        if (count == 0) break;
        std::string_view data = line.substr(1);
        for (size_t group = 0; group * 3 < count; ++group) {
            uint8_t v[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < 4; ++k) {
                size_t at = group * 4 + k;
                v[k] = at < data.size() ? uuValue(data[at]) : 0;
            }
            uint8_t bytes[3] = {static_cast<uint8_t>(v[0] << 2 | v[1] >> 4),
                                static_cast<uint8_t>(v[1] << 4 | v[2] >> 2),
                                static_cast<uint8_t>(v[2] << 6 | v[3])};
            size_t take = std::min<size_t>(3, count - group * 3);
            out.bytes.insert(out.bytes.end(), bytes, bytes + take);
        }
    }
    return out;
}

}  // namespace

TransferDecoded decodeTransfer(std::string_view encoded, GMimeContentEncoding encoding) {
    switch (encoding) {
        case GMIME_CONTENT_ENCODING_BASE64:
            return decodeBase64(encoded);
        case GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE:
            return decodeQuotedPrintable(encoded);
        case GMIME_CONTENT_ENCODING_UUENCODE:
            return decodeUuencode(encoded);
        default:
            return {std::vector<uint8_t>(encoded.begin(), encoded.end()), false};
    }
}

}  // namespace eml
