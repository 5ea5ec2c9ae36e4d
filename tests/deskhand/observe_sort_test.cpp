// The two sorts of the observe list and the duplicate filter, called directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "deskhand/observe/enumerate.h"
#include "deskhand/observe/sort.h"

namespace {

using deskhand::RawElement;

RawElement raw(const std::string& title, double x, double y, double w = 10, double h = 10) {
  return RawElement{nullptr, "AXButton", title, platform::rectMake(x, y, w, h)};
}

std::vector<std::string> titles(const std::vector<RawElement>& elements) {
  std::vector<std::string> out;
  for (const auto& e : elements) out.push_back(e.title);
  return out;
}

struct Keyed {
  int key = 0;
  int seq = 0;
};

std::vector<Keyed> keyedItems(std::size_t n, int keys, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Keyed> items(n);
  for (std::size_t i = 0; i < n; ++i) items[i] = {static_cast<int>(rng() % keys), static_cast<int>(i)};
  return items;
}

bool sameOrder(const std::vector<Keyed>& a, const std::vector<Keyed>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const Keyed& x, const Keyed& y) { return x.key == y.key && x.seq == y.seq; });
}

// With a proper ordering both algorithms must agree with std::stable_sort on every size, including
// the sizes around the switch from insertion to merging and around the merge's run length.
TEST(ObserveSort, MatchesStableSortForAStrictWeakOrder) {
  for (std::size_t n : {0, 1, 2, 3, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 129, 1000, 4097}) {
    for (int keys : {1, 3, 1000}) {
      auto items = keyedItems(n, keys, static_cast<unsigned>(n * 31 + keys));
      auto expected = items;
      auto byKey = [](const Keyed& a, const Keyed& b) { return a.key < b.key; };
      std::stable_sort(expected.begin(), expected.end(), byKey);
      auto sorted = items;
      deskhand::observeSort(sorted, byKey);
      EXPECT_TRUE(sameOrder(sorted, expected)) << "n=" << n << " keys=" << keys;
      auto merged = items;
      deskhand::mergeSort(merged, byKey);
      EXPECT_TRUE(sameOrder(merged, expected)) << "merge n=" << n << " keys=" << keys;
      auto inserted = items;
      deskhand::insertionSort(inserted, 0, inserted.size(), byKey);
      EXPECT_TRUE(sameOrder(inserted, expected)) << "insertion n=" << n << " keys=" << keys;
    }
  }
}

// Comparisons that break every rule: the sorts must stay in range, end, and give back a permutation.
TEST(ObserveSort, SurvivesAdversarialComparisons) {
  std::mt19937 coin(7);
  struct Case {
    const char* name;
    std::function<bool(const Keyed&, const Keyed&)> before;
  };
  const std::vector<Case> cases = {
      {"always true", [](const Keyed&, const Keyed&) { return true; }},
      {"always false", [](const Keyed&, const Keyed&) { return false; }},
      {"random", [&coin](const Keyed&, const Keyed&) { return coin() % 2 == 0; }},
      {"cyclic", [](const Keyed& a, const Keyed& b) { return (b.key - a.key + 3) % 3 == 1; }},
      {"reflexive less-equal", [](const Keyed& a, const Keyed& b) { return a.key <= b.key; }},
  };
  for (const auto& c : cases) {
    for (std::size_t n : {5, 63, 64, 65, 300, 1025}) {
      auto items = keyedItems(n, 5, static_cast<unsigned>(n));
      auto sorted = items;
      deskhand::observeSort(sorted, c.before);
      ASSERT_EQ(sorted.size(), n) << c.name;
      std::vector<int> seqs;
      for (const auto& k : sorted) seqs.push_back(k.seq);
      std::sort(seqs.begin(), seqs.end());
      std::vector<int> all(n);
      std::iota(all.begin(), all.end(), 0);
      EXPECT_EQ(seqs, all) << c.name << " n=" << n;
      if (std::string(c.name) == "always false") {
        EXPECT_TRUE(sameOrder(sorted, items)) << "n=" << n;
      }
    }
  }
}

// Straight insertion gives one particular answer for row chains; the host has always seen it.
TEST(ObserveSort, ReadingOrderOfShortListsIsStraightInsertion) {
  struct Case {
    const char* name;
    std::vector<RawElement> input;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"one row, tops 100 and 110", {raw("a", 500, 100), raw("b", 20, 110)}, {"b", "a"}},
      {"two rows, tops 100 and 115", {raw("a", 20, 115), raw("b", 500, 100)}, {"b", "a"}},
      {"tops 14.9 apart are one row", {raw("a", 50, 0), raw("b", 10, 14.9)}, {"b", "a"}},
      {"equal tops and lefts keep their order",
       {raw("a", 10, 10), raw("b", 10, 10), raw("c", 10, 12)},
       {"a", "b", "c"}},
      // b moves before a (one row); c is not before a (20 apart) and stays last.
      {"chain 0, 10, 20", {raw("a", 100, 0), raw("b", 50, 10), raw("c", 0, 20)}, {"b", "a", "c"}},
      // c passes b (one row, smaller x) but stops at a (20 apart, a is higher).
      {"chain stops at the first element it is not before",
       {raw("a", 0, 0), raw("b", 50, 20), raw("c", 10, 10)},
       {"a", "c", "b"}},
      {"left edge of a negative-width frame is its standardised one",
       {raw("a", 100, 0, 10, 10), RawElement{nullptr, "AXButton", "b", platform::rectMake(100, 0, -60, 10)}},
       {"b", "a"}},
  };
  for (const auto& c : cases) {
    auto list = c.input;
    deskhand::sortReadingOrder(list);
    EXPECT_EQ(titles(list), c.expected) << c.name;
  }
}

