#include "eml/tnef_reader.h"

#include <cstring>

#include "eml/charset.h"
#include "eml/code_pages.h"
#include "pst/format/property_tags.h"
#include "util/utf.h"

namespace eml {

namespace {

using pst::PropType;

constexpr uint32_t kSignature = 0x223E9F78;
constexpr uint8_t kLevelMessage = 0x01;
constexpr uint8_t kLevelAttachment = 0x02;

// Attribute ids (the low word; the high word is the attribute's type).
enum : uint16_t {
    attSubject = 0x8004,
    attDateSent = 0x8005,
    attDateRecd = 0x8006,
    attMessageClass = 0x8008,
    attBody = 0x800C,
    attPriority = 0x800D,
    attAttachData = 0x800F,
    attAttachTitle = 0x8010,
    attAttachCreateDate = 0x8012,
    attAttachModifyDate = 0x8013,
    attAttachRendData = 0x9002,
    attMsgProps = 0x9003,
    attRecipTable = 0x9004,
    attAttachment = 0x9005,
    attOemCodepage = 0x9007,
};

// {00020307-0000-0000-C000-000000000046}
constexpr pst::Guid kIidMessage = {0x07, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    size_t left() const { return bytes_.size() - at_; }
    bool done() const { return at_ >= bytes_.size(); }
    void need(size_t n, const char* what) const {
        if (left() < n) throw TnefError{std::string("the stream ends inside ") + what};
    }
    uint8_t u8() { need(1, "a value"); return bytes_[at_++]; }
    uint16_t u16() { need(2, "a value"); uint16_t v = bytes_[at_] | bytes_[at_ + 1] << 8; at_ += 2; return v; }
    uint32_t u32() {
        need(4, "a value");
        uint32_t v = bytes_[at_] | bytes_[at_ + 1] << 8 | bytes_[at_ + 2] << 16 | static_cast<uint32_t>(bytes_[at_ + 3]) << 24;
        at_ += 4;
        return v;
    }
    uint64_t u64() { uint64_t lo = u32(); return lo | static_cast<uint64_t>(u32()) << 32; }
    std::span<const uint8_t> take(size_t n, const char* what) {
        need(n, what);
        auto out = bytes_.subspan(at_, n);
        at_ += n;
        return out;
    }
    void skipPadding(size_t n) { at_ = std::min(bytes_.size(), at_ + ((4 - n % 4) % 4)); }

private:
    std::span<const uint8_t> bytes_;
    size_t at_ = 0;
};

std::u16string utf16le(std::span<const uint8_t> bytes) {
    std::u16string out = quillmere::fromUtf16Le(bytes);
    while (!out.empty() && out.back() == 0) out.pop_back();
    return out;
}

bool isVariable(PropType base) {
    return base == PropType::String8 || base == PropType::Unicode || base == PropType::Binary || base == PropType::Object;
}

// A TNEF stream pads 16-bit and boolean values to four bytes; the rest keep
// their own size.
size_t fixedSizeInStream(PropType base) {
    if (base == PropType::Int16 || base == PropType::Boolean) return 4;
    return pst::fixedValueSize(base);
}

pst::FileTime fileTimeOf(int year, int month, int day, int hour, int minute, int second) {
    // Days from 1601-01-01 by the proleptic Gregorian calendar.
    auto daysFromCivil = [](int y, unsigned m, unsigned d) {
        y -= m <= 2;
        const int era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return static_cast<int64_t>(era) * 146097 + static_cast<int64_t>(doe) - 719468;  // days since 1970
    };
    int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + 134774;
    int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return {static_cast<uint64_t>(std::max<int64_t>(0, seconds)) * 10000000ULL};
}

class StreamReader {
public:
    explicit StreamReader(TnefData& out) : out_(out) {}

