#include "memory_store.h"

#include <fstream>
#include <stdexcept>

namespace testing_support {

MemoryProfile::MemoryProfile() {
    profile = std::make_shared<conversion::Profile>(
        [this](const std::filesystem::path& file, const std::u16string& name) {
            auto store = std::make_unique<MemoryStore>(name);
            stores.push_back(store.get());
            files.push_back(file);
            std::ofstream(file) << "store";
            return store;
        },
        [](const std::filesystem::path& file) {
            std::string name = file.string();
            if (name.find("bad") != std::string::npos) throw std::runtime_error("not a message");
            pst::MessageContent content;
            content.set(0x0037001F, std::u16string(name.begin(), name.end()));  // PR_SUBJECT_W
            if (name.find("attach") != std::string::npos) content.attachments.emplace_back();
            return content;
        });
}

}  // namespace testing_support
