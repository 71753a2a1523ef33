#pragma once
// Sorting a list of strings and dropping repeated entries. Strings compare
// ordinally by UTF-16 code unit, case-sensitive (std::u16string's operator<),
// so a parent folder's path sorts before the paths of its subfolders.

#include <cstdint>
#include <string>
#include <vector>

namespace quillmere {

using StringList = std::vector<std::u16string>;

// Sorts list[first..last] (both inclusive) ascending in place; entries outside
// the range are not touched. An empty range (last < first) does nothing.
// Throws std::out_of_range if a non-empty range reaches outside the list.
void QuickSort(StringList& list, std::int32_t first, std::int32_t last);

// On a sorted list: keeps the first of each run of adjacent equal entries,
// removes every empty entry, keeps the order of the rest and shrinks the list.
// A list that holds only empty entries (or none) becomes an empty list.
void RemoveDuplicates(StringList& list);

namespace detail {
// The pivot position of a QuickSort pass: (first + last) / 2 rounded to the
// nearest integer, a half going to the even neighbour.
std::int32_t QuickSortMiddleIndex(std::int32_t first, std::int32_t last);
}  // namespace detail

}  // namespace quillmere
