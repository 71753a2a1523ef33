#include "pst/messaging/message_writer.h"

#include <algorithm>
#include <random>
#include <set>
#include <stdexcept>

#include "pst/format/nid.h"
#include "pst/ltp/property_context_builder.h"
#include "pst/ltp/table_context_builder.h"
#include "pst/ltp/value_encoding.h"
#include "pst/format/property_tags.h"
#include "pst/messaging/table_templates.h"

namespace pst::messaging {
namespace {

// Embedded messages within embedded messages, as deep as any mail client nests them.
constexpr int kMaxEmbeddingDepth = 32;

// Attachment properties shown in the attachment table beyond the template's.
constexpr PropTag kAttachmentRowExtras[] = {
    tags::PR_ATTACH_LONG_FILENAME_W, tags::PR_ATTACH_MIME_TAG_W, tags::PR_ATTACH_EXTENSION_W,
    tags::PR_ATTACH_CONTENT_ID_W, tags::PR_ATTACH_FLAGS, tags::PR_ATTACHMENT_HIDDEN, tags::PR_ATTACH_NUM,
    tags::PR_OBJECT_TYPE};

const Property* findIn(const std::vector<Property>& props, PropTag tag) {
    for (auto& p : props)
        if (ltp::storedTag(p.tag) == ltp::storedTag(tag)) return &p;
    return nullptr;
}

bool hasId(const std::vector<Property>& props, uint16_t id) {
    return std::any_of(props.begin(), props.end(), [&](const Property& p) { return tagId(p.tag) == id; });
}

Bytes randomKey() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    Bytes key(16);
    for (size_t i = 0; i < 16; i += 8) {
        uint64_t x = rng();
        for (int k = 0; k < 8; ++k) key[i + k] = uint8_t(x >> (8 * k));
    }
    return key;
}

std::u16string joinNames(const std::vector<RecipientRow>& recipients, int32_t type) {
    std::u16string out;
    for (auto& r : recipients) {
        auto* t = findIn(r.props, tags::PR_RECIPIENT_TYPE);
        auto* n = findIn(r.props, tags::PR_DISPLAY_NAME_W);
        if (!t || !n) continue;
        auto* tv = std::get_if<int32_t>(&t->value);
        auto* nv = std::get_if<std::u16string>(&n->value);
        if (!tv || !nv || (*tv & tags::RECIPIENT_TYPE_MASK) != type) continue;
        if (!out.empty()) out += u"; ";
        out += *nv;
    }
    return out;
}

}  // namespace

uint64_t valueSize(const Property& p) {
    if (std::holds_alternative<StreamedBytes>(p.value)) return 0;  // counted as it is written
    if (auto* b = std::get_if<Bytes>(&p.value)) return b->size();
    if (auto* s = std::get_if<std::u16string>(&p.value)) return 2 * s->size();
    if (auto* v = std::get_if<std::vector<std::u16string>>(&p.value)) {
        uint64_t n = 4;
        for (auto& s : *v) n += 4 + 2 * s.size();
        return n;
    }
    if (auto* v = std::get_if<std::vector<Bytes>>(&p.value)) {
        uint64_t n = 4;
        for (auto& b : *v) n += 4 + b.size();
        return n;
    }
    size_t fixed = ltp::fixedSize(ltp::storedType(tagType(p.tag)));
    return fixed ? fixed : 16;
}

