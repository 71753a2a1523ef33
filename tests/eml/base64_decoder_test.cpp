// Our base64 decoder against GMime's, wrapped as the parser used it before
// (the first '=' ends the data, letters after it are damage, an unpadded
// last group keeps its bytes): the same bytes and the same damage on every
// input, however it is cut into pieces. Then each vector kernel this
// processor runs, forced, against the scalar one.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <gmime/gmime.h>

#include "eml/base64_decoder.h"
#include "eml/gmime_support.h"

namespace fs = std::filesystem;

namespace {

struct Decoded {
    std::vector<uint8_t> bytes;
    bool damaged = false;
    bool operator==(const Decoded&) const = default;
};

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

bool hasLetter(std::string_view text) { return std::any_of(text.begin(), text.end(), isLetter); }

// GMime's step with the leniency around it that the parser gave it.
class GMimeBase64 {
public:
    GMimeBase64() { g_mime_encoding_init_decode(&state_, GMIME_CONTENT_ENCODING_BASE64); }

    size_t step(std::string_view piece, uint8_t* out) {
        if (padded_) {
            damaged_ = damaged_ || hasLetter(piece);
            return 0;
        }
        size_t n = g_mime_encoding_step(&state_, piece.data(), piece.size(), reinterpret_cast<char*>(out));
        if (state_.state < 0) {
            padded_ = true;
            size_t pad = piece.find('=');
            if (pad != std::string_view::npos) damaged_ = damaged_ || hasLetter(piece.substr(pad));
        }
        return n;
    }

    size_t finish(uint8_t* out) {
        if (padded_) return 0;
        if (state_.state == 2) {
            out[0] = static_cast<uint8_t>(state_.save >> 4);
            return 1;
        }
        if (state_.state == 3) {
            out[0] = static_cast<uint8_t>(state_.save >> 10);
            out[1] = static_cast<uint8_t>(state_.save >> 2);
            return 2;
        }
        if (state_.state == 1) damaged_ = true;
        return 0;
    }

    bool damaged() const { return damaged_; }

private:
    GMimeEncoding state_{};
    bool padded_ = false;
    bool damaged_ = false;
};

// `text` decoded in pieces that end at `cuts`.
template <typename Decoder>
Decoded decodeInPieces(std::string_view text, const std::vector<size_t>& cuts) {
    Decoder decoder;
    Decoded out;
    out.bytes.resize(text.size() + 8);
    size_t n = 0, from = 0;
    for (size_t cut : cuts) {
        n += decoder.step(text.substr(from, cut - from), out.bytes.data() + n);
        from = cut;
    }
    n += decoder.step(text.substr(from), out.bytes.data() + n);
    n += decoder.finish(out.bytes.data() + n);
    out.bytes.resize(n);
    out.damaged = decoder.damaged();
    return out;
}

std::vector<size_t> randomCuts(size_t size, std::mt19937& random) {
    std::vector<size_t> cuts;
    if (size == 0) return cuts;
    size_t count = random() % 4;
    for (size_t i = 0; i < count; ++i) cuts.push_back(random() % (size + 1));
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

void expectSameAsGMime(std::string_view text, std::mt19937& random, const std::string& what) {
    std::vector<size_t> cuts = randomCuts(text.size(), random);
    Decoded ours = decodeInPieces<eml::Base64Decoder>(text, cuts);
    Decoded theirs = decodeInPieces<GMimeBase64>(text, cuts);
    ASSERT_EQ(ours.bytes, theirs.bytes) << what << " (" << text.size() << " bytes, " << cuts.size() << " cuts)";
    ASSERT_EQ(ours.damaged, theirs.damaged) << what;
}

std::string encoded(std::string_view data, size_t lineLength, std::string_view lineBreak) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out, line;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t bits = static_cast<uint8_t>(data[i]) << 16;
        if (i + 1 < data.size()) bits |= static_cast<uint8_t>(data[i + 1]) << 8;
        if (i + 2 < data.size()) bits |= static_cast<uint8_t>(data[i + 2]);
        line += letters[bits >> 18 & 63];
        line += letters[bits >> 12 & 63];
        line += i + 1 < data.size() ? letters[bits >> 6 & 63] : '=';
        line += i + 2 < data.size() ? letters[bits & 63] : '=';
        if (line.size() >= lineLength) {
            out += line;
            out += lineBreak;
            line.clear();
        }
    }
    return out + line;
}

