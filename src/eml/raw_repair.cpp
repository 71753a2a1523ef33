#include "eml/raw_repair.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "eml/gmime_support.h"

namespace eml {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && g_ascii_strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool isNameByte(unsigned char c) { return c > 0x20 && c < 0x7F && c != ':'; }

std::string shown(std::string_view name) {
    std::string out;
    for (unsigned char c : name) out.push_back(isNameByte(c) ? static_cast<char>(c) : '?');
    return out;
}

// The header a name with bytes no header name can hold was meant to be:
// the bytes left out, or each put back as the letter a known name has there.
std::string repairedName(std::string_view name) {
    static const char* const known[] = {
        "From", "To", "Cc", "Bcc", "Subject", "Date", "Message-ID", "Reply-To", "Sender", "MIME-Version",
        "Content-Type", "Content-Transfer-Encoding", "Content-Disposition", "Received", "Return-Path",
        "In-Reply-To", "References"};
    std::string kept;
    for (unsigned char c : name)
        if (isNameByte(c)) kept.push_back(static_cast<char>(c));
    for (const char* k : known)
        if (equalsNoCase(kept, k)) return k;
    for (const char* k : known) {
        std::string_view candidate(k);
        if (candidate.size() != name.size()) continue;
        bool fits = true;
        for (size_t i = 0; i < name.size() && fits; ++i) {
            unsigned char c = static_cast<unsigned char>(name[i]);
            fits = !isNameByte(c) || g_ascii_tolower(c) == g_ascii_tolower(candidate[i]);
        }
        if (fits) return k;
    }
    return {};
}

// "From sender@example.org Mon Jan  1 10:00:00 2001": the line an mbox file
// puts before each message.
bool isMboxSeparator(std::string_view l) {
    if (!startsWith(l, "From ") || l.size() < 7 || l[5] == ' ' || l[5] == ':') return false;
    size_t time = l.find(':', 6);
    return time != std::string_view::npos && time >= 2 && time + 2 < l.size() && g_ascii_isdigit(l[time - 1]) &&
           g_ascii_isdigit(l[time + 1]) && g_ascii_isdigit(l[time + 2]);
}

class Repairer {
public:
    Repairer(std::string_view data, Warnings& warnings, const RepairScan& scan)
        : data_(data), warnings_(warnings), passed_(scan.passed), readAt_(scan.readAt), scan_(scan) {}

    RepairPlan run() {
        RepairPlan plan;
        RepairedInput& result = plan.input;
        size_t start = skipJunk();
        if (start > 0) edits_.push_back({0, start, {}});
        size_t topEnd = scanBlock(start, true);
        size_t topEdits = edits_.size() - (start > 0 ? 1 : 0);
        bool topIsLeaf = blockIsLeaf_;
        result.headersStart = start;
        result.headersEnd = topEnd;
        if (topEdits > 0) {
            result.headersChanged = true;
            if (topEnd - start <= scan_.holdHeadersUpTo)
                for (char c : data_.substr(start, topEnd - start))
                    if (c != '\0') result.originalHeaders.push_back(c);
        }
        if (!boundaries_.empty() || nextIsMessage_) scanBody(topEnd);
        else if (topIsLeaf) skipBody(bodyAfter(topEnd), data_.size());
        closeFinalBoundary();
        std::stable_sort(edits_.begin(), edits_.end(), [](const RawEdit& a, const RawEdit& b) { return a.at < b.at; });
        size_t at = 0;
        for (auto& edit : edits_) {
            if (edit.at < at) continue;  // overlaps an earlier edit
            at = edit.at + edit.remove;
            plan.edits.push_back(std::move(edit));
        }
        return plan;
    }

private:
    // A line of many megabytes is searched a few megabytes at a time, and
    // the scan says how far it has gone after each.
    size_t lineEnd(size_t at) const {
        constexpr size_t kStretch = 4u << 20;
        for (size_t from = at; from < data_.size(); from += kStretch) {
            size_t size = std::min(kStretch, data_.size() - from);
            const void* nl = std::memchr(data_.data() + from, '\n', size);
            if (nl) return static_cast<size_t>(static_cast<const char*>(nl) - data_.data()) + 1;
            if (passed_ && from + size < data_.size()) passed_(from + size);
        }
        return data_.size();
    }

    std::string_view line(size_t at) const { return data_.substr(at, lineEnd(at) - at); }

    static bool isBlankLine(std::string_view l) { return l == "\n" || l == "\r\n" || l.empty(); }

