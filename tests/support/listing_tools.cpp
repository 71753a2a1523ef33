#include "independent_readers.h"
#include "process.h"

namespace test_readers {

namespace {

ToolRun runListing(const std::string& tool, const std::string& package, const std::filesystem::path& pst) {
    ToolRun r;
    r.tool = tool;
    if (!toolInstalled(tool)) {
        r.why = "tool " + tool + " not installed (Debian package " + package + ")";
        return r;
    }
    r.available = true;
    auto c = detail::run({tool, std::filesystem::absolute(pst).string()});
    r.exitCode = c.exitCode;
    r.output = c.output;
    if (c.exitCode != 0) r.why = tool + " failed (exit " + std::to_string(c.exitCode) + ")";
    return r;
}

}  // namespace

ToolRun runPffinfo(const std::filesystem::path& pst) { return runListing("pffinfo", "pff-tools", pst); }
ToolRun runLspst(const std::filesystem::path& pst) { return runListing("lspst", "pst-utils", pst); }

}  // namespace test_readers
