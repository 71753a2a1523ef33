// The read-ahead must answer every read exactly as the reader would, whatever
// order the reads come in, and stay within its limits.

#include "conversion/read_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <stdexcept>

using conversion::ReadAhead;
namespace fs = std::filesystem;

namespace {

struct CountingReader {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    ReadAhead::Reader reader() const {
        return [calls = calls](const fs::path& file) {
            ++*calls;
            if (file.filename() == "bad.eml") throw std::runtime_error("cannot read " + file.string());
            pst::MessageContent content;
            content.props.push_back({0x0037001F, file.u16string()});  // the subject names the file
            return content;
        };
    }
};

std::u16string subjectOf(const pst::MessageContent& content) { return std::get<std::u16string>(content.props.at(0).value); }

std::vector<fs::path> files(int n) {
    std::vector<fs::path> out;
    for (int i = 0; i < n; ++i) out.push_back("/mail/" + std::to_string(i) + ".eml");
    return out;
}

quillmere::PathList listOf(const std::vector<fs::path>& files) {
    quillmere::PathList list;
    for (const auto& f : files) list.push_back(f.u16string());
    return list;
}

}  // namespace

TEST(ReadAhead, ExpectedFilesReadInOrderComeFromTheReadAheadWithinItsLimits) {
    CountingReader counting;
    ReadAhead ahead(counting.reader(), {4, 1u << 30});
    auto list = files(50);
    ahead.expect(listOf(list));
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(subjectOf(ahead.read(list[i]).content), list[i].u16string());
        // Never more than the limit waiting, plus the one being read.
        EXPECT_LE(*counting.calls - (i + 1), 4 + 1);
    }
    EXPECT_EQ(ahead.readAheadHits(), 50u);
    EXPECT_EQ(*counting.calls, 50);
}

// A caller waits for a few results at once and the worker refills once half
// is taken: with a slow reader, limits below, at and above that batch and
// lists that end inside it, every read is still answered, in order.
TEST(ReadAhead, BatchedWakingNeverLeavesASideWaitingForever) {
    for (size_t limit : {size_t(1), size_t(2), size_t(3), size_t(8), size_t(9), size_t(512)}) {
        for (int count : {1, 5, 8, 13}) {
            auto calls = std::make_shared<std::atomic<int>>(0);
            ReadAhead::Reader slow = [calls](const fs::path& file) {
                ++*calls;
                std::this_thread::sleep_for(std::chrono::microseconds(300));
                pst::MessageContent content;
                content.props.push_back({0x0037001F, file.u16string()});
                return conversion::ReadMessage(std::move(content));
            };
            ReadAhead ahead(slow, {limit, 1u << 30});
            auto list = files(count);
            ahead.expect(listOf(list));
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(subjectOf(ahead.read(list[i]).content), list[i].u16string()) << limit << " " << count;
            EXPECT_EQ(ahead.readAheadHits(), static_cast<size_t>(count));
            EXPECT_EQ(*calls, count);
        }
    }
    // A byte limit reached by fewer messages than a batch ends the wait too.
    ReadAhead::Reader heavy = [](const fs::path& file) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        pst::MessageContent content;
        content.props.push_back({0x0037001F, file.u16string()});
        content.props.push_back({0x10000102, pst::Bytes(1u << 20)});
        return conversion::ReadMessage(std::move(content));
    };
    ReadAhead ahead(heavy, {512, 3u << 20});
    auto list = files(20);
    ahead.expect(listOf(list));
    for (auto& file : list) ASSERT_EQ(subjectOf(ahead.read(file).content), file.u16string());
}

