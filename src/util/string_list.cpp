#include "util/string_list.h"

#include <stdexcept>
#include <utility>

namespace quillmere {

std::int32_t detail::QuickSortMiddleIndex(std::int32_t first, std::int32_t last)
{
    const std::int64_t sum = std::int64_t{first} + last;
    const std::int64_t lower = sum / 2;  // both indices are non-negative
    if (sum % 2 == 0)
        return static_cast<std::int32_t>(lower);
    return static_cast<std::int32_t>(lower % 2 == 0 ? lower : lower + 1);
}

namespace {

// One partition step; returns the cursors (i, j) at its end.
std::pair<std::int32_t, std::int32_t> partition(StringList& list, std::int32_t first, std::int32_t last)
{
    const std::u16string pivot = list[detail::QuickSortMiddleIndex(first, last)];
    std::int32_t i = first;
    std::int32_t j = last;
    for (;;) {
        while (list[i] < pivot && i < last)
            ++i;
        while (pivot < list[j] && j > first)
            --j;
        if (i > j)
            break;
        std::swap(list[i], list[j]);
        ++i;
        --j;
        if (i > j)
            break;
    }
    return {i, j};
}

}  // namespace

void QuickSort(StringList& list, std::int32_t first, std::int32_t last)
{
    if (last < first)
        return;
    if (first < 0 || static_cast<std::size_t>(last) >= list.size())
        throw std::out_of_range("QuickSort range outside the list");

    // The two sub-ranges of a partition are disjoint, so sorting them in any
    // order gives the same result. Recursing into the smaller one and looping
    // on the larger keeps the stack depth logarithmic.
    while (first < last) {
        const auto [i, j] = partition(list, first, last);
        const bool lowerPart = first < j;
        const bool upperPart = i < last;
        if (lowerPart && upperPart) {
            if (j - first < last - i) {
                QuickSort(list, first, j);
                first = i;
            } else {
                QuickSort(list, i, last);
                last = j;
            }
        } else if (lowerPart) {
            last = j;
        } else if (upperPart) {
            first = i;
        } else {
            break;
        }
    }
}

void RemoveDuplicates(StringList& list)
{
    const std::int64_t n = static_cast<std::int64_t>(list.size()) - 1;

    // Marking pass: blank every repeat of an entry, widening the gap over the
    // repeats already blanked.
    std::int64_t g = 1;
    std::int64_t j = 0;
    while (j <= n) {
        if (j + g > n)
            break;
        if (list[j].empty()) {
            ++j;
        } else if (list[j + g] == list[j]) {
            list[j + g].clear();
            ++g;
        } else {
            g = 1;
            ++j;
        }
    }

    // Compaction pass.
    std::size_t k = 0;
    for (std::size_t m = 0; m < list.size(); ++m) {
        if (!list[m].empty()) {
            if (m != k)
                list[k] = std::move(list[m]);
            ++k;
        }
    }
    list.resize(k);
}

}  // namespace quillmere
