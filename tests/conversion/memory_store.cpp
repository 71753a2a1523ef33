#include "memory_store.h"

#include <fstream>
#include <stdexcept>

namespace testing_support {

MemoryProfile::MemoryProfile() {
    profile = std::make_shared<conversion::Profile>(
        [this](const std::filesystem::path& file, const std::u16string& name) {
            if (!failCreate.empty()) throw pst::StoreError(pst::StoreError::Kind::Io, failCreate);
            std::filesystem::path free = file;
            for (int n = 2; std::filesystem::exists(free); ++n)
                free = file.parent_path() / (file.stem().string() + " (" + std::to_string(n) + ").pst");
            auto store = std::make_unique<MemoryStore>(name, free);
            stores.push_back(store.get());
            files.push_back(free);
            std::ofstream(free) << "store";
            if (onCreate) onCreate(*store);
            return store;
        },
        [](const std::filesystem::path& file) {
            std::string name = file.string();
            if (name.find("bad") != std::string::npos) throw std::runtime_error("not a message");
            pst::MessageContent content;
            content.set(0x0037001F, std::u16string(name.begin(), name.end()));  // PR_SUBJECT_W
            if (name.find("attach") != std::string::npos) content.attachments.emplace_back();
            std::vector<std::string> warnings;
            if (name.find("warn") != std::string::npos) warnings = {"broken base64 repaired", "unknown charset x-foo"};
            return conversion::ReadMessage(std::move(content), std::move(warnings));
        });
}

}  // namespace testing_support