// A message holding a large attachment is handed over as soon as it is
// read: the store's thread starts on it while the next ones are parsed,
// rather than waiting for a batch of them.
TEST(ReadAhead, AMessageWithALargeAttachmentIsHandedOverWithoutWaitingForTheNext) {
    auto firstTaken = std::make_shared<std::atomic<bool>>(false);
    auto takenBeforeSecondWasRead = std::make_shared<std::atomic<bool>>(false);
    ReadAhead::Reader reader = [=](const fs::path& file) {
        if (file.filename() != "0.eml") {
            // Waits for the first to be taken, long enough to be sure it is
            // not coming; a caller waiting for this one would then go on.
            for (int i = 0; i < 1000 && !*firstTaken; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (file.filename() == "1.eml") *takenBeforeSecondWasRead = firstTaken->load();
        }
        pst::MessageContent content;
        content.props.push_back({0x0037001F, file.u16string()});
        content.props.push_back({0x37010102, pst::Bytes(1u << 20)});
        return conversion::ReadMessage(std::move(content));
    };
    ReadAhead ahead(reader);
    auto list = files(4);
    ahead.expect(listOf(list));
    EXPECT_EQ(subjectOf(ahead.read(list[0]).content), list[0].u16string());
    *firstTaken = true;
    for (int i = 1; i < 4; ++i) EXPECT_EQ(subjectOf(ahead.read(list[i]).content), list[i].u16string());
    EXPECT_TRUE(*takenBeforeSecondWasRead);
}

TEST(ReadAhead, SkippedUnexpectedRepeatedAndFailingFilesGiveWhatTheReaderGives) {
    CountingReader counting;
    ReadAhead ahead(counting.reader());
    std::vector<fs::path> list = {"/m/a.eml", "/m/bad.eml", "/m/b.eml", "/m/a.eml", "/m/c.eml", "/m/d.eml"};
    ahead.expect(listOf(list));
    EXPECT_EQ(subjectOf(ahead.read("/m/a.eml").content), u"/m/a.eml");
    EXPECT_THROW(ahead.read("/m/bad.eml"), std::runtime_error);
    // b.eml never asked for (its row failed before the import); a.eml listed twice.
    EXPECT_EQ(subjectOf(ahead.read("/m/a.eml").content), u"/m/a.eml");
    EXPECT_EQ(subjectOf(ahead.read("/m/other.eml").content), u"/m/other.eml");
    EXPECT_EQ(subjectOf(ahead.read("/m/c.eml").content), u"/m/c.eml");
    EXPECT_EQ(ahead.readAheadHits(), 4u);
    // Past the list, and after the list is withdrawn, files are read when asked.
    ahead.expect({});
    EXPECT_EQ(subjectOf(ahead.read("/m/d.eml").content), u"/m/d.eml");
    EXPECT_EQ(ahead.readAheadHits(), 4u);
}

TEST(ReadAhead, ANewListReplacesTheOldAndDestructionDoesNotWaitForReads) {
    CountingReader counting;
    auto ahead = std::make_unique<ReadAhead>(counting.reader(), ReadAhead::Limits{2, 1u << 30});
    ahead->expect(listOf(files(100)));
    std::vector<fs::path> second = {"/n/x.eml", "/n/y.eml"};
    ahead->expect(listOf(second));
    EXPECT_EQ(subjectOf(ahead->read("/n/x.eml").content), u"/n/x.eml");
    EXPECT_EQ(subjectOf(ahead->read("/n/y.eml").content), u"/n/y.eml");
    ahead->expect(listOf(files(100)));  // the worker fills its two places and waits
    ahead.reset();
    EXPECT_LT(*counting.calls, 100);
}

TEST(ReadAhead, AReadThatSkipsAheadIsAnsweredWhileTheReadAheadIsFull) {
    CountingReader counting;
    ReadAhead ahead(counting.reader(), {1, 1u << 30});
    auto list = files(4);
    ahead.expect(listOf(list));
    // The first file is read ahead and fills the only place; the second is asked for first.
    EXPECT_EQ(subjectOf(ahead.read(list[1]).content), list[1].u16string());
    EXPECT_EQ(subjectOf(ahead.read(list[3]).content), list[3].u16string());
    EXPECT_EQ(ahead.readAheadHits(), 2u);
}

namespace {

// A streamed value: its bytes stay where they are until the store reads them
// (in the file, or encoded in memory).
class EndlessSource : public pst::ValueSource {
public:
    explicit EndlessSource(uint64_t held = 0) : held_(held) {}
    size_t read(std::span<uint8_t>) override { return 0; }
    uint64_t heldInMemory() const override { return held_; }

private:
    uint64_t held_;
};

}  // namespace

TEST(ReadAhead, TheByteLimitCountsWhatMessagesHoldInMemoryNotWhatTheyStream) {
    enum class Kind { bytes, streamedFromFile, streamedFromMemory };
    for (Kind kind : {Kind::bytes, Kind::streamedFromFile, Kind::streamedFromMemory}) {
        const bool streamed = kind == Kind::streamedFromFile;
        auto calls = std::make_shared<std::atomic<int>>(0);
        ReadAhead::Reader reader = [calls, kind](const fs::path& file) {
            ++*calls;
            pst::AttachmentContent attachment;
            if (kind == Kind::bytes)
                attachment.props.push_back({0x37010102, pst::Bytes(3u << 20)});
            else
                attachment.props.push_back({0x37010102, pst::StreamedBytes(std::make_shared<EndlessSource>(
                                                            kind == Kind::streamedFromMemory ? 3u << 20 : 0))});
            pst::MessageContent content;
            content.props.push_back({0x0037001F, file.u16string()});
            content.attachments.push_back(std::move(attachment));
            return conversion::ReadMessage(std::move(content));
        };
        EXPECT_GE(conversion::heldBytes(reader("/m/x.eml").content), streamed ? 0u : 3u << 20);
        *calls = 0;
        ReadAhead ahead(reader, {8, 4u << 20});
        auto list = files(20);
        ahead.expect(listOf(list));
        EXPECT_EQ(subjectOf(ahead.read(list[0]).content), list[0].u16string());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the worker fills what it may
        // 3 MB held each (as bytes, or encoded in memory): two fit under 4 MB (the second passes it),
        // three read in all when the first was taken before the second came, else two;
        // streamed from a file, they only count their buffers, so the message count stops them (the
        // worker refills once half is taken: 8 or 9 were read).
        if (streamed) {
            EXPECT_GE(*calls, 8);
            EXPECT_LE(*calls, 1 + 8);
        } else {
            EXPECT_GE(*calls, 2);
            EXPECT_LE(*calls, 1 + 2);
        }
    }
}
