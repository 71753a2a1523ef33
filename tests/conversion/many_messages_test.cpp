// Many small messages through the headless converter: the converter's peak
// memory grows by little more than the store's indexes need per message, and
// the store holds every message the run counted.

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

#include "child_run.h"
#include "pst/read/pst_reader.h"
#include "source_tree.h"

namespace fs = std::filesystem;

#ifdef QUILLMERE_CONVERTER
namespace {

// Both past what the read-ahead may hold ahead (a bounded amount), so the
// difference is what the messages themselves add.
constexpr int kFew = 10000;
constexpr int kMany = 30000;
// What one more message may add to the converter's peak memory: its file
// name, its index entries in the store and its row id (about 200 bytes),
// and its share of what waits for the next commit, which varies with the
// machine's speed. Holding each message's path, row or account to the end
// took 1,700.
constexpr long kBytesPerMessage = 900;
constexpr long kPeakMemoryLimitKb = 64 * 1024;

void writeMessages(const fs::path& folder, int count) {
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        std::ofstream(folder / ("message " + std::to_string(100000 + i) + ".eml"), std::ios::binary)
            << "From: Ann <ann@example.com>\r\nTo: Bob <bob@example.org>\r\nSubject: Note " << i
            << "\r\nDate: Mon, 2 Mar 2026 10:00:00 +0100\r\nMessage-ID: <" << i
            << "@example.com>\r\n\r\nShort note number " << i << ".\r\n";
    }
}

size_t messagesBelow(pst::read::PstReader& reader, uint32_t folder) {
    size_t n = reader.messageNids(folder).size();
    for (auto& sub : reader.subfolders(folder)) n += messagesBelow(reader, sub.nid);
    return n;
}

class ManyMessagesTest : public ::testing::Test, protected testing_support::SourceTree {
protected:
    ManyMessagesTest() : SourceTree("many-messages") {}
};

}  // namespace

TEST_F(ManyMessagesTest, MemoryDoesNotGrowWithTheMessageCount) {
    testing_support::ChildRun runs[2];
    int counts[2] = {kFew, kMany};
    for (int k = 0; k < 2; ++k) {
        const fs::path cwd = base / std::to_string(counts[k]);
        writeMessages(cwd / "src" / "Example Mail (ann)" / "Inbox", counts[k]);
        fs::create_directories(cwd / "out");
        runs[k] = testing_support::convertInChild(QUILLMERE_CONVERTER, cwd);
        ASSERT_EQ(runs[k].exitCode, 0) << counts[k] << " messages";
        fs::remove_all(cwd / "src");
    }
    const long perMessage = (runs[1].peakKb - runs[0].peakKb) * 1024 / (kMany - kFew);
    std::cout << "converter peak memory: " << runs[0].peakKb / 1024 << " MB for " << kFew << " messages, "
              << runs[1].peakKb / 1024 << " MB for " << kMany << " (" << perMessage << " bytes a message)\n";
    EXPECT_LT(perMessage, kBytesPerMessage);
    EXPECT_LT(runs[1].peakKb, kPeakMemoryLimitKb);

    // What the run counted is what the store holds.
    std::vector<fs::path> stores;
    for (auto& entry : fs::directory_iterator(base / std::to_string(kMany) / "out"))
        if (entry.path().extension() == ".pst") stores.push_back(entry.path());
    ASSERT_EQ(stores.size(), 1u);
    auto reader = pst::read::PstReader::open(stores[0]);
    EXPECT_EQ(messagesBelow(*reader, reader->ipmSubtree().nid), size_t(kMany));
#ifdef QUILLMERE_PSTCHECK
    EXPECT_EQ(std::system(("'" QUILLMERE_PSTCHECK "' --strict '" + stores[0].string() + "' >/dev/null 2>&1").c_str()), 0);
#endif
}
#endif
