#include "eml/charset.h"

#include "util/utf.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "eml/gmime_support.h"

namespace eml {

namespace {

// windows-1252 0x80..0x9F; the five undefined bytes keep their C1 code point
// so that no byte is ever lost.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::u16string fromWindows1252(std::string_view bytes) {
    std::u16string out;
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        out[i] = (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : char16_t(c);
    }
    return out;
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::u16string widenAscii(std::string_view bytes) {
    return std::u16string(bytes.begin(), bytes.end());
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Open converters by charset, closed when their thread ends (a run's
// reading thread ends with the run).
struct OpenConverters {
    std::unordered_map<std::string, iconv_t> byCharset;
    OpenConverters() = default;
    OpenConverters(const OpenConverters&) = delete;
    OpenConverters& operator=(const OpenConverters&) = delete;
    ~OpenConverters() {
        for (auto& [charset, cd] : byCharset)
            if (cd != (iconv_t)-1) g_mime_iconv_close(cd);
    }
};

}  // namespace

void keepConverterLoaded(const std::string& charset) {
    thread_local OpenConverters toUtf8;
    if (toUtf8.byCharset.size() >= 256 || toUtf8.byCharset.count(charset)) return;
    toUtf8.byCharset.emplace(charset, g_mime_iconv_open("UTF-8", charset.c_str()));
}

namespace {

// One open converter per charset and thread, kept for the life of the
// thread. Opening one loads its gconv module and closing the last one unloads
// it again; keeping one open also makes GMime's own conversions (encoded
// words in headers) cheap.
iconv_t converterTo16(const std::string& charset) {
    thread_local OpenConverters open;
    auto& converters = open.byCharset;
    auto found = converters.find(charset);
    if (found != converters.end()) {
        if (found->second != (iconv_t)-1) iconv(found->second, nullptr, nullptr, nullptr, nullptr);
        return found->second;
    }
    iconv_t cd = g_mime_iconv_open("UTF-16LE", charset.c_str());
    if (converters.size() < 256) converters.emplace(charset, cd);
    else if (cd != (iconv_t)-1) {
        g_mime_iconv_close(cd);  // odd names without end: not cached, so not kept open either
        return (iconv_t)-1;
    }
    if (cd != (iconv_t)-1) keepConverterLoaded(charset);
    return cd;
}

// Converts through iconv; false when the charset is unknown. Unreadable bytes
// become U+FFFD and clear `exact`.
bool convertWithIconv(std::string_view bytes, const std::string& charset, std::u16string& out,
                      bool& exact) {
    iconv_t cd = converterTo16(charset);
    if (cd == (iconv_t)-1) return false;
    out.clear();
    std::string buffer(std::max<size_t>(bytes.size() * 2 + 16, 64), '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    auto flush = [&](char* outPtr) {
        size_t n = static_cast<size_t>(outPtr - buffer.data()) / 2;
        size_t old = out.size();
        out.resize(old + n);
        std::memcpy(out.data() + old, buffer.data(), n * 2);
    };
    while (true) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t rc = inLeft ? iconv(cd, &in, &inLeft, &outPtr, &outLeft)
                           : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        int err = errno;
        flush(outPtr);
        if (rc != (size_t)-1) {
            if (inLeft == 0) {
                // Flush any shift state (ISO-2022-*).
                outPtr = buffer.data();
                outLeft = buffer.size();
                iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
                flush(outPtr);
                break;
            }
            continue;
        }
        if (err == E2BIG) continue;
        exact = false;
        out.push_back(u'\uFFFD');
        if (err == EINVAL) break;  // an incomplete sequence at the very end
        ++in;                      // EILSEQ: skip the byte that cannot be read
        --inLeft;
        if (inLeft == 0) break;
    }
    return true;
}

bool charsetKnown(const std::string& charset) { return converterTo16(charset) != (iconv_t)-1; }

// ISO-2022-JP as mail readers read it: its JIS X 0208 pairs through the
// Windows code page 932, which also holds the extension characters ("No.",
// circled numbers, roman numerals) that mail from Windows puts in them.
// The pairs and the half-width katakana are turned into their code page
// 932 bytes; ASCII and line ends pass unchanged.
std::string iso2022JpAsCp932(std::string_view bytes) {
    enum class Mode { Ascii, Jis0208, Katakana } mode = Mode::Ascii;
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x1B && i + 2 < bytes.size()) {
            std::string_view esc = bytes.substr(i + 1, 2);
            if (esc == "$B" || esc == "$@") { mode = Mode::Jis0208; i += 2; continue; }
            if (esc == "(B" || esc == "(J") { mode = Mode::Ascii; i += 2; continue; }
            if (esc == "(I") { mode = Mode::Katakana; i += 2; continue; }
        }
        if (c == 0x0E) { mode = Mode::Katakana; continue; }
        if (c == 0x0F) { mode = Mode::Ascii; continue; }
        if (mode == Mode::Katakana && c >= 0x21 && c <= 0x5F) {
            out.push_back(static_cast<char>(c + 0x80));
        } else if (mode == Mode::Jis0208 && c >= 0x21 && c <= 0x7E && i + 1 < bytes.size() &&
                   static_cast<unsigned char>(bytes[i + 1]) >= 0x21 && static_cast<unsigned char>(bytes[i + 1]) <= 0x7E) {
            unsigned c2 = static_cast<unsigned char>(bytes[++i]);
            unsigned s1 = ((c + 1) >> 1) + (c <= 0x5E ? 0x70 : 0xB0);
            unsigned s2 = c2 + ((c & 1) ? (c2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
            out.push_back(static_cast<char>(s1));
            out.push_back(static_cast<char>(s2));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

bool isIso2022Jp(const std::string& charset) {
    return charset == "iso-2022-jp" || charset == "csiso2022jp" || charset == "iso2022jp";
}

}  // namespace

std::string canonicalCharset(std::string_view charset) {
    if (charset.empty()) return {};
    ensureGMime();
    std::string name(charset);
    const char* canon = g_mime_charset_canon_name(name.c_str());
    std::string result = lower(canon ? canon : name);
    if (result.rfind("windows-cp", 0) == 0) result = "windows-" + result.substr(10);
    if (result == "latin1" || result == "latin-1" || result == "l1") result = "iso-8859-1";
    if (result == "ascii" || result == "ansi_x3.4-1968" || result == "us") result = "us-ascii";
    if (result == "utf8") result = "utf-8";
    return result;
}

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) { ++p; continue; }
        int n;
        uint32_t min;
        if ((c & 0xE0) == 0xC0) { n = 1; min = 0x80; }
        else if ((c & 0xF0) == 0xE0) { n = 2; min = 0x800; }
        else if ((c & 0xF8) == 0xF0) { n = 3; min = 0x10000; }
        else return false;
        if (end - p <= n) return false;
        uint32_t cp = c & (0x3F >> n);
        for (int i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        p += n + 1;
    }
    return true;
}

std::u16string utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) { out.push_back(c); ++p; continue; }
        int n;
        uint32_t min;
        if ((c & 0xE0) == 0xC0) { n = 1; min = 0x80; }
        else if ((c & 0xF0) == 0xE0) { n = 2; min = 0x800; }
        else if ((c & 0xF8) == 0xF0) { n = 3; min = 0x10000; }
        else { out.push_back(u'\uFFFD'); ++p; continue; }
        uint32_t cp = c & (0x3F >> n);
        int i = 1;
        for (; i <= n && p + i < end && (p[i] & 0xC0) == 0x80; ++i) cp = (cp << 6) | (p[i] & 0x3F);
        if (i <= n || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'\uFFFD');
            p += i;
            continue;
        }
        quillmere::appendCodePoint(out, cp);
        p += n + 1;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view s) {
    return quillmere::toUtf8(quillmere::withoutUnpairedSurrogates(s));
}