    // Byte-order mark, white space and an mbox "From " line before the first
    // header: mail readers start at the first header.
    size_t skipJunk() {
        size_t at = 0;
        if (startsWith(data_, "\xEF\xBB\xBF")) at = 3;
        bool skippedSpace = false;
        for (int round = 0; round < 2; ++round) {
            size_t before = at;
            while (at < data_.size() && (data_[at] == ' ' || data_[at] == '\t' || data_[at] == '\r' || data_[at] == '\n'))
                ++at;
            skippedSpace = skippedSpace || at > before;
            if (!startsWith(data_.substr(at), "From ")) break;
            std::string_view first = line(at);
            if (isMboxSeparator(first)) {
                warnings_.add("the mailbox separator line before the headers (\"" +
                              std::string(first.substr(0, first.find_last_not_of("\r\n") + 1)) + "\") was left out");
                at += first.size();
                continue;
            }
            break;
        }
        if (skippedSpace) warnings_.add("blank lines or spaces before the first header were skipped");
        return at;
    }

    // One header block from `at`; returns where it ends (after its last
    // header line). `top` is the message's own block.
    size_t scanBlock(size_t at, bool top) {
        blockIsLeaf_ = false;
        int contentTypes = 0;
        bool first = true;
        while (at < data_.size()) {
            std::string_view l = line(at);
            if (isBlankLine(l)) return at;
            if (l[0] == ' ' || l[0] == '\t') {
                if (first) return at;
                if (top) dropNuls(at, l);
                at += l.size();
                continue;
            }
            size_t colon = l.find(':');
            bool header = colon != std::string_view::npos && colon > 0;
            if (!header && (!top || first)) return at;
            first = false;
            if (top && !header) dropNuls(at, l);
            if (!header && !headerFollows(at + l.size())) {
                // The headers ended without their blank line: the body starts here.
                edits_.push_back({at, 0, l.size() >= 2 && l[l.size() - 2] == '\r' ? "\r\n" : "\n"});
                warnings_.add("the headers do not end with a blank line; the text after them was read as the body");
                return at;
            }
            if (!header) {
                at += l.size();
                continue;
            }
            std::string_view name = l.substr(0, colon);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
            if (top && !std::all_of(name.begin(), name.end(), [](char c) { return isNameByte(static_cast<unsigned char>(c)); })) {
                std::string fixed = repairedName(name);
                if (!fixed.empty()) {
                    edits_.push_back({at, name.size(), fixed});
                    warnings_.add("the damaged header name \"" + shown(name) + "\" was read as \"" + fixed + "\"");
                    name = fixed == "Content-Type" ? std::string_view("Content-Type") : std::string_view();
                }
            }
            if (top) {
                size_t end = fieldEnd(at + l.size());
                if (shortenLongField(at, end, name, colon)) {
                    at = end;
                    continue;
                }
                heldFields_ += end - at;
                dropNuls(at, l);
            }
            if (equalsNoCase(name, "Content-Type")) contentType(at, l, colon, ++contentTypes);
            at += l.size();
        }
        return at;
    }

    // Where the field whose first line ends at `firstLineEnd` ends: after
    // its last continuation line.
    size_t fieldEnd(size_t firstLineEnd) const {
        size_t end = firstLineEnd;
        while (end < data_.size() && (data_[end] == ' ' || data_[end] == '\t')) {
            end = lineEnd(end);
            if (passed_) passed_(end);
        }
        return end;
    }

    // GMime holds several times a field's size while it reads it: a field
    // too long for that is cut, for GMime, to its first words. The item's
    // header block keeps it whole; the warning names it with its size.
    bool shortenLongField(size_t at, size_t end, std::string_view name, size_t colon) {
        size_t size = end - at;
        bool tooLong = size > kLongHeaderField || (size > kLongHeaderFieldKept && heldFields_ + size > kHeaderBlockHeld);
        if (!tooLong) return false;
        size_t valueStart = at + colon + 1;
        size_t lineBreak = end;  // the field's own line end stays
        while (lineBreak > valueStart && (data_[lineBreak - 1] == '\n' || data_[lineBreak - 1] == '\r')) --lineBreak;
        if (colon > kLongHeaderFieldKept) {
            // No name a header can have: the line is not read at all.
            edits_.push_back({at, end - at, {}});
            warnings_.add("a header line of " + std::to_string(size) +
                          " bytes without a readable name was not read; it is kept in the item's Internet headers");
            return true;
        }
        size_t cut = cutPoint(valueStart, std::min(valueStart + kLongHeaderFieldKept, lineBreak), isAddressField(name));
        size_t resume = lineBreak;
        if (equalsNoCase(name, "Received")) {
            // Its time stands after the last semicolon.
            constexpr size_t kTail = 256;
            size_t tailStart = std::max(cut, lineBreak > kTail ? lineBreak - kTail : 0);
            size_t semicolon = data_.substr(tailStart, lineBreak - tailStart).rfind(';');
            if (semicolon != std::string_view::npos) resume = tailStart + semicolon;
        }
        for (size_t i = at; i < cut; ++i)
            if (data_[i] == '\0') edits_.push_back({i, 1, {}});
        edits_.push_back({cut, resume - cut, {}});
        warnings_.add("the " + shown(name) + " header is " + std::to_string(size) +
                      " bytes long; only its first " + std::to_string(cut - valueStart) +
                      " bytes were read as its value (subject, names, addresses), the whole header is kept in the item's Internet headers");
        return true;
    }

