// Damaged or foreign files: the reader reports them, never crashes.

#include "pst/read/pst_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <unistd.h>

#include "sample_files.h"

namespace fs = std::filesystem;
using namespace pst::read;

namespace {

fs::path scratchDir() { return fs::temp_directory_path() / ("quillmere-read-test-" + std::to_string(::getpid())); }

fs::path scratch(const std::string& name) {
    fs::create_directories(scratchDir());
    return scratchDir() / name;
}

// Removes the scratch folder when the test ends.
struct ScratchCleanup {
    ~ScratchCleanup() {
        std::error_code ec;
        fs::remove_all(scratchDir(), ec);
    }
};

std::vector<char> load(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void save(const fs::path& p, const std::vector<char>& bytes) {
    std::ofstream(p, std::ios::binary).write(bytes.data(), bytes.size());
}

// Reads everything there is to read; returns the first error.
std::string readAll(const fs::path& p) {
    try {
        auto r = PstReader::open(p);
        std::function<void(uint32_t)> walk = [&](uint32_t nid) {
            for (auto m : r->messageNids(nid)) r->readMessage(m);
            for (auto& f : r->subfolders(nid)) walk(f.nid);
        };
        walk(r->root().nid);
        return {};
    } catch (const ReadError& e) {
        return e.what();
    }
}

}  // namespace

TEST(ReaderOnDamagedFiles, MissingForeignAndTruncatedFilesRaiseReadError) {
    ScratchCleanup cleanup;
    EXPECT_THROW(PstReader::open(scratch("does-not-exist.pst")), ReadError);
    save(scratch("text.pst"), std::vector<char>(2000, 'x'));
    EXPECT_THROW(PstReader::open(scratch("text.pst")), ReadError);
    save(scratch("empty.pst"), {});
    EXPECT_THROW(PstReader::open(scratch("empty.pst")), ReadError);

    REQUIRE_SAMPLE("sample1.pst");
    auto bytes = load(test_samples::path("sample1.pst"));
    bytes.resize(0x4400);
    save(scratch("truncated.pst"), bytes);
    EXPECT_NE(readAll(scratch("truncated.pst")), "");
}

TEST(ReaderOnDamagedFiles, AFlippedByteAnywhereIsReportedOrHarmless) {
    ScratchCleanup cleanup;
    REQUIRE_SAMPLE("sample1.pst");
    auto original = load(test_samples::path("sample1.pst"));
    ASSERT_EQ(readAll(test_samples::path("sample1.pst")), "");
    // Every 2 KiB of the file in turn: never a crash or a hang, and damage to
    // the B-tree root pages is always noticed.
    size_t reported = 0, probes = 0;
    for (size_t off = 0x4400; off < original.size(); off += 2048 + 13) {
        auto bytes = original;
        bytes[off] ^= 0x5A;
        save(scratch("flipped.pst"), bytes);
        if (!readAll(scratch("flipped.pst")).empty()) ++reported;
        ++probes;
    }
    EXPECT_GT(reported, 0u);
    EXPECT_LE(reported, probes);
}
