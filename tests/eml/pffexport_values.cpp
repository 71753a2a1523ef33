#include "pffexport_values.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "independent_readers.h"
#include "process.h"

namespace eml::test {

namespace fs = std::filesystem;

namespace {

uint32_t hexField(const std::string& line) {
    auto at = line.find("0x");
    return at == std::string::npos ? 0 : static_cast<uint32_t>(std::stoul(line.substr(at + 2), nullptr, 16));
}

std::string afterColon(const std::string& line) {
    auto at = line.find(':');
    std::string v = at == std::string::npos ? std::string() : line.substr(at + 1);
    v.erase(0, v.find_first_not_of("\t "));
    return v;
}

std::vector<std::vector<DumpedValue>> parseDump(const fs::path& file) {
    std::vector<std::vector<DumpedValue>> sets;
    std::ifstream in(file);
    std::string line;
    DumpedValue value;
    size_t set = 0;
    bool inValue = false, have = false;
    auto finish = [&] {
        if (!have) return;
        if (sets.size() <= set) sets.resize(set + 1);
        sets[set].push_back(std::move(value));
        value = {};
        have = inValue = false;
    };
    while (std::getline(in, line)) {
        if (line.rfind("Set:", 0) == 0) {
            finish();
            set = std::stoul(afterColon(line));
            have = true;
        } else if (line.rfind("Entry type:", 0) == 0) {
            value.id = hexField(line);
        } else if (line.rfind("Value type:", 0) == 0) {
            value.type = hexField(line);
        } else if (line.rfind("Maps to entry type:", 0) == 0) {
            value.lid = hexField(line);
        } else if (line.rfind("Maps to entry:", 0) == 0) {
            value.name = afterColon(line);
        } else if (line.rfind("Value:", 0) == 0) {
            inValue = true;
        } else if (inValue && line.rfind("0x", 0) == 0 && line.size() > 12) {
            std::istringstream hex(line.substr(12, 49));
            std::string byte;
            while (hex >> byte)
                if (byte.size() == 2) value.bytes.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
        }
    }
    finish();
    return sets;
}

}  // namespace

std::u16string utf16Of(const std::vector<uint8_t>& bytes) {
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) out.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    return out;
}

const DumpedValue* DumpedItem::find(uint32_t id, uint32_t type) const {
    for (const auto& set : sets)
        for (const auto& v : set)
            if (v.id == id && v.type == type) return &v;
    return nullptr;
}
const DumpedValue* DumpedItem::findLid(uint32_t lid) const {
    for (const auto& set : sets)
        for (const auto& v : set)
            if (v.lid == lid) return &v;
    return nullptr;
}
const DumpedValue* DumpedItem::findName(const std::string& name) const {
    for (const auto& set : sets)
        for (const auto& v : set)
            if (v.name == name) return &v;
    return nullptr;
}
std::optional<std::u16string> DumpedItem::text(uint32_t id) const {
    auto* v = find(id, 0x1F);
    if (!v) return std::nullopt;
    return utf16Of(v->bytes);
}

PffexportDump dumpWithPffexport(const fs::path& pst, const fs::path& target) {
    PffexportDump out;
    if (!test_readers::toolInstalled("pffexport")) {
        out.why = "tool pffexport not installed (Debian package pff-tools)";
        return out;
    }
    out.available = true;
    auto run = test_readers::detail::run(
        {"pffexport", "-q", "-m", "all", "-d", "-f", "all", "-t", target.string(), fs::absolute(pst).string()});
    if (run.exitCode != 0) {
        out.why = "pffexport failed: " + run.output;
        return out;
    }
    // Items are "Message00001", "Meeting00002", ...; folders have values too.
    static const std::regex itemName("[A-Za-z]+[0-9]{5}");
    std::vector<fs::path> dirs;
    for (auto& entry : fs::recursive_directory_iterator(target.string() + ".export"))
        if (entry.is_regular_file() && entry.path().filename() == "ItemValues.txt" &&
            std::regex_match(entry.path().parent_path().filename().string(), itemName))
            dirs.push_back(entry.path().parent_path());
    std::sort(dirs.begin(), dirs.end());
    for (auto& dir : dirs) {
        DumpedItem item;
        item.dir = dir;
        item.sets = parseDump(dir / "ItemValues.txt");
        if (fs::exists(dir / "RecipientsItemValues.txt")) item.recipientSets = parseDump(dir / "RecipientsItemValues.txt");
        out.items.push_back(std::move(item));
    }
    return out;
}

}  // namespace eml::test
