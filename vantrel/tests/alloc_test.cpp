// How much the core operations allocate (this program counts every operator new).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "testing/alloc.hpp"
#include "testing/keys.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/strict.hpp"

namespace {

using Key = testing_support::NamedKey;
Key key(std::int64_t id, std::uint64_t h) { return Key{id, h, std::string(40, 'k') + std::to_string(id)}; }

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
  // A value held in place has no identity: the stored cell is one the map was given.
  const std::int64_t k = 17 * 0x9E3779B97F4A7C15LL;
  const Map m = L::insert(k, Cell(std::int64_t{17}), build(5000));
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
    // One copy per level, the new leaf a record in its branch that holds the value itself (a
    // plain value gets no cell); a key that meets a leaf of another hash also gets the small
    // subtree separating the two.
    const int subtree = levelsAbove(bigger, k) - levels;
    EXPECT_EQ(allocations, levels + subtree) << probe;
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

// Whatever fails midway through an insert of a value handed over by std::move (an allocation,
// the caller's ==), the value is still the caller's, and so are the key and the map. The cases
// reach every kind of record the walk can build for the key.
// A value type whose alignment is above what the allocator gives by default: its cell cannot
// share the leaf's block.
struct alignas(64) WideText {
  std::string s;
  bool operator==(const WideText&) const = default;
};
WideText valueFrom(const std::string& s, WideText*) { return WideText{s}; }
std::string valueFrom(const std::string& s, std::string*) { return s; }

template <class V>
void checkHandedOverValues() {
  using SMap = vantrel::HashMap<Key, V>;
  auto value = [](const std::string& s) { return valueFrom(s, static_cast<V*>(nullptr)); };
  const V text = value(std::string(48, 'v'));
  struct Case {
    const char* name;
    std::vector<Key> stored;
    Key k;
  };
  const std::vector<Case> cases = {
      {"empty map", {}, key(1, 1)},
      {"beside a leaf of another hash", {key(1, 1)}, key(2, 2)},
      {"a leaf of the same hash", {key(1, 1)}, key(2, 1)},
      {"over a leaf", {key(1, 1), key(5, 5)}, key(1, 1)},
      {"into a collision", {key(1, 1), key(2, 1)}, key(3, 1)},
      {"over a collision entry", {key(1, 1), key(2, 1)}, key(2, 1)},
      {"into a branch", {key(1, 1), key(2, 2)}, key(3, 3)},
      {"beside a leaf below a branch", {key(1, 1), key(2, 2)}, key(3, 1 | 1 << 5)},
  };
  auto check = [&](const SMap& m, const Case& c) {
    ASSERT_EQ(L::size(m), static_cast<std::int64_t>(c.stored.size()));
    for (const Key& s : c.stored) ASSERT_EQ(*L::at(m, s), value(std::to_string(s.id)));
    ASSERT_TRUE(vantrel::internal::debug::valid(m).isValid());
  };
  // 0: kept map, 1: map given up, 2: map given up that another map shares, 3: key and map given
  // up, 4: key and map given up with a value kept, 5: the value-strict insert into a map given up.
  for (const Case& c : cases) {
    for (int road = 0; road < 6; ++road) {
      for (std::int64_t n = 0;; ++n) {
        SMap m;
        for (const Key& s : c.stored) m = L::insert(s, value(std::to_string(s.id)), m);
        const SMap other = road == 2 ? m : SMap();
        V v = text;
        Key k = c.k;
        const bool failed = testing_support::failingAllocation(n, [&] {
          switch (road) {
            case 0: m = L::insert(k, std::move(v), m); break;
            case 1:
            case 2: m = L::insert(k, std::move(v), std::move(m)); break;
            case 3: m = L::insert(std::move(k), std::move(v), std::move(m)); break;
            case 4: m = L::insert(std::move(k), std::as_const(v), std::move(m)); break;
            default: m = vantrel::strict::insert(k, std::move(v), std::move(m)); break;
          }
        });
        if (!failed) {
          ASSERT_EQ(*L::at(m, c.k), text) << c.name << " " << road;
          break;
        }
        ASSERT_EQ(v, text) << c.name << " road " << road << " failure " << n;
        ASSERT_EQ(k.name, c.k.name);
        check(m, c);
      }
    }
  }
}

TEST(Allocation, AFailedInsertLeavesAHandedOverValueIntact) {
  checkHandedOverValues<std::string>();
  checkHandedOverValues<WideText>();
  const std::string text(48, 'v');
  // The caller's == throwing in a collision.
  using testing_support::FailingKey;
  using FMap = vantrel::HashMap<FailingKey, std::string>;
  for (int road = 0; road < 3; ++road) {
    FMap m = L::insert(FailingKey(0), std::string("0"), FMap());
    m = L::insert(FailingKey(3), std::string("3"), m);
    std::string v = text;
    FailingKey::eqThrowsAt = 6;
    try {
      if (road == 0) m = L::insert(FailingKey(6), std::move(v), m);
      if (road == 1) m = L::insert(FailingKey(6), std::move(v), std::move(m));
      if (road == 2) {
        FailingKey k(6);
        m = L::insert(std::move(k), std::move(v), std::move(m));
      }
      ADD_FAILURE() << road;
    } catch (const testing_support::KeyFailure&) {
    }
    FailingKey::eqThrowsAt = -1;
    EXPECT_EQ(v, text) << road;
    EXPECT_EQ(L::size(m), 2);
  }
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

// fromList of plain keys builds from all the pairs at once; a failed allocation anywhere in it
// (the sorting room, a key's copy, a value's cell, a node) leaves nothing behind.
TEST(Allocation, AFailedFromListOfPlainKeysLeavesNothingBehind) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (int i = 0; i < 120; ++i)
    pairs.emplace_back(std::string(30, 'k') + std::to_string(i % 90), std::string(30, 'v') + std::to_string(i));
  for (std::int64_t n = 0;; ++n) {
    vantrel::HashMap<std::string, std::string> m;
    if (testing_support::failingAllocation(n, [&] { m = L::fromList(pairs); })) {
      ASSERT_TRUE(L::null(m));
      continue;
    }
    ASSERT_TRUE(vantrel::internal::debug::valid(m).isValid());
    ASSERT_EQ(L::size(m), 90);
    for (int i = 30; i < 120; ++i) ASSERT_EQ(*L::at(m, pairs[static_cast<std::size_t>(i)].first), pairs[static_cast<std::size_t>(i)].second);
    break;
  }
}

}  // namespace
