// How much the core operations allocate (this program counts every operator new).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "testing/alloc.hpp"
#include "testing/keys.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using testing_support::AllocationScope;
using Map = vantrel::HashMap<std::int64_t, std::int64_t>;
using Cell = hs::Lazy<std::int64_t>;

Map build(int n) {
  Map m;
  for (std::int64_t i = 0; i < n; ++i) m = L::insert(i * 0x9E3779B97F4A7C15LL, i, m);
  return m;
}

// The number of branch nodes above the record of key k (the keys hash to themselves).
int levelsAbove(const Map& m, std::int64_t k) {
  return T::levelsAbove(m, static_cast<std::uint64_t>(k));
}

TEST(Allocation, LookupsAllocateNothing) {
  const Map m = build(5000);
  AllocationScope scope;
  std::int64_t found = 0;
  for (std::int64_t i = 0; i < 5000; ++i) found += L::member(i * 0x9E3779B97F4A7C15LL, m);
  for (std::int64_t i = 0; i < 5000; ++i) found += L::member(i, m) ? 0 : 1;
  EXPECT_GT(found, 5000);
  EXPECT_EQ(scope.count(), 0);
}

TEST(Allocation, AnInsertThatChangesNothingAllocatesNothing) {
  const Map m = build(5000);
  const std::int64_t k = 17 * 0x9E3779B97F4A7C15LL;
  const Cell stored = *L::lookup(k, m);
  AllocationScope scope;
  const Map same = L::insert(k, stored, m);
  EXPECT_EQ(scope.count(), 0);
  EXPECT_TRUE(T::same(same, m));
}

TEST(Allocation, AnInsertCopiesOneNodePerLevelPlusTheLeaf) {
  const Map m = build(5000);
  for (std::int64_t probe : {3LL, 12345LL, -77LL}) {
    const std::int64_t k = probe * 0x51ED27A3LL;
    ASSERT_FALSE(L::member(k, m));
    const int levels = levelsAbove(m, k);
    const Cell given(std::int64_t{2});
    AllocationScope cellScope;
    const Map withCell = L::insert(k, given, m);
    const std::int64_t cellAllocations = cellScope.count();
    AllocationScope scope;
    const Map bigger = L::insert(k, std::int64_t{1}, m);
    const std::int64_t allocations = scope.count();
    EXPECT_EQ(cellAllocations, allocations) << "the caller's cell is shared, not copied";
    // One copy per level and the new leaf, which holds the value in its own block (a plain value
    // gets no cell apart); a key that meets a leaf of another hash also gets the small subtree
    // separating the two.
    const int subtree = levelsAbove(bigger, k) - levels;
    EXPECT_EQ(allocations, levels + 1 + subtree) << probe;
  }
}

// Erasing from a map given up changes the nodes that nothing else holds where they stand: no
// allocation at all. Once another map holds the path, the moved erase copies it exactly as the
// persistent erase does, and the other map keeps the key.
TEST(Allocation, AMovedEraseAllocatesOnlyWhereThePathIsShared) {
  Map m = build(5000);
  for (std::int64_t i = 0; i < 5000; i += 7) {
    const std::int64_t k = i * 0x9E3779B97F4A7C15LL;
    AllocationScope scope;
    m = L::erase(k, std::move(m));
    EXPECT_EQ(scope.count(), 0) << i;
    ASSERT_FALSE(L::member(k, m));
  }
  EXPECT_TRUE(vantrel::internal::debug::valid(m).isValid());
  for (std::int64_t i : {1LL, 2000LL, 4999LL}) {
    const std::int64_t k = i * 0x9E3779B97F4A7C15LL;
    std::int64_t persistent = 0;
    {
      AllocationScope scope;
      const Map r = L::erase(k, m);
      persistent = scope.count();
    }
    const Map kept = m;
    AllocationScope scope;
    m = L::erase(k, std::move(m));
    EXPECT_EQ(scope.count(), persistent) << i;
    EXPECT_GT(persistent, 0);
    EXPECT_TRUE(L::member(k, kept));
    EXPECT_FALSE(L::member(k, m));
  }
}

// Whichever allocation of a moved erase fails, the map given up is still the caller's: one whose
// path another map shares (every copied level may fail) and one whose key sits in a collision
// (the smaller collision node may fail).
TEST(Allocation, AFailedAllocationLeavesAMovedMapIntact) {
  using testing_support::FailingKey;
  auto eraseUntilDone = [](auto& m, const auto& k, std::int64_t size) {
    std::int64_t failures = 0;
    while (testing_support::failingAllocation(failures, [&] { m = L::erase(k, std::move(m)); })) {
      ++failures;
      ASSERT_EQ(L::size(m), size);
      ASSERT_TRUE(L::member(k, m));
      ASSERT_TRUE(vantrel::internal::debug::valid(m).isValid());
    }
    EXPECT_GT(failures, 0);
    EXPECT_EQ(L::size(m), size - 1);
    EXPECT_FALSE(L::member(k, m));
  };
  Map m = build(5000);
  const Map kept = m;
  eraseUntilDone(m, std::int64_t{17} * 0x9E3779B97F4A7C15LL, 5000);
  EXPECT_EQ(L::size(kept), 5000);
  std::vector<std::pair<FailingKey, int>> pairs;
  for (int i = 0; i < 60; ++i) pairs.push_back({FailingKey(i), i});
  vantrel::HashMap<FailingKey, int> c = L::fromList(pairs);
  eraseUntilDone(c, FailingKey(45), 60);
}

TEST(Allocation, FromListCopiesNoPaths) {
  constexpr int n = 50000;
  std::vector<std::pair<std::int64_t, Cell>> pairs;
  std::mt19937_64 rng(7);
  for (int i = 0; i < n; ++i) pairs.emplace_back(static_cast<std::int64_t>(rng()), Cell(i));
  std::int64_t inPlace = 0, persistent = 0;
  {
    AllocationScope scope;
    const Map m = L::fromList(pairs);
    inPlace = scope.count();
    ASSERT_EQ(L::size(m), n);
  }
  {
    AllocationScope scope;
    Map m;
    for (const auto& [k, v] : pairs) m = L::insert(k, v, m);
    persistent = scope.count();
  }
  // Per pair: the leaf, and at most the one branch node that grows by a child.
  EXPECT_LE(inPlace, 2 * n + n / 10);
  EXPECT_GT(persistent, inPlace + n);
}

}  // namespace
