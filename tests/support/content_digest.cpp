#include <cstdio>

#include "independent_readers.h"

namespace test_readers {

std::string contentDigest(const void* data, size_t size) {
    uint64_t h = 0xcbf29ce484222325ull;
    auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return hex;
}

}  // namespace test_readers
