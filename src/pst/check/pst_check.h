#pragma once
// The integrity checker: reopens a personal-folders file and judges it from
// its HEADER alone, layer by layer.
//
//   NDB        HEADER and ROOT, allocation maps at their fixed places, both
//              B-trees (CRCs, signatures, levels, key order, parent keys),
//              every block (trailer, CRC, signature, data and subnode trees),
//              reference counts, AMap bits against what is reached.
//   LTP        every heap, BTH, property context and table context.
//   messaging  mandatory nodes, store properties and entry ids, the
//              name-to-id map, template tables, the folder tree with its
//              hierarchy, contents and FAI tables against the nodes they
//              list, folder counts, messages, recipients and attachments.
//
// A file written only at the NDB level (no messaging nodes yet) is checked
// with ndbOnly.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pst::check {

struct Options {
    bool ndbOnly = false;
    // Also reports what the format forbids but Outlook-made files still
    // show (a stale cbAMapFree, rgbFM/rgbFP not 0xFF, a folder PC without
    // its counts, ...). Use it for files this project writes.
    bool strict = false;
    size_t maxDefects = 500;  // stop collecting after this many
};

struct Summary {
    uint64_t fileSize = 0;
    bool unicode = true;
    uint16_t version = 0;
    uint8_t cryptMethod = 0;
    size_t amapPages = 0, pmapPages = 0, fmapPages = 0, fpmapPages = 0;
    bool dlistPresent = false;
    size_t nbtPages = 0, bbtPages = 0;
    unsigned nbtLevels = 0, bbtLevels = 0;
    size_t nodes = 0;
    size_t blocks = 0;           // BBT entries
    uint64_t blockBytes = 0;     // their data bytes (cb)
    uint64_t allocatedBytes = 0; // bytes the AMaps mark in use
    uint64_t unreachedBytes = 0; // marked in use but reached by nothing
    size_t folders = 0, searchFolders = 0, messages = 0, attachments = 0, recipients = 0;
};

struct Report {
    Summary summary;
    std::vector<std::string> defects;  // "where: what"
    std::vector<std::string> notes;    // findings the format allows
    bool ok() const { return defects.empty(); }
    // The human-readable report the command prints.
    std::string text() const;
};

// Never throws for a damaged file: every problem becomes a defect (a file
// that cannot be opened at all gives one defect).
Report checkFile(const std::filesystem::path& file, const Options& options = {});

}  // namespace pst::check