    static bool isAddressField(std::string_view name) {
        for (const char* n : {"From", "To", "Cc", "Bcc", "Reply-To", "Sender", "Resent-From", "Resent-To", "Resent-Cc"})
            if (equalsNoCase(name, n)) return true;
        return false;
    }

    // Where to cut a value near `limit`: after the last whole address or
    // word (an encoded word is never split), else between two characters.
    size_t cutPoint(size_t from, size_t limit, bool addresses) const {
        std::string_view window = data_.substr(from + (limit - from) / 2, (limit - from) - (limit - from) / 2);
        size_t base = from + (limit - from) / 2;
        size_t cut = std::string_view::npos;
        if (addresses) {
            size_t comma = window.rfind(',');
            if (comma != std::string_view::npos) cut = base + comma;
        }
        if (cut == std::string_view::npos) {
            size_t blank = window.find_last_of(" \t\r\n");
            if (blank != std::string_view::npos) cut = base + blank;
        }
        if (cut == std::string_view::npos) {
            cut = limit;
            for (int back = 0; back < 3 && cut < data_.size() && (static_cast<unsigned char>(data_[cut]) & 0xC0) == 0x80; ++back)
                --cut;
        }
        while (cut > from && (data_[cut - 1] == '\r' || data_[cut - 1] == '\n' || data_[cut - 1] == ' ' || data_[cut - 1] == '\t'))
            --cut;
        return cut;
    }

    // Whether a header line comes before the blank line that ends the block.
    // The header found is remembered, so a run of broken lines is read once.
    bool headerFollows(size_t at) {
        if (at <= nextHeader_ && nextHeader_ != std::string_view::npos) return true;
        while (at < data_.size()) {
            std::string_view l = line(at);
            if (isBlankLine(l)) return false;
            size_t colon = l.find(':');
            if (l[0] != ' ' && l[0] != '\t' && colon != std::string_view::npos && colon > 0 &&
                l.find(' ') > colon) {
                nextHeader_ = at;
                return true;
            }
            at += l.size();
        }
        return false;
    }

    void dropNuls(size_t at, std::string_view l) {
        for (size_t i = 0; i < l.size(); ++i)
            if (l[i] == '\0') edits_.push_back({at + i, 1, {}});
    }

    std::string unfoldedValue(size_t at, size_t colon) {
        std::string value(line(at).substr(colon + 1));
        for (size_t next = at + line(at).size(); next < data_.size() && (data_[next] == ' ' || data_[next] == '\t');) {
            std::string_view more = line(next);
            value += more;
            next += more.size();
        }
        std::string out;
        for (char c : value)
            if (c != '\r' && c != '\n' && c != '\0') out.push_back(c);
        return out;
    }

    // "type/subtype..." in plain letters, of a type that is neither
    // multipart nor message: most parts. (Anything else, comments and quotes
    // included, is left to GMime's reading.)
    static bool plainLeafType(std::string_view value) {
        auto isTokenChar = [](char c) { return g_ascii_isalnum(c) || c == '-' || c == '.' || c == '+' || c == '_'; };
        size_t slash = 0;
        while (slash < value.size() && isTokenChar(value[slash])) ++slash;
        if (slash == 0 || slash >= value.size() || value[slash] != '/') return false;
        std::string_view type = value.substr(0, slash);
        return !equalsNoCase(type, "multipart") && !equalsNoCase(type, "message");
    }