WrittenMessage MessageWriter::write(const MessageContent& message, int depth) {
    if (depth > kMaxEmbeddingDepth) throw std::invalid_argument("embedded messages nested too deeply");
    ltp::Subnodes subnodes;
    ltp::PropertyContextBuilder pc(ndb_, subnodes);
    WrittenMessage out;
    uint64_t size = 0;

    for (auto& p : message.props) {
        if (tagType(p.tag) == PropType::Object) continue;  // only attachments hold objects
        size += pc.set(p.tag, p.value) + valueSize(p);
    }
    for (auto& n : message.named) {
        Property p{makeTag(names_.idFor(n.name), n.type), n.value};
        size += pc.set(p.tag, p.value) + valueSize(p);
    }

    // Recipients: the template's columns and every column a row brings.
    std::vector<PropTag> recipientColumns = recipientTableColumns();
    for (auto& r : message.recipients)
        for (auto& p : r.props)
            if (tagType(p.tag) != PropType::Object) recipientColumns.push_back(ltp::storedTag(p.tag));
    ltp::TableContextBuilder recipients(recipientColumns);
    static const Property kMailUser{tags::PR_OBJECT_TYPE, tags::MAPI_MAILUSER};
    static const Property kDisplayType{tags::PR_DISPLAY_TYPE, tags::DT_MAILUSER};
    static const Property kResponsibility{tags::PR_RESPONSIBILITY, false};
    static const Property kRowVersion{tags::PR_LTP_ROW_VER, int32_t(1)};
    std::vector<const Property*> row;  // the recipient's own values, not copies
    for (size_t i = 0; i < message.recipients.size(); ++i) {
        const std::vector<Property>& own = message.recipients[i].props;
        const Property rowId{tags::PR_ROWID, int32_t(i)};
        row.clear();
        for (auto& p : own) row.push_back(&p);
        row.push_back(&rowId);
        if (!findIn(own, tags::PR_OBJECT_TYPE)) row.push_back(&kMailUser);
        if (!findIn(own, tags::PR_DISPLAY_TYPE)) row.push_back(&kDisplayType);
        if (!findIn(own, tags::PR_RESPONSIBILITY)) row.push_back(&kResponsibility);
        row.push_back(&kRowVersion);
        for (auto* p : row) size += valueSize(*p);
        recipients.addRow(static_cast<uint32_t>(i), row);
    }
    subnodes.add(format::kNidRecipientTable, recipients.write(ndb_));

    if (!message.attachments.empty()) {
        std::vector<PropTag> columns = attachmentTableColumns();
        columns.insert(columns.end(), std::begin(kAttachmentRowExtras), std::end(kAttachmentRowExtras));
        ltp::TableContextBuilder table(columns);
        for (size_t i = 0; i < message.attachments.size(); ++i) {
            ndb::Nid nid = subnodes.allocate(format::NID_TYPE_ATTACHMENT);
            std::vector<Property> row;
            size += writeAttachment(message.attachments[i], static_cast<uint32_t>(i), subnodes, nid, row, depth);
            table.addRow(nid, row);
        }
        subnodes.add(format::kNidAttachmentTable, table.write(ndb_));
    }

    // What the store computes when the message does not say.
    auto addComputed = [&](PropTag tag, PropValue value) {
        if (hasId(message.props, tagId(tag))) return;
        Property p{tag, std::move(value)};
        pc.set(p.tag, p.value);
        size += valueSize(p);
        out.computed.push_back(std::move(p));
    };
    addComputed(tags::PR_MESSAGE_CLASS_W, std::u16string(u"IPM.Note"));
    addComputed(tags::PR_CREATION_TIME, now_);
    addComputed(tags::PR_LAST_MODIFICATION_TIME, now_);
    addComputed(tags::PR_SEARCH_KEY, randomKey());
    addComputed(tags::PR_DISPLAY_TO_W, joinNames(message.recipients, tags::MAPI_TO));
    addComputed(tags::PR_DISPLAY_CC_W, joinNames(message.recipients, tags::MAPI_CC));
    addComputed(tags::PR_DISPLAY_BCC_W, joinNames(message.recipients, tags::MAPI_BCC));
    addComputed(tags::PR_MSG_STATUS, int32_t(0));

    int32_t flags = 0;
    if (auto* f = findIn(message.props, tags::PR_MESSAGE_FLAGS))
        if (auto* v = std::get_if<int32_t>(&f->value)) flags = *v;
    if (!message.attachments.empty()) flags |= tags::MSGFLAG_HASATTACH;
    else flags &= ~tags::MSGFLAG_HASATTACH;
    Property flagProp{tags::PR_MESSAGE_FLAGS, flags};
    Property hasAttach{tags::PR_HASATTACH, !message.attachments.empty()};
    for (auto* p : {&flagProp, &hasAttach}) size += valueSize(*p);
    size += fixedValueSize(PropType::Int32);  // PR_MESSAGE_SIZE itself
    out.size = static_cast<uint32_t>(std::min<uint64_t>(size, INT32_MAX));
    Property sizeProp{tags::PR_MESSAGE_SIZE, int32_t(out.size)};
    for (auto* p : {&flagProp, &hasAttach, &sizeProp}) {
        pc.set(p->tag, p->value);
        out.computed.push_back(*p);
    }
    out.read = (flags & tags::MSGFLAG_READ) != 0;

    out.blocks.data = pc.write();
    out.blocks.subnode = subnodes.write(ndb_);
    return out;
}

uint64_t MessageWriter::writeAttachment(const AttachmentContent& attachment, uint32_t number,
                                        ltp::Subnodes& messageSubnodes, ndb::Nid nid,
                                        std::vector<Property>& rowProps, int depth) {
    ltp::Subnodes subnodes;
    ltp::PropertyContextBuilder pc(ndb_, subnodes);
    uint64_t size = 0;
    for (auto& p : attachment.props) {
        if (tagType(p.tag) == PropType::Object) continue;
        if (attachment.embedded && tagId(p.tag) == tagId(tags::PR_ATTACH_DATA_BIN)) continue;
        size += pc.set(p.tag, p.value) + valueSize(p);
        if (p.tag != tags::PR_ATTACH_DATA_BIN && !std::holds_alternative<StreamedBytes>(p.value)) rowProps.push_back(p);
    }

    auto addDefault = [&](PropTag tag, PropValue value) {
        if (hasId(attachment.props, tagId(tag))) return;
        Property p{tag, std::move(value)};
        pc.set(p.tag, p.value);
        rowProps.push_back(std::move(p));
    };
    addDefault(tags::PR_ATTACH_METHOD, attachment.embedded ? tags::ATTACH_EMBEDDED_MSG : tags::ATTACH_BY_VALUE);
    addDefault(tags::PR_RENDERING_POSITION, int32_t(-1));
    addDefault(tags::PR_OBJECT_TYPE, tags::MAPI_ATTACH);
    addDefault(tags::PR_ATTACH_NUM, int32_t(number));
    addDefault(tags::PR_CREATION_TIME, now_);
    addDefault(tags::PR_LAST_MODIFICATION_TIME, now_);

    if (attachment.embedded) {
        WrittenMessage embedded = write(*attachment.embedded, depth + 1);
        ndb::Nid embeddedNid = subnodes.allocate(format::NID_TYPE_NORMAL_MESSAGE);
        subnodes.add(embeddedNid, embedded.blocks);
        pc.setObject(tags::PR_ATTACH_DATA_OBJ, embeddedNid, embedded.size);
        size += embedded.size;
    }
    size = std::min<uint64_t>(size + 64, INT32_MAX);
    Property sizeProp{tags::PR_ATTACH_SIZE, int32_t(size)};
    if (!hasId(attachment.props, tagId(tags::PR_ATTACH_SIZE))) {
        pc.set(sizeProp.tag, sizeProp.value);
        rowProps.push_back(sizeProp);
    }

    ltp::NodeBlocks blocks;
    blocks.data = pc.write();
    blocks.subnode = subnodes.write(ndb_);
    messageSubnodes.add(nid, blocks);
    return size;
}

}  // namespace pst::messaging
