#pragma once
// Locates the Outlook-made sample stores beside the checkout.

#include <filesystem>
#include <string>

namespace test_samples {

inline std::filesystem::path dir() {
    return std::filesystem::path(QUILLMERE_SHARED_DIR) / "reference" / "outlook-made-pst";
}
inline std::filesystem::path path(const std::string& name) { return dir() / name; }

}  // namespace test_samples

#define REQUIRE_SAMPLE(name)                                                          \
    if (!std::filesystem::exists(test_samples::path(name)))                          \
    GTEST_SKIP() << "Outlook-made sample " << test_samples::path(name) << " is missing"
