#include "pffexport_values.h"

#include <algorithm>
#include <regex>

#include "independent_readers.h"
#include "pffexport_item_values.h"
#include "process.h"
#include "util/utf.h"

namespace eml::test {

namespace fs = std::filesystem;

namespace {

// pffexport's dump read by the readers' support, regrouped one set of values
// per record.
std::vector<std::vector<DumpedValue>> parseDump(const fs::path& file) {
    std::vector<std::vector<DumpedValue>> sets;
    for (auto& entry : test_readers::readItemValues(file).entries) {
        if (sets.size() <= entry.set) sets.resize(entry.set + 1);
        sets[entry.set].push_back(
            {entry.tag >> 16, entry.tag & 0xFFFF, entry.mapsToLid, entry.mapsToName, std::move(entry.data)});
    }
    return sets;
}

}  // namespace

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
    return quillmere::fromUtf16Le(v->bytes);
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