std::string randomData(size_t size, std::mt19937& random) {
    std::string data(size, '\0');
    for (auto& c : data) c = static_cast<char>(random());
    return data;
}

// Clean base64 of random data, then damaged the ways mail damages it: bytes
// changed (to padding, line ends, junk or other letters), cut short, or
// bytes dropped and added.
std::string damagedBase64(std::mt19937& random) {
    static const char odd[] = "=\r\n \t-!*.\0\x80\xff";
    std::string text = encoded(randomData(random() % 400, random), 4 * (1 + random() % 20),
                               random() % 2 ? "\r\n" : "\n");
    size_t changes = random() % 6;
    for (size_t i = 0; i < changes && !text.empty(); ++i) {
        size_t at = random() % text.size();
        switch (random() % 5) {
            case 0: text[at] = odd[random() % (sizeof odd - 1)]; break;
            case 1: text[at] = static_cast<char>(random()); break;
            case 2: text.resize(at); break;
            case 3: text.erase(at, 1 + random() % 3); break;
            default: text.insert(at, 1, odd[random() % (sizeof odd - 1)]); break;
        }
    }
    return text;
}

size_t rounds(size_t fast) {
    const char* given = std::getenv("QUILLMERE_DIFFERENTIAL_ROUNDS");
    return given ? std::strtoul(given, nullptr, 10) : fast;
}

class Base64Differential : public ::testing::Test {
protected:
    void SetUp() override { eml::ensureGMime(); }
};

TEST_F(Base64Differential, CleanDataOfEveryLengthAndLineLayout) {
    std::mt19937 random(1);
    for (size_t size = 0; size < 200; ++size)
        for (std::string_view lineBreak : {"\r\n", "\n", ""}) {
            std::string text = encoded(randomData(size, random), 76, lineBreak);
            expectSameAsGMime(text, random, "clean");
            // Without its padding, and with blanks or junk between the lines.
            std::string unpadded = text.substr(0, text.find('='));
            expectSameAsGMime(unpadded, random, "unpadded");
            std::string spaced = text;
            for (size_t at = 10; at < spaced.size(); at += 23) spaced.insert(at, at % 2 ? " " : "\t!");
            expectSameAsGMime(spaced, random, "spaced");
        }
}

TEST_F(Base64Differential, HandPickedDamage) {
    std::mt19937 random(2);
    for (std::string_view text : {"", "=", "==", "Q", "QQ", "QQ=", "QQE", "QQE=", "QQ==", "QUJD=", "QQ==QUJD",
                                  "QQ==\r\n\r\n", "QUJD\r\nQ\r\n", "QU=JD", "Q=", "=QUJD", "QUJDQUJD====",
                                  "QU\nJD\nQU\nJD", "QUJD\r\n--boundary\r\n", "\x80QUJD\xff", "QUJD\0QUJD"}) {
        for (int i = 0; i < 20; ++i) expectSameAsGMime(text, random, std::string(text));
    }
}

