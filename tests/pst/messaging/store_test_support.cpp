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
    m.set(tags::MessageClass, std::u16string(u"IPM.Note"));
    m.set(tags::Subject, subject);
    m.set(tags::Body, body);
    m.set(tags::SenderName, std::u16string(u"Ann Sender"));
    m.set(0x0C1F001F /* PidTagSenderEmailAddress */, std::u16string(u"ann@example.com"));
    m.set(tags::SentRepresentingName, std::u16string(u"Ann Sender"));
    m.set(tags::ClientSubmitTime, FileTime{133000000000000000ull});
    m.set(tags::MessageDeliveryTime, FileTime{133000000100000000ull});
    m.set(tags::MessageFlags, int32_t(tags::MsgFlagRead));
    for (auto& [name, address] : to) {
        RecipientRow r;
        r.props = {{tags::RecipientType, int32_t(1)},
                   {tags::DisplayName, name},
                   {tags::EmailAddress, address},
                   {tags::AddressType, std::u16string(u"SMTP")},
                   {0x39FE001F /* PidTagSmtpAddress */, address}};
        m.recipients.push_back(std::move(r));
    }
    return m;
}

AttachmentContent fileAttachment(const std::u16string& name, Bytes data) {
    AttachmentContent a;
    a.props = {{tags::AttachMethod, tags::AttachByValue},
               {tags::AttachFilename, name},
               {tags::AttachLongFilename, name},
               {tags::AttachMimeTag, std::u16string(u"application/octet-stream")},
               {tags::AttachDataBinary, std::move(data)}};
    return a;
}

AttachmentContent embeddedAttachment(const std::u16string& name, MessageContent message) {
    AttachmentContent a;
    a.props = {{tags::AttachMethod, tags::AttachEmbeddedMsg}, {tags::DisplayName, name}};
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
