#include "conversion/profile.h"

#include "conversion/component_registry.h"
#include "conversion/text.h"

namespace conversion {

namespace {

char16_t foldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;           // Latin-1
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;         // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                       // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && (c % 2) == 0) return c + 1;  // Latin Extended-A pairs (most)
    return c;
}

std::u16string hex(const pst::Bytes& bytes) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    std::u16string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

}  // namespace

bool equalsIgnoringCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

pst::Store& ProfileStore::open() const {
    if (!store || !store->isOpen()) throw ComponentError("The store " + toUtf8(displayName) + " is closed");
    return *store;
}

Profile::Profile(StoreFactory factory, MessageReader reader)
    : factory_(std::move(factory)), readAhead_(std::make_shared<ReadAhead>(std::move(reader))) {}

Profile::~Profile() { closeAll(); }

std::shared_ptr<ProfileStore> Profile::addPstStore(const std::filesystem::path& file, const std::u16string& displayName) {
    auto entry = std::make_shared<ProfileStore>();
    entry->store = factory_(file, displayName);
    if (!entry->store) throw ComponentError("The store file " + file.string() + " could not be created");
    entry->file = entry->store->file();
    entry->displayName = displayName;
    entry->readMessage = [readAhead = readAhead_](const std::filesystem::path& file) { return readAhead->read(file); };
    entry->entryId = hex(entry->store->recordKey());
    // Entry ids must tell stores apart even if a store has no record key.
    entry->entryId.push_back(u'-');
    entry->entryId += fromUtf8(std::to_string(stores_.size() + 1));
    stores_.push_back(entry);
    return entry;
}

std::shared_ptr<ProfileStore> Profile::storeByEntryId(const std::u16string& entryId) const {
    for (auto& s : stores_)
        if (s->entryId == entryId) return s;
    return nullptr;
}

std::shared_ptr<ProfileStore> Profile::storeByDisplayName(const std::u16string& name) const {
    for (auto it = stores_.rbegin(); it != stores_.rend(); ++it)
        if (equalsIgnoringCase((*it)->displayName, name)) return *it;
    return nullptr;
}

void Profile::closeStore(ProfileStore& entry) {
    if (!entry.store || !entry.store->isOpen()) return;
    entry.store->commit();
    entry.store->close();
}

void Profile::closeAll() {
    for (auto& s : stores_) {
        try {
            closeStore(*s);
        } catch (const std::exception&) {
            // Nothing more can be done for a store that cannot be written at exit.
        }
    }
}

}  // namespace conversion