    void contentType(size_t at, std::string_view l, size_t colon, int ordinal) {
        if (ordinal > 1) {
            // The first Content-Type is the one mail readers follow. (A name
            // repaired to Content-Type is renamed in the same edit.)
            auto renamed = std::find_if(edits_.rbegin(), edits_.rend(),
                                        [at](const RawEdit& e) { return e.at == at && !e.insert.empty(); });
            if (renamed != edits_.rend()) renamed->insert.insert(0, "X-Ignored-");
            else edits_.push_back({at, 0, "X-Ignored-"});
            warnings_.add("a part has more than one Content-Type header; the first was used");
            return;
        }
        std::string value = unfoldedValue(at, colon);
        size_t typeStart = value.find_first_not_of(" \t");
        if (typeStart == std::string::npos) return;
        size_t typeEnd = value.find_first_of("; \t", typeStart);
        if (typeEnd == std::string::npos) typeEnd = value.size();
        std::string type = value.substr(typeStart, typeEnd - typeStart);
        if (!type.empty() && type.find('/') == std::string::npos) {
            std::string lower = type;
            for (auto& c : lower) c = static_cast<char>(g_ascii_tolower(c));
            std::string subtype = lower == "text" ? "/plain" : lower == "multipart" ? "/mixed"
                                : lower == "message" ? "/rfc822" : "/octet-stream";
            // The type starts on this header's own line in every real file.
            size_t lineTypeStart = l.find(type, colon + 1);
            if (lineTypeStart != std::string_view::npos) {
                edits_.push_back({at + lineTypeStart + type.size(), 0, subtype});
                warnings_.add("the content type \"" + type + "\" has no subtype; it was read as \"" + type + subtype + "\"");
                value.insert(typeStart + type.size(), subtype);
            }
        }
        if (plainLeafType(std::string_view(value).substr(typeStart))) {
            blockIsLeaf_ = true;  // nothing more is wanted of it
            return;
        }
        GPtr<GMimeContentType> parsed(g_mime_content_type_parse(nullptr, value.c_str()));
        if (!parsed) return;
        const char* media = g_mime_content_type_get_media_type(parsed.get());
        const char* sub = g_mime_content_type_get_media_subtype(parsed.get());
        blockIsLeaf_ = media && *media && g_ascii_strcasecmp(media, "multipart") != 0 &&
                       g_ascii_strcasecmp(media, "message") != 0;
        if (media && g_ascii_strcasecmp(media, "multipart") == 0) {
            const char* boundary = g_mime_content_type_get_parameter(parsed.get(), "boundary");
            // GMime reads no deeper than this either; the bound keeps odd files linear.
            if (boundary && *boundary && boundaries_.size() < 256) boundaries_.push_back("--" + std::string(boundary));
        } else if (media && sub && g_ascii_strcasecmp(media, "message") == 0 && g_ascii_strcasecmp(sub, "rfc822") == 0) {
            nextIsMessage_ = true;
        }
    }

    bool isBoundary(std::string_view l) const {
        if (l.size() < 3 || l[0] != '-' || l[1] != '-') return false;
        for (const auto& b : boundaries_)
            if (startsWith(l, b)) return true;
        return false;
    }

    // The start of the next line that begins with "--" (only such a line can
    // be a boundary), else the end. Base64 holds no '-', so a long encoded
    // body is passed over at the speed of memchr.
    size_t nextDashedLine(size_t at) {
        constexpr size_t kWindow = 1u << 20;  // how far the scan goes between reports of its progress
        while (at < data_.size()) {
            size_t windowEnd = std::min(data_.size(), at + kWindow);
            std::string_view window = data_.substr(at, windowEnd - at);
            if (readAt_) {
                window_.resize(kWindow);
                if (readAt_(at, window_.data(), window.size()) == window.size())
                    window = std::string_view(window_.data(), window.size());
            }
            // Only the bytes either side of a dash at the window's edges are
            // looked up in `data_`.
            for (size_t from = 0; from < window.size();) {
                const void* dash = std::memchr(window.data() + from, '-', window.size() - from);
                if (!dash) break;
                size_t i = static_cast<size_t>(static_cast<const char*>(dash) - window.data());
                size_t p = at + i;
                char before = i > 0 ? window[i - 1] : p > 0 ? data_[p - 1] : '\0';
                char after = i + 1 < window.size() ? window[i + 1] : p + 1 < data_.size() ? data_[p + 1] : '\0';
                if (before == '\n' && after == '-') return p;
                from = i + 1;
            }
            at = windowEnd;
            if (passed_) passed_(at);
        }
        return data_.size();
    }