DecodedText decodeText(std::string_view bytes, std::string_view declared, Warnings& warnings) {
    DecodedText result;
    std::string charset = canonicalCharset(declared);
    auto guess = [&] {
        if (isValidUtf8(bytes)) {
            result.text = utf8ToUtf16(bytes);
            result.charset = "utf-8";
        } else {
            result.text = fromWindows1252(bytes);
            result.charset = "windows-1252";
        }
    };

    if (charset.empty() || charset == "us-ascii") {
        if (isAscii(bytes)) {
            result.text = widenAscii(bytes);
            result.charset = charset.empty() ? "us-ascii" : charset;
            return result;
        }
        guess();
        result.exact = false;
        warnings.add(std::string(charset.empty() ? "text without a declared charset" : "text declared as US-ASCII") +
                     " holds 8-bit characters; they were read as " +
                     (result.charset == "utf-8" ? "UTF-8" : "Windows Western (windows-1252)"));
        return result;
    }
    if (charset == "utf-8" || charset == "utf8") {
        result.charset = "utf-8";
        result.exact = isValidUtf8(bytes);
        result.text = utf8ToUtf16(bytes);
        if (!result.exact) warnings.add("text declared as UTF-8 holds invalid bytes");
        return result;
    }
    if (charset == "windows-1252" || charset == "cp1252") {
        result.text = fromWindows1252(bytes);
        result.charset = "windows-1252";
        return result;
    }
    if (isAscii(bytes) && charset.rfind("utf-16", 0) != 0 && charset.rfind("utf-32", 0) != 0 &&
        charset.rfind("ucs", 0) != 0 && charset.find("2022") == std::string::npos &&
        charset != "utf-7") {
        // Every ASCII-compatible charset reads pure ASCII the same way.
        if (windowsCodePage(charset) || charsetKnown(charset)) {
            result.text = widenAscii(bytes);
            result.charset = charset;
            return result;
        }
    }
    bool exact = true;
    if (isIso2022Jp(charset) && convertWithIconv(iso2022JpAsCp932(bytes), "cp932", result.text, exact)) {
        result.charset = charset;
        result.exact = exact;
        if (!exact) warnings.add("text holds bytes that are not valid " + charset);
        return result;
    }
    if (convertWithIconv(bytes, charset, result.text, exact)) {
        result.charset = charset;
        result.exact = exact;
        if (!exact) warnings.add("text holds bytes that are not valid " + charset);
        return result;
    }
    warnings.add("unknown charset \"" + std::string(declared) + "\"");
    guess();
    result.exact = false;
    return result;
}

