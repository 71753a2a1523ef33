#pragma once
// Reading corpus files and looking at the properties the parser produced.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "eml/charset.h"
#include "eml/eml_parser.h"
#include "pst/format/property_tags.h"

namespace eml::test {

inline std::filesystem::path corpusDir() { return QUILLMERE_EML_CORPUS_DIR; }

inline ParseResult parseCorpus(const std::string& name) { return parseFile(corpusDir() / name); }

inline ParseResult parseText(const std::string& text) {
    return parseMessage(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

template <typename T>
std::optional<T> prop(const std::vector<pst::Property>& props, pst::PropTag tag) {
    for (const auto& p : props)
        if (p.tag == tag) {
            if (auto* v = std::get_if<T>(&p.value)) return *v;
            ADD_FAILURE() << "property " << std::hex << tag << " has another type";
            return std::nullopt;
        }
    return std::nullopt;
}

// The UTF-8 form of a string property, "<absent>" if missing.
inline std::string text(const std::vector<pst::Property>& props, pst::PropTag tag) {
    auto value = prop<std::u16string>(props, tag);
    return value ? utf16ToUtf8(*value) : std::string("<absent>");
}
inline std::string text(const pst::MessageContent& m, pst::PropTag tag) { return text(m.props, tag); }
inline std::string text(const pst::AttachmentContent& a, pst::PropTag tag) { return text(a.props, tag); }
inline std::string text(const pst::RecipientRow& r, pst::PropTag tag) { return text(r.props, tag); }

inline std::optional<int32_t> integer(const pst::MessageContent& m, pst::PropTag tag) { return prop<int32_t>(m.props, tag); }
inline std::optional<int32_t> integer(const pst::AttachmentContent& a, pst::PropTag tag) { return prop<int32_t>(a.props, tag); }

inline std::string bytesAsString(const pst::Bytes& b) { return std::string(b.begin(), b.end()); }

// Seconds since 1970 from a FILETIME property.
inline std::optional<int64_t> unixTime(const pst::MessageContent& m, pst::PropTag tag) {
    auto ft = prop<pst::FileTime>(m.props, tag);
    if (!ft) return std::nullopt;
    return static_cast<int64_t>(ft->value / 10000000ULL) - 11644473600LL;
}

}  // namespace eml::test
