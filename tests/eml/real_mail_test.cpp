// Real mail that nobody here wrote: the test messages Debian ships with two
// MIME parsers (Python's email package and enmime), real-world and
// malformed. Every one is converted into a real store, read back by readpst
// and by pffexport, and compared with an independent reading by Python's
// email package. A difference one reader causes and the other does not is
// listed; one both readers show fails, unless explained below.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "eml/charset.h"
#include "eml/eml_parser.h"
#include "independent_readers.h"
#include "json.h"
#include "process.h"
#include "pst/store.h"

namespace {

namespace fs = std::filesystem;
using test_readers::detail::Json;

const char* const kPythonData = "/usr/lib/python3.11/test/test_email/data";
const char* const kEnmimeData = "/usr/share/gocode/src/github.com/jhillyerd/enmime/testdata";

// Differences where Python's reading is not the one a mail reader shows, or
// the MIME is broken beyond one right reading: file, field, why.
struct Explained {
    const char* file;
    const char* field;
    const char* why;
};
const Explained kExplained[] = {
    {"python msg_15", "attachments", "the nested alternative reuses its parent's boundary; we follow the nesting as "
                                     "sent (text, HTML, one GIF whose 'base64' is plain words)"},
    {"python msg_15", "html body", "the nested alternative reuses its parent's boundary (see attachments)"},
    {"python msg_15", "text", "the nested alternative reuses its parent's boundary (see attachments)"},
    {"python msg_16", "attachments", "Python reads message/delivery-status as header blocks and gives no bytes for it; "
                                     "the item keeps its text"},
    {"python msg_36", "attachments", "Python reads message/external-body as an attached message without bytes; the "
                                     "item keeps each part's text as a file"},
    {"python msg_38", "attachments", "boundary lines with trailing blanks inside the text are boundaries (RFC 2046 "
                                     "transport padding); the file is made to split parsers, no one reading is right"},
    {"python msg_39", "attachments", "nested multiparts all reuse one boundary: MIME broken beyond one right reading"},
    {"python msg_39", "text", "nested multiparts all reuse one boundary: MIME broken beyond one right reading"},
    {"python msg_43", "attachments", "Python reads message/delivery-status as header blocks and gives no bytes for it"},
    {"python msg_43", "sender", "From: <> is the null sender of a bounce; Python shows \"<>\", the item no sender"},
    {"enmime mail inlinemultipart", "attachments", "Python turns the CRLF of a text part into LF (17 bytes); the "
                                                   "file holds 18"},
    {"enmime mail malformed-multiple-address-header-values", "attachments",
     "Python turns the CRLF of a text part into LF (17 bytes); the file holds 18"},
    {"enmime mail mime-alternative", "text", "two plain alternatives: the last is the one to show (RFC 2046), Python "
                                             "takes the first"},
    {"enmime mail mime-bad-content-transfer-encoding", "text", "text declared base64 is plain words: decoded as "
                                                              "declared, Python leaves it as it is"},
    {"enmime mail qp-utf8-header-recursed", "sender", "Python cannot read this From list (an encoded word with a "
                                                      "space inside); readpst shows From, pffexport the Sender header"},
    {"enmime low-quality bad-header-start", "sender", "Python stops at the indented first header, the item reads it"},
    {"enmime low-quality bad-header-start", "text", "two plain alternatives: the last is the one to show (RFC 2046)"},
    {"enmime low-quality empty-header", "text", "two plain alternatives: the last is the one to show (RFC 2046)"},
    {"enmime low-quality missing-content-type2", "text", "two plain alternatives: the last is the one to show"},
    {"enmime low-quality bad-header-wrap", "attachments", "a parameter line that lost its indentation: Python ends "
                                                          "the headers there and decodes them as base64, the item "
                                                          "keeps the part's own 7 bytes"},
    {"enmime low-quality incorrect-charset", "text", "UTF-8 text declared as US-ASCII: read as UTF-8 (with a "
                                                     "warning), Python replaces every 8-bit byte"},
};

const Explained* explanation(const std::string& file, const std::string& field) {
    for (const auto& e : kExplained)
        if (file == e.file && field == e.field) return &e;
    return nullptr;
}

struct RealMessage {
    std::string label;  // "python msg_01", "enmime low-quality bad-header-start"
    fs::path path;
};

std::vector<RealMessage> realMessages() {
    std::vector<RealMessage> out;
    auto add = [&out](const fs::path& dir, const std::string& prefix, const std::string& ext) {
        std::error_code error;
        if (!fs::is_directory(dir, error)) return;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(dir, error))
            if (entry.path().extension() == ext && (ext != ".txt" || entry.path().stem().string().rfind("msg_", 0) == 0))
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& f : files) out.push_back({prefix + " " + f.stem().string(), f});
    };
    add(kPythonData, "python", ".txt");
    add(fs::path(kEnmimeData) / "mail", "enmime mail", ".raw");
    add(fs::path(kEnmimeData) / "low-quality", "enmime low-quality", ".raw");
    return out;
}

