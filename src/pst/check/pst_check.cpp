#include "pst/check/pst_check.h"

#include <sstream>

#include "pst/check/checker.h"
#include "pst/read/pst_reader.h"

namespace pst::check {

Report checkFile(const std::filesystem::path& file, const Options& options) {
    Report report;
    std::unique_ptr<read::Ndb> ndb;
    try {
        ndb = read::Ndb::open(file);
    } catch (const read::ReadError& e) {
        report.defects.push_back(std::string("file: ") + e.what());
        return report;
    }
    Checker c(*ndb, options, report);
    try {
        checkNdb(c);
        if (!options.ndbOnly) {
            if (c.btreesReadable)
                checkMessaging(c);
            else
                c.note("the LTP and messaging checks were skipped: the B-trees cannot be read");
        }
    } catch (const TooManyDefects&) {
        report.notes.push_back("stopped after " + std::to_string(options.maxDefects) + " defects");
    } catch (const read::ReadError& e) {
        report.defects.push_back(std::string("file: ") + e.what());
    } catch (const std::exception& e) {
        report.defects.push_back(std::string("checker: unexpected failure: ") + e.what());
    }
    return report;
}

std::string Report::text() const {
    std::ostringstream o;
    auto& s = summary;
    const char* crypt = s.cryptMethod == 0 ? "none" : s.cryptMethod == 1 ? "permute" : s.cryptMethod == 2 ? "cyclic" : "unknown";
    o << "format:   " << (s.unicode ? "Unicode" : "ANSI") << " (wVer " << s.version << "), encoding " << crypt << "\n";
    o << "file:     " << s.fileSize << " bytes; " << s.amapPages << " AMap, " << s.pmapPages << " PMap, " << s.fmapPages
      << " FMap, " << s.fpmapPages << " FPMap page(s); density list " << (s.dlistPresent ? "present" : "absent") << "\n";
    o << "b-trees:  NBT " << s.nbtPages << " page(s) in " << s.nbtLevels << " level(s), BBT " << s.bbtPages << " page(s) in "
      << s.bbtLevels << " level(s)\n";
    o << "nodes:    " << s.nodes << "; blocks: " << s.blocks << " holding " << s.blockBytes << " bytes; allocated "
      << s.allocatedBytes << " bytes, " << s.unreachedBytes << " of them unreached\n";
    o << "content:  " << s.folders << " folder(s), " << s.searchFolders << " search folder(s), " << s.messages << " message(s), "
      << s.recipients << " recipient(s), " << s.attachments << " attachment(s)\n";
    for (auto& n : notes) o << "note: " << n << "\n";
    for (auto& d : defects) o << "DEFECT: " << d << "\n";
    o << (defects.empty() ? "OK: no defects\n" : std::to_string(defects.size()) + " defect(s)\n");
    return o.str();
}

}  // namespace pst::check
