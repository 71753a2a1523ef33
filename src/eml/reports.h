#pragma once
// Reports (multipart/report): delivery status notifications (RFC 3464,
// message/delivery-status) and read receipts (RFC 8098,
// message/disposition-notification), read as Outlook reads them
// ([MS-OXCMAIL] 2.2.3.7).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pst/message_content.h"

namespace eml {

struct ReportRecipient {
    std::u16string address;       // Final-Recipient (else Original-Recipient), without its type
    std::string action;           // lower case: failed, delayed, delivered, relayed, expanded
    std::u16string status;        // "5.1.1"
    std::u16string remoteMta;     // the mta-name of Remote-MTA
    std::u16string diagnostic;    // Diagnostic-Code, without its type
    std::u16string supplementary; // X-Supplementary-Info
};

struct Report {
    bool disposition = false;  // a read receipt, else a delivery report
    // Delivery reports
    std::u16string reportingMta;
    std::vector<ReportRecipient> recipients;
    // Read receipts
    std::u16string dispositionMode;  // "manual-action/MDN-sent-manually"
    std::u16string dispositionType;  // "displayed", "deleted", ...
    std::u16string originalMessageId;
};

// The fields of a message/delivery-status or message/disposition-notification
// part; nullopt when it holds none that can be read.
std::optional<Report> parseDeliveryStatus(std::string_view content);
std::optional<Report> parseDispositionNotification(std::string_view content);

// The report's class, its properties and (for delivery reports) a recipient
// row for each recipient it reports on.
void applyReport(const Report& report, pst::MessageContent& out);

}  // namespace eml