TEST_F(Base64Differential, SeededRandomDamage) {
    std::mt19937 random(3);
    for (size_t i = 0, n = rounds(20000); i < n; ++i) {
        std::string text = damagedBase64(random);
        expectSameAsGMime(text, random, "round " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

TEST_F(Base64Differential, LargeCleanDataInBigPieces) {
    std::mt19937 random(4);
    std::string text = encoded(randomData(3u << 20, random), 76, "\r\n");
    std::vector<size_t> cuts;
    for (size_t at = 65536; at < text.size(); at += 65536) cuts.push_back(at);
    EXPECT_EQ(decodeInPieces<eml::Base64Decoder>(text, cuts), decodeInPieces<GMimeBase64>(text, cuts));
}

// Every file of the real-mail corpora read as base64, whole and in pieces:
// real text is every kind of damage at once.
TEST_F(Base64Differential, RealMailFilesReadAsBase64) {
    std::vector<fs::path> folders = {QUILLMERE_EML_CORPUS_DIR, "/usr/lib/python3.11/test/test_email/data",
                                     "/usr/share/gocode/src/github.com/jhillyerd/enmime/testdata"};
    std::mt19937 random(5);
    int files = 0;
    for (const auto& folder : folders) {
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            std::cout << "not found, left out: " << folder << " (scripts/setup.sh installs it)\n";
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            // The body alone too, where most of a file's base64 is.
            size_t body = text.find("\n\n");
            for (int i = 0; i < 3; ++i) {
                expectSameAsGMime(text, random, entry.path().string());
                if (body != std::string::npos) expectSameAsGMime(std::string_view(text).substr(body), random, entry.path().string());
            }
            ++files;
        }
    }
    EXPECT_GT(files, 20);
}

}  // namespace

namespace {

const char* nameOf(eml::Base64Kernel kernel) {
    switch (kernel) {
        case eml::Base64Kernel::scalar: return "scalar";
        case eml::Base64Kernel::avx2: return "avx2";
        case eml::Base64Kernel::avx512vbmi: return "avx512vbmi";
    }
    return "?";
}

constexpr uint8_t kUntouched = 0xA5;

// `text` decoded in pieces by `kernel`; each step must keep within its room
// (the piece's size plus 8 bytes), which the bytes after it witness.
Decoded decodeWithKernel(std::string_view text, const std::vector<size_t>& cuts, eml::Base64Kernel kernel) {
    eml::Base64Decoder decoder(kernel);
    Decoded out;
    std::vector<uint8_t> buffer(text.size() + 8 + 64);
    size_t n = 0, from = 0;
    auto step = [&](std::string_view piece) {
        std::fill(buffer.begin() + static_cast<ptrdiff_t>(n), buffer.end(), kUntouched);
        size_t room = piece.size() + 8;
        size_t got = decoder.step(piece, buffer.data() + n);
        EXPECT_LE(got, piece.size() * 3 / 4 + 3);
        bool kept = std::all_of(buffer.begin() + static_cast<ptrdiff_t>(n + room), buffer.end(),
                                [](uint8_t b) { return b == kUntouched; });
        EXPECT_TRUE(kept) << nameOf(kernel) << " wrote past its room on a piece of " << piece.size() << " bytes";
        n += got;
    };
    for (size_t cut : cuts) {
        step(text.substr(from, cut - from));
        from = cut;
    }
    step(text.substr(from));
    n += decoder.finish(buffer.data() + n);
    buffer.resize(n);
    out.bytes = std::move(buffer);
    out.damaged = decoder.damaged();
    return out;
}

// Up to 24 cuts anywhere: vector windows see pieces of every length.
std::vector<size_t> manyCuts(size_t size, std::mt19937& random) {
    std::vector<size_t> cuts;
    if (size == 0) return cuts;
    size_t count = random() % 25;
    for (size_t i = 0; i < count; ++i) cuts.push_back(random() % (size + 1));
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

class Base64Kernels : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto kernel : eml::Base64Decoder::availableKernels())
            if (kernel != eml::Base64Kernel::scalar) vectors_.push_back(kernel);
        for (auto kernel : {eml::Base64Kernel::avx2, eml::Base64Kernel::avx512vbmi})
            if (std::find(vectors_.begin(), vectors_.end(), kernel) == vectors_.end())
                std::cout << "not run: this processor has no " << nameOf(kernel) << "\n";
        if (vectors_.empty()) GTEST_SKIP() << "this processor runs the scalar kernel only";
    }

    // Every vector kernel gives the scalar kernel's bytes and damage.
    void expectSameAsScalar(std::string_view text, const std::vector<size_t>& cuts, const std::string& what) {
        Decoded scalar = decodeWithKernel(text, cuts, eml::Base64Kernel::scalar);
        for (auto kernel : vectors_) {
            Decoded vector = decodeWithKernel(text, cuts, kernel);
            ASSERT_EQ(vector.bytes, scalar.bytes) << nameOf(kernel) << ", " << what << " (" << text.size()
                                                  << " bytes, " << cuts.size() << " cuts)";
            ASSERT_EQ(vector.damaged, scalar.damaged) << nameOf(kernel) << ", " << what;
        }
    }

    std::vector<eml::Base64Kernel> vectors_;
};

