#include "pffexport_item_values.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "util/utf.h"

namespace test_readers {

namespace {

std::string utf16leToUtf8(const uint8_t* data, size_t size) {
    return quillmere::toUtf8(quillmere::fromUtf16Le({data, size}));
}

std::string afterColon(const std::string& line) {
    size_t colon = line.find(':');
    std::string v = colon == std::string::npos ? std::string() : line.substr(colon + 1);
    v.erase(0, v.find_first_not_of(" \t"));
    return v;
}

uint16_t typeOf(const ItemValue* v) { return static_cast<uint16_t>(v->tag & 0xFFFF); }

}  // namespace

ItemValues readItemValues(const std::filesystem::path& file) {
    ItemValues out;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    ItemValue* current = nullptr;
    bool inValue = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Set:", 0) == 0) {
            out.entries.emplace_back();
            current = &out.entries.back();
            current->set = static_cast<uint32_t>(std::stoul(afterColon(line)));
            inValue = false;
        } else if (!current) {
            continue;
        } else if (line.rfind("Entry type:", 0) == 0) {
            current->tag |= static_cast<uint32_t>(std::stoul(afterColon(line), nullptr, 16)) << 16;
        } else if (line.rfind("Value type:", 0) == 0) {
            current->tag |= static_cast<uint32_t>(std::stoul(afterColon(line), nullptr, 16)) & 0xFFFF;
        } else if (line.rfind("Maps to entry type:", 0) == 0) {
            current->mapsToLid = static_cast<uint32_t>(std::stoul(afterColon(line), nullptr, 16));
        } else if (line.rfind("Maps to entry:", 0) == 0) {
            current->mapsToName = afterColon(line);
        } else if (line.rfind("Value:", 0) == 0) {
            inValue = true;
        } else if (inValue && line.rfind("0x", 0) == 0) {
            // "0x00000000: 49 00 50 00 4d 00 2e 00  4e 00 ...   I.P.M...": up to
            // sixteen bytes at fixed columns, then the same bytes as text.
            for (size_t i = 0; i < 16; ++i) {
                size_t at = 12 + 3 * i + (i >= 8 ? 1 : 0);
                if (at + 2 > line.size() || !std::isxdigit(static_cast<unsigned char>(line[at])) ||
                    !std::isxdigit(static_cast<unsigned char>(line[at + 1])))
                    break;
                current->data.push_back(static_cast<uint8_t>(std::stoul(line.substr(at, 2), nullptr, 16)));
            }
        } else if (line.empty()) {
            inValue = false;
        }
    }
    return out;
}

const ItemValue* ItemValues::find(uint32_t tag, uint32_t set) const {
    for (const auto& e : entries)
        if (e.set == set && e.tag == tag) return &e;
    return nullptr;
}

const ItemValue* ItemValues::findNamed(const std::string& name, uint32_t set) const {
    for (const auto& e : entries)
        if (e.set == set && e.mapsToName == name) return &e;
    return nullptr;
}

const ItemValue* ItemValues::findLid(uint32_t lid, uint32_t set) const {
    for (const auto& e : entries)
        if (e.set == set && e.mapsToLid == lid) return &e;
    return nullptr;
}

uint32_t ItemValues::sets() const {
    uint32_t n = 0;
    for (const auto& e : entries) n = std::max(n, e.set + 1);
    return n;
}

std::optional<std::string> ItemValues::text(const ItemValue* v) {
    if (!v || typeOf(v) != 0x001F) return std::nullopt;
    return utf16leToUtf8(v->data.data(), v->data.size());
}

std::optional<int32_t> ItemValues::integer(const ItemValue* v) {
    if (!v || typeOf(v) != 0x0003 || v->data.size() < 4) return std::nullopt;
    return static_cast<int32_t>(v->data[0] | (v->data[1] << 8) | (v->data[2] << 16) | (uint32_t(v->data[3]) << 24));
}

std::optional<bool> ItemValues::boolean(const ItemValue* v) {
    if (!v || typeOf(v) != 0x000B || v->data.empty()) return std::nullopt;
    return v->data[0] != 0;
}

std::optional<std::vector<std::string>> ItemValues::texts(const ItemValue* v) {
    if (!v || typeOf(v) != 0x101F || v->data.size() < 4) return std::nullopt;
    auto u32 = [&](size_t at) {
        return uint32_t(v->data[at]) | (uint32_t(v->data[at + 1]) << 8) | (uint32_t(v->data[at + 2]) << 16) |
               (uint32_t(v->data[at + 3]) << 24);
    };
    uint32_t count = u32(0);
    if (4 + 4ull * count > v->data.size()) return std::nullopt;
    std::vector<std::string> out;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t begin = u32(4 + 4 * i);
        uint32_t end = i + 1 < count ? u32(8 + 4 * i) : static_cast<uint32_t>(v->data.size());
        if (begin > end || end > v->data.size()) return std::nullopt;
        out.push_back(utf16leToUtf8(v->data.data() + begin, end - begin));
    }
    return out;
}

}  // namespace test_readers
