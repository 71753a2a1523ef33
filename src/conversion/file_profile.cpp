#include "conversion/profile.h"

#include "eml/eml_parser.h"

namespace conversion {

std::shared_ptr<Profile> makeFileProfile(pst::StoreOptions options) {
    options.nextFreeName = true;
    return std::make_shared<Profile>(
        [options](const std::filesystem::path& file, const std::u16string& name) {
            return pst::Store::create(file, name, options);
        },
        [](const std::filesystem::path& file) {
            auto parsed = eml::parseFile(file);
            return ReadMessage(std::move(parsed.message), std::move(parsed.warnings),
                               std::move(parsed.warningsWhenRead));
        });
}

}  // namespace conversion
