#pragma once
// A binary value too large to hold whole: the store pulls its bytes piece by
// piece while it writes them, and learns its length at the end.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pst {

class ValueSource {
public:
    virtual ~ValueSource() = default;
    // The next bytes of the value into `buffer`; 0 once the value has ended.
    // A source is read once, from its start to its end. A source that cannot
    // go on ends early and says why in warnings(); it does not throw.
    virtual size_t read(std::span<uint8_t> buffer) = 0;
    // What was lost while reading, in a user's words; complete once read()
    // has returned 0.
    virtual std::vector<std::string> warnings() const { return {}; }
    // The bytes it keeps in memory until it has been read, besides its read
    // buffers (a source reading from memory rather than from a file).
    virtual uint64_t heldInMemory() const { return 0; }
};

using StreamedBytes = std::shared_ptr<ValueSource>;

}  // namespace pst