    void read(std::span<const uint8_t> stream) {
        Cursor in(stream);
        if (in.left() < 6 || in.u32() != kSignature) throw TnefError{"no TNEF signature"};
        in.u16();  // the legacy key
        while (!in.done()) {
            uint8_t level = in.u8();
            uint32_t id = in.u32();
            uint32_t length = in.u32();
            auto data = in.take(length, "an attribute");
            uint16_t checksum = in.u16();
            uint16_t sum = 0;
            for (uint8_t b : data) sum = static_cast<uint16_t>(sum + b);
            if (sum != checksum) problem("an attribute's checksum does not match its data");
            if (level == kLevelMessage) messageAttribute(static_cast<uint16_t>(id), data);
            else if (level == kLevelAttachment) attachmentAttribute(static_cast<uint16_t>(id), data);
            else throw TnefError{"an attribute of unknown level " + std::to_string(level)};
        }
        // Encapsulated properties win over the legacy attributes.
        for (auto& p : legacy_) setIfAbsent(out_.props, std::move(p));
    }

private:
    void problem(std::string text) {
        for (auto& p : out_.problems)
            if (p == text) return;
        out_.problems.push_back(std::move(text));
    }

    static void setIfAbsent(std::vector<pst::Property>& props, pst::Property p) {
        for (auto& q : props)
            if (pst::tagId(q.tag) == pst::tagId(p.tag)) return;
        props.push_back(std::move(p));
    }
    static void set(std::vector<pst::Property>& props, pst::Property p) {
        for (auto& q : props)
            if (pst::tagId(q.tag) == pst::tagId(p.tag)) { q = std::move(p); return; }
        props.push_back(std::move(p));
    }

    std::u16string ansi(std::span<const uint8_t> bytes) {
        std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        while (!view.empty() && view.back() == 0) view.remove_suffix(1);
        Warnings ignored;
        return decodeText(view, charsetOfCodePage(codePage_), ignored).text;
    }

