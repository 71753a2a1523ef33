#pragma once
// Attachment rows: by-value parts with their names, types and content ids,
// and attached messages.

#include <memory>
#include <string>
#include <string_view>

#include <gmime/gmime.h>

#include "eml/parse_context.h"
#include "pst/message_content.h"

namespace eml {

// An attachment before the message decides whether it is shown.
struct PendingAttachment {
    pst::AttachmentContent content;
    std::u16string contentId;        // without angle brackets
    std::u16string contentLocation;
    bool related = false;            // a part of multipart/related besides its root
};

// `defaultName` is used when the part names no file ("" to make one up from
// the content type and `ordinal`). With `context`, damage to the part's
// encoding is named in its warnings, and a long part of a message held in
// memory is left for the store's thread to decode.
PendingAttachment attachmentFromPart(GMimePart* part, int ordinal, std::u16string_view defaultName = {},
                                     ParseContext* context = nullptr);
// The data given directly, e.g. a serialised part that cannot be read further.
PendingAttachment attachmentFromBytes(std::string bytes, std::u16string longName, std::string mimeType);
PendingAttachment embeddedMessageAttachment(std::shared_ptr<pst::MessageContent> message,
                                            std::u16string displayName);

// The 8.3 name Outlook keeps beside the long one: upper case, at most eight
// characters ("~1" when cut) and a three-letter extension.
std::u16string shortFileName(std::u16string_view longName);
// The extension with its dot (".pdf"), or empty.
std::u16string fileExtension(std::u16string_view name);
// A file name without folders or characters a file system cannot hold.
std::u16string safeFileName(std::u16string_view name);
// "ATT00001.txt" and the like, for parts that name no file.
std::u16string madeUpFileName(std::string_view mimeType, int ordinal);

// Sets the props that follow from the file name on an attachment.
void setFileNames(pst::AttachmentContent& attachment, std::u16string_view longName);
// Replaces the names set before.
void renameAttachment(pst::AttachmentContent& attachment, std::u16string_view longName);

}  // namespace eml