TEST_F(Base64Kernels, ChoosingAKernelThisProcessorLacksIsRefused) {
    auto available = eml::Base64Decoder::availableKernels();
    EXPECT_EQ(available.front(), eml::Base64Kernel::scalar);
    for (auto kernel : {eml::Base64Kernel::avx2, eml::Base64Kernel::avx512vbmi})
        if (std::find(available.begin(), available.end(), kernel) == available.end()) {
            EXPECT_THROW(eml::Base64Decoder{kernel}, std::invalid_argument);
        }
}

// Mail's line layouts, and lines whose length is no multiple of four (a
// group then straddles the break), at every length around the windows.
TEST_F(Base64Kernels, CleanLinesOfEveryLayout) {
    std::mt19937 random(11);
    for (size_t size = 0; size < 400; size += 1 + size / 40)
        for (size_t lineLength : {76, 64, 72, 4, 1000})
            for (std::string_view lineBreak : {"\r\n", "\n", "\r", "\r\r\n", "\n\n"}) {
                std::string text = encoded(randomData(size, random), lineLength, lineBreak);
                expectSameAsScalar(text, {}, "clean");
                expectSameAsScalar(text, manyCuts(text.size(), random), "clean, cut");
                std::string unpadded = text.substr(0, text.find('='));
                expectSameAsScalar(unpadded, manyCuts(unpadded.size(), random), "unpadded");
                std::string odd = encoded(randomData(size, random), 1000, "");
                for (size_t at = 1 + random() % 80; at < odd.size(); at += 1 + random() % 90) odd.insert(at, lineBreak);
                expectSameAsScalar(odd, manyCuts(odd.size(), random), "odd lines");
                if (HasFatalFailure()) return;
            }
}

// Every byte value at every place of three lines of a run of like lines
// (the vector expects the next line to end where the last one did), in
// clean text otherwise.
TEST_F(Base64Kernels, EveryByteAtEveryPlace) {
    std::mt19937 random(12);
    std::string clean = encoded(randomData(57 * 8, random), 76, "\r\n");
    for (int value = 0; value < 256; ++value)
        for (size_t at = 2 * 78 - 3; at < 5 * 78; ++at) {
            std::string text = clean;
            text[at] = static_cast<char>(value);
            expectSameAsScalar(text, {}, "byte " + std::to_string(value) + " at " + std::to_string(at));
            if (HasFatalFailure()) return;
        }
}

// Damage of every kind, in texts long enough for many windows, cut anywhere.
TEST_F(Base64Kernels, SeededRandomDamage) {
    std::mt19937 random(13);
    static const char odd[] = "=\r\n \t-!*.\0\x80\xff\x7f@[`{:";
    for (size_t i = 0, n = rounds(20000) / 4; i < n; ++i) {
        std::string text = encoded(randomData(random() % 3000, random), 4 * (1 + random() % 25),
                                   random() % 2 ? "\r\n" : "\n");
        for (size_t changes = random() % 5; changes > 0 && !text.empty(); --changes) {
            size_t at = random() % text.size();
            switch (random() % 5) {
                case 0: text[at] = odd[random() % (sizeof odd - 1)]; break;
                case 1: text[at] = static_cast<char>(random()); break;
                case 2: text.erase(at, 1 + random() % 3); break;
                case 3: text.insert(at, 1, odd[random() % (sizeof odd - 1)]); break;
                default: text.resize(at); break;
            }
        }
        expectSameAsScalar(text, manyCuts(text.size(), random), "round " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

TEST_F(Base64Kernels, RandomBytes) {
    std::mt19937 random(14);
    for (size_t i = 0; i < 2000; ++i) {
        std::string text = randomData(random() % 600, random);
        expectSameAsScalar(text, manyCuts(text.size(), random), "random bytes");
        if (HasFatalFailure()) return;
    }
}

}  // namespace
