#include "pst/messaging/table_cells.h"

namespace pst::messaging {

std::optional<Property> shortenedForTable(const Property& p) {
    if (auto* s = std::get_if<std::u16string>(&p.value)) {
        if (s->size() <= kTableCellMaxChars) return std::nullopt;
        size_t keep = kTableCellMaxChars;
        if ((*s)[keep - 1] >= 0xD800 && (*s)[keep - 1] <= 0xDBFF) --keep;
        return Property{p.tag, s->substr(0, keep)};
    }
    if (auto* b = std::get_if<Bytes>(&p.value)) {
        if (b->size() <= kTableCellMaxChars) return std::nullopt;
        return Property{p.tag, Bytes(b->begin(), b->begin() + kTableCellMaxChars)};
    }
    return std::nullopt;
}

}  // namespace pst::messaging
