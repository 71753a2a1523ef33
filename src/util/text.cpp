#include "util/text.h"

namespace quillmere {

std::u16string trimSpaces(const std::u16string& text)
{
    const auto begin = text.find_first_not_of(u' ');
    if (begin == std::u16string::npos)
        return {};
    const auto end = text.find_last_not_of(u' ');
    return text.substr(begin, end - begin + 1);
}

char16_t foldCase(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? c - 0x20 : c;
    if (c < 0x100) {
        if (c == 0xB5)  // micro sign
            return 0x39C;
        if (c == 0xFF)
            return 0x178;
        if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
            return c - 0x20;
        return c;
    }
    if (c < 0x180) {  // Latin Extended-A: pairs of capital and small
        switch (c) {
            case 0x130: return c;        // capital I with dot
            case 0x131: return u'I';     // dotless i
            case 0x138: return c;        // kra
            case 0x149: return c;        // n preceded by apostrophe
            case 0x178: return c;        // capital Y with diaeresis
            case 0x17F: return u'S';     // long s
            default: break;
        }
        const bool oddIsSmall = c < 0x138 || (c > 0x149 && c < 0x178);
        if (oddIsSmall)
            return (c & 1) ? c - 1 : c;
        return (c & 1) ? c : c - 1;      // 0x139..0x148 and 0x179..0x17E
    }
    if (c >= 0x3B1 && c <= 0x3CB)        // Greek small letters, final sigma included
        return c == 0x3C2 ? 0x3A3 : c - 0x20;
    switch (c) {                          // Greek small letters with tonos
        case 0x3AC: return 0x386;
        case 0x3AD: return 0x388;
        case 0x3AE: return 0x389;
        case 0x3AF: return 0x38A;
        case 0x3CC: return 0x38C;
        case 0x3CD: return 0x38E;
        case 0x3CE: return 0x38F;
        default: break;
    }
    if (c >= 0x430 && c <= 0x44F)        // Cyrillic small letters
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}

std::u16string foldCase(const std::u16string& text)
{
    std::u16string folded(text);
    for (auto& c : folded)
        c = foldCase(c);
    return folded;
}

bool equalsIgnoringCase(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    return true;
}

}  // namespace quillmere
