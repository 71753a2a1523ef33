#include "conversion/profile.h"

#include "conversion/component_registry.h"
#include "conversion/text.h"
#include "util/text.h"

namespace conversion {

namespace {

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
        if (quillmere::equalsIgnoringCase((*it)->displayName, name)) return *it;
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
