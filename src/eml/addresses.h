#pragma once
// Mail addresses: the mailboxes of an address header, and the one-off entry
// ids, search keys and recipient rows MAPI describes them with.

#include <string>
#include <string_view>
#include <vector>

#include <gmime/gmime.h>

#include "eml/warnings.h"
#include "pst/message_content.h"

namespace eml {

struct Mailbox {
    std::u16string name;     // display name, may be empty
    std::u16string address;  // the RFC 5322 addr-spec, may be empty for a bare name
    // The name to show: the display name, else the address.
    const std::u16string& shown() const { return name.empty() ? address : name; }
};

// Every mailbox of a parsed address list, groups flattened.
std::vector<Mailbox> mailboxesOf(InternetAddressList* list);
// Parses the raw value of an address header. An address written without
// angle brackets after its name ("Ann Lee ann@example.org") is read as
// mail readers read it, and named in `warnings` when given.
std::vector<Mailbox> parseMailboxes(GMimeParserOptions* options, std::string_view rawValue,
                                    Warnings* warnings = nullptr);

// A one-off entry id ([MS-OXCDATA] One-Off EntryID) for an SMTP address.
pst::Bytes oneOffEntryId(const Mailbox& mailbox);
// "SMTP:" + upper-case address + NUL, as PR_SEARCH_KEY holds it.
pst::Bytes searchKey(const Mailbox& mailbox);
// A FlatEntryList of one-off entry ids (PR_REPLY_RECIPIENT_ENTRIES).
pst::Bytes flatEntryList(const std::vector<Mailbox>& mailboxes);

pst::RecipientRow recipientRow(const Mailbox& mailbox, int32_t recipientType);

// Names joined by "; ", as PR_DISPLAY_TO and its kin show them.
std::u16string displayList(const std::vector<Mailbox>& mailboxes);

}  // namespace eml
