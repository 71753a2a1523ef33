#pragma once
// Every MAPI property tag and value the parser, the store writer, the reader
// and the checker use. Names follow the MAPI headers (PR_..., _W for Unicode
// strings); those [MS-PST] alone defines follow its PidTag names.

#include "pst/format/property_types.h"

namespace pst::tags {

// Envelope
inline constexpr PropTag PR_MESSAGE_CLASS_W = makeTag(0x001A, PropType::Unicode);
inline constexpr PropTag PR_SUBJECT_W = makeTag(0x0037, PropType::Unicode);
inline constexpr PropTag PR_SUBJECT_PREFIX_W = makeTag(0x003D, PropType::Unicode);
inline constexpr PropTag PR_NORMALIZED_SUBJECT_W = makeTag(0x0E1D, PropType::Unicode);
inline constexpr PropTag PR_CONVERSATION_TOPIC_W = makeTag(0x0070, PropType::Unicode);
inline constexpr PropTag PR_CONVERSATION_INDEX = makeTag(0x0071, PropType::Binary);
inline constexpr PropTag PR_CLIENT_SUBMIT_TIME = makeTag(0x0039, PropType::SysTime);
inline constexpr PropTag PR_MESSAGE_DELIVERY_TIME = makeTag(0x0E06, PropType::SysTime);
inline constexpr PropTag PR_INTERNET_MESSAGE_ID_W = makeTag(0x1035, PropType::Unicode);
inline constexpr PropTag PR_IN_REPLY_TO_ID_W = makeTag(0x1042, PropType::Unicode);
inline constexpr PropTag PR_INTERNET_REFERENCES_W = makeTag(0x1039, PropType::Unicode);
inline constexpr PropTag PR_IMPORTANCE = makeTag(0x0017, PropType::Int32);
inline constexpr PropTag PR_PRIORITY = makeTag(0x0026, PropType::Int32);
inline constexpr PropTag PR_SENSITIVITY = makeTag(0x0036, PropType::Int32);
inline constexpr PropTag PR_TRANSPORT_MESSAGE_HEADERS_W = makeTag(0x007D, PropType::Unicode);
inline constexpr PropTag PR_INTERNET_CPID = makeTag(0x3FDE, PropType::Int32);
inline constexpr PropTag PR_MESSAGE_SIZE = makeTag(0x0E08, PropType::Int32);
inline constexpr PropTag PR_MESSAGE_FLAGS = makeTag(0x0E07, PropType::Int32);
inline constexpr PropTag PR_HASATTACH = makeTag(0x0E1B, PropType::Boolean);
inline constexpr PropTag PR_DISPLAY_TO_W = makeTag(0x0E04, PropType::Unicode);
inline constexpr PropTag PR_DISPLAY_CC_W = makeTag(0x0E03, PropType::Unicode);
inline constexpr PropTag PR_DISPLAY_BCC_W = makeTag(0x0E02, PropType::Unicode);

// Receipts, follow-up flags and reports
inline constexpr PropTag PR_ORIGINATOR_DELIVERY_REPORT_REQUESTED = makeTag(0x0023, PropType::Boolean);
inline constexpr PropTag PR_READ_RECEIPT_REQUESTED = makeTag(0x0029, PropType::Boolean);
inline constexpr PropTag PR_READ_RECEIPT_ENTRYID = makeTag(0x0046, PropType::Binary);
inline constexpr PropTag PR_READ_RECEIPT_SEARCH_KEY = makeTag(0x0053, PropType::Binary);
inline constexpr PropTag PR_READ_RECEIPT_ADDRTYPE_W = makeTag(0x4029, PropType::Unicode);
inline constexpr PropTag PR_READ_RECEIPT_EMAIL_ADDRESS_W = makeTag(0x402A, PropType::Unicode);
inline constexpr PropTag PR_READ_RECEIPT_NAME_W = makeTag(0x402B, PropType::Unicode);
inline constexpr PropTag PR_READ_RECEIPT_SMTP_ADDRESS_W = makeTag(0x5D05, PropType::Unicode);
inline constexpr PropTag PR_FLAG_STATUS = makeTag(0x1090, PropType::Int32);
inline constexpr PropTag PR_FOLLOWUP_ICON = makeTag(0x1095, PropType::Int32);
inline constexpr PropTag PR_TODO_ITEM_FLAGS = makeTag(0x0E2B, PropType::Int32);
inline constexpr PropTag PR_REPORT_TIME = makeTag(0x0032, PropType::SysTime);
inline constexpr PropTag PR_REPORT_DISPOSITION_W = makeTag(0x0080, PropType::Unicode);
inline constexpr PropTag PR_REPORT_DISPOSITION_MODE_W = makeTag(0x0081, PropType::Unicode);
inline constexpr PropTag PR_ORIGINAL_MESSAGE_ID_W = makeTag(0x1046, PropType::Unicode);
inline constexpr PropTag PR_REPORTING_MTA_W = makeTag(0x6820, PropType::Unicode);
inline constexpr PropTag PR_REMOTE_MTA_W = makeTag(0x0C21, PropType::Unicode);
inline constexpr PropTag PR_SUPPLEMENTARY_INFO_W = makeTag(0x0C1B, PropType::Unicode);
inline constexpr PropTag PR_NDR_STATUS_CODE = makeTag(0x0C20, PropType::Int32);

// Sender (Sender:, else From:) and sent-representing (From:)
inline constexpr PropTag PR_SENDER_NAME_W = makeTag(0x0C1A, PropType::Unicode);
inline constexpr PropTag PR_SENDER_EMAIL_ADDRESS_W = makeTag(0x0C1F, PropType::Unicode);
inline constexpr PropTag PR_SENDER_ADDRTYPE_W = makeTag(0x0C1E, PropType::Unicode);
inline constexpr PropTag PR_SENDER_SMTP_ADDRESS_W = makeTag(0x5D01, PropType::Unicode);
inline constexpr PropTag PR_SENDER_ENTRYID = makeTag(0x0C19, PropType::Binary);
inline constexpr PropTag PR_SENDER_SEARCH_KEY = makeTag(0x0C1D, PropType::Binary);
inline constexpr PropTag PR_SENT_REPRESENTING_NAME_W = makeTag(0x0042, PropType::Unicode);
inline constexpr PropTag PR_SENT_REPRESENTING_EMAIL_ADDRESS_W = makeTag(0x0065, PropType::Unicode);
inline constexpr PropTag PR_SENT_REPRESENTING_ADDRTYPE_W = makeTag(0x0064, PropType::Unicode);
inline constexpr PropTag PR_SENT_REPRESENTING_SMTP_ADDRESS_W = makeTag(0x5D02, PropType::Unicode);
inline constexpr PropTag PR_SENT_REPRESENTING_ENTRYID = makeTag(0x0041, PropType::Binary);
inline constexpr PropTag PR_SENT_REPRESENTING_SEARCH_KEY = makeTag(0x003B, PropType::Binary);
inline constexpr PropTag PR_REPLY_RECIPIENT_NAMES_W = makeTag(0x0050, PropType::Unicode);
inline constexpr PropTag PR_REPLY_RECIPIENT_ENTRIES = makeTag(0x004F, PropType::Binary);

// Bodies
inline constexpr PropTag PR_BODY_W = makeTag(0x1000, PropType::Unicode);
inline constexpr PropTag PR_HTML = makeTag(0x1013, PropType::Binary);
inline constexpr PropTag PR_NATIVE_BODY_INFO = makeTag(0x1016, PropType::Int32);
inline constexpr PropTag PR_RTF_COMPRESSED = makeTag(0x1009, PropType::Binary);

// Meetings
inline constexpr PropTag PR_START_DATE = makeTag(0x0060, PropType::SysTime);
inline constexpr PropTag PR_END_DATE = makeTag(0x0061, PropType::SysTime);
inline constexpr PropTag PR_RESPONSE_REQUESTED = makeTag(0x0063, PropType::Boolean);
inline constexpr PropTag PR_RECIPIENT_TRACKSTATUS = makeTag(0x5FFF, PropType::Int32);

// Recipient rows
inline constexpr PropTag PR_RECIPIENT_TYPE = makeTag(0x0C15, PropType::Int32);
inline constexpr PropTag PR_DISPLAY_NAME_W = makeTag(0x3001, PropType::Unicode);
inline constexpr PropTag PR_ADDRTYPE_W = makeTag(0x3002, PropType::Unicode);
inline constexpr PropTag PR_EMAIL_ADDRESS_W = makeTag(0x3003, PropType::Unicode);
inline constexpr PropTag PR_SMTP_ADDRESS_W = makeTag(0x39FE, PropType::Unicode);
inline constexpr PropTag PR_TRANSMITABLE_DISPLAY_NAME_W = makeTag(0x3A20, PropType::Unicode);
inline constexpr PropTag PR_ENTRYID = makeTag(0x0FFF, PropType::Binary);
inline constexpr PropTag PR_SEARCH_KEY = makeTag(0x300B, PropType::Binary);
inline constexpr PropTag PR_DISPLAY_TYPE = makeTag(0x3900, PropType::Int32);
inline constexpr PropTag PR_RECIPIENT_FLAGS = makeTag(0x5FFD, PropType::Int32);
inline constexpr PropTag PR_SEND_RICH_INFO = makeTag(0x3A40, PropType::Boolean);

// Attachments
inline constexpr PropTag PR_ATTACH_METHOD = makeTag(0x3705, PropType::Int32);
inline constexpr PropTag PR_ATTACH_DATA_BIN = makeTag(0x3701, PropType::Binary);
inline constexpr PropTag PR_ATTACH_FILENAME_W = makeTag(0x3704, PropType::Unicode);
inline constexpr PropTag PR_ATTACH_LONG_FILENAME_W = makeTag(0x3707, PropType::Unicode);
inline constexpr PropTag PR_ATTACH_EXTENSION_W = makeTag(0x3703, PropType::Unicode);
inline constexpr PropTag PR_ATTACH_MIME_TAG_W = makeTag(0x370E, PropType::Unicode);
inline constexpr PropTag PR_ATTACH_CONTENT_ID_W = makeTag(0x3712, PropType::Unicode);
inline constexpr PropTag PR_ATTACH_CONTENT_LOCATION_W = makeTag(0x3713, PropType::Unicode);
inline constexpr PropTag PR_ATTACH_FLAGS = makeTag(0x3714, PropType::Int32);
inline constexpr PropTag PR_ATTACH_SIZE = makeTag(0x0E20, PropType::Int32);
inline constexpr PropTag PR_ATTACHMENT_HIDDEN = makeTag(0x7FFE, PropType::Boolean);
inline constexpr PropTag PR_RENDERING_POSITION = makeTag(0x370B, PropType::Int32);

// The store object, folders and tables
inline constexpr PropTag PR_MESSAGE_TO_ME = makeTag(0x0057, PropType::Boolean);
inline constexpr PropTag PR_MESSAGE_CC_ME = makeTag(0x0058, PropType::Boolean);
inline constexpr PropTag PR_PARENT_DISPLAY_W = makeTag(0x0E05, PropType::Unicode);
inline constexpr PropTag PR_RESPONSIBILITY = makeTag(0x0E0F, PropType::Boolean);
inline constexpr PropTag PR_MSG_STATUS = makeTag(0x0E17, PropType::Int32);
inline constexpr PropTag PR_ATTACH_NUM = makeTag(0x0E21, PropType::Int32);
inline constexpr PropTag PR_EXCHANGE_REMOTE_HEADER = makeTag(0x0E2A, PropType::Boolean);
// Outlook's own templates type the replication item id as binary, though
// [MS-PST] lists it as PtypInteger32.
inline constexpr PropTag PR_REPL_ITEMID = makeTag(0x0E30, PropType::Binary);
inline constexpr PropTag PR_REPL_CHANGENUM = makeTag(0x0E33, PropType::Int64);
inline constexpr PropTag PR_REPL_VERSIONHISTORY = makeTag(0x0E34, PropType::Binary);
inline constexpr PropTag PR_REPL_FLAGS = makeTag(0x0E38, PropType::Int32);
inline constexpr PropTag PR_REPL_COPIEDFROM_VERSIONHISTORY = makeTag(0x0E3C, PropType::Binary);
inline constexpr PropTag PR_REPL_COPIEDFROM_ITEMID = makeTag(0x0E3D, PropType::Binary);
inline constexpr PropTag PR_CHANGE_KEY = makeTag(0x3013, PropType::Binary);
inline constexpr PropTag PR_RECORD_KEY = makeTag(0x0FF9, PropType::Binary);
inline constexpr PropTag PR_OBJECT_TYPE = makeTag(0x0FFE, PropType::Int32);
inline constexpr PropTag PR_ITEM_TEMPORARY_FLAGS = makeTag(0x1097, PropType::Int32);
inline constexpr PropTag PR_ROWID = makeTag(0x3000, PropType::Int32);
inline constexpr PropTag PR_CREATION_TIME = makeTag(0x3007, PropType::SysTime);
inline constexpr PropTag PR_LAST_MODIFICATION_TIME = makeTag(0x3008, PropType::SysTime);
inline constexpr PropTag PR_VALID_FOLDER_MASK = makeTag(0x35DF, PropType::Int32);
inline constexpr PropTag PR_IPM_SUBTREE_ENTRYID = makeTag(0x35E0, PropType::Binary);
inline constexpr PropTag PR_IPM_WASTEBASKET_ENTRYID = makeTag(0x35E3, PropType::Binary);
inline constexpr PropTag PR_FINDER_ENTRYID = makeTag(0x35E7, PropType::Binary);
inline constexpr PropTag PR_CONTENT_COUNT = makeTag(0x3602, PropType::Int32);
inline constexpr PropTag PR_CONTENT_UNREAD = makeTag(0x3603, PropType::Int32);
inline constexpr PropTag PR_SUBFOLDERS = makeTag(0x360A, PropType::Boolean);
inline constexpr PropTag PR_CONTAINER_CLASS_W = makeTag(0x3613, PropType::Unicode);
inline constexpr PropTag PR_ASSOC_CONTENT_COUNT = makeTag(0x3617, PropType::Int32);
inline constexpr PropTag PR_ATTACH_DATA_OBJ = makeTag(0x3701, PropType::Object);
inline constexpr PropTag PR_7BIT_DISPLAY_NAME_W = makeTag(0x39FF, PropType::Unicode);
inline constexpr PropTag PR_SECURE_SUBMIT_FLAGS = makeTag(0x65C6, PropType::Int32);
inline constexpr PropTag PR_DEFERRED_DELIVERY_TIME = makeTag(0x000F, PropType::SysTime);
inline constexpr PropTag PR_MESSAGE_DOWNLOAD_TIME = makeTag(0x0E10, PropType::Int32);
inline constexpr PropTag PR_SUBMIT_FLAGS = makeTag(0x0E14, PropType::Int32);
inline constexpr PropTag PR_OFFLINE_ADDRBOOK_NAME_W = makeTag(0x6800, PropType::Unicode);
inline constexpr PropTag PR_SEND_OUTLOOK_RECALL_REPORT = makeTag(0x6803, PropType::Boolean);
inline constexpr PropTag PR_OAB_TRUNCATED_PROPS = makeTag(0x6805, PropType::MvInt32);
inline constexpr PropTag PR_VD_FLAGS = makeTag(0x7003, PropType::Int32);
inline constexpr PropTag PR_VD_LINK_TO = makeTag(0x7004, PropType::Binary);
inline constexpr PropTag PR_VD_VIEW_FOLDER = makeTag(0x7005, PropType::Binary);
inline constexpr PropTag PR_VD_NAME_W = makeTag(0x7006, PropType::Unicode);
inline constexpr PropTag PR_VD_VERSION = makeTag(0x7007, PropType::Int32);
inline constexpr PropTag PR_MAPI_FORM_COMPOSE_COMMAND_W = makeTag(0x682F, PropType::Unicode);
inline constexpr PropTag PR_NEXT_SEND_ACCT_W = makeTag(0x0E29, PropType::Unicode);
// Columns of Outlook's outgoing queue and replication templates that
// [MS-OXPROPS] does not name; named here by their ids.
inline constexpr PropTag PR_OUTGOING_QUEUE_0EA2 = makeTag(0x0EA2, PropType::Int32);
inline constexpr PropTag PR_REPL_0E31 = makeTag(0x0E31, PropType::Binary);
inline constexpr PropTag PR_REPL_0E37 = makeTag(0x0E37, PropType::Binary);
inline constexpr PropTag PR_REPL_0E3E = makeTag(0x0E3E, PropType::Binary);

// Personal-folders files only ([MS-PST] "PC" and "TC" properties)
inline constexpr PropTag PR_PST_LR_NO_RESTRICTIONS = makeTag(0x6633, PropType::Boolean);
inline constexpr PropTag PR_PST_HIDDEN_COUNT = makeTag(0x6635, PropType::Int32);
inline constexpr PropTag PR_PST_HIDDEN_UNREAD = makeTag(0x6636, PropType::Int32);
inline constexpr PropTag PR_RECEIVE_FOLDER_NID = makeTag(0x6605, PropType::Int32);
inline constexpr PropTag PR_LATEST_PST_ENSURE = makeTag(0x66FA, PropType::Int32);
inline constexpr PropTag PR_LTP_PARENT_NID = makeTag(0x67F1, PropType::Int32);
inline constexpr PropTag PR_LTP_ROW_ID = makeTag(0x67F2, PropType::Int32);
inline constexpr PropTag PR_LTP_ROW_VER = makeTag(0x67F3, PropType::Int32);
inline constexpr PropTag PR_PST_PASSWORD = makeTag(0x67FF, PropType::Int32);
// The one property of every search criteria object Outlook writes, 0 in a
// new store; [MS-PST] leaves the criteria's properties unnamed.
inline constexpr PropTag PR_SEARCH_CRITERIA_STATE = makeTag(0x660B, PropType::Int32);

// Name-to-id map ([MS-PST] "Named Property Lookup Map")
inline constexpr PropTag PR_NAMEID_BUCKET_COUNT = makeTag(0x0001, PropType::Int32);
inline constexpr PropTag PR_NAMEID_STREAM_GUID = makeTag(0x0002, PropType::Binary);
inline constexpr PropTag PR_NAMEID_STREAM_ENTRY = makeTag(0x0003, PropType::Binary);
inline constexpr PropTag PR_NAMEID_STREAM_STRING = makeTag(0x0004, PropType::Binary);
inline constexpr uint16_t NAMEID_BUCKET_BASE = 0x1000;  // tag id of the first bucket

// Values
inline constexpr int32_t MSGFLAG_READ = 0x0001;
inline constexpr int32_t MSGFLAG_UNSENT = 0x0008;
inline constexpr int32_t MSGFLAG_HASATTACH = 0x0010;
inline constexpr int32_t FOLLOWUP_FLAGGED = 2;     // PR_FLAG_STATUS
inline constexpr int32_t FOLLOWUP_ICON_RED = 6;    // PR_FOLLOWUP_ICON, the colour of a new flag
inline constexpr int32_t TODO_TIME_FLAGGED = 0x1;  // PR_TODO_ITEM_FLAGS
inline constexpr int32_t MAPI_TO = 1, MAPI_CC = 2, MAPI_BCC = 3;
inline constexpr int32_t RECIPIENT_TYPE_MASK = 0x0F;  // PR_RECIPIENT_TYPE without MAPI_P1, MAPI_SUBMITTED
inline constexpr int32_t IMPORTANCE_LOW = 0, IMPORTANCE_NORMAL = 1, IMPORTANCE_HIGH = 2;
inline constexpr int32_t PRIO_NONURGENT = -1, PRIO_NORMAL = 0, PRIO_URGENT = 1;
inline constexpr int32_t SENSITIVITY_NONE = 0, SENSITIVITY_PERSONAL = 1, SENSITIVITY_PRIVATE = 2,
                         SENSITIVITY_COMPANY_CONFIDENTIAL = 3;
inline constexpr int32_t ATTACH_BY_VALUE = 1, ATTACH_EMBEDDED_MSG = 5;
inline constexpr int32_t MAPI_MESSAGE = 5, MAPI_MAILUSER = 6, MAPI_ATTACH = 7;  // PR_OBJECT_TYPE
inline constexpr int32_t ATT_MHTML_REF = 0x0004;
inline constexpr int32_t DT_MAILUSER = 0;
inline constexpr int32_t RECIP_SENDABLE = 0x0001;
inline constexpr int32_t BODY_PLAIN = 1, BODY_HTML = 3;  // PR_NATIVE_BODY_INFO
// PR_VALID_FOLDER_MASK: which of the store's special folder entry ids hold.
inline constexpr int32_t FOLDER_IPM_SUBTREE_VALID = 0x01, FOLDER_IPM_INBOX_VALID = 0x02,
                         FOLDER_IPM_OUTBOX_VALID = 0x04, FOLDER_IPM_WASTEBASKET_VALID = 0x08,
                         FOLDER_IPM_SENTMAIL_VALID = 0x10, FOLDER_VIEWS_VALID = 0x20,
                         FOLDER_COMMON_VIEWS_VALID = 0x40, FOLDER_FINDER_VALID = 0x80;

}  // namespace pst::tags
