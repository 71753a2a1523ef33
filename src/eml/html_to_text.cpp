#include "eml/html_to_text.h"

#include <cstdint>

#include "util/utf.h"

namespace eml {

namespace {

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }

char16_t lowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

bool startsWithNoCase(std::u16string_view text, size_t at, std::u16string_view word) {
    if (at + word.size() > text.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (lowerAscii(text[at + i]) != word[i]) return false;
    return true;
}

size_t findNoCase(std::u16string_view text, size_t from, std::u16string_view word) {
    for (size_t i = from; i + word.size() <= text.size(); ++i)
        if (startsWithNoCase(text, i, word)) return i;
    return std::u16string_view::npos;
}

// A character reference's code point; one that names no character is U+FFFD.
void appendReferenced(std::u16string& out, uint32_t cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    quillmere::appendCodePoint(out, cp);
}

// Decodes the entity at text[at] == '&'; returns the characters consumed, 0
// when it is not an entity.
size_t decodeEntity(std::u16string_view text, size_t at, std::u16string& out) {
    static const struct { std::u16string_view name; char16_t value; } named[] = {
        {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''},
        {u"nbsp", 0x00A0}, {u"copy", 0x00A9}, {u"reg", 0x00AE}, {u"trade", 0x2122},
        {u"euro", 0x20AC}, {u"pound", 0x00A3}, {u"yen", 0x00A5}, {u"cent", 0x00A2},
        {u"sect", 0x00A7}, {u"deg", 0x00B0}, {u"middot", 0x00B7}, {u"bull", 0x2022},
        {u"hellip", 0x2026}, {u"ndash", 0x2013}, {u"mdash", 0x2014}, {u"lsquo", 0x2018},
        {u"rsquo", 0x2019}, {u"ldquo", 0x201C}, {u"rdquo", 0x201D}, {u"laquo", 0x00AB},
        {u"raquo", 0x00BB}, {u"times", 0x00D7}, {u"divide", 0x00F7}, {u"shy", 0x00AD},
        {u"auml", 0x00E4}, {u"ouml", 0x00F6}, {u"uuml", 0x00FC}, {u"Auml", 0x00C4},
        {u"Ouml", 0x00D6}, {u"Uuml", 0x00DC}, {u"szlig", 0x00DF}, {u"eacute", 0x00E9},
        {u"egrave", 0x00E8}, {u"agrave", 0x00E0}, {u"aacute", 0x00E1}, {u"ccedil", 0x00E7},
        {u"ntilde", 0x00F1}, {u"oacute", 0x00F3}, {u"iacute", 0x00ED}, {u"uacute", 0x00FA},
        {u"Eacute", 0x00C9}, {u"ecirc", 0x00EA}, {u"acirc", 0x00E2}, {u"ocirc", 0x00F4},
        {u"aring", 0x00E5}, {u"oslash", 0x00F8}, {u"aelig", 0x00E6}, {u"iexcl", 0x00A1},
        {u"iquest", 0x00BF}, {u"zwnj", 0x200C}, {u"zwj", 0x200D}, {u"ensp", 0x2002},
        {u"emsp", 0x2003}, {u"thinsp", 0x2009},
    };
    size_t end = at + 1;
    while (end < text.size() && end - at < 12 && text[end] != u';' && !isSpace(text[end]) && text[end] != u'&' && text[end] != u'<')
        ++end;
    std::u16string_view body = text.substr(at + 1, end - at - 1);
    bool terminated = end < text.size() && text[end] == u';';
    size_t consumed = end - at + (terminated ? 1 : 0);
    if (body.size() >= 2 && body[0] == u'#') {
        uint32_t cp = 0;
        bool hex = body[1] == u'x' || body[1] == u'X';
        size_t digits = 0;
        for (size_t i = hex ? 2 : 1; i < body.size(); ++i, ++digits) {
            char16_t c = body[i];
            uint32_t d;
            if (c >= u'0' && c <= u'9') d = c - u'0';
            else if (hex && lowerAscii(c) >= u'a' && lowerAscii(c) <= u'f') d = lowerAscii(c) - u'a' + 10;
            else return 0;
            cp = cp * (hex ? 16 : 10) + d;
            if (cp > 0x10FFFF) cp = 0x110000;
        }
        if (digits == 0) return 0;
        appendReferenced(out, cp);
        return consumed;
    }
    if (!terminated) return 0;
    for (const auto& entity : named) {
        if (entity.name == body) {
            out.push_back(entity.value);
            return consumed;
        }
    }
    return 0;
}

bool isBlockTag(std::u16string_view name) {
    static const std::u16string_view blocks[] = {
        u"p", u"div", u"h1", u"h2", u"h3", u"h4", u"h5", u"h6", u"table", u"tr", u"ul", u"ol",
        u"blockquote", u"pre", u"hr", u"address", u"dl", u"dt", u"dd", u"section", u"article",
        u"header", u"footer", u"center", u"form", u"title"};
    for (auto b : blocks)
        if (b == name) return true;
    return false;
}

class Writer {
public:
    void text(char16_t c, bool pre) {
        if (!pre && isSpace(c)) {
            pendingSpace_ = true;
            return;
        }
        if (pre && c == u'\r') return;
        if (pre && c == u'\n') {
            newline();
            return;
        }
        if (pendingSpace_ && !atLineStart()) out_.push_back(u' ');
        pendingSpace_ = false;
        out_.push_back(c);
    }
    void literal(std::u16string_view s) {
        for (char16_t c : s) text(c, false);
    }
    void newline() {
        pendingSpace_ = false;
        out_ += u"\r\n";
    }
    // Ends the current line unless it is empty; with `blank`, leaves one
    // empty line (paragraph break), never more.
    void breakLine(bool blank) {
        pendingSpace_ = false;
        if (out_.empty()) return;
        if (!atLineStart()) out_ += u"\r\n";
        if (blank && !endsWithBlankLine()) out_ += u"\r\n";
    }
    void tab() {
        pendingSpace_ = false;
        if (!atLineStart()) out_.push_back(u'\t');
    }
    std::u16string finish() {
        while (!out_.empty() && (out_.back() == u'\n' || out_.back() == u'\r' || out_.back() == u' '))
            out_.pop_back();
        return std::move(out_);
    }

private:
    bool atLineStart() const { return out_.empty() || out_.back() == u'\n'; }
    bool endsWithBlankLine() const { return out_.size() >= 4 && out_.compare(out_.size() - 4, 4, u"\r\n\r\n") == 0; }
    std::u16string out_;
    bool pendingSpace_ = false;
};

}  // namespace

std::u16string htmlToText(std::u16string_view html) {
    Writer writer;
    int preDepth = 0;
    size_t i = 0;
    const size_t n = html.size();
    while (i < n) {
        char16_t c = html[i];
        if (c == u'&') {
            std::u16string decoded;
            size_t used = decodeEntity(html, i, decoded);
            if (used) {
                for (char16_t d : decoded) writer.text(d == 0x00A0 ? u' ' : d, true);
                i += used;
            } else {
                writer.text(c, preDepth > 0);
                ++i;
            }
            continue;
        }
        if (c != u'<') {
            writer.text(c, preDepth > 0);
            ++i;
            continue;
        }
        if (startsWithNoCase(html, i, u"<!--")) {
            size_t end = html.find(u"-->", i + 4);
            i = end == std::u16string_view::npos ? n : end + 3;
            continue;
        }
        size_t nameStart = i + 1;
        bool closing = nameStart < n && html[nameStart] == u'/';
        if (closing) ++nameStart;
        size_t nameEnd = nameStart;
        while (nameEnd < n && ((html[nameEnd] >= u'a' && html[nameEnd] <= u'z') ||
                               (html[nameEnd] >= u'A' && html[nameEnd] <= u'Z') ||
                               (html[nameEnd] >= u'0' && html[nameEnd] <= u'9')))
            ++nameEnd;
        bool declaration = nameStart < n && (html[nameStart] == u'!' || html[nameStart] == u'?');
        if (nameEnd == nameStart && !declaration) {  // a lone '<' is text
            writer.text(c, preDepth > 0);
            ++i;
            continue;
        }
        // Find the end of the tag, skipping quoted attribute values.
        size_t end = nameEnd;
        char16_t quote = 0;
        while (end < n && (quote || html[end] != u'>')) {
            if (quote && html[end] == quote) quote = 0;
            else if (!quote && (html[end] == u'"' || html[end] == u'\'')) quote = html[end];
            ++end;
        }
        std::u16string name;
        for (size_t k = nameStart; k < nameEnd; ++k) name.push_back(lowerAscii(html[k]));
        i = end < n ? end + 1 : n;
        if (declaration) continue;

        if (!closing && (name == u"script" || name == u"style" || name == u"head" || name == u"title")) {
            std::u16string closer = u"</" + name;
            size_t close = findNoCase(html, i, closer);
            if (close == std::u16string_view::npos) {
                if (name == u"head" || name == u"title") continue;  // keep what follows
                i = n;
                continue;
            }
            size_t closeEnd = html.find(u'>', close);
            i = closeEnd == std::u16string_view::npos ? n : closeEnd + 1;
            continue;
        }
        if (name == u"br") {
            writer.newline();
        } else if (name == u"pre") {
            writer.breakLine(false);
            preDepth = closing ? (preDepth > 0 ? preDepth - 1 : 0) : preDepth + 1;
        } else if (name == u"li") {
            writer.breakLine(false);
            if (!closing) writer.literal(u"* ");
        } else if (name == u"td" || name == u"th") {
            if (!closing) writer.tab();
        } else if (name == u"p" || (name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6')) {
            writer.breakLine(true);
        } else if (isBlockTag(name)) {
            writer.breakLine(false);
        } else if (name == u"img" && !closing) {
            // The alt text stands for the picture, as text mail clients show it.
            std::u16string_view tag = html.substr(nameEnd, end - nameEnd);
            size_t alt = findNoCase(tag, 0, u"alt=");
            if (alt != std::u16string_view::npos) {
                size_t v = alt + 4;
                char16_t q = v < tag.size() && (tag[v] == u'"' || tag[v] == u'\'') ? tag[v] : 0;
                if (q) ++v;
                size_t e = v;
                while (e < tag.size() && (q ? tag[e] != q : !isSpace(tag[e]) && tag[e] != u'>' && tag[e] != u'/')) ++e;
                std::u16string altText;
                for (size_t k = v; k < e; ++k) {
                    if (tag[k] == u'&') {
                        size_t used = decodeEntity(tag, k, altText);
                        if (used) { k += used - 1; continue; }
                    }
                    altText.push_back(tag[k]);
                }
                if (!altText.empty()) writer.literal(u"[" + altText + u"]");
            }
        }
    }
    return writer.finish();
}

}  // namespace eml
