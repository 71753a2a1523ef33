// libFuzzer entry: any bytes must give an item or a ParseError, nothing
// else; and the same bytes in a file must give the same item, the same
// warnings or the same error whether the file is read whole or parsed from
// the file itself, and then whether its long bodies are left out of GMime's
// parse or not. A difference traps, so libFuzzer keeps the input.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "eml/eml_parser.h"

namespace {

namespace fs = std::filesystem;

// The input as a file of this process's own, in memory when the machine
// has a tmpfs; removed once read (libFuzzer's workers end without running
// destructors).
class Scratch {
public:
    Scratch() {
        fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        file_ = base / ("quillmere-fuzz-" + std::to_string(getpid()) + ".eml");
    }
    const fs::path& write(const uint8_t* data, size_t size) {
        std::ofstream(file_, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                        static_cast<std::streamsize>(size));
        return file_;
    }
    void remove() {
        std::error_code ignored;
        fs::remove(file_, ignored);
    }

private:
    fs::path file_;
};

// A reading with every streamed value read into bytes, so two readings
// compare by value.
struct Reading {
    std::optional<std::string> error;
    std::vector<std::string> warnings;
    pst::MessageContent message;
};

void drain(std::vector<pst::Property>& props) {
    for (auto& p : props) {
        auto* source = std::get_if<pst::StreamedBytes>(&p.value);
        if (!source || !*source) continue;
        pst::Bytes all, piece(4093);
        while (size_t n = (*source)->read(piece)) all.insert(all.end(), piece.begin(), piece.begin() + n);
        // The value's own warnings travel with its bytes.
        for (const auto& w : (*source)->warnings()) {
            all.push_back(0);
            all.insert(all.end(), w.begin(), w.end());
        }
        p.value = std::move(all);
    }
}

void drain(pst::MessageContent& message) {
    drain(message.props);
    for (auto& a : message.attachments) {
        drain(a.props);
        if (a.embedded) drain(*a.embedded);
    }
}

Reading read(const fs::path& file, const eml::FileReading& how) {
    Reading out;
    try {
        eml::ParseResult parsed = eml::parseFile(file, how);
        out.warnings = std::move(parsed.warnings);
        out.message = std::move(parsed.message);
        drain(out.message);
    } catch (const eml::ParseError& e) {
        out.error = e.what();
    }
    return out;
}

[[noreturn]] void differs(const std::string& what) {
    std::fprintf(stderr, "\ntwo readings of the same file differ: %s\n", what.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

void compare(const std::vector<pst::Property>& a, const std::vector<pst::Property>& b, const std::string& where) {
    if (a.size() != b.size())
        differs(where + ": " + std::to_string(a.size()) + " properties, then " + std::to_string(b.size()));
    for (size_t i = 0; i < a.size(); ++i) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "0x%08X", a[i].tag);
        if (a[i].tag != b[i].tag) differs(where + ": property " + std::to_string(i) + " is " + tag + ", then another");
        if (!(a[i].value == b[i].value)) differs(where + ": the value of " + tag);
    }
}

void compare(const pst::MessageContent& a, const pst::MessageContent& b, const std::string& where) {
    compare(a.props, b.props, where);
    if (a.named.size() != b.named.size()) differs(where + ": named property count");
    for (size_t i = 0; i < a.named.size(); ++i)
        if (!(a.named[i].name == b.named[i].name) || !(a.named[i].value == b.named[i].value))
            differs(where + ": named property " + std::to_string(i));
    if (a.recipients.size() != b.recipients.size()) differs(where + ": recipient count");
    for (size_t i = 0; i < a.recipients.size(); ++i)
        compare(a.recipients[i].props, b.recipients[i].props, where + " recipient " + std::to_string(i));
    if (a.attachments.size() != b.attachments.size())
        differs(where + ": " + std::to_string(a.attachments.size()) + " attachments, then " +
                std::to_string(b.attachments.size()));
    for (size_t i = 0; i < a.attachments.size(); ++i) {
        std::string at = where + " attachment " + std::to_string(i);
        compare(a.attachments[i].props, b.attachments[i].props, at);
        if (!a.attachments[i].embedded != !b.attachments[i].embedded) differs(at + ": embedded or not");
        if (a.attachments[i].embedded) compare(*a.attachments[i].embedded, *b.attachments[i].embedded, at + " embedded");
    }
}

void compare(const Reading& kept, const Reading& skipped, const std::string& first, const std::string& second) {
    if (kept.error != skipped.error)
        differs(first + ": error \"" + kept.error.value_or("none") + "\", " + second + ": \"" +
                skipped.error.value_or("none") + "\"");
    if (kept.warnings != skipped.warnings) {
        std::string both;
        for (const auto* list : {&kept.warnings, &skipped.warnings}) {
            both += "\n  " + (list == &kept.warnings ? first : second) + ":";
            for (const auto& w : *list) both += "\n    " + w;
        }
        differs("the warnings" + both);
    }
    compare(kept.message, skipped.message, "the message (" + first + ", then " + second + ")");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        eml::parseMessage(std::span<const uint8_t>(data, size));
    } catch (const eml::ParseError&) {
    }
    static Scratch scratch;
    const fs::path& file = scratch.write(data, size);
    // (Fuzz inputs never reach the default length from which bodies are skipped.)
    Reading whole = read(file, {.heldPartsStreamedFrom = UINT64_MAX});  // every part decoded at once, as from the file
    Reading kept = read(file, {.wholeUpTo = 0});
    Reading skipped = read(file, {.wholeUpTo = 0, .skippedBodiesFrom = 0});
    scratch.remove();
    compare(whole, kept, "read whole", "read from the file");
    compare(kept, skipped, "without skipping", "with skipping");
    return 0;
}
