#include "store_test_support.h"

#include <random>

#include "pst/check/pst_check.h"

namespace pst::testing {

ScratchDir::ScratchDir() {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() / ("quillmere-store-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

MessageContent mailMessage(const std::u16string& subject, const std::u16string& body,
                           const std::vector<std::pair<std::u16string, std::u16string>>& to) {
    MessageContent m;
    m.set(tags::PR_MESSAGE_CLASS_W, std::u16string(u"IPM.Note"));
    m.set(tags::PR_SUBJECT_W, subject);
    m.set(tags::PR_BODY_W, body);
    m.set(tags::PR_SENDER_NAME_W, std::u16string(u"Ann Sender"));
    m.set(0x0C1F001F /* PidTagSenderEmailAddress */, std::u16string(u"ann@example.com"));
    m.set(tags::PR_SENT_REPRESENTING_NAME_W, std::u16string(u"Ann Sender"));
    m.set(tags::PR_CLIENT_SUBMIT_TIME, FileTime{133000000000000000ull});
    m.set(tags::PR_MESSAGE_DELIVERY_TIME, FileTime{133000000100000000ull});
    m.set(tags::PR_MESSAGE_FLAGS, int32_t(tags::MSGFLAG_READ));
    for (auto& [name, address] : to) {
        RecipientRow r;
        r.props = {{tags::PR_RECIPIENT_TYPE, int32_t(1)},
                   {tags::PR_DISPLAY_NAME_W, name},
                   {tags::PR_EMAIL_ADDRESS_W, address},
                   {tags::PR_ADDRTYPE_W, std::u16string(u"SMTP")},
                   {0x39FE001F /* PidTagSmtpAddress */, address}};
        m.recipients.push_back(std::move(r));
    }
    return m;
}

AttachmentContent fileAttachment(const std::u16string& name, Bytes data) {
    AttachmentContent a;
    a.props = {{tags::PR_ATTACH_METHOD, tags::ATTACH_BY_VALUE},
               {tags::PR_ATTACH_FILENAME_W, name},
               {tags::PR_ATTACH_LONG_FILENAME_W, name},
               {tags::PR_ATTACH_MIME_TAG_W, std::u16string(u"application/octet-stream")},
               {tags::PR_ATTACH_DATA_BIN, std::move(data)}};
    return a;
}

AttachmentContent embeddedAttachment(const std::u16string& name, MessageContent message) {
    AttachmentContent a;
    a.props = {{tags::PR_ATTACH_METHOD, tags::ATTACH_EMBEDDED_MSG}, {tags::PR_DISPLAY_NAME_W, name}};
    a.embedded = std::make_shared<MessageContent>(std::move(message));
    return a;
}

Bytes patternBytes(size_t size, uint32_t seed) {
    Bytes b(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& v : b) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        v = uint8_t(x);
    }
    return b;
}

std::string checkerDefects(const std::filesystem::path& file, bool strict) {
    check::Options options;
    options.strict = strict;
    auto report = check::checkFile(file, options);
    std::string out;
    for (auto& d : report.defects) out += d + "\n";
    return out;
}

std::filesystem::path referenceDir() {
    std::filesystem::path dir = std::filesystem::path(QUILLMERE_SHARED_DIR) / "reference" / "outlook-made-pst";
    return std::filesystem::exists(dir) ? dir : std::filesystem::path();
}

}  // namespace pst::testing
