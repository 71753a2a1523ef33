#include "util/string_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using quillmere::QuickSort;
using quillmere::RemoveDuplicates;
using quillmere::StringList;

namespace {

void sortAll(StringList& list) { QuickSort(list, 0, static_cast<std::int32_t>(list.size()) - 1); }

}  // namespace

TEST(QuickSort, SortsOrdinallyByCodeUnit)
{
    StringList list{u"Inbox\\2009", u"Inbox", u"Archive", u"Inbox", u"", u"inbox"};
    sortAll(list);
    EXPECT_EQ(list, (StringList{u"", u"Archive", u"Inbox", u"Inbox", u"Inbox\\2009", u"inbox"}));
}

TEST(QuickSort, OrdersSpaceDigitsCapitalsBackslashSmallLetters)
{
    StringList list{u"a", u"\\", u"Z", u"0", u" ", u"A\\b", u"A b", u"Ab"};
    sortAll(list);
    EXPECT_EQ(list, (StringList{u" ", u"0", u"A b", u"A\\b", u"Ab", u"Z", u"\\", u"a"}));
}

TEST(QuickSort, ComparesCodeUnitsNotCodePoints)
{
    // By code point U+1F4E7 is above U+FFFD; by code unit its first
    // surrogate 0xD83D is below 0xFFFD, so it sorts first.
    StringList list{u"\uFFFD", u"\U0001F4E7", u"\u00E9", u"e"};
    sortAll(list);
    EXPECT_EQ(list, (StringList{u"e", u"\u00E9", u"\U0001F4E7", u"\uFFFD"}));
}

TEST(QuickSort, MiddleIndexRoundsHalfToEven)
{
    using quillmere::detail::QuickSortMiddleIndex;
    EXPECT_EQ(QuickSortMiddleIndex(0, 1), 0);
    EXPECT_EQ(QuickSortMiddleIndex(0, 2), 1);
    EXPECT_EQ(QuickSortMiddleIndex(0, 3), 2);
    EXPECT_EQ(QuickSortMiddleIndex(2, 3), 2);
    EXPECT_EQ(QuickSortMiddleIndex(3, 4), 4);
    EXPECT_EQ(QuickSortMiddleIndex(0x7FFFFFFE, 0x7FFFFFFF), 0x7FFFFFFE);
}

TEST(QuickSort, SortsOnlyTheGivenRange)
{
    StringList list{u"b", u"a", u"c", u"a"};
    QuickSort(list, 1, 3);
    EXPECT_EQ(list, (StringList{u"b", u"a", u"a", u"c"}));

    StringList tail{u"z", u"y", u"x", u"w"};
    QuickSort(tail, 0, 1);
    EXPECT_EQ(tail, (StringList{u"y", u"z", u"x", u"w"}));
}

TEST(QuickSort, RangeOfOneOrNoneLeavesListAlone)
{
    StringList list{u"c", u"b", u"a"};
    QuickSort(list, 1, 1);
    EXPECT_EQ(list, (StringList{u"c", u"b", u"a"}));
    QuickSort(list, 2, 1);
    EXPECT_EQ(list, (StringList{u"c", u"b", u"a"}));
    StringList empty;
    QuickSort(empty, 0, -1);
    EXPECT_TRUE(empty.empty());
}

TEST(QuickSort, RangeOutsideListIsRejected)
{
    StringList list{u"b", u"a"};
    EXPECT_THROW(QuickSort(list, 0, 2), std::out_of_range);
    EXPECT_THROW(QuickSort(list, -1, 1), std::out_of_range);
    EXPECT_EQ(list, (StringList{u"b", u"a"}));
}

TEST(QuickSort, AgreesWithStdSortOnAwkwardInputs)
{
    std::mt19937 random(7);
    const StringList alphabet{u"", u"a", u"A", u"a\\b", u"ab", u"b", u"\\", u"Inbox"};
    for (int size : {2, 3, 4, 5, 17, 64, 1000}) {
        StringList shuffled;
        for (int k = 0; k < size; ++k)
            shuffled.push_back(alphabet[random() % alphabet.size()]);
        for (const StringList& input : {shuffled, [&] { auto s = shuffled; std::sort(s.begin(), s.end()); return s; }(),
                                        [&] { auto s = shuffled; std::sort(s.rbegin(), s.rend()); return s; }(),
                                        StringList(size, u"same")}) {
            StringList mine = input;
            StringList reference = input;
            sortAll(mine);
            std::sort(reference.begin(), reference.end());
            EXPECT_EQ(mine, reference) << "size " << size;
        }
    }
}

TEST(RemoveDuplicates, KeepsOneOfEachSortedRunAndDropsEmpties)
{
    StringList list{u"", u"Archive", u"Inbox", u"Inbox", u"Inbox\\2009", u"inbox"};
    RemoveDuplicates(list);
    EXPECT_EQ(list, (StringList{u"Archive", u"Inbox", u"Inbox\\2009", u"inbox"}));

    StringList triple{u"a", u"a", u"a"};
    RemoveDuplicates(triple);
    EXPECT_EQ(triple, (StringList{u"a"}));

    StringList runs{u"a", u"a", u"b", u"b", u"b", u"c", u"d", u"d"};
    RemoveDuplicates(runs);
    EXPECT_EQ(runs, (StringList{u"a", u"b", u"c", u"d"}));
}

TEST(RemoveDuplicates, RemovesOnlyAdjacentRepeatsInUnsortedLists)
{
    StringList separated{u"a", u"b", u"a"};
    RemoveDuplicates(separated);
    EXPECT_EQ(separated, (StringList{u"a", u"b", u"a"}));

    StringList gap{u"a", u"", u"a"};
    RemoveDuplicates(gap);
    EXPECT_EQ(gap, (StringList{u"a", u"a"}));
}

TEST(RemoveDuplicates, AllEmptyOrNoEntriesGiveEmptyList)
{
    StringList allEmpty{u"", u"", u""};
    RemoveDuplicates(allEmpty);
    EXPECT_TRUE(allEmpty.empty());

    StringList one{u""};
    RemoveDuplicates(one);
    EXPECT_TRUE(one.empty());

    StringList none;
    RemoveDuplicates(none);
    EXPECT_TRUE(none.empty());
}

TEST(RemoveDuplicates, SortThenRemoveYieldsEachFolderOnceParentsFirst)
{
    StringList list{u"Mail\\Sent", u"Mail\\Inbox\\Sub", u"", u"Mail", u"Mail\\Inbox", u"Mail\\Inbox",
                    u"Mail", u"Mail\\Inbox\\Sub", u"Mail\\Sent"};
    sortAll(list);
    RemoveDuplicates(list);
    EXPECT_EQ(list, (StringList{u"Mail", u"Mail\\Inbox", u"Mail\\Inbox\\Sub", u"Mail\\Sent"}));
}
