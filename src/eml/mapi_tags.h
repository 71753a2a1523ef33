#pragma once
// The MAPI property tags and values a mail item read from an RFC 822 file
// carries. Names follow the MAPI headers (PR_..., _W for Unicode strings).

#include "pst/property.h"

namespace eml::tags {

using pst::makeTag;
using pst::PropType;

// Envelope
inline constexpr pst::PropTag PR_MESSAGE_CLASS_W = makeTag(0x001A, PropType::Unicode);
inline constexpr pst::PropTag PR_SUBJECT_W = makeTag(0x0037, PropType::Unicode);
inline constexpr pst::PropTag PR_SUBJECT_PREFIX_W = makeTag(0x003D, PropType::Unicode);
inline constexpr pst::PropTag PR_NORMALIZED_SUBJECT_W = makeTag(0x0E1D, PropType::Unicode);
inline constexpr pst::PropTag PR_CONVERSATION_TOPIC_W = makeTag(0x0070, PropType::Unicode);
inline constexpr pst::PropTag PR_CONVERSATION_INDEX = makeTag(0x0071, PropType::Binary);
inline constexpr pst::PropTag PR_CLIENT_SUBMIT_TIME = makeTag(0x0039, PropType::SysTime);
inline constexpr pst::PropTag PR_MESSAGE_DELIVERY_TIME = makeTag(0x0E06, PropType::SysTime);
inline constexpr pst::PropTag PR_INTERNET_MESSAGE_ID_W = makeTag(0x1035, PropType::Unicode);
inline constexpr pst::PropTag PR_IN_REPLY_TO_ID_W = makeTag(0x1042, PropType::Unicode);
inline constexpr pst::PropTag PR_INTERNET_REFERENCES_W = makeTag(0x1039, PropType::Unicode);
inline constexpr pst::PropTag PR_IMPORTANCE = makeTag(0x0017, PropType::Int32);
inline constexpr pst::PropTag PR_PRIORITY = makeTag(0x0026, PropType::Int32);
inline constexpr pst::PropTag PR_SENSITIVITY = makeTag(0x0036, PropType::Int32);
inline constexpr pst::PropTag PR_TRANSPORT_MESSAGE_HEADERS_W = makeTag(0x007D, PropType::Unicode);
inline constexpr pst::PropTag PR_INTERNET_CPID = makeTag(0x3FDE, PropType::Int32);
inline constexpr pst::PropTag PR_MESSAGE_SIZE = makeTag(0x0E08, PropType::Int32);
inline constexpr pst::PropTag PR_MESSAGE_FLAGS = makeTag(0x0E07, PropType::Int32);
inline constexpr pst::PropTag PR_HASATTACH = makeTag(0x0E1B, PropType::Boolean);
inline constexpr pst::PropTag PR_DISPLAY_TO_W = makeTag(0x0E04, PropType::Unicode);
inline constexpr pst::PropTag PR_DISPLAY_CC_W = makeTag(0x0E03, PropType::Unicode);
inline constexpr pst::PropTag PR_DISPLAY_BCC_W = makeTag(0x0E02, PropType::Unicode);

// Receipts, follow-up flags and reports
inline constexpr pst::PropTag PR_ORIGINATOR_DELIVERY_REPORT_REQUESTED = makeTag(0x0023, PropType::Boolean);
inline constexpr pst::PropTag PR_READ_RECEIPT_REQUESTED = makeTag(0x0029, PropType::Boolean);
inline constexpr pst::PropTag PR_READ_RECEIPT_ENTRYID = makeTag(0x0046, PropType::Binary);
inline constexpr pst::PropTag PR_READ_RECEIPT_SEARCH_KEY = makeTag(0x0053, PropType::Binary);
inline constexpr pst::PropTag PR_READ_RECEIPT_ADDRTYPE_W = makeTag(0x4029, PropType::Unicode);
inline constexpr pst::PropTag PR_READ_RECEIPT_EMAIL_ADDRESS_W = makeTag(0x402A, PropType::Unicode);
inline constexpr pst::PropTag PR_READ_RECEIPT_NAME_W = makeTag(0x402B, PropType::Unicode);
inline constexpr pst::PropTag PR_READ_RECEIPT_SMTP_ADDRESS_W = makeTag(0x5D05, PropType::Unicode);
inline constexpr pst::PropTag PR_FLAG_STATUS = makeTag(0x1090, PropType::Int32);
inline constexpr pst::PropTag PR_FOLLOWUP_ICON = makeTag(0x1095, PropType::Int32);
inline constexpr pst::PropTag PR_TODO_ITEM_FLAGS = makeTag(0x0E2B, PropType::Int32);
inline constexpr pst::PropTag PR_REPORT_TIME = makeTag(0x0032, PropType::SysTime);
inline constexpr pst::PropTag PR_REPORT_DISPOSITION_W = makeTag(0x0080, PropType::Unicode);
inline constexpr pst::PropTag PR_REPORT_DISPOSITION_MODE_W = makeTag(0x0081, PropType::Unicode);
inline constexpr pst::PropTag PR_ORIGINAL_MESSAGE_ID_W = makeTag(0x1046, PropType::Unicode);
inline constexpr pst::PropTag PR_REPORTING_MTA_W = makeTag(0x6820, PropType::Unicode);
inline constexpr pst::PropTag PR_REMOTE_MTA_W = makeTag(0x0C21, PropType::Unicode);
inline constexpr pst::PropTag PR_SUPPLEMENTARY_INFO_W = makeTag(0x0C1B, PropType::Unicode);
inline constexpr pst::PropTag PR_NDR_STATUS_CODE = makeTag(0x0C20, PropType::Int32);

// Sender (Sender:, else From:) and sent-representing (From:)
inline constexpr pst::PropTag PR_SENDER_NAME_W = makeTag(0x0C1A, PropType::Unicode);
inline constexpr pst::PropTag PR_SENDER_EMAIL_ADDRESS_W = makeTag(0x0C1F, PropType::Unicode);
inline constexpr pst::PropTag PR_SENDER_ADDRTYPE_W = makeTag(0x0C1E, PropType::Unicode);
inline constexpr pst::PropTag PR_SENDER_SMTP_ADDRESS_W = makeTag(0x5D01, PropType::Unicode);
inline constexpr pst::PropTag PR_SENDER_ENTRYID = makeTag(0x0C19, PropType::Binary);
inline constexpr pst::PropTag PR_SENDER_SEARCH_KEY = makeTag(0x0C1D, PropType::Binary);
inline constexpr pst::PropTag PR_SENT_REPRESENTING_NAME_W = makeTag(0x0042, PropType::Unicode);
inline constexpr pst::PropTag PR_SENT_REPRESENTING_EMAIL_ADDRESS_W = makeTag(0x0065, PropType::Unicode);
inline constexpr pst::PropTag PR_SENT_REPRESENTING_ADDRTYPE_W = makeTag(0x0064, PropType::Unicode);
inline constexpr pst::PropTag PR_SENT_REPRESENTING_SMTP_ADDRESS_W = makeTag(0x5D02, PropType::Unicode);
inline constexpr pst::PropTag PR_SENT_REPRESENTING_ENTRYID = makeTag(0x0041, PropType::Binary);
inline constexpr pst::PropTag PR_SENT_REPRESENTING_SEARCH_KEY = makeTag(0x003B, PropType::Binary);
inline constexpr pst::PropTag PR_REPLY_RECIPIENT_NAMES_W = makeTag(0x0050, PropType::Unicode);
inline constexpr pst::PropTag PR_REPLY_RECIPIENT_ENTRIES = makeTag(0x004F, PropType::Binary);

// Bodies
inline constexpr pst::PropTag PR_BODY_W = makeTag(0x1000, PropType::Unicode);
inline constexpr pst::PropTag PR_HTML = makeTag(0x1013, PropType::Binary);
inline constexpr pst::PropTag PR_NATIVE_BODY_INFO = makeTag(0x1016, PropType::Int32);

// Recipient rows
inline constexpr pst::PropTag PR_RECIPIENT_TYPE = makeTag(0x0C15, PropType::Int32);
inline constexpr pst::PropTag PR_DISPLAY_NAME_W = makeTag(0x3001, PropType::Unicode);
inline constexpr pst::PropTag PR_ADDRTYPE_W = makeTag(0x3002, PropType::Unicode);
inline constexpr pst::PropTag PR_EMAIL_ADDRESS_W = makeTag(0x3003, PropType::Unicode);
inline constexpr pst::PropTag PR_SMTP_ADDRESS_W = makeTag(0x39FE, PropType::Unicode);
inline constexpr pst::PropTag PR_TRANSMITABLE_DISPLAY_NAME_W = makeTag(0x3A20, PropType::Unicode);
inline constexpr pst::PropTag PR_ENTRYID = makeTag(0x0FFF, PropType::Binary);
inline constexpr pst::PropTag PR_SEARCH_KEY = makeTag(0x300B, PropType::Binary);
inline constexpr pst::PropTag PR_DISPLAY_TYPE = makeTag(0x3900, PropType::Int32);
inline constexpr pst::PropTag PR_RECIPIENT_FLAGS = makeTag(0x5FFD, PropType::Int32);
inline constexpr pst::PropTag PR_SEND_RICH_INFO = makeTag(0x3A40, PropType::Boolean);

// Attachments
inline constexpr pst::PropTag PR_ATTACH_METHOD = makeTag(0x3705, PropType::Int32);
inline constexpr pst::PropTag PR_ATTACH_DATA_BIN = makeTag(0x3701, PropType::Binary);
inline constexpr pst::PropTag PR_ATTACH_FILENAME_W = makeTag(0x3704, PropType::Unicode);
inline constexpr pst::PropTag PR_ATTACH_LONG_FILENAME_W = makeTag(0x3707, PropType::Unicode);
inline constexpr pst::PropTag PR_ATTACH_EXTENSION_W = makeTag(0x3703, PropType::Unicode);
inline constexpr pst::PropTag PR_ATTACH_MIME_TAG_W = makeTag(0x370E, PropType::Unicode);
inline constexpr pst::PropTag PR_ATTACH_CONTENT_ID_W = makeTag(0x3712, PropType::Unicode);
inline constexpr pst::PropTag PR_ATTACH_CONTENT_LOCATION_W = makeTag(0x3713, PropType::Unicode);
inline constexpr pst::PropTag PR_ATTACH_FLAGS = makeTag(0x3714, PropType::Int32);
inline constexpr pst::PropTag PR_ATTACH_SIZE = makeTag(0x0E20, PropType::Int32);
inline constexpr pst::PropTag PR_ATTACHMENT_HIDDEN = makeTag(0x7FFE, PropType::Boolean);
inline constexpr pst::PropTag PR_RENDERING_POSITION = makeTag(0x370B, PropType::Int32);

// Values
inline constexpr int32_t MSGFLAG_READ = 0x0001;
inline constexpr int32_t MSGFLAG_UNSENT = 0x0008;
inline constexpr int32_t MSGFLAG_HASATTACH = 0x0010;
inline constexpr int32_t FOLLOWUP_FLAGGED = 2;     // PR_FLAG_STATUS
inline constexpr int32_t FOLLOWUP_ICON_RED = 6;    // PR_FOLLOWUP_ICON, the colour of a new flag
inline constexpr int32_t TODO_TIME_FLAGGED = 0x1;  // PR_TODO_ITEM_FLAGS
inline constexpr int32_t MAPI_TO = 1, MAPI_CC = 2, MAPI_BCC = 3;
inline constexpr int32_t IMPORTANCE_LOW = 0, IMPORTANCE_NORMAL = 1, IMPORTANCE_HIGH = 2;
inline constexpr int32_t PRIO_NONURGENT = -1, PRIO_NORMAL = 0, PRIO_URGENT = 1;
inline constexpr int32_t SENSITIVITY_NONE = 0, SENSITIVITY_PERSONAL = 1, SENSITIVITY_PRIVATE = 2,
                         SENSITIVITY_COMPANY_CONFIDENTIAL = 3;
inline constexpr int32_t ATTACH_BY_VALUE = 1, ATTACH_EMBEDDED_MSG = 5;
inline constexpr int32_t ATT_MHTML_REF = 0x0004;
inline constexpr int32_t DT_MAILUSER = 0;
inline constexpr int32_t RECIP_SENDABLE = 0x0001;
inline constexpr int32_t BODY_PLAIN = 1, BODY_HTML = 3;  // PR_NATIVE_BODY_INFO

}  // namespace eml::tags
