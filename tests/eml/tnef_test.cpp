// winmail.dat and the compressed RTF in it, read as Outlook reads them.

#include <gtest/gtest.h>

#include "eml/rtf_compressed.h"
#include "eml/rtf_text.h"
#include "eml_test_support.h"
#include "winmail_messages.h"

namespace eml::test {
namespace {

using namespace pst::tags;

std::span<const uint8_t> asBytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

const pst::AttachmentContent* attachmentNamed(const pst::MessageContent& m, const std::string& name) {
    for (const auto& a : m.attachments)
        if (text(a, PR_ATTACH_LONG_FILENAME_W) == name || text(a, PR_DISPLAY_NAME_W) == name) return &a;
    return nullptr;
}

TEST(CompressedRtf, DecodesTheSpecificationsExample) {
    // [MS-OXRTFCP] 3.1.1.1: the compressed form of a short RTF document; the
    // dictionary is preloaded (2.1.2.1) and the CRC starts at 0 (2.1.3.2).
    const std::vector<uint8_t> example = {
        0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xf1, 0xc5, 0xc7, 0xa7,
        0x03, 0x00, 0x0a, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32, 0x35, 0x42, 0x32, 0x0a, 0xf3, 0x20,
        0x68, 0x65, 0x6c, 0x09, 0x00, 0x20, 0x62, 0x77, 0x05, 0xb0, 0x6c, 0x64, 0x7d, 0x0a, 0x80, 0x0f, 0xa0};
    EXPECT_EQ(decompressRtf(example), std::optional<std::string>("{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n"));
}

TEST(CompressedRtf, RoundTripsAndRejectsDamage) {
    std::string rtf = outlookHtmlRtf();
    std::string packed = compressRtf(rtf);
    EXPECT_LT(packed.size(), rtf.size());
    EXPECT_EQ(decompressRtf(asBytes(packed)), rtf);

    // [MS-OXRTFCP] 2.1.3.1.1: "MELA" holds the RTF as it is.
    std::string stored;
    TnefStream::u32(stored, 12 + 5);
    TnefStream::u32(stored, 5);
    TnefStream::u32(stored, 0x414C454D);
    TnefStream::u32(stored, 0);
    EXPECT_EQ(decompressRtf(asBytes(stored + "{\\rtf")), std::string("{\\rtf"));

    std::string flipped = packed;
    flipped[20] ^= 0x40;  // the CRC no longer matches (2.1.3.2)
    EXPECT_EQ(decompressRtf(asBytes(flipped)), std::nullopt);
    EXPECT_EQ(decompressRtf(asBytes(packed.substr(0, 10))), std::nullopt);
    std::string wrongType = packed;
    wrongType[8] = 'X';
    EXPECT_EQ(decompressRtf(asBytes(wrongType)), std::nullopt);
}

TEST(RtfText, TakesTheHtmlOutOfItsWrapping) {
    // [MS-OXRTFEX] 2.3: htmltag groups are copied, \htmlrtf regions are not,
    // \'xx bytes are read in \ansicpg, \uN is one character.
    auto content = readRtf(outlookHtmlRtf());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->kind, RtfContent::Kind::Html);
    std::string html = utf16ToUtf8(content->text);
    EXPECT_EQ(html.find("INCLUDEPICTURE"), std::string::npos) << html;
    EXPECT_NE(html.find("<p>Grüße, the figures for €2 million are attached.</p>"), std::string::npos) << html;
    EXPECT_NE(html.find("<img src=\"cid:image001.png@01DC1234.5678\">"), std::string::npos) << html;
    EXPECT_EQ(html.rfind("<html>", 0), 0u) << html;
}

TEST(RtfText, ReadsTextAndRichBodies) {
    auto text = readRtf("{\\rtf1\\ansi\\fromtext {\\fonttbl{\\f0 Courier;}}\\f0 line one\\par line \\{two\\}\\tab end}");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->kind, RtfContent::Kind::Text);
    EXPECT_EQ(utf16ToUtf8(text->text), "line one\r\nline {two}\tend");

    auto rich = readRtf("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}{\\*\\generator Word;}"
                        "\\f0\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 {\\b bold}\\par}");
    ASSERT_TRUE(rich);
    EXPECT_EQ(rich->kind, RtfContent::Kind::Rich);
    EXPECT_EQ(utf16ToUtf8(rich->text), "Привет bold\r\n");

    EXPECT_FALSE(readRtf("plain words"));
}