// 64 elements and more go through the merge: a chain of tops 5 apart is one long non-transitive run.
TEST(ObserveSort, LongChainedRowsSortDeterministically) {
  for (std::size_t n : {64, 65, 200}) {
    std::vector<RawElement> list;
    for (std::size_t i = 0; i < n; ++i) {
      list.push_back(raw("e" + std::to_string(i), static_cast<double>((i * 37) % 101), static_cast<double>(i * 5)));
    }
    auto first = list;
    deskhand::sortReadingOrder(first);
    auto second = list;
    deskhand::sortReadingOrder(second);
    ASSERT_EQ(first.size(), n);
    EXPECT_EQ(titles(first), titles(second));
    auto sortedTitles = titles(first);
    auto inputTitles = titles(list);
    std::sort(sortedTitles.begin(), sortedTitles.end());
    std::sort(inputTitles.begin(), inputTitles.end());
    EXPECT_EQ(sortedTitles, inputTitles);
  }
  // Separate rows far apart are a proper order: the long sort must give exact reading order, and
  // elements equal under the comparison (same top and left) keep their collection order.
  std::vector<RawElement> grid;
  for (int i = 0; i < 100; ++i) grid.push_back(raw("g" + std::to_string(i), (i * 7) % 3, (99 - i) / 2 * 40.0));
  deskhand::sortReadingOrder(grid);
  for (std::size_t i = 1; i < grid.size(); ++i) {
    const auto& a = grid[i - 1].frame;
    const auto& b = grid[i].frame;
    bool ordered = a.origin.y < b.origin.y || (a.origin.y == b.origin.y && a.origin.x <= b.origin.x);
    EXPECT_TRUE(ordered) << i;
    if (a.origin.y == b.origin.y && a.origin.x == b.origin.x) {
      EXPECT_LT(std::stoi(grid[i - 1].title.substr(1)), std::stoi(grid[i].title.substr(1)));
    }
  }
}

TEST(ObserveSort, SizeOrderIsStableAndSmallestFirst) {
  std::vector<RawElement> list{raw("big", 0, 0, 30, 30), raw("small1", 0, 0, 10, 10), raw("wide", 0, 0, 100, 2),
                               raw("small2", 0, 0, 5, 20), raw("neg", 0, 0, -10, -10)};
  deskhand::sortBySize(list);
  EXPECT_EQ(titles(list), (std::vector<std::string>{"small1", "small2", "neg", "wide", "big"}));
}

TEST(ObserveFilter, DropsOversizedAndDuplicateElements) {
  const auto screen = platform::rectMake(0, 0, 1440, 900);
  struct Case {
    const char* name;
    std::vector<RawElement> sortedBySize;
    std::vector<std::string> kept;
  };
  const std::vector<Case> cases = {
      {"centres 11.9 apart: the smaller survives",
       {raw("small", 100, 100, 10, 10), raw("large", 111.9, 100, 10, 12)},
       {"small"}},
      {"centres exactly 12 apart: both", {raw("a", 100, 100, 10, 10), raw("b", 112, 100, 10, 10)}, {"a", "b"}},
      {"equal area, same centre: the first collected",
       {raw("first", 100, 100, 10, 10), raw("second", 100, 100, 10, 10)},
       {"first"}},
      {"20 apart and containing: the wrapper goes",
       {raw("inner", 100, 100, 10, 10), raw("wrapper", 90, 90, 60, 60)},
       {"inner"}},
      {"20 apart, not containing: both", {raw("a", 100, 100, 10, 10), raw("b", 120, 100, 10, 11)}, {"a", "b"}},
      {"wrapper sharing the inner edge still contains it",
       {raw("inner", 100, 100, 10, 10), raw("wrapper", 100, 100, 40, 10)},
       {"inner"}},
      {"exactly 30 apart and containing: both",
       {raw("inner", 100, 100, 10, 10), raw("wrapper", 100, 100, 70, 10)},
       {"inner", "wrapper"}},
      {"more than half the screen: dropped", {raw("huge", 0, 0, 1440, 451)}, {}},
      {"exactly half the screen: kept", {raw("half", 0, 0, 1440, 450)}, {"half"}},
      {"compared with kept elements only",
       // b is a duplicate of a and dropped; c is 11 from b but 22 from a, so it stays.
       {raw("a", 100, 100, 10, 10), raw("b", 111, 100, 10, 10), raw("c", 122, 100, 10, 10)},
       {"a", "c"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(titles(deskhand::filterElements(c.sortedBySize, screen)), c.kept) << c.name;
  }
}

}  // namespace
