#include "eml/rtf_text.h"

#include <cstdlib>
#include <map>
#include <vector>

#include "eml/charset.h"
#include "eml/code_pages.h"

namespace eml {

namespace {

// \fcharsetN to the code page its bytes are in (0 means "the document's").
int codePageOfCharset(int charset) {
    switch (charset) {
        case 128: return 932;
        case 129: return 949;
        case 134: return 936;
        case 136: return 950;
        case 161: return 1253;
        case 162: return 1254;
        case 163: return 1258;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        case 204: return 1251;
        case 222: return 874;
        case 238: return 1250;
        default: return 0;
    }
}

enum class Destination { Text, Skip, FontTable, HtmlTag };

struct GroupState {
    Destination destination = Destination::Text;
    bool suppressed = false;  // inside \htmlrtf ... \htmlrtf0
    int unicodeSkip = 1;      // \ucN
    int font = -1;
};

class Reader {
public:
    explicit Reader(std::string_view rtf) : rtf_(rtf) {}

    std::optional<RtfContent> run() {
        if (rtf_.substr(0, 5) != "{\\rtf") return std::nullopt;
        std::vector<GroupState> stack;
        GroupState state;
        int pendingSkip = 0;  // fallback characters after a \uN still to drop
        bool starred = false;
        while (pos_ < rtf_.size()) {
            char c = rtf_[pos_];
            if (c == '{') {
                ++pos_;
                stack.push_back(state);
                starred = false;
                pendingSkip = 0;
                continue;
            }
            if (c == '}') {
                ++pos_;
                if (state.destination == Destination::FontTable) definingFont_ = -1;
                if (stack.empty()) break;
                state = stack.back();
                stack.pop_back();
                pendingSkip = 0;
                continue;
            }
            if (c == '\r' || c == '\n') {
                ++pos_;
                continue;
            }
            if (c != '\\') {
                ++pos_;
                if (pendingSkip > 0) { --pendingSkip; continue; }
                emitByte(state, c);
                continue;
            }
            // A control symbol or word.
            ++pos_;
            if (pos_ >= rtf_.size()) break;
            char next = rtf_[pos_];
            if (next == '\'') {
                unsigned value = 0;
                if (pos_ + 2 < rtf_.size() + 0 && hexValue(rtf_.substr(pos_ + 1, 2), value)) {
                    pos_ += 3;
                    if (pendingSkip > 0) { --pendingSkip; continue; }
                    emitByte(state, static_cast<char>(value));
                } else {
                    ++pos_;
                }
                continue;
            }
            if (!isLetter(next)) {
                ++pos_;
                if (next == '*') { starred = true; continue; }
                if (pendingSkip > 0) { --pendingSkip; continue; }
                if (next == '{' || next == '}' || next == '\\') emitByte(state, next);
                else if (next == '~') emitChar(state, u'\u00A0');
                else if (next == '_') emitChar(state, u'\u2011');
                else if (next == '\r' || next == '\n') emitText(state, u"\r\n");
                continue;
            }
            size_t start = pos_;
            while (pos_ < rtf_.size() && isLetter(rtf_[pos_])) ++pos_;
            std::string_view word = rtf_.substr(start, pos_ - start);
            bool hasParameter = false;
            long parameter = 0;
            size_t numberStart = pos_;
            if (pos_ < rtf_.size() && (rtf_[pos_] == '-' || isDigit(rtf_[pos_]))) {
                ++pos_;
                while (pos_ < rtf_.size() && isDigit(rtf_[pos_])) ++pos_;
                std::string number(rtf_.substr(numberStart, pos_ - numberStart));
                parameter = std::strtol(number.c_str(), nullptr, 10);
                hasParameter = number != "-";
            }
            if (pos_ < rtf_.size() && rtf_[pos_] == ' ') ++pos_;
            controlWord(word, hasParameter, parameter, state, starred, pendingSkip);
            starred = false;
        }
        flush();
        if (kind_ == RtfContent::Kind::Html && !sawHtmlTag_) return std::nullopt;
        return RtfContent{kind_, std::move(out_)};
    }

private:
    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static bool hexValue(std::string_view hex, unsigned& value) {
        if (hex.size() != 2) return false;
        value = 0;
        for (char h : hex) {
            value <<= 4;
            if (h >= '0' && h <= '9') value |= h - '0';
            else if (h >= 'a' && h <= 'f') value |= h - 'a' + 10;
            else if (h >= 'A' && h <= 'F') value |= h - 'A' + 10;
            else return false;
        }
        return true;
    }

