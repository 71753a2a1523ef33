#pragma once
// Node identifiers ([MS-PST] "NID (Node ID)", "Special Internal NIDs",
// "Mandatory Nodes"): the types a NID carries in its low five bits and the
// fixed NIDs every store has.

#include <cstdint>

namespace pst::format {

using Nid = uint32_t;

// nidType values.
enum NidType : uint8_t {
    NID_TYPE_HID = 0x00,
    NID_TYPE_INTERNAL = 0x01,
    NID_TYPE_NORMAL_FOLDER = 0x02,
    NID_TYPE_SEARCH_FOLDER = 0x03,
    NID_TYPE_NORMAL_MESSAGE = 0x04,
    NID_TYPE_ATTACHMENT = 0x05,
    NID_TYPE_SEARCH_UPDATE_QUEUE = 0x06,
    NID_TYPE_SEARCH_CRITERIA_OBJECT = 0x07,
    NID_TYPE_ASSOC_MESSAGE = 0x08,
    NID_TYPE_CONTENTS_TABLE_INDEX = 0x0A,
    NID_TYPE_RECEIVE_FOLDER_TABLE = 0x0B,
    NID_TYPE_OUTGOING_QUEUE_TABLE = 0x0C,
    NID_TYPE_HIERARCHY_TABLE = 0x0D,
    NID_TYPE_CONTENTS_TABLE = 0x0E,
    NID_TYPE_ASSOC_CONTENTS_TABLE = 0x0F,
    NID_TYPE_SEARCH_CONTENTS_TABLE = 0x10,
    NID_TYPE_ATTACHMENT_TABLE = 0x11,
    NID_TYPE_RECIPIENT_TABLE = 0x12,
    NID_TYPE_SEARCH_TABLE_INDEX = 0x13,
    NID_TYPE_LTP = 0x1F,
};

// 5 bits of nidType, 27 of nidIndex.
constexpr Nid makeNid(uint32_t type, uint32_t index) { return (index << 5) | (type & 0x1F); }
constexpr uint8_t nidType(Nid nid) { return nid & 0x1F; }
constexpr uint32_t nidIndex(Nid nid) { return nid >> 5; }
// The hierarchy, contents and FAI contents tables of a folder, and the search
// update queue and criteria object of a search folder, share its nidIndex.
constexpr Nid relatedNid(Nid folderNid, uint32_t type) { return makeNid(type, nidIndex(folderNid)); }

// Special internal NIDs.
inline constexpr Nid kNidMessageStore = 0x21;                 // NID_MESSAGE_STORE
inline constexpr Nid kNidNameToIdMap = 0x61;                  // NID_NAME_TO_ID_MAP
inline constexpr Nid kNidNormalFolderTemplate = 0xA1;         // NID_NORMAL_FOLDER_TEMPLATE
inline constexpr Nid kNidSearchFolderTemplate = 0xC1;         // NID_SEARCH_FOLDER_TEMPLATE
inline constexpr Nid kNidRootFolder = 0x122;                  // NID_ROOT_FOLDER
inline constexpr Nid kNidSearchManagementQueue = 0x1E1;       // NID_SEARCH_MANAGEMENT_QUEUE
inline constexpr Nid kNidSearchActivityList = 0x201;          // NID_SEARCH_ACTIVITY_LIST
inline constexpr Nid kNidReserved1 = 0x241;                   // NID_RESERVED1
inline constexpr Nid kNidSearchDomainObject = 0x261;          // NID_SEARCH_DOMAIN_OBJECT
inline constexpr Nid kNidSearchGathererQueue = 0x281;         // NID_SEARCH_GATHERER_QUEUE
inline constexpr Nid kNidSearchGathererDescriptor = 0x2A1;    // NID_SEARCH_GATHERER_DESCRIPTOR
inline constexpr Nid kNidReserved2 = 0x2E1;                   // NID_RESERVED2
inline constexpr Nid kNidReserved3 = 0x301;                   // NID_RESERVED3
inline constexpr Nid kNidSearchGathererFolderQueue = 0x321;   // NID_SEARCH_GATHERER_FOLDER_QUEUE
inline constexpr Nid kNidHierarchyTableTemplate = 0x60D;      // NID_HIERARCHY_TABLE_TEMPLATE
inline constexpr Nid kNidContentsTableTemplate = 0x60E;       // NID_CONTENTS_TABLE_TEMPLATE
inline constexpr Nid kNidAssocContentsTableTemplate = 0x60F;  // NID_ASSOC_CONTENTS_TABLE_TEMPLATE
inline constexpr Nid kNidSearchContentsTableTemplate = 0x610; // NID_SEARCH_CONTENTS_TABLE_TEMPLATE
// The attachment and recipient table templates; inside a message, the
// subnodes holding its own two tables.
inline constexpr Nid kNidAttachmentTable = 0x671;             // NID_ATTACHMENT_TABLE
inline constexpr Nid kNidRecipientTable = 0x692;              // NID_RECIPIENT_TABLE
// The receive folder table, outgoing queue table and the three replication
// tables of the store, at the NIDs Outlook gives them.
inline constexpr Nid kNidReceiveFolderTable = 0x62B;
inline constexpr Nid kNidOutgoingQueueTable = 0x64C;
inline constexpr Nid kNidReplicationTables[] = {0x6B6, 0x6D7, 0x6F8};
// The folders of the minimal hierarchy ("Mandatory Nodes").
inline constexpr Nid kNidSpamSearchFolder = 0x2223;
inline constexpr Nid kNidIpmSubtree = 0x8022;
inline constexpr Nid kNidSearchRootFolder = 0x8042;
inline constexpr Nid kNidDeletedItems = 0x8062;

// Starting nidIndex values of a blank file's rgnid ([MS-PST] "HEADER").
inline constexpr uint32_t kFirstNidIndex = 0x400;
inline constexpr uint32_t kFirstSearchFolderNidIndex = 0x4000;
inline constexpr uint32_t kFirstMessageNidIndex = 0x10000;
inline constexpr uint32_t kFirstAssocMessageNidIndex = 0x8000;

}  // namespace pst::format
