#pragma once
// Writes TNEF streams as [MS-OXTNEF] lays them out (signature, key,
// attributes with checksums; property lists with named properties and
// padded values), so tests can build the winmail.dat files Outlook sends.

#include <cstdint>
#include <string>
#include <vector>

#include "pst/property.h"

namespace eml::test {

class TnefStream {
public:
    static constexpr uint8_t kMessage = 1, kAttachment = 2;
    // Attribute ids with their attribute types in the high word.
    static constexpr uint32_t attSubject = 0x00018004, attDateSent = 0x00038005, attMessageClass = 0x00078008,
                              attBody = 0x0002800C, attAttachData = 0x0006800F,
                              attAttachTitle = 0x00018010, attAttachRendData = 0x00069002,
                              attMsgProps = 0x00069003, attRecipTable = 0x00069004, attAttachment = 0x00069005,
                              attTnefVersion = 0x00089006, attOemCodepage = 0x00069007;

    TnefStream() {
        u32(bytes_, 0x223E9F78);
        u16(bytes_, 0x0001);
        std::string version, codePage;
        u32(version, 0x00010000);
        u32(codePage, 1252);
        u32(codePage, 0);
        attribute(kMessage, attTnefVersion, version);
        attribute(kMessage, attOemCodepage, codePage);
    }

    void attribute(uint8_t level, uint32_t id, const std::string& data) {
        bytes_.push_back(static_cast<char>(level));
        u32(bytes_, id);
        u32(bytes_, static_cast<uint32_t>(data.size()));
        bytes_ += data;
        uint16_t sum = 0;
        for (unsigned char c : data) sum = static_cast<uint16_t>(sum + c);
        u16(bytes_, sum);
    }
    // An 8-bit string attribute, NUL-terminated as Outlook writes them.
    void text(uint8_t level, uint32_t id, const std::string& value) { attribute(level, id, value + '\0'); }
    // attDateSent and its kin: seven 16-bit fields.
    void date(uint32_t id, int y, int mo, int d, int h, int mi, int s) {
        std::string data;
        for (int v : {y, mo, d, h, mi, s, 0}) u16(data, static_cast<uint16_t>(v));
        attribute(kMessage, id, data);
    }

    const std::string& bytes() const { return bytes_; }

    static void u16(std::string& out, uint16_t v) {
        out.push_back(static_cast<char>(v));
        out.push_back(static_cast<char>(v >> 8));
    }
    static void u32(std::string& out, uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
    }

private:
    std::string bytes_;
};

// A property list (attMsgProps, attAttachment, a row of attRecipTable).
class TnefProps {
public:
    TnefProps& unicode(uint32_t tag, const std::u16string& value) {
        std::string data;
        for (char16_t c : value) TnefStream::u16(data, c);
        TnefStream::u16(data, 0);
        return variable(tag, data);
    }
    TnefProps& string8(uint32_t tag, const std::string& value) { return variable(tag, value + '\0'); }
    TnefProps& binary(uint32_t tag, const std::string& value) { return variable(tag, value); }
    TnefProps& int32(uint32_t tag, int32_t value) {
        begin(tag);
        TnefStream::u32(body_, static_cast<uint32_t>(value));
        return *this;
    }
    TnefProps& boolean(uint32_t tag, bool value) {
        begin(tag);
        TnefStream::u32(body_, value ? 1 : 0);  // two bytes and two of padding
        return *this;
    }
    TnefProps& time(uint32_t tag, uint64_t fileTime) {
        begin(tag);
        TnefStream::u32(body_, static_cast<uint32_t>(fileTime));
        TnefStream::u32(body_, static_cast<uint32_t>(fileTime >> 32));
        return *this;
    }
    // A PtypObject value: the interface id, then the data.
    TnefProps& object(uint32_t tag, const pst::Guid& iid, const std::string& data) {
        std::string value(reinterpret_cast<const char*>(iid.data()), 16);
        return variable(tag, value + data);
    }
    // The next property is named: its set and numeric id.
    TnefProps& named(const pst::Guid& set, uint32_t lid) {
        pendingName_.assign(reinterpret_cast<const char*>(set.data()), 16);
        TnefStream::u32(pendingName_, 0);
        TnefStream::u32(pendingName_, lid);
        return *this;
    }
    TnefProps& named(const pst::Guid& set, const std::u16string& name) {
        pendingName_.assign(reinterpret_cast<const char*>(set.data()), 16);
        TnefStream::u32(pendingName_, 1);
        std::string utf16;
        for (char16_t c : name) TnefStream::u16(utf16, c);
        TnefStream::u16(utf16, 0);
        TnefStream::u32(pendingName_, static_cast<uint32_t>(utf16.size()));
        pendingName_ += utf16;
        while (pendingName_.size() % 4) pendingName_.push_back(0);
        return *this;
    }

    std::string bytes() const {
        std::string out;
        TnefStream::u32(out, count_);
        return out + body_;
    }
    uint32_t count() const { return count_; }
    const std::string& body() const { return body_; }

private:
    void begin(uint32_t tag) {
        ++count_;
        TnefStream::u32(body_, tag);
        body_ += pendingName_;
        pendingName_.clear();
    }
    TnefProps& variable(uint32_t tag, const std::string& data) {
        begin(tag);
        TnefStream::u32(body_, 1);
        TnefStream::u32(body_, static_cast<uint32_t>(data.size()));
        body_ += data;
        while (body_.size() % 4) body_.push_back(0);
        return *this;
    }

    std::string body_;
    std::string pendingName_;
    uint32_t count_ = 0;
};

}  // namespace eml::test