std::optional<int32_t> windowsCodePage(std::string_view charsetName) {
    static const struct { const char* name; int32_t cp; } table[] = {
        {"us-ascii", 20127}, {"utf-8", 65001}, {"utf-7", 65000},
        {"utf-16", 1200}, {"utf-16le", 1200}, {"utf-16be", 1201},
        {"iso-8859-1", 28591}, {"iso-8859-2", 28592}, {"iso-8859-3", 28593},
        {"iso-8859-4", 28594}, {"iso-8859-5", 28595}, {"iso-8859-6", 28596},
        {"iso-8859-7", 28597}, {"iso-8859-8", 28598}, {"iso-8859-8-i", 38598},
        {"iso-8859-9", 28599}, {"iso-8859-13", 28603}, {"iso-8859-15", 28605},
        {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},
        {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255},
        {"windows-1256", 1256}, {"windows-1257", 1257}, {"windows-1258", 1258},
        {"cp1250", 1250}, {"cp1251", 1251}, {"cp1252", 1252}, {"cp1253", 1253},
        {"cp1254", 1254}, {"cp1255", 1255}, {"cp1256", 1256}, {"cp1257", 1257},
        {"cp1258", 1258}, {"windows-874", 874}, {"tis-620", 874},
        {"koi8-r", 20866}, {"koi8-u", 21866},
        {"shift_jis", 932}, {"shift-jis", 932}, {"x-sjis", 932}, {"sjis", 932}, {"cp932", 932},
        {"windows-31j", 932}, {"euc-jp", 51932}, {"iso-2022-jp", 50220},
        {"gb2312", 936}, {"gbk", 936}, {"cp936", 936}, {"gb18030", 54936},
        {"hz-gb-2312", 52936}, {"big5", 950}, {"big5-hkscs", 950}, {"cp950", 950},
        {"euc-kr", 51949}, {"ks_c_5601-1987", 949}, {"cp949", 949},
        {"iso-2022-kr", 50225}, {"ibm866", 866}, {"cp866", 866}, {"ibm850", 850},
        {"ibm437", 437},
    };
    std::string name = lower(charsetName);
    std::string canon = canonicalCharset(charsetName);
    for (const auto& entry : table)
        if (name == entry.name || canon == entry.name) return entry.cp;
    return std::nullopt;
}

}  // namespace eml
