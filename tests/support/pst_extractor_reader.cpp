// The pst-extractor package, through tests/readers/dump-pst.js.

#include "independent_readers.h"
#include "json.h"
#include "process.h"

namespace test_readers {

namespace fs = std::filesystem;
using detail::Json;

namespace {

SeenMessage message(const Json& j) {
    SeenMessage m;
    m.subject = j["subject"].str();
    m.senderName = j["senderName"].str();
    m.senderEmail = j["senderEmail"].str();
    m.date = j["submitTime"].str();
    m.bodyText = j["body"].str();
    m.bodyHtml = j["bodyHtml"].str();
    for (auto& r : j["recipients"].array) {
        SeenRecipient sr;
        sr.name = r["name"].str();
        sr.email = r["smtp"].str().empty() ? r["email"].str() : r["smtp"].str();
        sr.type = static_cast<int>(r["type"].integer(0));
        m.recipients.push_back(sr);
    }
    for (auto& a : j["attachments"].array) {
        SeenAttachment sa;
        sa.name = a["longFilename"].str().empty() ? a["filename"].str() : a["longFilename"].str();
        sa.size = a["size"].integer(-1);
        sa.digest = a["digest"].str();
        if (a["embedded"].kind == Json::Kind::Object) sa.message = std::make_shared<SeenMessage>(message(a["embedded"]));
        m.attachments.push_back(std::move(sa));
    }
    return m;
}

SeenFolder folder(const Json& j) {
    SeenFolder f;
    f.name = j["name"].str();
    for (auto& m : j["messages"].array) f.messages.push_back(message(m));
    for (auto& s : j["subfolders"].array) f.subfolders.push_back(folder(s));
    return f;
}

}  // namespace

ReaderResult readWithPstExtractor(const fs::path& pst) {
    ReaderResult r;
    r.tool = "pst-extractor";
    fs::path dir = QUILLMERE_READERS_DIR;
    if (!toolInstalled("node")) {
        r.why = "tool node not installed (needed for pst-extractor)";
        return r;
    }
    if (!fs::exists(dir / "node_modules" / "pst-extractor")) {
        r.why = "tool pst-extractor not installed (run scripts/setup.sh, or npm ci in " + dir.string() + ")";
        return r;
    }
    r.available = true;
    auto c = detail::run({"node", (dir / "dump-pst.js").string(), fs::absolute(pst).string()});
    r.exitCode = c.exitCode;
    r.log = c.errors;
    if (c.exitCode != 0) {
        r.why = "pst-extractor failed (exit " + std::to_string(c.exitCode) + "): " + c.errors;
        return r;
    }
    try {
        Json j = detail::parseJson(c.output.substr(0, c.output.size() - c.errors.size()));
        r.storeName = j["store"].str();
        r.root = folder(j["root"]);
        r.ok = true;
    } catch (const std::exception& e) {
        r.why = std::string("cannot parse pst-extractor's output: ") + e.what();
    }
    return r;
}

}  // namespace test_readers
