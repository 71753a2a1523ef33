// libFuzzer entry: any bytes must give an item or a ParseError, nothing else.

#include <cstddef>
#include <cstdint>

#include "eml/eml_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        eml::parseMessage(std::span<const uint8_t>(data, size));
    } catch (const eml::ParseError&) {
    }
    return 0;
}
