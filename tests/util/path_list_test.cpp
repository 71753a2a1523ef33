#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "util/path_list.h"

using quillmere::PathList;

// Every path comes back exactly as given, whatever its separators, its
// folder's place in the list or an empty name.
TEST(PathList, GivesBackEveryPathAsGiven) {
    const std::vector<std::u16string> paths{
        u"/mail/Inbox/a.eml",
        u"/mail/Inbox/b.eml",
        u"/mail/Sent/c.eml",
        u"/mail/Inbox/d.eml",             // a folder seen before, not the last one
        u"C:\\Mail\\Inbox\\e .eml",       // backslashes, a name ending in a space
        u"C:\\Mail\\Inbox/mixed.eml",
        u"no-folder.eml",
        u"/mail/Inbox/",                  // an empty name
        u"/mail/\u00e9t\u00e9/\U0001F4E7 \u65e5\u672c.eml",
        u"",
    };
    PathList list;
    for (const auto& p : paths) list.push_back(p);
    list.shrink_to_fit();
    ASSERT_EQ(list.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(list.at(i), paths[i]) << i;
    EXPECT_THROW(list.at(paths.size()), std::out_of_range);
    EXPECT_TRUE(PathList().empty());
}

// A run's list of many messages in a few folders holds each folder once:
// far less than the paths as strings.
TEST(PathList, HoldsEachFolderOnce) {
    PathList list;
    size_t asStrings = 0;
    for (int i = 0; i < 20000; ++i) {
        std::u16string path = u"/home/ann/Windows Live Mail/Example Mail (ann)/Folder " +
                              std::u16string(1, char16_t(u'A' + i % 3)) + u"/message " +
                              std::u16string(6, char16_t(u'0' + i % 10)) + u".eml";
        asStrings += sizeof path + 2 * path.capacity();
        list.push_back(path);
    }
    list.shrink_to_fit();
    EXPECT_EQ(list.at(4), u"/home/ann/Windows Live Mail/Example Mail (ann)/Folder B/message 444444.eml");
    EXPECT_LT(list.heldBytes() * 4, asStrings);
}
