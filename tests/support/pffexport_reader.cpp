// pffexport writes one folder per folder and one MessageNNNNN folder per
// item, holding OutlookHeaders.txt, Recipients.txt, Message.txt/.html and
// Attachments/ (files "N_name", or AttachmentNNNNN/MessageNNNNN for an
// embedded message).

#include <algorithm>
#include <regex>
#include <sstream>

#include "independent_readers.h"
#include "process.h"

namespace test_readers {

namespace fs = std::filesystem;
using detail::readText;

namespace {

bool isItemDir(const fs::path& dir) {
    static const std::regex itemName("[A-Za-z]+[0-9]{5}");
    return std::regex_match(dir.filename().string(), itemName) &&
           (fs::exists(dir / "OutlookHeaders.txt") || fs::exists(dir / "Message.txt") || fs::exists(dir / "Recipients.txt"));
}

// "Key:<tabs>Value" lines.
std::string field(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + ":", 0) != 0) continue;
        auto v = line.substr(key.size() + 1);
        v.erase(0, v.find_first_not_of("\t "));
        return v;
    }
    return {};
}

std::vector<SeenRecipient> recipients(const std::string& text) {
    std::vector<SeenRecipient> out;
    std::istringstream in(text + "\n\n");
    std::string line, block;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            block += line + "\n";
            continue;
        }
        if (block.empty()) continue;
        SeenRecipient r;
        r.name = field(block, "Display name");
        r.email = field(block, "Email address");
        auto type = field(block, "Recipient type");
        r.type = type == "To" ? 1 : type == "CC" || type == "Cc" ? 2 : type == "BCC" || type == "Bcc" ? 3 : 0;
        out.push_back(r);
        block.clear();
    }
    return out;
}

std::vector<fs::path> sortedChildren(const fs::path& dir) {
    std::vector<fs::path> out;
    for (auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

SeenMessage message(const fs::path& dir) {
    SeenMessage m;
    auto headers = readText(dir / "OutlookHeaders.txt");
    m.subject = field(headers, "Subject");
    m.senderName = field(headers, "Sender name");
    m.senderEmail = field(headers, "Sender email address");
    m.date = field(headers, "Client submit time");
    m.recipients = recipients(readText(dir / "Recipients.txt"));
    if (fs::exists(dir / "Message.txt")) m.bodyText = readText(dir / "Message.txt");
    if (fs::exists(dir / "Message.html")) m.bodyHtml = readText(dir / "Message.html");
    if (fs::is_directory(dir / "Attachments")) {
        for (auto& a : sortedChildren(dir / "Attachments")) {
            SeenAttachment att;
            if (fs::is_directory(a)) {
                for (auto& inner : sortedChildren(a))
                    if (fs::is_directory(inner) && isItemDir(inner)) att.message = std::make_shared<SeenMessage>(message(inner));
                att.name = att.message ? att.message->subject : a.filename().string();
            } else {
                auto name = a.filename().string();
                auto us = name.find('_');
                att.name = us == std::string::npos ? name : name.substr(us + 1);
                auto data = readText(a);
                att.size = static_cast<int64_t>(data.size());
                att.digest = contentDigest(data);
            }
            m.attachments.push_back(std::move(att));
        }
    }
    return m;
}

SeenFolder folder(const fs::path& dir, const std::string& name) {
    SeenFolder f;
    f.name = name;
    for (auto& child : sortedChildren(dir)) {
        if (!fs::is_directory(child)) continue;
        if (isItemDir(child))
            f.messages.push_back(message(child));
        else
            f.subfolders.push_back(folder(child, child.filename().string()));
    }
    return f;
}

}  // namespace

ReaderResult readWithPffexport(const fs::path& pst) {
    ReaderResult r;
    r.tool = "pffexport";
    if (!toolInstalled("pffexport")) {
        r.why = "tool pffexport not installed (Debian package pff-tools)";
        return r;
    }
    r.available = true;
    detail::TempDir tmp;
    auto target = tmp.path() / "out";
    auto c = detail::run({"pffexport", "-q", "-f", "all", "-t", target.string(), fs::absolute(pst).string()});
    r.exitCode = c.exitCode;
    r.log = c.output;
    fs::path exported = target.string() + ".export";
    if (c.exitCode != 0 || !fs::is_directory(exported)) {
        r.why = "pffexport failed (exit " + std::to_string(c.exitCode) + "): " + c.output;
        return r;
    }
    r.root = folder(exported, "");
    r.ok = true;
    return r;
}

}  // namespace test_readers
