#include "eml/reports.h"

#include <algorithm>

#include "eml/addresses.h"
#include "eml/charset.h"
#include "pst/format/property_tags.h"

namespace eml {

using namespace pst::tags;

namespace {

struct Field {
    std::string name;  // lower case
    std::string value;
};
using Block = std::vector<Field>;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string trimmed(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

// Header-style field blocks separated by blank lines; continuation lines
// (starting with white space) are unfolded into the field before them.
std::vector<Block> fieldBlocks(std::string_view content) {
    std::vector<Block> blocks(1);
    size_t at = 0;
    while (at <= content.size()) {
        size_t end = content.find('\n', at);
        if (end == std::string_view::npos) end = content.size();
        std::string_view line = content.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at = end + 1;
        if (trimmed(line).empty()) {
            if (!blocks.back().empty()) blocks.emplace_back();
            if (end == content.size()) break;
            continue;
        }
        if ((line[0] == ' ' || line[0] == '\t') && !blocks.back().empty()) {
            blocks.back().back().value += " " + trimmed(line);
        } else {
            size_t colon = line.find(':');
            if (colon != std::string_view::npos && colon > 0)
                blocks.back().push_back({lower(trimmed(line.substr(0, colon))), trimmed(line.substr(colon + 1))});
        }
        if (end == content.size()) break;
    }
    if (blocks.back().empty()) blocks.pop_back();
    return blocks;
}

std::string fieldOf(const Block& block, const char* name) {
    for (const auto& f : block)
        if (f.name == name) return f.value;
    return {};
}

// "rfc822; someone@example.com" without its type.
std::string withoutType(const std::string& value) {
    size_t semicolon = value.find(';');
    return semicolon == std::string::npos ? value : trimmed(std::string_view(value).substr(semicolon + 1));
}

std::u16string text(const std::string& value) {
    Warnings ignored;
    return decodeText(value, "utf-8", ignored).text;
}

// The more severe action first: what the class is chosen from.
int severity(const std::string& action) {
    if (action == "failed") return 5;
    if (action == "delayed") return 4;
    if (action == "relayed") return 3;
    if (action == "expanded") return 2;
    if (action == "delivered") return 1;
    return 0;
}

std::u16string deliveryClass(const std::string& action) {
    if (action == "failed") return u"REPORT.IPM.Note.NDR";
    if (action == "delayed") return u"REPORT.IPM.Note.Delayed";
    if (action == "relayed") return u"REPORT.IPM.Note.Relayed";
    if (action == "expanded") return u"REPORT.IPM.Note.Expanded";
    return u"REPORT.IPM.Note.DR";
}

}  // namespace

std::optional<Report> parseDeliveryStatus(std::string_view content) {
    std::vector<Block> blocks = fieldBlocks(content);
    if (blocks.empty()) return std::nullopt;
    Report report;
    size_t first = 0;
    if (fieldOf(blocks[0], "final-recipient").empty() && fieldOf(blocks[0], "action").empty()) {
        report.reportingMta = text(fieldOf(blocks[0], "reporting-mta"));
        first = 1;
    }
    for (size_t i = first; i < blocks.size(); ++i) {
        const Block& b = blocks[i];
        ReportRecipient r;
        std::string address = fieldOf(b, "final-recipient");
        if (address.empty()) address = fieldOf(b, "original-recipient");
        r.address = text(withoutType(address));
        r.action = lower(trimmed(fieldOf(b, "action")));
        std::string status = fieldOf(b, "status");
        r.status = text(status.substr(0, status.find_first_of(" \t(")));
        r.remoteMta = text(withoutType(fieldOf(b, "remote-mta")));
        r.diagnostic = text(withoutType(fieldOf(b, "diagnostic-code")));
        r.supplementary = text(fieldOf(b, "x-supplementary-info"));
        if (r.address.empty() && r.action.empty()) continue;
        report.recipients.push_back(std::move(r));
    }
    if (report.recipients.empty()) return std::nullopt;
    return report;
}

std::optional<Report> parseDispositionNotification(std::string_view content) {
    std::vector<Block> blocks = fieldBlocks(content);
    if (blocks.empty()) return std::nullopt;
    const Block& b = blocks[0];
    std::string disposition = fieldOf(b, "disposition");
    if (disposition.empty()) return std::nullopt;
    Report report;
    report.disposition = true;
    size_t semicolon = disposition.find(';');
    report.dispositionMode = text(trimmed(std::string_view(disposition).substr(0, semicolon)));
    if (semicolon != std::string::npos) {
        std::string type = trimmed(std::string_view(disposition).substr(semicolon + 1));
        type = type.substr(0, type.find_first_of("/ \t;"));  // modifiers are not part of the type
        report.dispositionType = text(lower(type));
    }
    report.originalMessageId = text(fieldOf(b, "original-message-id"));
    report.reportingMta = text(withoutType(fieldOf(b, "reporting-ua")));
    return report;
}

void applyReport(const Report& report, pst::MessageContent& out) {
    if (report.disposition) {
        // [MS-OXOMSG] 2.2.1.34 PidTagReportDisposition; "deleted" (and the
        // failures) are not-read receipts.
        bool read = report.dispositionType != u"deleted" && report.dispositionType != u"denied" &&
                    report.dispositionType != u"failed";
        out.set(PR_MESSAGE_CLASS_W, std::u16string(read ? u"REPORT.IPM.Note.IPNRN" : u"REPORT.IPM.Note.IPNNRN"));
        if (!report.dispositionType.empty()) out.set(PR_REPORT_DISPOSITION_W, report.dispositionType);
        if (!report.dispositionMode.empty()) out.set(PR_REPORT_DISPOSITION_MODE_W, report.dispositionMode);
        if (!report.originalMessageId.empty()) out.set(PR_ORIGINAL_MESSAGE_ID_W, report.originalMessageId);
        return;
    }
    std::string highest;
    for (const auto& r : report.recipients)
        if (severity(r.action) > severity(highest)) highest = r.action;
    out.set(PR_MESSAGE_CLASS_W, deliveryClass(highest));
    if (!report.reportingMta.empty()) out.set(PR_REPORTING_MTA_W, report.reportingMta);
    for (const auto& r : report.recipients) {
        if (r.action != highest || r.address.empty()) continue;
        pst::RecipientRow row = recipientRow(Mailbox{{}, r.address}, MAPI_TO);
        if (!r.remoteMta.empty()) row.props.push_back({PR_REMOTE_MTA_W, r.remoteMta});
        std::u16string info = r.supplementary;
        if (info.empty()) {
            info.push_back(u'<');
            if (!r.remoteMta.empty()) info.append(r.remoteMta).push_back(u' ');
            info.push_back(u'#');
            info.append(r.status);
            if (!r.diagnostic.empty()) info.append(1, u' ').append(r.diagnostic);
            info.push_back(u'>');
        }
        row.props.push_back({PR_SUPPLEMENTARY_INFO_W, info});
        out.recipients.push_back(std::move(row));
    }
}

}  // namespace eml
