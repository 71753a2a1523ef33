#include "source_tree.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;

namespace testing_support {

std::string sampleMessage(const std::string& subject, bool attachment) {
    std::string head = "From: Ann <ann@example.com>\r\nTo: Bob <bob@example.org>\r\nSubject: " + subject +
                       "\r\nDate: Mon, 2 Mar 2026 10:00:00 +0100\r\nMIME-Version: 1.0\r\n";
    if (!attachment) return head + "Content-Type: text/plain; charset=us-ascii\r\n\r\nHello.\r\n";
    return head +
           "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\nContent-Type: text/plain\r\n\r\nSee "
           "attached.\r\n--b1\r\nContent-Type: text/plain; name=\"n.txt\"\r\nContent-Disposition: attachment; "
           "filename=\"n.txt\"\r\n\r\nnote\r\n--b1--\r\n";
}

SourceTree::SourceTree(const std::string& label) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    base = fs::temp_directory_path() /
           ("quillmere-" + label + "-" + std::to_string(::getpid()) + "-" + (test ? test->name() : "outside"));
    fs::remove_all(base);
    fs::create_directories(base / "out");
}

SourceTree::~SourceTree() {
    std::error_code ignored;
    if (!::testing::Test::HasFailure()) fs::remove_all(base, ignored);
}

fs::path SourceTree::write(const fs::path& relative, const std::string& content) {
    fs::path file = base / "src" / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

std::vector<fs::path> SourceTree::stores() const {
    std::vector<fs::path> out;
    for (auto& entry : fs::directory_iterator(base / "out"))
        if (entry.path().extension() == ".pst") out.push_back(entry.path());
    return out;
}

std::string SourceTree::prefix() const { return fs::relative(base / "src", "/").generic_string(); }

}  // namespace testing_support
