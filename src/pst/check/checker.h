#pragma once
// Shared state of one check run.

#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "pst/check/pst_check.h"
#include "pst/read/ndb.h"

namespace pst::check {

class TooManyDefects {};

struct Checker {
    Checker(read::Ndb& ndb, const Options& options, Report& report)
        : ndb(ndb), layout(ndb.layout()), header(ndb.header()), options(options), report(report) {}

    read::Ndb& ndb;
    const read::Layout& layout;
    const read::HeaderInfo& header;
    const Options& options;
    Report& report;

    // Filled by the NDB pass.
    std::map<uint32_t, read::NbtEntry> nodes;               // from the NBT walk
    std::unordered_map<uint64_t, read::BbtEntry> blocks;    // from the BBT walk, by bid key
    bool btreesReadable = false;

    void defect(const std::string& where, const std::string& what) {
        report.defects.push_back(where + ": " + what);
        if (report.defects.size() >= options.maxDefects) throw TooManyDefects{};
    }
    void note(const std::string& what) { report.notes.push_back(what); }
    // Something the format forbids but Outlook's own files show: a defect
    // only in strict mode.
    void tolerated(const std::string& where, const std::string& what) {
        if (options.strict)
            defect(where, what);
        else
            note(where + ": " + what + " (Outlook writes this too)");
    }
};

void checkNdb(Checker& c);        // ndb_check.cpp
void checkMessaging(Checker& c);  // messaging_check.cpp

}  // namespace pst::check
