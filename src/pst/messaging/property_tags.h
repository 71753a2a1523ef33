#pragma once
// Property tags the store itself reads or writes ([MS-OXPROPS]).

#include "pst/property.h"

namespace pst::tags {

inline constexpr PropTag Importance = 0x00170003;
inline constexpr PropTag MessageClass = 0x001A001F;
inline constexpr PropTag Sensitivity = 0x00360003;
inline constexpr PropTag Subject = 0x0037001F;
inline constexpr PropTag ClientSubmitTime = 0x00390040;
inline constexpr PropTag SentRepresentingName = 0x0042001F;
inline constexpr PropTag MessageToMe = 0x0057000B;
inline constexpr PropTag MessageCcMe = 0x0058000B;
inline constexpr PropTag ConversationTopic = 0x0070001F;
inline constexpr PropTag ConversationIndex = 0x00710102;
inline constexpr PropTag RecipientType = 0x0C150003;
inline constexpr PropTag SenderName = 0x0C1A001F;
inline constexpr PropTag DisplayBcc = 0x0E02001F;
inline constexpr PropTag DisplayCc = 0x0E03001F;
inline constexpr PropTag DisplayTo = 0x0E04001F;
inline constexpr PropTag ParentDisplay = 0x0E05001F;
inline constexpr PropTag MessageDeliveryTime = 0x0E060040;
inline constexpr PropTag MessageFlags = 0x0E070003;
inline constexpr PropTag MessageSize = 0x0E080003;
inline constexpr PropTag Responsibility = 0x0E0F000B;
inline constexpr PropTag MessageStatus = 0x0E170003;
inline constexpr PropTag AttachSize = 0x0E200003;
inline constexpr PropTag AttachNum = 0x0E210003;
inline constexpr PropTag HasAttachments = 0x0E1B000B;
inline constexpr PropTag ExchangeRemoteHeader = 0x0E2A000B;
// Outlook's own templates type the replication item id as binary, though
// [MS-PST] lists it as PtypInteger32.
inline constexpr PropTag ReplItemId = 0x0E300102;
inline constexpr PropTag ChangeKey = 0x30130102;
inline constexpr PropTag ReplChangeNum = 0x0E330014;
inline constexpr PropTag ReplVersionHistory = 0x0E340102;
inline constexpr PropTag ReplFlags = 0x0E380003;
inline constexpr PropTag ReplCopiedFromVersionHistory = 0x0E3C0102;
inline constexpr PropTag ReplCopiedFromItemId = 0x0E3D0102;
inline constexpr PropTag RecordKey = 0x0FF90102;
inline constexpr PropTag ObjectType = 0x0FFE0003;
inline constexpr PropTag EntryId = 0x0FFF0102;
inline constexpr PropTag Body = 0x1000001F;
inline constexpr PropTag ItemTemporaryFlags = 0x10970003;
inline constexpr PropTag RowId = 0x30000003;
inline constexpr PropTag DisplayName = 0x3001001F;
inline constexpr PropTag AddressType = 0x3002001F;
inline constexpr PropTag EmailAddress = 0x3003001F;
inline constexpr PropTag CreationTime = 0x30070040;
inline constexpr PropTag LastModificationTime = 0x30080040;
inline constexpr PropTag SearchKey = 0x300B0102;
inline constexpr PropTag ValidFolderMask = 0x35DF0003;
inline constexpr PropTag IpmSubtreeEntryId = 0x35E00102;
inline constexpr PropTag IpmWastebasketEntryId = 0x35E30102;
inline constexpr PropTag FinderEntryId = 0x35E70102;
inline constexpr PropTag ContentCount = 0x36020003;
inline constexpr PropTag ContentUnreadCount = 0x36030003;
inline constexpr PropTag Subfolders = 0x360A000B;
inline constexpr PropTag ContainerClass = 0x3613001F;
inline constexpr PropTag AttachDataBinary = 0x37010102;
inline constexpr PropTag AttachDataObject = 0x3701000D;
inline constexpr PropTag AttachFilename = 0x3704001F;
inline constexpr PropTag AttachMethod = 0x37050003;
inline constexpr PropTag AttachLongFilename = 0x3707001F;
inline constexpr PropTag RenderingPosition = 0x370B0003;
inline constexpr PropTag AttachMimeTag = 0x370E001F;
inline constexpr PropTag DisplayType = 0x39000003;
inline constexpr PropTag SevenBitDisplayName = 0x39FF001F;
inline constexpr PropTag SendRichInfo = 0x3A40000B;
inline constexpr PropTag SecureSubmitFlags = 0x65C60003;
inline constexpr PropTag PstHiddenCount = 0x66350003;
inline constexpr PropTag PstHiddenUnread = 0x66360003;
inline constexpr PropTag LtpParentNid = 0x67F10003;
inline constexpr PropTag LtpRowId = 0x67F20003;
inline constexpr PropTag LtpRowVer = 0x67F30003;
inline constexpr PropTag PstPassword = 0x67FF0003;
inline constexpr PropTag PstLrNoRestrictions = 0x6633000B;
inline constexpr PropTag LatestPstEnsure = 0x66FA0003;
inline constexpr PropTag ReceiveFolderNid = 0x66050003;
// Name-to-id map ([MS-PST] "Named Property Lookup Map").
inline constexpr PropTag NameidBucketCount = 0x00010003;
inline constexpr PropTag NameidStreamGuid = 0x00020102;
inline constexpr PropTag NameidStreamEntry = 0x00030102;
inline constexpr PropTag NameidStreamString = 0x00040102;
inline constexpr uint16_t NameidBucketBase = 0x1000;

// PR_MESSAGE_FLAGS bits.
inline constexpr int32_t MsgFlagRead = 0x01;
inline constexpr int32_t MsgFlagHasAttach = 0x10;
// PR_ATTACH_METHOD values.
inline constexpr int32_t AttachByValue = 1;
inline constexpr int32_t AttachEmbeddedMsg = 5;
// PR_OBJECT_TYPE values.
inline constexpr int32_t ObjectTypeMessage = 5;
inline constexpr int32_t ObjectTypeMailUser = 6;
inline constexpr int32_t ObjectTypeAttachment = 7;

}  // namespace pst::tags
