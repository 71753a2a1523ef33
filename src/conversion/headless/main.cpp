// quillmere-convert [--quiet] [SOURCE] [DEST]
//
// Converts every .eml file below SOURCE into a new personal-folders file in
// DEST, with the same run as the window. Without arguments it converts the
// bundled sample store into ./out/.
//
// Exit status: 0 every message converted, 1 some were not (or a folder could
// not be listed, or the run was interrupted), 2 nothing could be converted
// (bad arguments, no messages, the store could not be made or written).
// Every run that made a store leaves its report beside it.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "conversion/components.h"
#include "conversion/conversion_run.h"
#include "conversion/folder_path.h"
#include "conversion/headless/terminal_host.h"
#include "conversion/text.h"
#include "selection/path_logger.h"
#include "util/path_helpers.h"
#include "util/platform_path.h"
#include "util/system_error_text.h"

namespace fs = std::filesystem;
using namespace conversion;
using namespace conversion::headless;

namespace {

std::atomic<bool> interrupted{false};

void onInterrupt(int) { interrupted = true; }

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: quillmere-convert [--quiet] [SOURCE] [DEST]\n"
                 "  SOURCE  folder whose .eml files are converted (default: the bundled samples/)\n"
                 "  DEST    folder that receives the new .pst file (default: ./out/)\n"
                 "  --quiet no line per message when the output is not a terminal\n"
                 "  --version print the program's version\n");
}

// The sample store bundled with the program, found from the program's own
// location: installed, and in the build tree, it lies at
// QUILLMERE_SAMPLES_FROM_BINDIR from the folder of the program.
fs::path bundledSamples(const char* argv0) {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::absolute(argv0);
    return (exe.parent_path() / QUILLMERE_SAMPLES_FROM_BINDIR).lexically_normal();
}

struct Listing {
    quillmere::PathList rows;
    std::vector<ListingFailure> refused;
};

// Every .eml file below `source`; a folder that cannot be listed is named
// and the walk goes on with the others.
Listing listMessages(const fs::path& source) {
    quillmere::pathLogger walker;
    walker.PathLogInit();
    walker.fullFileNamesOnly(true);
    walker.goOnAfterFailures(true);
    Listing listing;
    walker.sendFilesTo([&](const std::u16string& file) {
        if (quillmere::IsMessageFilePath(file)) listing.rows.push_back(file);
    });
    walker.LogPath(quillmere::EnsureTrailingSeparator(fromPath(source)));
    for (const auto& refused : walker.refusedEntries()) listing.refused.push_back({refused.path, refused.cause});
    walker.Terminate();
    listing.rows.shrink_to_fit();
    return listing;
}

void printRefused(const std::vector<ListingFailure>& refused) {
    for (const auto& r : refused)
        std::fprintf(stderr, "quillmere-convert: cannot list %s: %s\n", toUtf8(r.folder).c_str(), r.reason.c_str());
}

std::string megabytes(uintmax_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--quiet")) {
            quiet = true;
        } else if (!std::strcmp(argv[i], "--version")) {
            std::printf("quillmere-convert %s\n", QUILLMERE_VERSION);
            return 0;
        } else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage(stdout);
            return 0;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "quillmere-convert: unknown option %s\n", argv[i]);
            usage(stderr);
            return 2;
        } else {
            positional.push_back(argv[i]);
        }
    }
    if (positional.size() > 2) {
        usage(stderr);
        return 2;
    }

    std::error_code ec;
    fs::path source = positional.size() >= 1 ? fs::absolute(positional[0]) : bundledSamples(argv[0]);
    fs::path destination = fs::absolute(positional.size() >= 2 ? fs::path(positional[1]) : fs::path("out"));
    if (!fs::is_directory(source, ec)) {
        std::fprintf(stderr, "quillmere-convert: %s is not a folder\n", source.string().c_str());
        return 2;
    }
    fs::create_directories(destination, ec);
    if (!fs::is_directory(destination)) {
        std::fprintf(stderr, "quillmere-convert: cannot create the folder %s: %s\n", destination.string().c_str(),
                     ec ? quillmere::systemErrorText(ec.value()).c_str() : "a file of that name is in the way");
        return 2;
    }

    // Lines, not blocks: the progress and the messages on stderr stay in
    // order when both go to one file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    auto started = std::chrono::steady_clock::now();
    auto listing = listMessages(source);
    printRefused(listing.refused);
    if (listing.rows.empty()) {
        std::fprintf(stderr, "quillmere-convert: no .eml files below %s%s\n", source.string().c_str(),
                     listing.refused.empty() ? "" : " in the folders that could be listed");
        return 2;
    }
    std::printf("%zu messages below %s\n", listing.rows.size(), source.string().c_str());

    // Closing the terminal or being asked to stop ends the run as Ctrl-C
    // does: the message in hand is finished, the store committed, the
    // report completed. Output to a closed terminal then fails quietly.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::signal(SIGHUP, onInterrupt);
    std::signal(SIGPIPE, SIG_IGN);

    ProgressLine progress(stdout, isatty(fileno(stdout)) != 0, quiet);
    TerminalPrompts prompts(fromPath(destination), stderr, &progress);
    TerminalHost host(std::move(listing.rows), prompts, progress, interrupted);
    host.setListingFailures(std::move(listing.refused));
    ComponentRegistry components;
    registerStoreComponents(components, makeFileProfile());
    RunFields fields;
    RunReport report = ConversionRun(host, components, fields).run();
    progress.finish();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::fflush(stdout);
    auto printReport = [&] {
        if (!report.reportPath.empty()) std::printf("Report: %s\n", toUtf8(report.reportPath).c_str());
        if (!report.reportFailure.empty())
            std::fprintf(stderr, "quillmere-convert: %s\n", report.reportFailure.c_str());
    };
    if (report.outcome == RunReport::Outcome::ErrorPath || report.outcome == RunReport::Outcome::Cancelled) {
        std::fprintf(stderr, "quillmere-convert: the store could not be prepared: %s\n", report.errorReason.c_str());
        if (!report.pstPath.empty())
            std::fprintf(stderr, "  the new store %s holds none of the messages\n", toUtf8(report.pstPath).c_str());
        printReport();
        return 2;
    }
    fields.rdoSession.reset();

    uintmax_t bytes = fs::file_size(toPath(report.pstPath), ec);
    if (ec) bytes = 0;
    std::printf("%s%d of %d messages converted into %d folders, %zu not converted, %zu with warnings",
                report.outcome == RunReport::Outcome::Interrupted ? "Interrupted: " : "", report.messagesConverted,
                report.rows, report.foldersCreated, report.failures.size(), report.warned.size());
    if (!report.listingFailures.empty()) std::printf(", %zu folders not listed", report.listingFailures.size());
    std::printf("\n");
    if (!report.storeFailure.empty()) std::printf("The store could not be written: %s\n", report.storeFailure.c_str());
    std::printf("%s, %s in %.1f s\n", toUtf8(report.pstPath).c_str(), megabytes(bytes).c_str(), seconds);
    printReport();
    std::fflush(stdout);
    if (!report.storeFailure.empty() && report.messagesConverted == 0) return 2;
    return report.clean() && report.outcome == RunReport::Outcome::Finished ? 0 : 1;
}
