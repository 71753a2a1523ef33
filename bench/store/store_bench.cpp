// Writes many small mail messages into one folder, then many folders with a
// message each, then a few messages with large attachments, through
// pst::Store, and prints messages per second, folders per second, payload
// MB/s and peak memory.
//
//   store_bench [messages=20000] [large=8] [dir=tmp] [folders=0] [attachment MB=16]
//   (QUILLMERE_BENCH_KEEP=1 keeps the file)
//
// 5000 folders and 5 attachments of 1024 MB give a file past 4 GiB.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "pst/store.h"

using namespace pst;
using Clock = std::chrono::steady_clock;

namespace {

std::u16string text(const std::string& s) { return std::u16string(s.begin(), s.end()); }

MessageContent smallMessage(int i, const std::u16string& body) {
    MessageContent m;
    m.set(0x001A001F, std::u16string(u"IPM.Note"));
    m.set(0x0037001F, text("Benchmark message number " + std::to_string(i)));
    m.set(0x1000001F, body);
    m.set(0x0C1A001F, std::u16string(u"Ann Sender"));
    m.set(0x0C1F001F, std::u16string(u"ann@example.com"));
    m.set(0x0042001F, std::u16string(u"Ann Sender"));
    m.set(0x00390040, FileTime{133000000000000000ull + uint64_t(i) * 10000000});
    m.set(0x0E060040, FileTime{133000000000000000ull + uint64_t(i) * 10000000});
    m.set(0x0E070003, int32_t(1));
    RecipientRow r;
    r.props = {{0x0C150003, int32_t(1)},
               {0x3001001F, std::u16string(u"Bob Receiver")},
               {0x3003001F, std::u16string(u"bob@example.com")},
               {0x3002001F, std::u16string(u"SMTP")}};
    m.recipients.push_back(std::move(r));
    return m;
}

double peakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

uint64_t payloadBytes(const MessageContent& m) {
    uint64_t n = 0;
    for (auto& p : m.props) {
        if (auto* s = std::get_if<std::u16string>(&p.value)) n += 2 * s->size();
        else if (auto* b = std::get_if<Bytes>(&p.value)) n += b->size();
        else n += 8;
    }
    for (auto& a : m.attachments)
        for (auto& p : a.props)
            if (auto* b = std::get_if<Bytes>(&p.value)) n += b->size();
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    int messages = argc > 1 ? std::stoi(argv[1]) : 20000;
    int large = argc > 2 ? std::stoi(argv[2]) : 8;
    std::filesystem::path dir = argc > 3 ? argv[3] : std::filesystem::temp_directory_path();
    int folders = argc > 4 ? std::stoi(argv[4]) : 0;
    size_t attachmentMb = argc > 5 ? std::stoul(argv[5]) : 16;
    std::filesystem::path file = dir / "quillmere-store-bench.pst";
    std::filesystem::remove(file);

    std::u16string body(2500, u'x');  // 5 KB of UTF-16 text
    for (size_t i = 0; i < body.size(); i += 61) body[i] = u'\n';

    auto start = Clock::now();
    auto store = Store::create(file, u"Benchmark");
    FolderId folder = store->createFolder(store->ipmSubtree(), u"Inbox");
    uint64_t smallBytes = 0;
    for (int i = 0; i < messages; ++i) {
        MessageContent m = smallMessage(i, body);
        smallBytes += payloadBytes(m);
        store->addMessage(folder, m);
    }
    store->commit();
    double smallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    double smallPeak = peakMegabytes();

    // Many folders, each with one small message, a few levels deep.
    auto foldersStart = Clock::now();
    FolderId parent = store->ipmSubtree();
    for (int i = 0; i < folders; ++i) {
        if (i % 100 == 0) parent = store->createFolder(store->ipmSubtree(), text("Group " + std::to_string(i / 100)));
        FolderId f = store->createFolder(parent, text("Folder " + std::to_string(i)));
        store->addMessage(f, smallMessage(i, u"a message in a folder of its own"));
    }
    if (folders) store->commit();
    double foldersSeconds = std::chrono::duration<double>(Clock::now() - foldersStart).count();
    double foldersPeak = peakMegabytes();

    // A few messages with large attachments.
    auto largeStart = Clock::now();
    FolderId bigFolder = store->createFolder(store->ipmSubtree(), u"Large");
    uint64_t largeBytes = 0;
    // One message object reused, so that only the store's own work is timed.
    MessageContent m = smallMessage(0, u"see attachment");
    AttachmentContent a;
    Bytes blob(attachmentMb << 20);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = uint8_t(i * 2654435761u >> 24);
    a.props = {{0x37050003, int32_t(1)}, {0x3707001F, text("blob.bin")}, {0x37010102, std::move(blob)}};
    m.attachments.push_back(std::move(a));
    for (int i = 0; i < large; ++i) {
        m.set(0x0037001F, text("Large attachment " + std::to_string(i)));
        largeBytes += payloadBytes(m);
        store->addMessage(bigFolder, m);
    }
    store->close();
    double largeSeconds = std::chrono::duration<double>(Clock::now() - largeStart).count();

    std::printf("small messages: %d in %.2f s = %.0f messages/s, %.1f MB/s of payload (%.1f MB)\n", messages,
                smallSeconds, messages / smallSeconds, smallBytes / 1e6 / smallSeconds, smallBytes / 1e6);
    std::printf("peak memory after small messages: %.1f MB (%.0f bytes per message above 64 MB)\n", smallPeak,
                smallPeak > 64 ? (smallPeak - 64) * 1048576.0 / messages : 0.0);
    if (folders)
        std::printf("folders: %d (with one message each) in %.2f s = %.0f folders/s, peak memory %.1f MB\n", folders,
                    foldersSeconds, folders / foldersSeconds, foldersPeak);
    std::printf("large attachments: %d x %zu MB in %.2f s = %.1f MB/s of payload\n", large, attachmentMb,
                largeSeconds, largeBytes / 1e6 / largeSeconds);
    std::printf("peak memory overall: %.1f MB (the benchmark's own %zu MB attachment included)\n", peakMegabytes(),
                attachmentMb);
    std::printf("file: %s, %.1f MB\n", file.c_str(), std::filesystem::file_size(file) / 1e6);
    if (!std::getenv("QUILLMERE_BENCH_KEEP")) std::filesystem::remove(file);  // kept for the checker when set
    return 0;
}
