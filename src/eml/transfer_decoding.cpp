#include "eml/transfer_decoding.h"

#include <algorithm>
#include <memory>

namespace eml {

namespace {

// Decoded into a buffer left uninitialised (base64 fills only 3/4 of its
// room), then kept at its exact size.
TransferDecoded decodeWithChunks(std::string_view encoded, GMimeContentEncoding encoding) {
    TransferDecoded out;
    ChunkedTransferDecoder decoder(encoding);
    std::unique_ptr<uint8_t[]> room(new uint8_t[decoder.outputRoom(encoded.size())]);
    size_t n = decoder.step(encoded, room.get());
    n += decoder.finish(room.get() + n);
    out.bytes.assign(room.get(), room.get() + n);
    out.damaged = decoder.damaged();
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

ChunkedTransferDecoder::ChunkedTransferDecoder(GMimeContentEncoding encoding)
    : encoding_(encoding == GMIME_CONTENT_ENCODING_BASE64 || encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE
                    ? encoding
                    : GMIME_CONTENT_ENCODING_DEFAULT) {
    if (encoding_ == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE) g_mime_encoding_init_decode(&quotedPrintable_, encoding_);
}

bool ChunkedTransferDecoder::handles(GMimeContentEncoding encoding) {
    return encoding != GMIME_CONTENT_ENCODING_UUENCODE;
}

size_t ChunkedTransferDecoder::step(std::string_view piece, uint8_t* out) {
    switch (encoding_) {
        case GMIME_CONTENT_ENCODING_BASE64:
            return base64_.step(piece, out);
        case GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE:
            return g_mime_encoding_step(&quotedPrintable_, piece.data(), piece.size(), reinterpret_cast<char*>(out));
        default:
            std::copy(piece.begin(), piece.end(), out);
            return piece.size();
    }
}

size_t ChunkedTransferDecoder::finish(uint8_t* out) {
    return encoding_ == GMIME_CONTENT_ENCODING_BASE64 ? base64_.finish(out) : 0;
}

TransferDecoded decodeTransfer(std::string_view encoded, GMimeContentEncoding encoding) {
    switch (encoding) {
        case GMIME_CONTENT_ENCODING_BASE64:
        case GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE:
            return decodeWithChunks(encoded, encoding);
        case GMIME_CONTENT_ENCODING_UUENCODE:
            return decodeUuencode(encoded);
        default:
            return {std::vector<uint8_t>(encoded.begin(), encoded.end()), false};
    }
}

}  // namespace eml
