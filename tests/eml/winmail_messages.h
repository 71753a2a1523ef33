#pragma once
// An Outlook message as it leaves Outlook with "rich text" on: a
// multipart/mixed with a plain rendering and winmail.dat, whose compressed
// RTF wraps the HTML, with a spreadsheet, an inline picture and an attached
// message. Shared by the parser's and the store's tests.

#include <string>

#include "eml/rtf_compressed.h"
#include "pst/format/property_sets.h"
#include "tnef_stream_writer.h"

namespace eml::test {

inline std::string base64Lines(const std::string& data) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t column = 0;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t n = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) n |= static_cast<unsigned char>(data[i + 1]) << 8;
        if (i + 2 < data.size()) n |= static_cast<unsigned char>(data[i + 2]);
        out.push_back(alphabet[(n >> 18) & 63]);
        out.push_back(alphabet[(n >> 12) & 63]);
        out.push_back(i + 1 < data.size() ? alphabet[(n >> 6) & 63] : '=');
        out.push_back(i + 2 < data.size() ? alphabet[n & 63] : '=');
        if ((column += 4) >= 76) {
            out += "\r\n";
            column = 0;
        }
    }
    return out + "\r\n";
}

// The HTML as Outlook wraps it ([MS-OXRTFEX] 2.1.3: \fromhtml1, HTML in
// \*\htmltag groups, RTF-only text between \htmlrtf and \htmlrtf0).
inline std::string outlookHtmlRtf() {
    return "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\fbidis \\deff0{\\fonttbl\r\n"
           "{\\f0\\fswiss\\fcharset0 Arial;}\r\n{\\f1\\fmodern Courier New;}}\r\n"
           "{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
           "\\uc1\\pard\\plain\\deftab360 \\f0\\fs24 \r\n"
           "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head>}{\\*\\htmltag161 <meta charset=\"windows-1252\">}"
           "{\\*\\htmltag41 </head>}\r\n{\\*\\htmltag50 <body>}\\htmlrtf {\\htmlrtf0 \r\n"
           "{\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 Gr\\'fc\\'dfe, the figures for \\u8364?2 million are "
           "attached.\\htmlrtf\\par}\\htmlrtf0\r\n{\\*\\htmltag72 </p>}\r\n"
           "{\\*\\htmltag84 <img src=\"cid:image001.png@01DC1234.5678\">}\\htmlrtf {\\field{\\*\\fldinst "
           "INCLUDEPICTURE}}\\htmlrtf0\r\n{\\*\\htmltag58 </body>}}{\\*\\htmltag27 </html>}}\r\n";
}

inline const pst::Guid kIidMessage = {0x07, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

inline std::string attachedMinutesStream() {
    TnefStream inner;
    inner.text(TnefStream::kMessage, TnefStream::attMessageClass, "IPM.Note");
    TnefProps props;
    props.unicode(0x0037001F, u"Minutes of the board meeting").unicode(0x1000001F, u"Present: all.\r\n");
    inner.attribute(TnefStream::kMessage, TnefStream::attMsgProps, props.bytes());
    return inner.bytes();
}

inline std::string outlookWinmailDat() {
    TnefStream tnef;
    tnef.text(TnefStream::kMessage, TnefStream::attMessageClass, "IPM.Microsoft Mail.Note");
    tnef.text(TnefStream::kMessage, TnefStream::attSubject, "Quarterly figures");
    tnef.date(TnefStream::attDateSent, 2026, 3, 3, 8, 14, 59);
    TnefProps props;
    props.unicode(0x0037001F, u"Quarterly figures")
        .unicode(0x0C1A001F, u"Berg, Anna (Exchange)")  // the MIME From wins
        .unicode(0x0C1E001F, u"EX")
        .int32(0x00170003, 2)                            // PR_IMPORTANCE high
        .int32(0x0E070003, 0x0009)                       // flags from the sender's store
        .binary(0x10090102, compressRtf(outlookHtmlRtf()))
        .boolean(0x0E1F000B, true)                       // PR_RTF_IN_SYNC
        .named(pst::format::PSETID_Common, 0x8580)
        .unicode(0x8000001F, u"Work account")            // PidLidInternetAccountName
        .named(pst::format::PS_PUBLIC_STRINGS, u"Keywords")
        .unicode(0x8001101F, u"Finance");                // one value of a multi-valued string
    tnef.attribute(TnefStream::kMessage, TnefStream::attMsgProps, props.bytes());

    // A spreadsheet, by value: RENDDATA first, legacy title and data, then
    // the attachment's own properties.
    std::string rend;
    TnefStream::u16(rend, 1);
    TnefStream::u32(rend, 0xFFFFFFFF);
    TnefStream::u16(rend, 0);
    TnefStream::u16(rend, 0);
    TnefStream::u32(rend, 0);
    std::string sheet = "PK\x03\x04 spreadsheet bytes";
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachRendData, rend);
    tnef.text(TnefStream::kAttachment, TnefStream::attAttachTitle, "QUARTE~1.XLS");
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachData, sheet);
    TnefProps sheetProps;
    sheetProps.int32(0x37050003, 1)
        .unicode(0x3707001F, u"Quarterly figures 2026.xlsx")
        .unicode(0x370E001F, u"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")
        .int32(0x0E210003, 7);  // PR_ATTACH_NUM of the sender's store
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachment, sheetProps.bytes());

    // The picture the HTML shows.
    std::string png = "\x89PNG\r\n\x1a\n picture";
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachRendData, rend);
    tnef.text(TnefStream::kAttachment, TnefStream::attAttachTitle, "image001.png");
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachData, png);
    TnefProps pngProps;
    pngProps.int32(0x37050003, 1)
        .unicode(0x3707001F, u"image001.png")
        .unicode(0x3712001F, u"image001.png@01DC1234.5678")
        .unicode(0x370E001F, u"image/png")
        .boolean(0x7FFE000B, true);
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachment, pngProps.bytes());

    // An attached Outlook item: PR_ATTACH_DATA_OBJ holds its own stream.
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachRendData, rend);
    TnefProps itemProps;
    itemProps.int32(0x37050003, 5)
        .unicode(0x3001001F, u"Minutes of the board meeting")
        .object(0x3701000D, kIidMessage, attachedMinutesStream());
    tnef.attribute(TnefStream::kAttachment, TnefStream::attAttachment, itemProps.bytes());
    return tnef.bytes();
}

inline std::string outlookWinmailMessage(const std::string& winmail = outlookWinmailDat()) {
    return "From: \"Anna Berg\" <anna.berg@example.com>\r\n"
           "To: \"Bob Lang\" <bob@example.org>\r\n"
           "Subject: Quarterly figures\r\n"
           "Date: Tue, 3 Mar 2026 09:15:00 +0100\r\n"
           "Message-ID: <0001@mail.example.com>\r\n"
           "MIME-Version: 1.0\r\n"
           "X-MS-TNEF-Correlator: <0001@mail.example.com>\r\n"
           "Content-Type: multipart/mixed; boundary=\"_000_outlook\"\r\n"
           "\r\n"
           "--_000_outlook\r\n"
           "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
           "\r\n"
           "Grusse, the figures are attached.\r\n"
           "\r\n"
           "--_000_outlook\r\n"
           "Content-Type: application/ms-tnef; name=\"winmail.dat\"\r\n"
           "Content-Disposition: attachment; filename=\"winmail.dat\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "\r\n" +
           base64Lines(winmail) +
           "\r\n"
           "--_000_outlook--\r\n";
}

}  // namespace eml::test