    std::optional<pst::FileTime> date(std::span<const uint8_t> data) {
        if (data.size() < 12) return std::nullopt;
        Cursor in(data);
        int year = in.u16(), month = in.u16(), day = in.u16(), hour = in.u16(), minute = in.u16(), second = in.u16();
        if (year < 1601 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
            return std::nullopt;
        return fileTimeOf(year, month, day, hour, minute, second);
    }

    static std::u16string messageClassOf(std::u16string legacy) {
        // Names the old mail systems gave the classes.
        if (legacy == u"IPM.Microsoft Mail.Note") return u"IPM.Note";
        if (legacy == u"IPM.Microsoft Mail.Read Receipt") return u"Report.IPM.Note.IPNRN";
        if (legacy == u"IPM.Microsoft Mail.Non-Delivery") return u"Report.IPM.Note.NDR";
        if (legacy == u"IPM.Microsoft Schedule.MtgReq") return u"IPM.Schedule.Meeting.Request";
        if (legacy == u"IPM.Microsoft Schedule.MtgRespP") return u"IPM.Schedule.Meeting.Resp.Pos";
        if (legacy == u"IPM.Microsoft Schedule.MtgRespN") return u"IPM.Schedule.Meeting.Resp.Neg";
        if (legacy == u"IPM.Microsoft Schedule.MtgRespA") return u"IPM.Schedule.Meeting.Resp.Tent";
        if (legacy == u"IPM.Microsoft Schedule.MtgCncl") return u"IPM.Schedule.Meeting.Canceled";
        return legacy;
    }

    void messageAttribute(uint16_t id, std::span<const uint8_t> data) {
        using namespace pst::tags;
        switch (id) {
            case attOemCodepage:
                if (data.size() >= 4) codePage_ = static_cast<int>(Cursor(data).u32());
                break;
            case attSubject: legacy_.push_back({PR_SUBJECT_W, ansi(data)}); break;
            case attMessageClass: legacy_.push_back({PR_MESSAGE_CLASS_W, messageClassOf(ansi(data))}); break;
            case attBody: legacy_.push_back({PR_BODY_W, ansi(data)}); break;
            case attDateSent:
                if (auto t = date(data)) legacy_.push_back({PR_CLIENT_SUBMIT_TIME, *t});
                break;
            case attDateRecd:
                if (auto t = date(data)) legacy_.push_back({PR_MESSAGE_DELIVERY_TIME, *t});
                break;
            case attPriority:
                if (data.size() >= 2) {
                    // 1 high, 2 normal, 3 low
                    int priority = data[0] | data[1] << 8;
                    legacy_.push_back({PR_IMPORTANCE, priority == 1 ? IMPORTANCE_HIGH
                                                      : priority == 3 ? IMPORTANCE_LOW : IMPORTANCE_NORMAL});
                }
                break;
            case attMsgProps: {
                Cursor in(data);
                for (auto& p : propertyList(in, &out_.named)) set(out_.props, std::move(p));
                break;
            }
            case attRecipTable: {
                Cursor in(data);
                uint32_t rows = in.u32();
                for (uint32_t r = 0; r < rows; ++r) out_.recipients.push_back(propertyList(in, nullptr));
                break;
            }
            default: break;  // attributes every property list repeats, or none reads
        }
    }

    void attachmentAttribute(uint16_t id, std::span<const uint8_t> data) {
        using namespace pst::tags;
        if (id == attAttachRendData) {
            out_.attachments.emplace_back();
            if (data.size() >= 6) {
                Cursor in(data);
                in.u16();  // what kind of object the attachment was shown as
                out_.attachments.back().props.push_back({PR_RENDERING_POSITION, static_cast<int32_t>(in.u32())});
            }
            return;
        }
        if (out_.attachments.empty()) {
            problem("attachment attributes before the first attachment were skipped");
            return;
        }
        TnefAttachmentData& attachment = out_.attachments.back();
        switch (id) {
            case attAttachTitle: setIfAbsent(attachment.props, {PR_ATTACH_FILENAME_W, ansi(data)}); break;
            case attAttachData:
                setIfAbsent(attachment.props, {PR_ATTACH_DATA_BIN, pst::Bytes(data.begin(), data.end())});
                break;
            case attAttachCreateDate:
                if (auto t = date(data)) setIfAbsent(attachment.props, {pst::tags::PR_CREATION_TIME, *t});
                break;
            case attAttachModifyDate:
                if (auto t = date(data)) setIfAbsent(attachment.props, {pst::tags::PR_LAST_MODIFICATION_TIME, *t});
                break;
            case attAttachment: {
                Cursor in(data);
                for (auto& p : propertyList(in, nullptr, &attachment)) set(attachment.props, std::move(p));
                break;
            }
            default: break;
        }
    }

    // A counted list of properties. Named ones go to `named` when given,
    // else are dropped; a message object goes to `attachment`.
    std::vector<pst::Property> propertyList(Cursor& in, std::vector<pst::NamedProperty>* named,
                                            TnefAttachmentData* attachment = nullptr) {
        std::vector<pst::Property> out;
        uint32_t count = in.u32();
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t tag = in.u32();
            auto type = static_cast<PropType>(tag & 0xFFFF);
            uint16_t id = static_cast<uint16_t>(tag >> 16);
            std::optional<pst::NamedPropertyName> name;
            if (id >= pst::kFirstNamedPropertyId) {
                pst::NamedPropertyName n;
                auto guid = in.take(16, "a property set");
                std::memcpy(n.propertySet.data(), guid.data(), 16);
                uint32_t kind = in.u32();
                if (kind == 0) {
                    n.lid = in.u32();
                } else {
                    uint32_t bytes = in.u32();
                    n.name = utf16le(in.take(bytes, "a property name"));
                    in.skipPadding(bytes);
                }
                name = std::move(n);
            }
            std::optional<pst::PropValue> value = propertyValue(in, type, attachment);
            if (!value) continue;
            if (type == PropType::String8) type = PropType::Unicode;
            if (type == PropType::MvString8) type = PropType::MvUnicode;
            if (name) {
                if (named) named->push_back({std::move(*name), type, std::move(*value)});
            } else {
                out.push_back({pst::makeTag(id, type), std::move(*value)});
            }
        }
        return out;
    }