    // The header blocks of the parts: after every boundary line, and at the
    // start of an attached message.
    void scanBody(size_t at) {
        at += line(at).size();  // the blank line
        size_t leafBody = std::string_view::npos;  // where the body of a part that is neither multipart nor message starts
        if (nextIsMessage_) {
            nextIsMessage_ = false;
            at = scanBlock(at, false);
            if (blockIsLeaf_) leafBody = bodyAfter(at);
        }
        while (at < data_.size()) {
            if (!startsWith(data_.substr(at), "--")) {
                size_t next = nextDashedLine(at);
                if (leafBody != std::string_view::npos && leafBody <= next) skipBody(leafBody, next);
                leafBody = std::string_view::npos;
                at = next;
                continue;
            }
            leafBody = std::string_view::npos;
            std::string_view l = line(at);
            at += l.size();
            if (passed_) passed_(at);
            if (!isBoundary(l)) continue;
            at = scanBlock(at, false);
            if (nextIsMessage_ && at < data_.size()) {
                nextIsMessage_ = false;
                at += line(at).size();
                at = scanBlock(at, false);
            }
            if (blockIsLeaf_) leafBody = bodyAfter(at);
        }
    }

    // Where the body after the header block that ends at `at` starts, when
    // the block ends with its blank line.
    size_t bodyAfter(size_t at) const {
        if (at >= data_.size()) return std::string_view::npos;
        std::string_view l = line(at);
        return isBlankLine(l) ? at + l.size() : std::string_view::npos;
    }

    // A line that starts with "--" is where GMime looks for a part's end; a
    // body from `from` up to the first such line (or the file's end) holds
    // nothing else GMime's parse reads, and is skipped but for its ends.
    void skipBody(size_t from, size_t to) {
        if (from == std::string_view::npos || to <= from || scan_.skipMark.empty()) return;
        constexpr size_t kShortest = 16;
        if (to - from < std::max(scan_.skipBodiesFrom, kShortest)) return;
        constexpr size_t kKeptEnds = 4096;
        size_t kept = std::min(kKeptEnds, (to - from) / 4);
        edits_.push_back({from + kept, to - from - 2 * kept,
                          scan_.skipMark + std::to_string(skipped_++) + scan_.skipMark.front(), kept});
    }

    // A file that ends right after its closing boundary, without a line end.
    void closeFinalBoundary() {
        if (data_.empty() || data_.back() == '\n') return;
        size_t lastLine = data_.rfind('\n');
        lastLine = lastLine == std::string_view::npos ? 0 : lastLine + 1;
        if (!startsWith(data_.substr(lastLine), "--")) return;
        bool crlf = lastLine >= 2 && data_[lastLine - 2] == '\r';
        edits_.push_back({data_.size(), 0, crlf ? "\r\n" : "\n"});
    }

    std::string_view data_;
    Warnings& warnings_;
    const std::function<void(size_t)>& passed_;
    const ReadAt& readAt_;
    const RepairScan& scan_;
    std::string window_;  // the piece of a body read through readAt_
    std::vector<RawEdit> edits_;
    std::vector<std::string> boundaries_;
    bool nextIsMessage_ = false;
    size_t nextHeader_ = std::string_view::npos;
    size_t heldFields_ = 0;  // the message's header fields GMime reads whole
    bool blockIsLeaf_ = false;  // the last header block names a type that is neither multipart nor message
    size_t skipped_ = 0;
};

}  // namespace

RepairPlan planRawRepairs(std::string_view data, Warnings& warnings, const RepairScan& scan) {
    return Repairer(data, warnings, scan).run();
}

RepairedInput repairRawMessage(GByteArray* array, Warnings& warnings) {
    std::string_view data(reinterpret_cast<const char*>(array->data), array->len);
    RepairPlan plan = planRawRepairs(data, warnings);
    RepairedInput result = std::move(plan.input);
    if (!plan.edits.empty()) {
        std::string repaired;
        repaired.reserve(data.size() + 64);
        size_t at = 0;
        for (const auto& edit : plan.edits) {
            repaired.append(data.substr(at, edit.at - at));
            repaired += edit.insert;
            at = edit.at + edit.remove;
        }
        repaired.append(data.substr(std::min(at, data.size())));
        result.original.assign(data);
        g_byte_array_set_size(array, static_cast<guint>(repaired.size()));
        std::memcpy(array->data, repaired.data(), repaired.size());
    }
    return result;
}

}  // namespace eml