std::string collapsed(const std::string& s, size_t limit = std::string::npos) {
    std::string out;
    bool space = false;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            space = !out.empty();
            continue;
        }
        if (space) out.push_back(' ');
        space = false;
        out.push_back(c);
    }
    return out.substr(0, std::min(limit, out.size()));
}

// The first `count` characters (not bytes) of UTF-8 text.
std::string firstCharacters(const std::string& s, size_t count) {
    size_t at = 0;
    for (size_t n = 0; at < s.size() && n < count; ++n) {
        ++at;
        while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
    }
    return s.substr(0, at);
}

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string joined(const std::multiset<std::string>& items) {
    std::string out;
    for (const auto& i : items) out += (out.empty() ? "" : ", ") + i;
    return "[" + out + "]";
}

// One field as each side shows it; empty when they agree.
using Differences = std::map<std::string, std::string>;

Differences compare(const test_readers::SeenMessage& seen, const Json& python) {
    Differences out;
    auto differ = [&out](const std::string& field, const std::string& got, const std::string& want) {
        if (got != want) out[field] = "reader \"" + got + "\", Python \"" + want + "\"";
    };
    differ("subject", collapsed(seen.subject), collapsed(python["subject"].str()));
    std::string sender = lower(seen.senderEmail);
    if (sender == "mailer-daemon") sender.clear();  // readpst's word for no sender
    differ("sender", sender, lower(python["sender"].str()));

    std::multiset<std::string> seenRecipients, pythonRecipients;
    for (const auto& r : seen.recipients)
        if (r.type != 3) seenRecipients.insert(lower(r.email));
    for (const auto& r : python["recipients"].array) pythonRecipients.insert(lower(r.str()));
    differ("recipients", joined(seenRecipients), joined(pythonRecipients));

    differ("html body", seen.bodyHtml.empty() ? "no" : "yes", python["hasHtml"].boolean ? "yes" : "no");
    if (python["hasText"].boolean) {
        std::string want = firstCharacters(collapsed(python["text"].str()), 200);
        std::string got = firstCharacters(collapsed(seen.bodyText), 200);
        differ("text", got, want);
    }

    std::multiset<std::string> seenFiles, pythonFiles;
    std::vector<const Json*> unnamed;
    for (const auto& a : python["attachments"].array) {
        if (a["message"].boolean) pythonFiles.insert("message");
        else if (a["name"].str().empty()) pythonFiles.insert("? " + std::to_string(a["size"].integer()) + " bytes");
        else pythonFiles.insert(a["name"].str() + " " + std::to_string(a["size"].integer()) + " bytes");
    }
    for (const auto& a : seen.attachments) {
        if (a.message) {
            seenFiles.insert("message");
            continue;
        }
        std::string size = std::to_string(a.size) + " bytes";
        // A part without a file name gets a made-up one (ATT00001.txt).
        bool madeUp = a.name.rfind("ATT", 0) == 0 && a.name.size() >= 9 &&
                      pythonFiles.count(a.name + " " + size) == 0;
        seenFiles.insert(madeUp ? "? " + size : a.name + " " + size);
    }
    differ("attachments", joined(seenFiles), joined(pythonFiles));
    return out;
}

