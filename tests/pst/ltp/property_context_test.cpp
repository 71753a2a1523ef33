#include <gtest/gtest.h>

#include "ltp_decoder.h"
#include "pst/ltp/byte_writer.h"
#include "pst/ltp/property_context_builder.h"
#include "pst/value_source.h"

#include <algorithm>
#include <memory>

using namespace pst;
using namespace pst::ltp;
using pst::testing::FakeNdbWriter;

namespace {
struct Written {
    FakeNdbWriter ndb;
    std::map<uint16_t, pst::testing::DecodedProp> props;
};
std::vector<uint8_t> utf16le(std::u16string s) {
    std::vector<uint8_t> out;
    for (char16_t c : s) putU16(out, uint16_t(c));
    return out;
}
}  // namespace

TEST(PropertyContext, FixedVariableAndLargeValues) {
    FakeNdbWriter ndb;
    Subnodes subnodes;
    PropertyContextBuilder pc(ndb, subnodes);
    Bytes big(20000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 13);
    Guid guid{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    pc.set(0x0E070003, int32_t(-2));                      // Int32: inline
    pc.set(0x360A000B, true);                             // Boolean: inline
    pc.set(0x00020002, int32_t(0x1234));                  // Int16: inline
    pc.set(0x30070040, FileTime{0x01D9000011112222ull});  // SysTime: heap
    pc.set(0x0037001F, std::u16string(u"Grüße 日本 \U0001F600"));
    pc.set(0x0E1D001E, std::u16string(u"eight-bit"));    // String8 stored as Unicode
    pc.set(0x1000001F, std::u16string());                 // empty: HNID 0
    pc.set(0x37010102, big);                              // over 3580 bytes: subnode
    pc.set(0x65E00048, guid);
    pc.setObject(0x3701000D, 0x8041, 1234);
    ndb::Bid data = pc.write();
    auto props = pst::testing::decodePc(ndb, data, subnodes.write(ndb));

    EXPECT_EQ(props.at(0x0E07).type, 0x0003);
    EXPECT_EQ(getU32(props.at(0x0E07).bytes.data()), 0xFFFFFFFEu);
    EXPECT_EQ(props.at(0x360A).bytes[0], 1);
    EXPECT_EQ(getU16(props.at(0x0002).bytes.data()), 0x1234);
    EXPECT_EQ(getU64(props.at(0x3007).bytes.data()), 0x01D9000011112222ull);
    EXPECT_EQ(props.at(0x0037).bytes, utf16le(u"Grüße 日本 \U0001F600"));
    EXPECT_EQ(props.at(0x0E1D).type, 0x001F);
    EXPECT_EQ(props.at(0x0E1D).bytes, utf16le(u"eight-bit"));
    EXPECT_TRUE(props.at(0x1000).bytes.empty());
    EXPECT_EQ(props.at(0x3701).type, 0x000D);  // the later object replaced the binary of the same id
    EXPECT_EQ(getU32(props.at(0x3701).bytes.data()), 0x8041u);
    EXPECT_EQ(getU32(props.at(0x3701).bytes.data() + 4), 1234u);
    EXPECT_EQ(props.at(0x65E0).bytes, Bytes(guid.begin(), guid.end()));
}

TEST(PropertyContext, LargeBinaryGoesToASubnodeDataTree) {
    FakeNdbWriter ndb;
    Subnodes subnodes;
    PropertyContextBuilder pc(ndb, subnodes);
    Bytes big(3 * ndb::kMaxBlockPayload + 5, 0x5A);
    pc.set(0x37010102, big);
    pc.set(0x3704001F, std::u16string(3000, u'x'));  // 6000 bytes of text: also too large for the heap
    ndb::Bid data = pc.write();
    ndb::Bid sub = subnodes.write(ndb);
    ASSERT_EQ(ndb.subnodeTrees.at(sub).size(), 2u);
    auto props = pst::testing::decodePc(ndb, data, sub);
    EXPECT_EQ(props.at(0x3701).bytes, big);
    EXPECT_EQ(props.at(0x3704).bytes.size(), 6000u);
}

namespace {
// A value given a few bytes at a time, as a decoder gives it.
class PieceSource final : public ValueSource {
public:
    explicit PieceSource(Bytes bytes) : bytes_(std::move(bytes)) {}
    size_t read(std::span<uint8_t> buffer) override {
        size_t n = std::min({buffer.size(), bytes_.size() - at_, size_t(1000)});
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), n, buffer.begin());
        at_ += n;
        return n;
    }

private:
    Bytes bytes_;
    size_t at_ = 0;
};
}  // namespace

