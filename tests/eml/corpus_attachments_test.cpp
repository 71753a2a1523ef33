// Bodies, attachments, attached messages and secure messages of the corpus.

#include "eml_test_support.h"

#include "eml/attachments.h"

namespace eml::test {
namespace {

using namespace pst::tags;

const pst::AttachmentContent* attachmentNamed(const pst::MessageContent& m, const std::string& name) {
    for (const auto& a : m.attachments)
        if (text(a, PR_ATTACH_LONG_FILENAME_W) == name || text(a, PR_DISPLAY_NAME_W) == name) return &a;
    return nullptr;
}

TEST(Bodies, HtmlOnlyGetsADerivedPlainBody) {
    auto m = parseCorpus("html_only.eml").message;
    auto html = bytesAsString(*prop<pst::Bytes>(m.props, PR_HTML));
    EXPECT_NE(html.find("<h1>This week</h1>"), std::string::npos);
    EXPECT_NE(html.find("Caf\xC3\xA9"), std::string::npos);  // quoted-printable decoded, UTF-8 kept
    EXPECT_EQ(integer(m, PR_INTERNET_CPID), 65001);
    EXPECT_EQ(integer(m, PR_NATIVE_BODY_INFO), BODY_HTML);
    EXPECT_EQ(text(m, PR_BODY_W),
              "This week\r\n\r\nCaf\u00e9 & cr\u00e8me <br> news \u20ac5 only.\r\n\r\n"
              "* First item\r\n* Second item\r\n\r\nLine one\r\nLine two");
}

TEST(Bodies, AlternativeKeepsBothRenderings) {
    auto m = parseCorpus("alternative.eml").message;
    EXPECT_EQ(text(m, PR_BODY_W), "The plan is simple: caf\u00e9 first.\r\n");
    auto html = bytesAsString(*prop<pst::Bytes>(m.props, PR_HTML));
    // Sent in ISO-8859-1, kept as UTF-8 with the code page to say so.
    EXPECT_EQ(html, "<html><body><p>The plan is <b>simple</b>: caf\xC3\xA9 first.</p></body></html>\r\n");
    EXPECT_EQ(integer(m, PR_INTERNET_CPID), 65001);
    EXPECT_TRUE(m.attachments.empty());
}

TEST(Bodies, RelatedPicturesBecomeHiddenAttachmentsWithContentIds) {
    auto m = parseCorpus("related_inline.eml").message;
    EXPECT_EQ(text(m, PR_BODY_W), "Our logo and a photo.\r\n");
    EXPECT_NE(bytesAsString(*prop<pst::Bytes>(m.props, PR_HTML)).find("cid:logo@example.org"), std::string::npos);
    ASSERT_EQ(m.attachments.size(), 3u);
    const auto& logo = m.attachments[0];
    EXPECT_EQ(text(logo, PR_ATTACH_CONTENT_ID_W), "logo@example.org");
    EXPECT_EQ(prop<bool>(logo.props, PR_ATTACHMENT_HIDDEN), true);
    EXPECT_EQ(integer(logo, PR_ATTACH_FLAGS), ATT_MHTML_REF);
    EXPECT_EQ(text(logo, PR_ATTACH_MIME_TAG_W), "image/png");
    EXPECT_EQ(prop<pst::Bytes>(logo.props, PR_ATTACH_DATA_BIN)->size(), 70u);
    // Referenced as "CID:" in upper case; named by nobody.
    const auto& photo = m.attachments[1];
    EXPECT_EQ(prop<bool>(photo.props, PR_ATTACHMENT_HIDDEN), true);
    EXPECT_EQ(fileExtension(utf8ToUtf16(text(photo, PR_ATTACH_LONG_FILENAME_W))), u".png");
    // Not referenced by the HTML: the reader must be able to see it.
    EXPECT_EQ(text(m.attachments[2], PR_ATTACH_LONG_FILENAME_W), "unused.png");
    EXPECT_EQ(prop<bool>(m.attachments[2].props, PR_ATTACHMENT_HIDDEN), false);
}

TEST(Attachments, NonAsciiNamesInEveryEncoding) {
    auto m = parseCorpus("attachments_names.eml").message;
    EXPECT_EQ(text(m, PR_BODY_W), "Four files attached.\r\n");
    ASSERT_EQ(m.attachments.size(), 5u);

    const auto* pdf = attachmentNamed(m, "\u20ac Rechnung M\u00e4rz.pdf");  // RFC 2231 UTF-8
    ASSERT_TRUE(pdf);
    EXPECT_EQ(text(*pdf, PR_ATTACH_EXTENSION_W), ".pdf");
    EXPECT_EQ(text(*pdf, PR_ATTACH_FILENAME_W), "_RECHN~1.PDF");
    EXPECT_EQ(text(*pdf, PR_ATTACH_MIME_TAG_W), "application/pdf");
    EXPECT_EQ(integer(*pdf, PR_ATTACH_METHOD), ATTACH_BY_VALUE);
    EXPECT_EQ(integer(*pdf, PR_RENDERING_POSITION), -1);
    auto data = *prop<pst::Bytes>(pdf->props, PR_ATTACH_DATA_BIN);
    ASSERT_EQ(data.size(), 301u);
    EXPECT_EQ(bytesAsString(data).rfind("%PDF-1.4", 0), 0u);
    EXPECT_EQ(data.back(), 255);  // binary bytes survive the base64 round
    EXPECT_FALSE(integer(*pdf, PR_ATTACH_SIZE));  // the store's to compute

    const auto* resume = attachmentNamed(m, "r\u00e9sum\u00e9.txt");  // RFC 2047 in a quoted name
    ASSERT_TRUE(resume);
    EXPECT_EQ(bytesAsString(*prop<pst::Bytes>(resume->props, PR_ATTACH_DATA_BIN)), "My r\xE9sum\xE9.\r\n");

    // RFC 2231 continuations, and an RFC 2047 name split over two base64 words.
    EXPECT_TRUE(attachmentNamed(m, "\u043e\u0442\u0447\u0451\u0442 \u0437\u0430 \u0433\u043e\u0434 with a very long name.docx"));
    EXPECT_TRUE(attachmentNamed(m, "\u65e5\u672c\u8a9e\u306e\u540d\u524d.png"));
    // A part that names no file gets one made up from its type.
    EXPECT_TRUE(attachmentNamed(m, "ATT00005.dat"));
}

TEST(Attachments, AttachedMessageIsEmbeddedWithItsOwnAttachment) {
    auto m = parseCorpus("attached_message.eml").message;
    EXPECT_EQ(text(m, PR_SUBJECT_PREFIX_W), "Fwd: ");
    ASSERT_EQ(m.attachments.size(), 1u);
    const auto& attached = m.attachments[0];
    EXPECT_EQ(integer(attached, PR_ATTACH_METHOD), ATTACH_EMBEDDED_MSG);
    EXPECT_EQ(text(attached, PR_DISPLAY_NAME_W), "The report");
    EXPECT_FALSE(prop<pst::Bytes>(attached.props, PR_ATTACH_DATA_BIN));
    ASSERT_TRUE(attached.embedded);
    const auto& inner = *attached.embedded;
    EXPECT_EQ(text(inner, PR_MESSAGE_CLASS_W), "IPM.Note");
    EXPECT_EQ(text(inner, PR_SENDER_NAME_W), "Carol");
    EXPECT_EQ(text(inner, PR_BODY_W), "Report attached.\r\n");
    EXPECT_EQ(text(inner, PR_TRANSPORT_MESSAGE_HEADERS_W).rfind("From: Carol <carol@example.com>\r\n", 0), 0u);
    EXPECT_EQ(unixTime(inner, PR_CLIENT_SUBMIT_TIME), 1796400000);
    EXPECT_EQ(integer(inner, PR_MESSAGE_FLAGS), MSGFLAG_READ);  // the store adds has-attachment
    ASSERT_EQ(inner.attachments.size(), 1u);
    EXPECT_EQ(text(inner.attachments[0], PR_ATTACH_LONG_FILENAME_W), "report.csv");
    EXPECT_EQ(bytesAsString(*prop<pst::Bytes>(inner.attachments[0].props, PR_ATTACH_DATA_BIN)), "a,b\r\n1,2\r\n");
}

TEST(Attachments, DeeplyNestedMessagesStopAtAFixedDepthAsFiles) {
    std::string message = "From: leaf@example.org\r\nSubject: leaf\r\n\r\nleaf\r\n";
    for (int i = 0; i < 40; ++i)
        message = "From: a@example.org\r\nSubject: level\r\nContent-Type: message/rfc822\r\n\r\n" + message;
    auto m = parseText(message).message;
    int depth = 0;
    const pst::MessageContent* at = &m;
    while (!at->attachments.empty() && at->attachments[0].embedded) {
        at = at->attachments[0].embedded.get();
        ++depth;
    }
    EXPECT_GE(depth, 8);
    EXPECT_LE(depth, 20);
    ASSERT_EQ(at->attachments.size(), 1u);  // the rest kept whole as a file
    EXPECT_TRUE(prop<pst::Bytes>(at->attachments[0].props, PR_ATTACH_DATA_BIN));
}

// [MS-OXOSMIME] 2.1.3.1: the text of the signed content is the body; the
// signed entity, signature included, is the one attachment.
TEST(Secure, ClearSignedShowsItsTextAndKeepsTheSignedEntity) {
    auto m = parseCorpus("signed.eml").message;
    EXPECT_EQ(text(m, PR_MESSAGE_CLASS_W), "IPM.Note.SMIME.MultipartSigned");
    EXPECT_EQ(text(m, PR_BODY_W), "This text is signed.\r\n");
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(text(m.attachments[0], PR_ATTACH_LONG_FILENAME_W), "smime.p7m");
    EXPECT_EQ(text(m.attachments[0], PR_ATTACH_MIME_TAG_W), "multipart/signed");
    std::string entity = bytesAsString(*prop<pst::Bytes>(m.attachments[0].props, PR_ATTACH_DATA_BIN));
    EXPECT_EQ(entity.rfind("Content-Type: multipart/signed;", 0), 0u);
    EXPECT_NE(entity.find("--sig\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nThis text is signed.\r\n"), std::string::npos);
    EXPECT_NE(entity.find("Content-Type: application/pkcs7-signature; name=\"smime.p7s\""), std::string::npos);

    // Signed with PGP, the message stays a note with its signature beside it.
    auto pgp = parseText("From: a@example.org\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n"
                         "Content-Type: multipart/signed; protocol=\"application/pgp-signature\"; boundary=s\r\n\r\n"
                         "--s\r\nContent-Type: text/plain\r\n\r\nsigned text\r\n--s\r\n"
                         "Content-Type: application/pgp-signature\r\n\r\n-----BEGIN PGP SIGNATURE-----\r\n--s--\r\n")
                   .message;
    EXPECT_EQ(text(pgp, PR_MESSAGE_CLASS_W), "IPM.Note");
    ASSERT_EQ(pgp.attachments.size(), 1u);
    EXPECT_EQ(text(pgp.attachments[0], PR_ATTACH_LONG_FILENAME_W), "signature.asc");
}

TEST(Secure, OpaqueSmimeIsKeptAsSmimeP7m) {
    auto m = parseCorpus("smime_opaque.eml").message;
    EXPECT_EQ(text(m, PR_MESSAGE_CLASS_W), "IPM.Note.SMIME");
    EXPECT_FALSE(prop<std::u16string>(m.props, PR_BODY_W));
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(text(m.attachments[0], PR_ATTACH_LONG_FILENAME_W), "smime.p7m");
    EXPECT_EQ(text(m.attachments[0], PR_ATTACH_MIME_TAG_W), "application/x-pkcs7-mime");
    auto blob = *prop<pst::Bytes>(m.attachments[0].props, PR_ATTACH_DATA_BIN);
    ASSERT_EQ(blob.size(), 202u);
    EXPECT_EQ(blob[0], 0x30);
}

TEST(Secure, PgpEncryptedPartsAreKeptAsFiles) {
    auto m = parseText(
        "From: a@example.org\r\nContent-Type: multipart/encrypted; protocol=\"application/pgp-encrypted\"; boundary=e\r\n\r\n"
        "--e\r\nContent-Type: application/pgp-encrypted\r\n\r\nVersion: 1\r\n--e\r\n"
        "Content-Type: application/octet-stream\r\n\r\n-----BEGIN PGP MESSAGE-----\r\nabc\r\n-----END PGP MESSAGE-----\r\n--e--\r\n").message;
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(text(m.attachments[1], PR_ATTACH_LONG_FILENAME_W), "encrypted.asc");
    EXPECT_NE(bytesAsString(*prop<pst::Bytes>(m.attachments[1].props, PR_ATTACH_DATA_BIN)).find("BEGIN PGP MESSAGE"),
              std::string::npos);
}

TEST(Bodies, LaterTextPartsOfAMixedMessageAreAttachments) {
    auto m = parseText(
        "From: a@example.org\r\nContent-Type: multipart/mixed; boundary=m\r\n\r\n--m\r\n"
        "Content-Type: text/plain\r\n\r\nfirst\r\n--m\r\nContent-Type: text/plain\r\n\r\nsecond\r\n--m\r\n"
        "Content-Type: text/html\r\nContent-Disposition: attachment; filename=page.html\r\n\r\n<p>x</p>\r\n--m--\r\n").message;
    EXPECT_EQ(text(m, PR_BODY_W), "first");
    EXPECT_FALSE(prop<pst::Bytes>(m.props, PR_HTML));
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(text(m.attachments[0], PR_ATTACH_LONG_FILENAME_W), "ATT00001.txt");
    EXPECT_EQ(text(m.attachments[1], PR_ATTACH_LONG_FILENAME_W), "page.html");
}

}  // namespace
}  // namespace eml::test