    // nullopt for a value read but not kept (an object, an unsupported type).
    std::optional<pst::PropValue> propertyValue(Cursor& in, PropType type, TnefAttachmentData* attachment) {
        bool multi = (static_cast<uint16_t>(type) & 0x1000) != 0;
        auto base = static_cast<PropType>(static_cast<uint16_t>(type) & 0x0FFF);
        if (!isVariable(base) && fixedSizeInStream(base) == 0)
            throw TnefError{"a property of unknown type " + std::to_string(static_cast<uint16_t>(type))};
        uint32_t values = 1;
        if (multi || isVariable(base)) values = in.u32();
        if (values > in.left()) throw TnefError{"a property with more values than the stream holds"};

        std::vector<pst::PropValue> items;
        for (uint32_t v = 0; v < values; ++v) {
            if (isVariable(base)) {
                uint32_t size = in.u32();
                auto bytes = in.take(size, "a property value");
                in.skipPadding(size);
                if (base == PropType::Object) {
                    objectValue(bytes, attachment);
                    continue;
                }
                if (base == PropType::Binary) items.emplace_back(pst::Bytes(bytes.begin(), bytes.end()));
                else if (base == PropType::Unicode) items.emplace_back(utf16le(bytes));
                else items.emplace_back(ansi(bytes));
                continue;
            }
            auto bytes = in.take(fixedSizeInStream(base), "a property value");
            Cursor value(bytes);
            switch (base) {
                case PropType::Int16: items.emplace_back(static_cast<int32_t>(static_cast<int16_t>(value.u16()))); break;
                case PropType::Boolean: items.emplace_back(value.u16() != 0); break;
                case PropType::Int32:
                case PropType::ErrorCode: items.emplace_back(static_cast<int32_t>(value.u32())); break;
                case PropType::Float: {
                    uint32_t bits = value.u32();
                    float f;
                    std::memcpy(&f, &bits, 4);
                    items.emplace_back(static_cast<double>(f));
                    break;
                }
                case PropType::Double:
                case PropType::AppTime: {
                    uint64_t bits = value.u64();
                    double d;
                    std::memcpy(&d, &bits, 8);
                    items.emplace_back(d);
                    break;
                }
                case PropType::Currency:
                case PropType::Int64: items.emplace_back(static_cast<int64_t>(value.u64())); break;
                case PropType::SysTime: items.emplace_back(pst::FileTime{value.u64()}); break;
                case PropType::Guid: {
                    pst::Guid g;
                    std::memcpy(g.data(), bytes.data(), 16);
                    items.emplace_back(g);
                    break;
                }
                default: break;
            }
        }
        if (base == PropType::Object) return std::nullopt;
        if (!multi) {
            if (items.size() != 1) return std::nullopt;
            return std::move(items.front());
        }
        return multiValue(base, items);
    }

    static std::optional<pst::PropValue> multiValue(PropType base, std::vector<pst::PropValue>& items) {
        switch (base) {
            case PropType::Int16:
            case PropType::Int32: {
                std::vector<int32_t> v;
                for (auto& i : items) v.push_back(std::get<int32_t>(i));
                return v;
            }
            case PropType::Int64:
            case PropType::SysTime: {
                std::vector<int64_t> v;
                for (auto& i : items)
                    v.push_back(base == PropType::SysTime ? static_cast<int64_t>(std::get<pst::FileTime>(i).value)
                                                          : std::get<int64_t>(i));
                return v;
            }
            case PropType::String8:
            case PropType::Unicode: {
                std::vector<std::u16string> v;
                for (auto& i : items) v.push_back(std::get<std::u16string>(i));
                return v;
            }
            case PropType::Binary: {
                std::vector<pst::Bytes> v;
                for (auto& i : items) v.push_back(std::get<pst::Bytes>(i));
                return v;
            }
            case PropType::Guid: {
                std::vector<pst::Guid> v;
                for (auto& i : items) v.push_back(std::get<pst::Guid>(i));
                return v;
            }
            default: return std::nullopt;  // no store type holds these lists
        }
    }

    void objectValue(std::span<const uint8_t> bytes, TnefAttachmentData* attachment) {
        if (!attachment || bytes.size() < 16) return;
        pst::Guid iid;
        std::memcpy(iid.data(), bytes.data(), 16);
        auto data = bytes.subspan(16);
        if (iid == kIidMessage) {
            attachment->embeddedStream.assign(data.begin(), data.end());
        } else {
            // An OLE object's storage: kept as the attachment's data.
            set(attachment->props, {pst::tags::PR_ATTACH_DATA_BIN, pst::Bytes(data.begin(), data.end())});
        }
    }

    TnefData& out_;
    int codePage_ = 1252;
    std::vector<pst::Property> legacy_;
};

}  // namespace

bool looksLikeTnef(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 && (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24) == kSignature;
}

TnefData readTnef(std::span<const uint8_t> stream) {
    TnefData out;
    StreamReader(out).read(stream);
    return out;
}

}  // namespace eml
