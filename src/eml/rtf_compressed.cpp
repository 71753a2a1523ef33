#include "eml/rtf_compressed.h"

#include <array>
#include <cstring>
#include <string_view>

namespace eml {

namespace {

constexpr uint32_t kCompressed = 0x75465A4C;    // "LZFu"
constexpr uint32_t kUncompressed = 0x414C454D;  // "MELA"
constexpr size_t kHeaderSize = 16;
constexpr size_t kDictionarySize = 4096;

// The dictionary starts with this text; writing begins right after it.
constexpr std::string_view kPreload =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kPreload.size() == 207);

uint32_t readLe32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void writeLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// The reflected CRC-32 table, used without the usual inversions.
const std::array<uint32_t, 256>& crcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

uint32_t rtfCrc(const uint8_t* data, size_t size) {
    const auto& table = crcTable();
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

struct Dictionary {
    std::array<char, kDictionarySize> bytes{};
    size_t write = kPreload.size();
    Dictionary() { std::memcpy(bytes.data(), kPreload.data(), kPreload.size()); }
    void put(char c) {
        bytes[write] = c;
        write = (write + 1) % kDictionarySize;
    }
};

}  // namespace

std::optional<std::string> decompressRtf(std::span<const uint8_t> data) {
    if (data.size() < kHeaderSize) return std::nullopt;
    uint32_t compSize = readLe32(data.data());
    uint32_t rawSize = readLe32(data.data() + 4);
    uint32_t type = readLe32(data.data() + 8);
    uint32_t crc = readLe32(data.data() + 12);
    // COMPSIZE counts the 12 header bytes after itself; a writer may pad.
    size_t end = std::min<size_t>(data.size(), static_cast<size_t>(compSize) + 4);
    if (end < kHeaderSize) return std::nullopt;
    const uint8_t* contents = data.data() + kHeaderSize;
    size_t size = end - kHeaderSize;

    if (type == kUncompressed) return std::string(reinterpret_cast<const char*>(contents), std::min<size_t>(size, rawSize));
    if (type != kCompressed || rtfCrc(contents, size) != crc) return std::nullopt;

    std::string out;
    out.reserve(std::min<size_t>(rawSize, size * 9));  // a 2-byte reference gives at most 17 bytes
    Dictionary dictionary;
    size_t at = 0;
    while (at < size) {
        uint8_t control = contents[at++];
        for (int bit = 0; bit < 8; ++bit) {
            if (at >= size) return out.size() >= rawSize ? std::optional(out) : std::nullopt;
            if (!(control & (1 << bit))) {
                char c = static_cast<char>(contents[at++]);
                out.push_back(c);
                dictionary.put(c);
                continue;
            }
            if (at + 2 > size) return std::nullopt;
            uint16_t reference = static_cast<uint16_t>(contents[at] << 8 | contents[at + 1]);
            at += 2;
            size_t offset = reference >> 4;
            size_t length = (reference & 0x0F) + 2;
            if (offset == dictionary.write) return out;  // the end marker
            for (size_t i = 0; i < length; ++i) {
                char c = dictionary.bytes[(offset + i) % kDictionarySize];
                out.push_back(c);
                dictionary.put(c);
            }
        }
    }
    return out;
}

std::string compressRtf(std::string_view rtf) {
    std::string body;
    Dictionary dictionary;
    size_t at = 0;
    bool ended = false;
    while (!ended) {
        size_t controlAt = body.size();
        body.push_back(0);
        uint8_t control = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (at >= rtf.size()) {
                // The end marker: a reference to the write position.
                control |= static_cast<uint8_t>(1 << bit);
                uint16_t reference = static_cast<uint16_t>(dictionary.write << 4);
                body.push_back(static_cast<char>(reference >> 8));
                body.push_back(static_cast<char>(reference & 0xFF));
                ended = true;
                break;
            }
            // The longest match in the dictionary, not overlapping the write position.
            size_t bestLength = 0, bestOffset = 0;
            size_t maxLength = std::min<size_t>(17, rtf.size() - at);
            for (size_t offset = 0; offset < kDictionarySize && maxLength >= 2; ++offset) {
                if (offset == dictionary.write) continue;
                size_t length = 0;
                while (length < maxLength && dictionary.bytes[(offset + length) % kDictionarySize] == rtf[at + length] &&
                       (offset + length) % kDictionarySize != dictionary.write)
                    ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestOffset = offset;
                }
            }
            if (bestLength >= 2) {
                control |= static_cast<uint8_t>(1 << bit);
                uint16_t reference = static_cast<uint16_t>(bestOffset << 4 | (bestLength - 2));
                body.push_back(static_cast<char>(reference >> 8));
                body.push_back(static_cast<char>(reference & 0xFF));
                for (size_t i = 0; i < bestLength; ++i) dictionary.put(rtf[at + i]);
                at += bestLength;
            } else {
                body.push_back(rtf[at]);
                dictionary.put(rtf[at]);
                ++at;
            }
        }
        body[controlAt] = static_cast<char>(control);
    }
    std::string out;
    writeLe32(out, static_cast<uint32_t>(body.size() + 12));
    writeLe32(out, static_cast<uint32_t>(rtf.size()));
    writeLe32(out, kCompressed);
    writeLe32(out, rtfCrc(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
    return out + body;
}

}  // namespace eml
