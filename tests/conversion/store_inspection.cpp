#include "store_inspection.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "pst/read/pst_reader.h"
#include "util/utf.h"

namespace fs = std::filesystem;

namespace testing_support {

namespace {

void walk(pst::read::PstReader& reader, uint32_t folder, const std::string& path,
          std::map<std::string, std::vector<ReadMessage>>& out) {
    for (auto& sub : reader.subfolders(folder)) {
        std::string subPath = (path.empty() ? "" : path + "/") + quillmere::toUtf8(sub.name);
        auto& messages = out[subPath];
        for (uint32_t nid : reader.messageNids(sub.nid)) {
            auto content = reader.readMessage(nid);
            ReadMessage m;
            if (auto* v = content.find(0x0037001F)) m.subject = quillmere::toUtf8(std::get<std::u16string>(*v));
            if (auto* v = content.find(0x0E070003)) m.flags = std::get<int32_t>(*v);
            m.attachments = content.attachments.size();
            messages.push_back(m);
        }
        walk(reader, sub.nid, subPath, out);
    }
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

}  // namespace

bool toolAvailable(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

std::map<std::string, std::vector<ReadMessage>> readWithOwnReader(const fs::path& pst) {
    auto reader = pst::read::PstReader::open(pst);
    std::map<std::string, std::vector<ReadMessage>> out;
    walk(*reader, reader->ipmSubtree().nid, "", out);
    return out;
}

std::map<std::string, int> readWithPffexport(const fs::path& pst, const fs::path& work) {
    std::map<std::string, int> out;
    if (!toolAvailable("pffexport")) return out;
    fs::remove_all(work);
    fs::create_directories(work);
    std::string command = "cd " + quoted(work) + " && pffexport -q -t x " + quoted(pst) + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        out["<pffexport failed>"] = -1;
        return out;
    }
    fs::path top = work / "x.export" / "Top of Personal Folders";
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_directory()) continue;
        auto name = it->path().filename().string();
        auto parent = fs::relative(it->path().parent_path(), top).generic_string();
        if (name.rfind("Message", 0) == 0 && name.size() == 12) {
            ++out[parent == "." ? "" : parent];
            it.disable_recursion_pending();
        } else {
            out[fs::relative(it->path(), top).generic_string()] += 0;
        }
    }
    return out;
}

std::map<std::string, std::vector<bool>> readWithReadpst(const fs::path& pst, const fs::path& work) {
    std::map<std::string, std::vector<bool>> out;
    if (!toolAvailable("readpst")) return out;
    fs::remove_all(work);
    fs::create_directories(work);
    // readpst's parallel jobs can race on the numbered file names and overwrite a message: run it in one.
    std::string command = "readpst -q -j 0 -D -e -o " + quoted(work) + " " + quoted(pst) + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        out["<readpst failed>"] = {};
        return out;
    }
    // readpst writes one top folder named after the store.
    std::vector<fs::path> tops;
    for (auto& entry : fs::directory_iterator(work))
        if (entry.is_directory()) tops.push_back(entry.path());
    if (tops.size() != 1) {
        out["<readpst wrote " + std::to_string(tops.size()) + " top folders>"] = {};
        return out;
    }
    const fs::path& top = tops.front();
    for (auto& entry : fs::recursive_directory_iterator(top)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path());
        std::string line;
        bool read = false;
        while (std::getline(in, line) && line != "\r" && !line.empty())
            if (line.rfind("Status: RO", 0) == 0) read = true;
        out[fs::relative(entry.path().parent_path(), top).generic_string()].push_back(read);
    }
    return out;
}

}  // namespace testing_support
