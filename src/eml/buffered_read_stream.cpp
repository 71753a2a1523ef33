#include "eml/buffered_read_stream.h"

#include <algorithm>
#include <cstring>

namespace eml {

namespace {

struct BufferedReadStream {
    GMimeStream parent;
    GMimeStream* source;
    char* buffer;
    size_t size;
    size_t at;      // the next byte to give
    size_t filled;  // the bytes the buffer holds
};

struct BufferedReadStreamClass {
    GMimeStreamClass parent_class;
};

G_DEFINE_TYPE(BufferedReadStream, buffered_read_stream, GMIME_TYPE_STREAM)

BufferedReadStream* self(GMimeStream* stream) { return reinterpret_cast<BufferedReadStream*>(stream); }

// As much of `length` as the source has: a stream of pieces (a repaired
// file) gives one piece a read, and GMime's parser reads a message's start
// otherwise when its first read comes short.
ssize_t readFully(GMimeStream* source, char* into, size_t length) {
    size_t done = 0;
    for (int empty = 0; done < length && empty < 2;) {
        ssize_t n = g_mime_stream_read(source, into + done, length - done);
        if (n <= 0 && g_mime_stream_eos(source)) break;  // (a stream of pieces says -1 at its end)
        if (n < 0) return done > 0 ? static_cast<ssize_t>(done) : n;
        empty = n == 0 ? empty + 1 : 0;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

ssize_t streamRead(GMimeStream* stream, char* into, size_t length) {
    BufferedReadStream* s = self(stream);
    if (s->at == s->filled) {
        s->at = s->filled = 0;
        if (length >= s->size) {
            ssize_t n = readFully(s->source, into, length);
            if (n > 0) stream->position += n;
            return n;
        }
        ssize_t n = readFully(s->source, s->buffer, s->size);
        if (n <= 0) return n;
        s->filled = static_cast<size_t>(n);
    }
    size_t n = std::min(length, s->filled - s->at);
    std::memcpy(into, s->buffer + s->at, n);
    s->at += n;
    stream->position += static_cast<gint64>(n);
    return static_cast<ssize_t>(n);
}

ssize_t streamWrite(GMimeStream*, const char*, size_t) { return -1; }
int streamFlush(GMimeStream*) { return 0; }
int streamClose(GMimeStream*) { return 0; }

gboolean streamEos(GMimeStream* stream) {
    BufferedReadStream* s = self(stream);
    return s->at == s->filled && g_mime_stream_eos(s->source);
}

int streamReset(GMimeStream* stream) {
    BufferedReadStream* s = self(stream);
    s->at = s->filled = 0;
    if (g_mime_stream_reset(s->source) != 0) return -1;
    stream->position = s->source->position;
    return 0;
}

gint64 streamSeek(GMimeStream* stream, gint64 offset, GMimeSeekWhence whence) {
    BufferedReadStream* s = self(stream);
    // The source is ahead of this stream by what the buffer still holds.
    if (whence == GMIME_STREAM_SEEK_CUR) {
        offset += stream->position;
        whence = GMIME_STREAM_SEEK_SET;
    }
    s->at = s->filled = 0;
    gint64 at = g_mime_stream_seek(s->source, offset, whence);
    if (at >= 0) stream->position = at;
    return at;
}

gint64 streamTell(GMimeStream* stream) { return stream->position; }

gint64 streamLength(GMimeStream* stream) { return g_mime_stream_length(self(stream)->source); }

GMimeStream* streamSubstream(GMimeStream* stream, gint64 start, gint64 end) {
    return g_mime_stream_substream(self(stream)->source, start, end);
}

void streamFinalize(GObject* object) {
    BufferedReadStream* s = reinterpret_cast<BufferedReadStream*>(object);
    g_free(s->buffer);
    if (s->source) g_object_unref(s->source);
    G_OBJECT_CLASS(buffered_read_stream_parent_class)->finalize(object);
}

void buffered_read_stream_class_init(BufferedReadStreamClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = streamFinalize;
    GMimeStreamClass* stream = GMIME_STREAM_CLASS(klass);
    stream->read = streamRead;
    stream->write = streamWrite;
    stream->flush = streamFlush;
    stream->close = streamClose;
    stream->eos = streamEos;
    stream->reset = streamReset;
    stream->seek = streamSeek;
    stream->tell = streamTell;
    stream->length = streamLength;
    stream->substream = streamSubstream;
}

void buffered_read_stream_init(BufferedReadStream*) {}

}  // namespace

GMimeStream* bufferedReadStream(GMimeStream* source, size_t bufferSize) {
    auto* s = static_cast<BufferedReadStream*>(g_object_new(buffered_read_stream_get_type(), nullptr));
    s->source = GMIME_STREAM(g_object_ref(source));
    s->buffer = static_cast<char*>(g_malloc(bufferSize));
    s->size = bufferSize;
    s->at = s->filled = 0;
    GMimeStream* stream = GMIME_STREAM(s);
    g_mime_stream_construct(stream, source->position, -1);
    return stream;
}

}  // namespace eml
