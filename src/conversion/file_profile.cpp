#include "conversion/profile.h"

#include "eml/eml_parser.h"

namespace conversion {

std::shared_ptr<Profile> makeFileProfile() {
    return std::make_shared<Profile>(
        [](const std::filesystem::path& file, const std::u16string& name) { return pst::Store::create(file, name); },
        [](const std::filesystem::path& file) { return eml::parseFile(file).message; });
}

}  // namespace conversion
