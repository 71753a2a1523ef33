// Base64 decoding throughput of each kernel this processor runs (and of
// GMime's step, for comparison), in GB/s of encoded text, on mail's
// 76-letter CRLF lines and on unbroken text, decoded in 64 KB pieces as the
// parser streams an attachment. Timed in the thread's CPU time, so that a
// machine shared with other work still gives comparable figures.
// Usage: quillmere_bench_base64 [megabytes of text, default 64] [repeats, default 5]

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gmime/gmime.h>

#include "eml/base64_decoder.h"

namespace {

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr size_t kPiece = 64 * 1024;

std::string encoded(size_t textBytes, size_t lineLength) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 random(7);
    std::string out;
    out.reserve(textBytes + textBytes / 38 + 8);
    size_t onLine = 0;
    while (out.size() < textBytes) {
        out += letters[random() % 64];
        if (lineLength && ++onLine == lineLength) {
            out += "\r\n";
            onLine = 0;
        }
    }
    return out;
}

// The best of `repeats` passes, in GB/s of text; `decode(piece, out)` for each piece.
template <typename Decode>
double throughput(const std::string& text, int repeats, Decode&& decode) {
    std::vector<uint8_t> out(kPiece + 8);
    double best = 0;
    for (int r = 0; r < repeats; ++r) {
        size_t made = 0;
        double start = cpuSeconds();
        for (size_t at = 0; at < text.size(); at += kPiece)
            made += decode(std::string_view(text).substr(at, kPiece), out.data());
        double seconds = cpuSeconds() - start;
        if (made == 0) std::printf("?");
        best = std::max(best, text.size() / seconds / 1e9);
    }
    return best;
}

const char* nameOf(eml::Base64Kernel kernel) {
    switch (kernel) {
        case eml::Base64Kernel::scalar: return "scalar (tables)";
        case eml::Base64Kernel::avx2: return "avx2";
        case eml::Base64Kernel::avx512vbmi: return "avx512vbmi";
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    g_mime_init();
    struct Layout {
        const char* name;
        std::string text;
    };
    Layout layouts[] = {{"76-letter CRLF lines", encoded(megabytes << 20, 76)},
                        {"unbroken", encoded(megabytes << 20, 0)}};
    std::printf("base64 decoding, GB/s of text per CPU second (%zu MB, 64 KB pieces, best of %d)\n", megabytes, repeats);
    std::printf("%-22s", "kernel");
    for (const auto& layout : layouts) std::printf("%24s", layout.name);
    std::printf("\n");
    for (auto kernel : eml::Base64Decoder::availableKernels()) {
        std::printf("%-22s", nameOf(kernel));
        for (const auto& layout : layouts) {
            eml::Base64Decoder decoder(kernel);
            std::printf("%24.2f", throughput(layout.text, repeats, [&](std::string_view piece, uint8_t* out) {
                            return decoder.step(piece, out);
                        }));
        }
        std::printf("\n");
    }
    std::printf("%-22s", "GMime's step");
    for (const auto& layout : layouts) {
        GMimeEncoding state;
        g_mime_encoding_init_decode(&state, GMIME_CONTENT_ENCODING_BASE64);
        std::printf("%24.2f", throughput(layout.text, repeats, [&](std::string_view piece, uint8_t* out) {
                        return g_mime_encoding_step(&state, piece.data(), piece.size(), reinterpret_cast<char*>(out));
                    }));
    }
    std::printf("\n");
    return 0;
}