TEST(Winmail, BecomesTheMessageOutlookSent) {
    auto result = parseText(outlookWinmailMessage());
    const auto& m = result.message;
    // [MS-OXTNEF] 2.1.3.3.5: attMessageClass; the legacy name means IPM.Note.
    EXPECT_EQ(text(m, PR_MESSAGE_CLASS_W), "IPM.Note");
    // [MS-OXCMAIL] 2.2.3.1.3 and "Sent Time": From and Date of the MIME
    // headers win over what winmail.dat says.
    EXPECT_EQ(text(m, PR_SENDER_NAME_W), "Anna Berg");
    EXPECT_EQ(text(m, PR_SENDER_ADDRTYPE_W), "SMTP");
    EXPECT_EQ(unixTime(m, PR_CLIENT_SUBMIT_TIME), 1772525700);
    // [MS-OXTNEF] 2.1.3: the encapsulated properties win over the MIME ones.
    EXPECT_EQ(integer(m, PR_IMPORTANCE), IMPORTANCE_HIGH);
    EXPECT_EQ(integer(m, PR_MESSAGE_FLAGS), MSGFLAG_READ);  // the store adds has-attachment

    // [MS-OXRTFEX] 2.3: the HTML the compressed RTF (PidTagRtfCompressed,
    // [MS-OXCMSG] 2.2.1.58.4) wraps is the body.
    auto html = prop<pst::Bytes>(m.props, PR_HTML);
    ASSERT_TRUE(html);
    std::string htmlText = bytesAsString(*html);
    EXPECT_NE(htmlText.find("Grüße, the figures for €2 million"), std::string::npos) << htmlText;
    EXPECT_NE(htmlText.find("charset=\"utf-8\""), std::string::npos) << htmlText;
    EXPECT_EQ(integer(m, PR_NATIVE_BODY_INFO), BODY_HTML);
    EXPECT_NE(text(m, PR_BODY_W).find("Grüße, the figures"), std::string::npos);
    EXPECT_FALSE(m.find(pst::makeTag(0x1009, pst::PropType::Binary)));

    // Named properties travel with their set and id or name ([MS-OXTNEF] 2.1.3.4).
    auto* account = m.findNamed(pst::NamedPropertyName::byLid(pst::format::PSETID_Common, 0x8580));
    ASSERT_TRUE(account);
    EXPECT_EQ(std::get<std::u16string>(*account), u"Work account");
    auto* keywords = m.findNamed(pst::NamedPropertyName::byName(pst::format::PS_PUBLIC_STRINGS, u"Keywords"));
    ASSERT_TRUE(keywords);
    EXPECT_EQ(std::get<std::vector<std::u16string>>(*keywords), std::vector<std::u16string>{u"Finance"});

    // Its attachments are the message's; winmail.dat itself is gone.
    ASSERT_EQ(m.attachments.size(), 3u);
    EXPECT_FALSE(attachmentNamed(m, "winmail.dat"));
    auto* sheet = attachmentNamed(m, "Quarterly figures 2026.xlsx");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(text(*sheet, PR_ATTACH_FILENAME_W), "QUARTE~1.XLS");
    EXPECT_EQ(bytesAsString(*prop<pst::Bytes>(sheet->props, PR_ATTACH_DATA_BIN)), std::string("PK\x03\x04 spreadsheet bytes"));
    EXPECT_FALSE(prop<int32_t>(sheet->props, pst::makeTag(0x0E21, pst::PropType::Int32)));
    EXPECT_EQ(prop<bool>(sheet->props, PR_ATTACHMENT_HIDDEN), false);
    auto* picture = attachmentNamed(m, "image001.png");
    ASSERT_TRUE(picture);
    EXPECT_EQ(prop<bool>(picture->props, PR_ATTACHMENT_HIDDEN), true);
    EXPECT_EQ(prop<int32_t>(picture->props, PR_ATTACH_FLAGS), ATT_MHTML_REF);

    auto* item = attachmentNamed(m, "Minutes of the board meeting");
    ASSERT_TRUE(item);
    EXPECT_EQ(integer(*item, PR_ATTACH_METHOD), ATTACH_EMBEDDED_MSG);
    ASSERT_TRUE(item->embedded);
    EXPECT_EQ(text(*item->embedded, PR_SUBJECT_W), "Minutes of the board meeting");
    EXPECT_EQ(text(*item->embedded, PR_BODY_W), "Present: all.\r\n");
    EXPECT_EQ(text(*item->embedded, PR_MESSAGE_CLASS_W), "IPM.Note");
}

