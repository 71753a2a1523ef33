#pragma once
// The whole content of one message as the store writes it: its own
// properties, its recipient rows and its attachments (which may hold an
// embedded message of the same shape).

#include <memory>
#include <vector>

#include "pst/property.h"

namespace pst {

struct MessageContent;

struct RecipientRow {
    // PR_RECIPIENT_TYPE, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS, PR_ADDRTYPE,
    // PR_SMTP_ADDRESS, PR_ENTRYID, PR_SEARCH_KEY, ... The store adds the
    // columns the recipient table needs (row id, object type, ...).
    std::vector<Property> props;
};

struct AttachmentContent {
    // PR_ATTACH_METHOD, PR_ATTACH_FILENAME(_W), PR_ATTACH_LONG_FILENAME,
    // PR_ATTACH_EXTENSION, PR_ATTACH_MIME_TAG, PR_ATTACH_CONTENT_ID,
    // PR_RENDERING_POSITION, PR_ATTACH_DATA_BIN (by value), ...
    std::vector<Property> props;
    // Set for ATTACH_EMBEDDED_MSG (PR_ATTACH_METHOD 5): the attached message.
    std::shared_ptr<MessageContent> embedded;
};

struct MessageContent {
    std::vector<Property> props;
    std::vector<NamedProperty> named;
    std::vector<RecipientRow> recipients;
    std::vector<AttachmentContent> attachments;

    // Sets or replaces a property.
    void set(PropTag tag, PropValue value) {
        for (auto& p : props)
            if (p.tag == tag) { p.value = std::move(value); return; }
        props.push_back({tag, std::move(value)});
    }
    // The value of a property, or nullptr.
    const PropValue* find(PropTag tag) const {
        for (auto& p : props)
            if (p.tag == tag) return &p.value;
        return nullptr;
    }

    // Sets or replaces a named property; the store gives it its id.
    void setNamed(const NamedPropertyName& name, PropType type, PropValue value) {
        for (auto& n : named)
            if (n.name == name) { n.type = type; n.value = std::move(value); return; }
        named.push_back({name, type, std::move(value)});
    }
    // The value of a named property, or nullptr.
    const PropValue* findNamed(const NamedPropertyName& name) const {
        for (auto& n : named)
            if (n.name == name) return &n.value;
        return nullptr;
    }
};

}  // namespace pst