TEST(PropertyContext, StreamedStringsGoToTheHeapOrADataTreeByTheirLength) {
    FakeNdbWriter ndb;
    Subnodes subnodes;
    PropertyContextBuilder pc(ndb, subnodes);
    std::u16string longText;
    while (longText.size() < 3 * ndb::kMaxBlockPayload) longText += u"Grüße 日本 😀\r\n";
    Bytes shortBytes = utf16le(u"short text"), longBytes = utf16le(longText);
    EXPECT_EQ(pc.set(0x1000001F, StreamedBytes(std::make_shared<PieceSource>(shortBytes))), shortBytes.size());
    EXPECT_EQ(pc.set(0x007D001F, StreamedBytes(std::make_shared<PieceSource>(longBytes))), longBytes.size());
    ndb::Bid data = pc.write();
    ndb::Bid sub = subnodes.write(ndb);
    ASSERT_EQ(ndb.subnodeTrees.at(sub).size(), 1u);  // only the long one
    auto props = pst::testing::decodePc(ndb, data, sub);
    EXPECT_EQ(props.at(0x1000).type, 0x001F);
    EXPECT_EQ(props.at(0x1000).bytes, shortBytes);
    EXPECT_EQ(props.at(0x007D).type, 0x001F);
    EXPECT_TRUE(props.at(0x007D).bytes == longBytes);
}

TEST(PropertyContext, MultiValuedLayouts) {
    FakeNdbWriter ndb;
    Subnodes subnodes;
    PropertyContextBuilder pc(ndb, subnodes);
    pc.set(0x8001101F, std::vector<std::u16string>{u"ab", u"", u"c"});
    pc.set(0x80021003, std::vector<int32_t>{1, -1, 7});
    pc.set(0x80031102, std::vector<Bytes>{{1, 2, 3}, {4}});
    auto props = pst::testing::decodePc(ndb, pc.write(), subnodes.write(ndb));

    // ulCount, rgulDataOffsets relative to the value start, then the items.
    auto& mvs = props.at(0x8001).bytes;
    ASSERT_EQ(mvs.size(), 4u + 12 + 6);
    EXPECT_EQ(getU32(&mvs[0]), 3u);
    EXPECT_EQ(getU32(&mvs[4]), 16u);
    EXPECT_EQ(getU32(&mvs[8]), 20u);
    EXPECT_EQ(getU32(&mvs[12]), 20u);
    EXPECT_EQ(mvs[16], 'a');
    EXPECT_EQ(mvs[20], 'c');
    auto& mvi = props.at(0x8002).bytes;  // fixed-size items packed, no count
    ASSERT_EQ(mvi.size(), 12u);
    EXPECT_EQ(getU32(&mvi[4]), 0xFFFFFFFFu);
    auto& mvb = props.at(0x8003).bytes;
    EXPECT_EQ(getU32(&mvb[0]), 2u);
    EXPECT_EQ(mvb.size(), 4u + 8 + 4);
}

TEST(PropertyContext, ValueOfTheWrongTypeIsRejected) {
    FakeNdbWriter ndb;
    Subnodes subnodes;
    PropertyContextBuilder pc(ndb, subnodes);
    EXPECT_THROW(pc.set(0x0037001F, int32_t(3)), std::invalid_argument);
    EXPECT_THROW(pc.set(0x37010102, std::u16string(u"x")), std::invalid_argument);
}

TEST(PropertyContext, ManyPropertiesSpanSeveralHeapPages) {
    FakeNdbWriter ndb;
    Subnodes subnodes;
    PropertyContextBuilder pc(ndb, subnodes);
    for (uint16_t i = 0; i < 600; ++i) pc.set(makeTag(0x8000 + i, PropType::Unicode), std::u16string(40, char16_t(u'a' + i % 26)));
    ndb::Bid data = pc.write();
    EXPECT_GT(ndb.blocks.at(data).size(), 1u);
    auto props = pst::testing::decodePc(ndb, data, subnodes.write(ndb));
    ASSERT_EQ(props.size(), 600u);
    EXPECT_EQ(props.at(0x8000 + 599).bytes[0], 'a' + 599 % 26);
}
