#pragma once
// Writes one message (with its recipient table, attachment table,
// attachments and embedded messages) as a node's data and subnode tree
// ([MS-PST] "Message Objects", "Attachment Objects").

#include <cstdint>
#include <vector>

#include "pst/ltp/subnodes.h"
#include "pst/message_content.h"
#include "pst/messaging/name_to_id_map.h"

namespace pst::messaging {

struct WrittenMessage {
    ltp::NodeBlocks blocks;
    // The values the folder's contents table copies from the message: those
    // the store computed (size, flags, times, ...); the message's own
    // properties are taken from the content.
    std::vector<Property> computed;
    uint32_t size = 0;   // PR_MESSAGE_SIZE
    bool read = false;   // MSGFLAG_READ
};

class MessageWriter {
public:
    MessageWriter(ndb::NdbWriter& ndb, NameToIdMap& names, FileTime now) : ndb_(ndb), names_(names), now_(now) {}

    // Throws std::invalid_argument for a value that does not suit its type.
    WrittenMessage write(const MessageContent& message, int depth = 0);

private:
    uint64_t writeAttachment(const AttachmentContent& attachment, uint32_t number, ltp::Subnodes& subnodes,
                             ndb::Nid nid, std::vector<Property>& rowProps, int depth);

    ndb::NdbWriter& ndb_;
    NameToIdMap& names_;
    FileTime now_;
};

// Bytes a value takes, as PR_MESSAGE_SIZE counts it.
uint64_t valueSize(const Property& p);

}  // namespace pst::messaging
