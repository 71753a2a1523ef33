#include "util/keyed_collection.h"

namespace quillmere {

namespace {

char16_t foldOne(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + 32;
    if (c < 0xC0)
        return c;
    if (c <= 0xDE)  // Latin-1 capitals, except the multiplication sign
        return c == 0xD7 ? c : c + 32;
    if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: pairs of capital, small
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        const bool evenCapital = (c < 0x138) || (c > 0x149 && c < 0x178);
        if (evenCapital)
            return (c % 2 == 0) ? c + 1 : c;
        if (c == 0x178)
            return 0xFF;
        return (c % 2 == 1) ? c + 1 : c;  // 0x139..0x148 and 0x179..0x17E
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)  // Greek capitals
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)  // Cyrillic capitals
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

}  // namespace

std::u16string foldKeyCase(const std::u16string& key)
{
    std::u16string folded(key);
    for (auto& c : folded)
        c = foldOne(c);
    return folded;
}

}  // namespace quillmere
