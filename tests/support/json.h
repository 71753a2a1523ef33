#pragma once
// Just enough JSON to read what tests/readers/dump-pst.js prints.

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace test_readers::detail {

struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<Json> array;
    std::map<std::string, Json> object;

    const Json& operator[](const std::string& key) const;  // Null when absent
    std::string str() const { return kind == Kind::String ? string : ""; }
    int64_t integer(int64_t fallback = -1) const { return kind == Kind::Number ? static_cast<int64_t>(number) : fallback; }
};

// Throws std::runtime_error on malformed input.
Json parseJson(const std::string& text);

}  // namespace test_readers::detail
