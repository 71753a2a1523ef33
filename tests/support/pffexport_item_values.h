#pragma once
// The item values pffexport writes with -d (ItemValues.txt,
// RecipientsItemValues.txt, Attachments/ItemValues.txt): every property of
// an item as pffexport read it, named properties with the name or LID the
// store's name-to-id map gives them.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace test_readers {

struct ItemValue {
    uint32_t set = 0;        // the record: 0 for an item, the row for recipients and attachments
    uint32_t tag = 0;        // id << 16 | type, as stored
    std::string mapsToName;  // a string-named property: its name
    uint32_t mapsToLid = 0;  // a numbered named property: its LID
    std::vector<uint8_t> data;
};

struct ItemValues {
    std::vector<ItemValue> entries;

    const ItemValue* find(uint32_t tag, uint32_t set = 0) const;
    const ItemValue* findNamed(const std::string& name, uint32_t set = 0) const;
    const ItemValue* findLid(uint32_t lid, uint32_t set = 0) const;
    uint32_t sets() const;  // how many records were listed

    // Values decoded as their type says; nullopt when absent or of another type.
    static std::optional<std::string> text(const ItemValue* value);   // PT_UNICODE, as UTF-8
    static std::optional<int32_t> integer(const ItemValue* value);    // PT_LONG
    static std::optional<bool> boolean(const ItemValue* value);       // PT_BOOLEAN
    static std::optional<std::vector<std::string>> texts(const ItemValue* value);  // PT_MV_UNICODE
};

// Reads one of the files; an empty list when it does not exist.
ItemValues readItemValues(const std::filesystem::path& file);

}  // namespace test_readers
