#include "pst/messaging/table_templates.h"

#include "pst/messaging/property_tags.h"

namespace pst::messaging {
using namespace pst::tags;

std::vector<PropTag> hierarchyTableColumns() {
    return {ReplItemId, ReplChangeNum, ReplVersionHistory, ReplFlags, DisplayName, ContentCount,
            ContentUnreadCount, Subfolders, ContainerClass, PstHiddenCount, PstHiddenUnread, LtpRowId,
            LtpRowVer};
}

std::vector<PropTag> contentsTableColumns() {
    return {Importance, MessageClass, Sensitivity, Subject, ClientSubmitTime, SentRepresentingName,
            MessageToMe, MessageCcMe, ConversationTopic, ConversationIndex, DisplayCc, DisplayTo,
            MessageDeliveryTime, MessageFlags, MessageSize, MessageStatus, ReplItemId, ReplChangeNum,
            ReplVersionHistory, ReplFlags, ReplCopiedFromVersionHistory, ReplCopiedFromItemId,
            ItemTemporaryFlags, LastModificationTime, SecureSubmitFlags, LtpRowId, LtpRowVer,
            // beyond the required set: what a mail view sorts and shows
            ChangeKey, SenderName, CreationTime, HasAttachments};
}

std::vector<PropTag> assocContentsTableColumns() {
    return {MessageClass, MessageFlags, MessageStatus, DisplayName, LtpRowId, LtpRowVer,
            0x6800001F /* PidTagOfflineAddressBookName */, 0x6803000B /* PidTagSendOutlookRecallReport */,
            0x68051003 /* PidTagOfflineAddressBookTruncatedProperties */, 0x70030003 /* PidTagViewDescriptorFlags */,
            0x70040102 /* PidTagViewDescriptorLinkTo */, 0x70050102 /* PidTagViewDescriptorViewFolder */,
            0x7006001F /* PidTagViewDescriptorName */, 0x70070003 /* PidTagViewDescriptorVersion */, 0x682F001F /* as Outlook lists it */};
}

std::vector<PropTag> searchContentsTableColumns() {
    return {Importance, MessageClass, Sensitivity, Subject, SentRepresentingName, MessageToMe, MessageCcMe, DisplayCc,
            DisplayTo, ParentDisplay, MessageDeliveryTime, MessageFlags, MessageSize, MessageStatus,
            ExchangeRemoteHeader, LastModificationTime, LtpParentNid, LtpRowId, LtpRowVer};
}

std::vector<PropTag> receiveFolderTableColumns() { return {MessageClass, ReceiveFolderNid, LtpRowId, LtpRowVer}; }

std::vector<PropTag> outgoingQueueTableColumns() {
    return {0x000F0040 /* PidTagDeferredDeliveryTime */, ClientSubmitTime, MessageFlags,
            0x0E100003 /* PidTagMessageDownloadTime */, 0x0E140003 /* PidTagSubmitFlags */,
            0x0E29001F, 0x0EA20003 /* both as Outlook lists them */, LtpParentNid, LtpRowId, LtpRowVer};
}

std::vector<std::vector<PropTag>> replicationTableColumns() {
    return {{ReplChangeNum, 0x0E370102, ReplFlags, LtpRowId, LtpRowVer},
            {MessageClass, 0x0E300102, 0x0E310102, ReplChangeNum, ReplVersionHistory, ReplFlags, 0x0E3E0102, LtpRowId,
             LtpRowVer},
            {ReplChangeNum, CreationTime, LtpRowId, LtpRowVer}};
}

std::vector<PropTag> recipientTableColumns() {
    return {RecipientType, Responsibility, RecordKey, ObjectType, EntryId, DisplayName, AddressType,
            EmailAddress, SearchKey, DisplayType, SevenBitDisplayName, SendRichInfo, LtpRowId, LtpRowVer};
}

std::vector<PropTag> attachmentTableColumns() {
    return {AttachSize, AttachFilename, AttachMethod, RenderingPosition, LtpRowId, LtpRowVer};
}

}  // namespace pst::messaging