class RealMail : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        messages_ = realMessages();
        if (messages_.empty()) return;
        store_ = dir_.path() / "real-mail.pst";
        try {
            auto store = pst::Store::create(store_, u"Real Mail");
            for (const auto& m : messages_) {
                try {
                    auto parsed = eml::parseFile(m.path);
                    auto folder = store->createFolder(store->ipmSubtree(), eml::utf8ToUtf16(m.label));
                    store->addMessage(folder, parsed.message);
                    for (const auto& w : parsed.warnings) std::printf("%s: %s\n", m.label.c_str(), w.c_str());
                } catch (const eml::ParseError& e) {
                    refused_[m.label] = e.what();
                }
            }
            store->close();
        } catch (const std::exception& e) {
            storeError_ = e.what();
        }
        std::vector<std::string> argv = {"python3", QUILLMERE_PYTHON_VIEW};
        for (const auto& m : messages_) argv.push_back(m.path.string());
        auto python = test_readers::detail::run(argv, 300);
        if (python.exitCode != 0) {
            pythonError_ = "python3 failed: " + python.errors;
            return;
        }
        std::string json = python.output.substr(0, python.output.size() - python.errors.size());
        try {
            python_ = test_readers::detail::parseJson(json);
        } catch (const std::exception& e) {
            pythonError_ = std::string("python3 printed no JSON: ") + e.what();
        }
    }

    void SetUp() override {
        if (messages_.empty())
            GTEST_SKIP() << "no real mail: install libpython3.11-testsuite and golang-github-jhillyerd-enmime-dev "
                            "(scripts/setup.sh installs both)";
    }

    static inline std::vector<RealMessage> messages_;
    static inline test_readers::detail::TempDir dir_;
    static inline fs::path store_;
    static inline std::map<std::string, std::string> refused_;
    static inline std::string storeError_, pythonError_;
    static inline Json python_;
};

TEST_F(RealMail, EveryMessageBecomesAnItem) {
    ASSERT_TRUE(storeError_.empty()) << storeError_;
    for (const auto& [label, why] : refused_) ADD_FAILURE() << label << " was refused: " << why;
}

TEST_F(RealMail, BothReadersSeeWhatPythonReads) {
    ASSERT_TRUE(storeError_.empty()) << storeError_;
    if (!test_readers::toolInstalled("python3")) GTEST_SKIP() << "python3 not installed";
    ASSERT_TRUE(pythonError_.empty()) << pythonError_;
    auto readpst = test_readers::readWithReadpst(store_);
    auto pffexport = test_readers::readWithPffexport(store_);
    if (!readpst.available || !pffexport.available) GTEST_SKIP() << readpst.why << " " << pffexport.why;
    ASSERT_TRUE(readpst.ok) << readpst.why;
    ASSERT_TRUE(pffexport.ok) << pffexport.why;

    int listed = 0, explained = 0;
    for (const auto& m : messages_) {
        if (refused_.count(m.label)) continue;
        SCOPED_TRACE(m.label);
        const Json& want = python_[m.path.string()];
        ASSERT_EQ(want.kind, Json::Kind::Object);
        const test_readers::SeenFolder* a = readpst.topOfStore() ? readpst.topOfStore()->find(m.label) : nullptr;
        const test_readers::SeenFolder* b = pffexport.topOfStore() ? pffexport.topOfStore()->find(m.label) : nullptr;
        ASSERT_TRUE(a && a->messages.size() == 1) << "readpst shows no item";
        ASSERT_TRUE(b && b->messages.size() == 1) << "pffexport shows no item";
        Differences byReadpst = compare(a->messages[0], want);
        Differences byPffexport = compare(b->messages[0], want);
        std::set<std::string> fields;
        for (const auto& d : byReadpst) fields.insert(d.first);
        for (const auto& d : byPffexport) fields.insert(d.first);
        for (const auto& field : fields) {
            bool both = byReadpst.count(field) && byPffexport.count(field);
            std::string detail = byReadpst.count(field) ? "readpst: " + byReadpst[field] : "";
            if (byPffexport.count(field)) detail += (detail.empty() ? "" : "\n  ") + ("pffexport: " + byPffexport[field]);
            const Explained* why = explanation(m.label, field);
            if (both && !why) {
                ADD_FAILURE() << m.label << ", " << field << " differs:\n  " << detail;
            } else {
                std::printf("%s, %s (%s): %s\n  %s\n", m.label.c_str(), field.c_str(),
                            why ? "explained" : "one reader", why ? why->why : "", detail.c_str());
                ++(why ? explained : listed);
            }
        }
    }
    std::printf("%zu real messages: %d differences of one reader listed, %d explained\n", messages_.size(), listed,
                explained);
}

}  // namespace
