// The stable sorts of the observe list. The reading-order comparison is not transitive (rows are
// chains of tops less than 15 points apart), so std::sort and std::stable_sort, whose preconditions
// it breaks, are not used: these sorts stay in range and terminate with any comparison.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace deskhand {

// Lists shorter than this are sorted by straight insertion, whose result on chains is the one the
// host has always seen; longer lists by merging runs.
inline constexpr std::size_t kInsertionSortLimit = 64;

// Each item in turn, from the second to the last, moves towards the front past every item before
// which it is ordered, stopping at the first before which it is not.
template <typename T, typename Before>
void insertionSort(std::vector<T>& items, std::size_t begin, std::size_t end, Before before) {
  for (std::size_t i = begin + 1; i < end; ++i) {
    T moving = std::move(items[i]);
    std::size_t j = i;
    while (j > begin && before(moving, items[j - 1])) {
      items[j] = std::move(items[j - 1]);
      --j;
    }
    items[j] = std::move(moving);
  }
}

// Bottom-up merge of runs: the left item is taken unless the right one is ordered before it, so
// items that compare equal keep their order. Every index stays within its run whatever `before` says.
template <typename T, typename Before>
void mergeSort(std::vector<T>& items, Before before) {
  const std::size_t n = items.size();
  constexpr std::size_t kRun = 16;
  for (std::size_t start = 0; start < n; start += kRun) insertionSort(items, start, std::min(n, start + kRun), before);
  std::vector<T> buffer(n);
  for (std::size_t width = kRun; width < n; width *= 2) {
    for (std::size_t left = 0; left < n; left += 2 * width) {
      std::size_t mid = std::min(n, left + width);
      std::size_t right = std::min(n, left + 2 * width);
      std::size_t i = left, j = mid, k = left;
      while (i < mid && j < right)
        buffer[k++] = before(items[j], items[i]) ? std::move(items[j++]) : std::move(items[i++]);
      while (i < mid) buffer[k++] = std::move(items[i++]);
      while (j < right) buffer[k++] = std::move(items[j++]);
    }
    items.swap(buffer);
  }
}

template <typename T, typename Before>
void observeSort(std::vector<T>& items, Before before) {
  if (items.size() < kInsertionSortLimit) {
    insertionSort(items, 0, items.size(), before);
  } else {
    mergeSort(items, before);
  }
}

}  // namespace deskhand
