#include "eml/skipped_bodies.h"

#include <charconv>
#include <string>

#include "eml/gmime_support.h"

namespace eml {

namespace {

// A part holding a mark holds only the few kilobytes kept either side of it.
constexpr gint64 kLongestMarkedContent = 256 << 10;

std::string readAll(GMimeStream* stream) {
    std::string out;
    if (g_mime_stream_reset(stream) != 0) return out;
    char buffer[16384];
    ssize_t n;
    while ((n = g_mime_stream_read(stream, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    g_mime_stream_reset(stream);
    return out;
}

std::string fileBytes(GMimeStream* file, gint64 from, gint64 to) {
    GPtr<GMimeStream> window(g_mime_stream_substream(file, from, to));
    return readAll(window.get());
}

class Restorer {
public:
    Restorer(GMimeStream* file, const std::vector<RawEdit>& edits, std::string_view mark) : file_(file), mark_(mark) {
        for (const auto& edit : edits)
            if (edit.skipsBody()) skips_.push_back(&edit);
        found_.assign(skips_.size(), 0);
    }

    bool run(GMimeMessage* message) {
        walk(g_mime_message_get_mime_part(message));
        for (int count : found_)
            if (count != 1) return false;
        return intact_;
    }

private:
    void walk(GMimeObject* object) {
        if (!object) return;
        if (GMIME_IS_MESSAGE_PART(object)) {
            if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
                walk(g_mime_message_get_mime_part(inner));
        } else if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) walk(g_mime_multipart_get_part(multipart, i));
        } else if (GMIME_IS_PART(object)) {
            restore(GMIME_PART(object));
        }
    }

    void restore(GMimePart* part) {
        GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
        GMimeStream* stream = wrapper ? g_mime_data_wrapper_get_stream(wrapper) : nullptr;
        if (!stream) return;
        gint64 length = g_mime_stream_length(stream);
        if (length < static_cast<gint64>(mark_.size()) || length > kLongestMarkedContent) return;
        std::string content = readAll(stream);
        size_t at = content.find(mark_);
        if (at == std::string::npos) return;
        size_t number = at + mark_.size();
        size_t end = content.find(mark_.front(), number);
        size_t index = 0;
        if (end == std::string::npos || content.find(mark_, number) != std::string::npos ||
            std::from_chars(content.data() + number, content.data() + end, index).ptr != content.data() + end ||
            index >= skips_.size()) {
            intact_ = false;
            return;
        }
        ++found_[index];
        const RawEdit& skip = *skips_[index];
        std::string_view before = std::string_view(content).substr(0, at);
        std::string_view after = std::string_view(content).substr(end + 1);
        const auto skipFrom = static_cast<gint64>(skip.at), skipTo = static_cast<gint64>(skip.at + skip.remove);
        const gint64 from = skipFrom - static_cast<gint64>(before.size());
        const gint64 to = skipTo + static_cast<gint64>(after.size());
        // The part's content must start where the scan found the body, or
        // GMime read the bytes before it otherwise (as another part, or as
        // a boundary the scan did not know): the mark then stands for bytes
        // GMime would not have read as this part's.
        if (before.size() != skip.keptEnds || fileBytes(file_, from, skipFrom) != before) {
            intact_ = false;
            return;
        }
        GPtr<GMimeStream> window;
        if (fileBytes(file_, skipTo, to) == after) {
            window.reset(g_mime_stream_substream(file_, from, to));
        } else {
            // A repair in the kept end (a line end after a closing boundary at
            // the file's end): it is kept as GMime read it.
            window.reset(g_mime_stream_cat_new());
            GPtr<GMimeStream> head(g_mime_stream_mem_new_with_buffer(before.data(), before.size()));
            GPtr<GMimeStream> middle(g_mime_stream_substream(file_, skipFrom, skipTo));
            GPtr<GMimeStream> tail(g_mime_stream_mem_new_with_buffer(after.data(), after.size()));
            for (GMimeStream* piece : {head.get(), middle.get(), tail.get()})
                g_mime_stream_cat_add_source(GMIME_STREAM_CAT(window.get()), piece);
        }
        g_mime_data_wrapper_set_stream(wrapper, window.get());
    }

    GMimeStream* file_;
    std::string_view mark_;
    std::vector<const RawEdit*> skips_;
    std::vector<int> found_;
    bool intact_ = true;
};

}  // namespace

bool restoreSkippedBodies(GMimeMessage* message, GMimeStream* file, const std::vector<RawEdit>& edits,
                          std::string_view mark) {
    return message && Restorer(file, edits, mark).run(message);
}

}  // namespace eml