TEST(Winmail, ExchangeMeetingRequestKeepsItsClassAndNamedProperties) {
    // Exchange sends meeting requests between its users as TNEF: the legacy
    // class name ([MS-OXTNEF] 2.1.3.3.5) and the meeting's named properties
    // in attMsgProps (2.1.3.4); the MIME Reply-To wins ([MS-OXCMAIL] 2.2.3.1.6).
    TnefStream tnef;
    tnef.text(TnefStream::kMessage, TnefStream::attMessageClass, "IPM.Microsoft Schedule.MtgReq");
    TnefProps props;
    props.unicode(0x0037001F, u"Planning")
        .unicode(0x0050001F, u"Someone Else")  // PR_REPLY_RECIPIENT_NAMES
        .named(pst::format::PSETID_Appointment, 0x820D)
        .time(0x80000040, 134000000000000000ULL)
        .named(pst::format::PSETID_Appointment, 0x8208)
        .unicode(0x8001001F, u"Room 1")
        .named(pst::format::PSETID_Appointment, 0x8215)
        .boolean(0x8002000B, true);
    tnef.attribute(TnefStream::kMessage, TnefStream::attMsgProps, props.bytes());
    std::string message = outlookWinmailMessage(tnef.bytes());
    message.insert(message.find("Subject:"), "Reply-To: \"Anna Berg\" <anna.berg@example.com>\r\n");
    auto m = parseText(message).message;
    EXPECT_EQ(text(m, PR_MESSAGE_CLASS_W), "IPM.Schedule.Meeting.Request");
    EXPECT_EQ(text(m, PR_REPLY_RECIPIENT_NAMES_W), "Anna Berg");
    using pst::NamedPropertyName;
    auto* start = m.findNamed(NamedPropertyName::byLid(pst::format::PSETID_Appointment, 0x820D));
    ASSERT_TRUE(start);
    EXPECT_EQ(std::get<pst::FileTime>(*start).value, 134000000000000000ULL);
    auto* location = m.findNamed(NamedPropertyName::byLid(pst::format::PSETID_Appointment, 0x8208));
    ASSERT_TRUE(location);
    EXPECT_EQ(std::get<std::u16string>(*location), u"Room 1");
    auto* allDay = m.findNamed(NamedPropertyName::byLid(pst::format::PSETID_Appointment, 0x8215));
    ASSERT_TRUE(allDay);
    EXPECT_EQ(std::get<bool>(*allDay), true);
    // Without a body in winmail.dat, the MIME text stays the body.
    EXPECT_EQ(text(m, PR_BODY_W), "Grusse, the figures are attached.\r\n");
}

TEST(Winmail, DamagedStreamStaysAnAttachmentWithAWarning) {
    std::string winmail = outlookWinmailDat();
    for (size_t cut : {size_t(3), size_t(40), winmail.size() / 2, winmail.size() - 1}) {
        SCOPED_TRACE(cut);
        auto result = parseText(outlookWinmailMessage(winmail.substr(0, cut)));
        ASSERT_EQ(result.message.attachments.size(), 1u);
        EXPECT_EQ(text(result.message.attachments[0], PR_ATTACH_LONG_FILENAME_W), "winmail.dat");
        EXPECT_EQ(bytesAsString(*prop<pst::Bytes>(result.message.attachments[0].props, PR_ATTACH_DATA_BIN)),
                  winmail.substr(0, cut));
        EXPECT_EQ(text(result.message, PR_BODY_W), "Grusse, the figures are attached.\r\n");
        if (cut >= 6) {
            bool warned = false;
            for (const auto& w : result.warnings) warned |= w.find("winmail.dat") != std::string::npos;
            EXPECT_TRUE(warned);
        }
    }
}

TEST(Winmail, UnknownAttachmentObjectAndLegacyOnlyStream) {
    // Only legacy attributes: subject, class and an 8-bit body in the OEM
    // code page ([MS-OXTNEF] 2.1.3.3.1, 2.1.3.3.5).
    TnefStream tnef;
    tnef.text(TnefStream::kMessage, TnefStream::attMessageClass, "IPM.Note");
    tnef.text(TnefStream::kMessage, TnefStream::attSubject, "Caf\xe9");
    tnef.attribute(TnefStream::kMessage, TnefStream::attBody, "Caf\xe9 au lait\n");
    // An attachment whose object is an OLE storage: kept as a file.
    std::string rend(14, '\0');
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachRendData, rend);
    TnefProps ole;
    pst::Guid storage{0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    ole.int32(0x37050003, 6).object(0x3701000D, storage, "OLE bytes");
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachment, ole.bytes());
    auto result = parseText(outlookWinmailMessage(tnef.bytes()));
    const auto& m = result.message;
    EXPECT_EQ(text(m, PR_BODY_W), "Café au lait\r\n");
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(integer(m.attachments[0], PR_ATTACH_METHOD), ATTACH_BY_VALUE);
    EXPECT_EQ(bytesAsString(*prop<pst::Bytes>(m.attachments[0].props, PR_ATTACH_DATA_BIN)), "OLE bytes");
    EXPECT_EQ(text(m.attachments[0], PR_ATTACH_LONG_FILENAME_W), "ATT00001.dat");
}

}  // namespace
}  // namespace eml::test