    bool shown(const GroupState& state) const {
        if (state.destination == Destination::HtmlTag) return true;
        if (state.destination != Destination::Text) return false;
        return !(kind_ == RtfContent::Kind::Html && state.suppressed);
    }

    int codePageFor(const GroupState& state) const {
        if (state.font >= 0) {
            auto it = fontCodePages_.find(state.font);
            if (it != fontCodePages_.end() && it->second != 0) return it->second;
        }
        return documentCodePage_;
    }

    void emitByte(const GroupState& state, char c) {
        if (!shown(state)) return;
        int codePage = codePageFor(state);
        if (codePage != pendingCodePage_) flush();
        pendingCodePage_ = codePage;
        pending_.push_back(c);
    }
    void emitChar(const GroupState& state, char16_t c) {
        if (!shown(state)) return;
        flush();
        out_.push_back(c);
    }
    void emitText(const GroupState& state, std::u16string_view text) {
        if (!shown(state)) return;
        flush();
        out_ += text;
    }
    void flush() {
        if (pending_.empty()) return;
        Warnings ignored;
        out_ += decodeText(pending_, charsetOfCodePage(pendingCodePage_), ignored).text;
        pending_.clear();
    }

    void controlWord(std::string_view word, bool hasParameter, long parameter, GroupState& state, bool starred,
                     int& pendingSkip) {
        if (word == "fromhtml") { kind_ = RtfContent::Kind::Html; return; }
        if (word == "fromtext") { kind_ = RtfContent::Kind::Text; return; }
        if (word == "ansicpg" && hasParameter) { documentCodePage_ = static_cast<int>(parameter); return; }
        if (word == "htmlrtf") { state.suppressed = !hasParameter || parameter != 0; return; }
        if (word == "uc" && hasParameter) { state.unicodeSkip = static_cast<int>(std::max(0L, parameter)); return; }
        if (word == "u" && hasParameter) {
            long code = parameter < 0 ? parameter + 65536 : parameter;
            emitChar(state, static_cast<char16_t>(code));
            pendingSkip = state.unicodeSkip;
            return;
        }
        if (word == "bin" && hasParameter) {
            pos_ = std::min(rtf_.size(), pos_ + static_cast<size_t>(std::max(0L, parameter)));
            return;
        }
        if (word == "htmltag") {
            state.destination = Destination::HtmlTag;
            sawHtmlTag_ = true;
            return;
        }
        if (state.destination == Destination::FontTable) {
            if (word == "f" && hasParameter) definingFont_ = static_cast<int>(parameter);
            else if (word == "fcharset" && hasParameter && definingFont_ >= 0)
                fontCodePages_[definingFont_] = codePageOfCharset(static_cast<int>(parameter));
            else if (word == "cpg" && hasParameter && definingFont_ >= 0)
                fontCodePages_[definingFont_] = static_cast<int>(parameter);
            return;
        }
        if (word == "fonttbl") { state.destination = Destination::FontTable; return; }
        if (starred || word == "colortbl" || word == "stylesheet" || word == "info" || word == "pict" ||
            word == "object" || word == "filetbl" || word == "revtbl" || word == "header" || word == "footer" ||
            word == "headerl" || word == "headerr" || word == "footerl" || word == "footerr" || word == "fldinst") {
            state.destination = Destination::Skip;
            return;
        }
        if (word == "f" && hasParameter) { state.font = static_cast<int>(parameter); return; }
        if (word == "par" || word == "line" || word == "row") { emitText(state, u"\r\n"); return; }
        if (word == "tab" || word == "cell") { emitText(state, u"\t"); return; }
        if (word == "emdash") emitChar(state, u'\u2014');
        else if (word == "endash") emitChar(state, u'\u2013');
        else if (word == "lquote") emitChar(state, u'\u2018');
        else if (word == "rquote") emitChar(state, u'\u2019');
        else if (word == "ldblquote") emitChar(state, u'\u201C');
        else if (word == "rdblquote") emitChar(state, u'\u201D');
        else if (word == "bullet") emitChar(state, u'\u2022');
        else if (word == "emspace") emitChar(state, u'\u2003');
        else if (word == "enspace") emitChar(state, u'\u2002');
    }

    std::string_view rtf_;
    size_t pos_ = 0;
    RtfContent::Kind kind_ = RtfContent::Kind::Rich;
    bool sawHtmlTag_ = false;
    int documentCodePage_ = 1252;
    std::map<int, int> fontCodePages_;
    int definingFont_ = -1;
    std::string pending_;
    int pendingCodePage_ = 1252;
    std::u16string out_;
};

}  // namespace

std::optional<RtfContent> readRtf(std::string_view rtf) { return Reader(rtf).run(); }

}  // namespace eml
