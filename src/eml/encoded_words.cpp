#include "eml/encoded_words.h"

#include <glib.h>

#include "eml/charset.h"

#include <algorithm>
#include <vector>

namespace eml {

namespace {

struct EncodedWord {
    size_t begin = 0, end = 0;  // [begin, end) in the header
    std::string_view charset;
    char encoding = 0;          // 'B' or 'Q'
    std::string_view payload;
};

// The encoded word starting at `at` ("=?charset?X?payload?="), if any.
bool readWord(std::string_view whole, size_t at, EncodedWord& word) {
    if (whole.compare(at, 2, "=?") != 0) return false;
    // No real word is this long; the bound keeps odd text linear.
    std::string_view s = whole.substr(0, std::min(whole.size(), at + 4096));
    size_t q1 = s.find('?', at + 2);
    if (q1 == std::string_view::npos || q1 == at + 2 || q1 + 3 >= s.size() || s[q1 + 2] != '?') return false;
    char encoding = static_cast<char>(g_ascii_toupper(s[q1 + 1]));
    if (encoding != 'B' && encoding != 'Q') return false;
    size_t end = s.find("?=", q1 + 3);
    if (end == std::string_view::npos) return false;
    std::string_view charset = s.substr(at + 2, q1 - at - 2);
    std::string_view payload = s.substr(q1 + 3, end - q1 - 3);
    for (char c : charset)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return false;
    for (char c : payload)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return false;
    word = {at, end + 2, charset, encoding, payload};
    return true;
}

bool sameCharset(std::string_view a, std::string_view b) {
    return a.size() == b.size() && g_ascii_strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string decodeBase64(std::string_view payload) {
    std::string out((payload.size() / 4 + 1) * 3, '\0');
    gint state = 0;
    guint save = 0;
    gsize n = g_base64_decode_step(payload.data(), payload.size(), reinterpret_cast<guchar*>(out.data()), &state, &save);
    out.resize(n);
    return out;
}

}  // namespace

std::string joinSplitBase64Words(std::string_view s) {
    if (s.find("=?") == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        EncodedWord first;
        bool isWord = readWord(s, i, first);
        if (isWord) keepConverterLoaded(std::string(first.charset.substr(0, first.charset.find('*'))));
        if (!isWord || first.encoding != 'B') {
            out.push_back(s[i++]);
            continue;
        }
        // Collect the run of B words in this charset, separated by white space only.
        std::vector<EncodedWord> run{first};
        size_t next = first.end;
        while (true) {
            size_t k = next;
            while (k < s.size() && (s[k] == ' ' || s[k] == '\t' || s[k] == '\r' || s[k] == '\n')) ++k;
            EncodedWord word;
            if (k == next || !readWord(s, k, word) || word.encoding != 'B' || !sameCharset(word.charset, first.charset))
                break;
            run.push_back(word);
            next = word.end;
        }
        std::string_view charset = first.charset.substr(0, first.charset.find('*'));
        if (sameCharset(charset, "iso-2022-jp")) {
            // GMime reads it without the Windows extension characters; the
            // text is handed on as UTF-8.
            std::string bytes;
            for (const auto& word : run) bytes += decodeBase64(word.payload);
            Warnings ignored;
            std::string utf8 = utf16ToUtf8(decodeText(bytes, "iso-2022-jp", ignored).text);
            gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(utf8.data()), utf8.size());
            out += "=?UTF-8?B?";
            out += encoded;
            out += "?=";
            g_free(encoded);
        } else if (run.size() == 1) {
            out.append(s.substr(first.begin, first.end - first.begin));
        } else {
            std::string bytes;
            for (const auto& word : run) bytes += decodeBase64(word.payload);
            gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
            out += "=?";
            out.append(first.charset);
            out += "?B?";
            out += encoded;
            out += "?=";
            g_free(encoded);
        }
        i = run.back().end;
    }
    return out;
}

}  // namespace eml
