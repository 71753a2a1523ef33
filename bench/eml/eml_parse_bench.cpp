// Parse throughput of the message parser, in MB/s and messages per second,
// over the test corpus scaled up to at least 200 MB:
//   1. the corpus messages themselves, repeated (small text mail);
//   2. a mailbox-like mix: the corpus plus copies carrying base64
//      attachments of 64 KB to 2 MB, as real stores hold them.
// Usage: quillmere_bench_eml [corpus-dir] [megabytes] [small|mixed|both]

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "eml/eml_parser.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> loadCorpus(const std::filesystem::path& dir) {
    std::vector<std::string> messages;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".eml") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            eml::parseMessage(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
            messages.push_back(std::move(bytes));
        } catch (const eml::ParseError&) {
            // files that are no message are not part of the throughput
        }
    }
    return messages;
}

std::string base64Lines(size_t rawBytes, std::mt19937& rng) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t chars = (rawBytes + 2) / 3 * 4;
    std::string out;
    out.reserve(chars + chars / 76 * 2 + 2);
    for (size_t i = 0; i < chars; ++i) {
        out.push_back(alphabet[rng() & 63]);
        if (i % 76 == 75) out += "\r\n";
    }
    out += "\r\n";
    return out;
}

std::string withAttachment(const std::string& base, size_t attachmentBytes, std::mt19937& rng) {
    return "From: Ann Example <ann@example.org>\r\nTo: Bob <bob@example.com>\r\nSubject: Files\r\n"
           "Date: Tue, 1 Dec 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"bench\"\r\n\r\n--bench\r\n"
           "Content-Type: message/rfc822\r\n\r\n" + base + "\r\n--bench\r\n"
           "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"data.bin\"\r\n\r\n" +
           base64Lines(attachmentBytes, rng) + "--bench--\r\n";
}

void run(const char* label, const std::vector<std::string>& messages, double targetMegabytes) {
    size_t bytes = 0, count = 0;
    auto start = Clock::now();
    while (bytes < targetMegabytes * 1e6) {
        for (const auto& m : messages) {
            auto result = eml::parseMessage(std::span(reinterpret_cast<const uint8_t*>(m.data()), m.size()));
            bytes += m.size();
            ++count;
            if (result.message.props.empty()) std::printf("?");
        }
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-28s %8.1f MB in %6.2f s: %8.1f MB/s, %9.0f messages/s (%zu messages)\n", label, bytes / 1e6,
                seconds, bytes / 1e6 / seconds, count / seconds, count);
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path dir = argc > 1 ? argv[1] : QUILLMERE_EML_CORPUS_DIR;
    double megabytes = argc > 2 ? std::atof(argv[2]) : 200;
    auto corpus = loadCorpus(dir);
    if (corpus.empty()) {
        std::fprintf(stderr, "no messages in %s\n", dir.string().c_str());
        return 1;
    }
    std::mt19937 rng(42);
    std::vector<std::string> mailbox = corpus;
    const size_t sizes[] = {64 << 10, 200 << 10, 500 << 10, 1 << 20, 2 << 20};
    for (size_t i = 0; i < corpus.size(); ++i) mailbox.push_back(withAttachment(corpus[i], sizes[i % 5], rng));

    std::printf("message parser throughput (target: 150 MB/s)\n");
    std::string which = argc > 3 ? argv[3] : "both";
    if (which != "mixed") run("corpus as written", corpus, megabytes);
    if (which != "small") run("corpus with attachments", mailbox, megabytes);
    return 0;
}
