#include "pst/read/text_fold.h"

namespace pst::read {

char16_t foldChar(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x137) return c | 1;                       // pairs: even capital, odd small
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;         // odd capital, even small
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

std::u16string foldCase(std::u16string s) {
    for (auto& c : s) c = foldChar(c);
    return s;
}

}  // namespace pst::read
