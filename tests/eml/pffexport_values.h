#pragma once
// Every property pffexport (pff-tools) sees on the items of a store, as its
// "-d" option dumps them (ItemValues.txt, RecipientsItemValues.txt): the
// independent reading the special-message tests compare with.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace eml::test {

struct DumpedValue {
    uint32_t id = 0;    // the property id in the item (0x8000 and up for named ones)
    uint32_t type = 0;
    uint32_t lid = 0;   // the numeric name pffexport maps a named id to, else 0
    std::string name;   // the string name it maps one to, else empty
    std::vector<uint8_t> bytes;
};

struct DumpedItem {
    std::filesystem::path dir;
    std::vector<std::vector<DumpedValue>> sets;           // ItemValues.txt (one set per item)
    std::vector<std::vector<DumpedValue>> recipientSets;  // one per recipient row

    const DumpedValue* find(uint32_t id, uint32_t type) const;
    const DumpedValue* findLid(uint32_t lid) const;
    const DumpedValue* findName(const std::string& name) const;
    std::optional<std::u16string> text(uint32_t id) const;  // a PtypString by id
};

struct PffexportDump {
    bool available = false;
    std::string why;  // when not available or it failed
    std::vector<DumpedItem> items;  // every exported item, embedded ones included
};

// Runs "pffexport -m all -d -f all" on the store into `target`.
PffexportDump dumpWithPffexport(const std::filesystem::path& pst, const std::filesystem::path& target);

}  // namespace eml::test
