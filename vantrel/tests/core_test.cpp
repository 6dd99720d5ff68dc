#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/internal.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

using testing_support::Key;
using testing_support::key;
using testing_support::keyLog;
using testing_support::expectValid;
using testing_support::pairsOf;
using vantrel::HashMap;
using vantrel::internal::Kind;
namespace I = vantrel::internal;
namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using Map = HashMap<Key, int>;
using Cell = hs::Lazy<int>;


// ---- Lookups ---------------------------------------------------------------------------------

TEST(Lookup, EmptyMapHasNothing) {
  const Map m;
  EXPECT_FALSE(L::lookup(key(1, 1), m));
  EXPECT_FALSE(L::member(key(1, 1), m));
  EXPECT_EQ(*L::findWithDefault(7, key(1, 1), m), 7);
  EXPECT_THROW((void)L::at(m, key(1, 1)), hs::ProgramError);
}

TEST(Lookup, ComparesKeysOnlyWhereHashesMeet) {
  // A root with children at chunks 1 and 2, a collision of tags 10, 11, 12 at chunk 2.
  const Map m = T::bitmapIndexed<Key, int>(
      0b110, {T::leaf<Key, int>(1, key(1, 1, 1), 10),
              T::collision<Key, int>(2, {{key(2, 2, 10), 20}, {key(3, 2, 11), 30}, {key(4, 2, 12), 40}})});
  struct Case {
    Key k;
    std::optional<int> value;
    std::int64_t position;
    std::vector<std::pair<int, int>> eqCalls;
  };
  const Case cases[] = {
      {key(9, 3, 99), std::nullopt, 0, {}},                                  // chunk bit clear
      {key(9, 1 | (1 << 5), 99), std::nullopt, 0, {}},                       // leaf of other hash
      {key(9, 1, 99), std::nullopt, 0, {{99, 1}}},                           // leaf, unequal key
      {key(1, 1, 99), 10, -1, {{99, 1}}},                                    // leaf hit
      {key(3, 2, 99), 30, 1, {{99, 10}, {99, 11}}},                          // collision hit
      {key(9, 2, 99), std::nullopt, 0, {{99, 10}, {99, 11}, {99, 12}}},      // collision miss
      {key(9, 2 | (1 << 5), 99), std::nullopt, 0, {}},                       // collision other hash
  };
  for (const Case& c : cases) {
    keyLog().clear();
    const auto f = I::lookupRecordCollisionU(c.k.h, c.k, m);
    ASSERT_EQ(bool(f), c.value.has_value()) << c.k;
    if (f) {
      EXPECT_EQ(f.force(), *c.value);
      EXPECT_EQ(f.position, c.position);
    }
    EXPECT_EQ(keyLog().eqCalls, c.eqCalls) << c.k;
    EXPECT_EQ(keyLog().hashCalls, 0) << "the walk reuses the caller's hash";
    keyLog().clear();
    EXPECT_EQ(L::member(c.k, m), c.value.has_value());
    EXPECT_EQ(keyLog().hashCalls, 1);
  }
}

TEST(Lookup, ReturnsTheStoredCellStillDeferred) {
  auto runs = std::make_shared<int>(0);
  const Cell v = testing_support::counting(5, runs);
  const Map m = L::insert(key(1, 1), v, Map());
  const auto got = L::lookup(key(1, 1), m);
  ASSERT_TRUE(got);
  EXPECT_TRUE(hs::ptrEq(*got, v));
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(**got, 5);
  EXPECT_EQ(*runs, 1);
  EXPECT_TRUE(hs::ptrEq(L::at(m, key(1, 1)), v));
  // The cell itself, without a handle copy.
  const auto cell = L::lookupCell(key(1, 1), m);
  ASSERT_TRUE(cell);
  EXPECT_TRUE(hs::ptrEq(*cell, v));
  EXPECT_EQ(L::lookupCell(key(2, 1), m), nullptr);
}

TEST(Lookup, MissingKeyErrorCarriesItsCallSite) {
  const Map m = L::insert(key(1, 1), 1, Map());
  try {
    (void)L::at(m, key(2, 2));
    FAIL();
  } catch (const hs::ProgramError& e) {
    EXPECT_STREQ(e.what(), "Vantrel.Map.Internal.(!): key not found");
    ASSERT_EQ(e.callStack().entries().size(), 1u);
    const hs::SrcLoc& s = e.callStack().entries()[0];
    EXPECT_EQ(s.function, "error");
    EXPECT_EQ(s.package, vantrel::packageId());
    EXPECT_EQ(s.module, "Vantrel.Map.Internal");
    EXPECT_EQ(s.file, "./Vantrel/Map/Internal");
    EXPECT_EQ(std::vector<int>({s.startLine, s.startCol, s.endLine, s.endCol}),
              std::vector<int>({774, 16, 774, 21}));
  }
  const hs::CallStack frozen =
      hs::CallStack().pushed(hs::SrcLoc{"caller", "p", "M", "./M", 1, 2, 1, 3}).frozen();
  try {
    (void)L::at(m, key(2, 2), frozen);
    FAIL();
  } catch (const hs::ProgramError& e) {
    EXPECT_EQ(e.callStack(), frozen);
  }
}

// ---- Identity ------------------------------------------------------------------------------

TEST(Identity, UnchangedResultsAreTheInputItself) {
  const Cell v1 = 1, v2 = 2;
  // Chunk 1: a leaf; chunk 2: a collision of ids 2 and 3.
  const Map m = L::fromList<Key, int>({{key(1, 1, 1), v1}, {key(2, 2, 2), v2}, {key(3, 2, 3), v2}});
  const Cell stored3 = *L::lookup(key(3, 2), m);
  struct Case {
    const char* what;
    Map result;
    bool same;
  };
  const Case cases[] = {
      {"insert of the stored cell at a leaf", L::insert(key(1, 1, 9), v1, m), true},
      {"insert of an equal value in a new cell", L::insert(key(1, 1, 9), 1, m), false},
      {"insert of the stored cell at a collision", L::insert(key(3, 2, 9), stored3, m), false},
      {"erase of an absent key", L::erase(key(7, 7), m), true},
      {"erase of an absent key of a collision's hash", L::erase(key(7, 2), m), true},
      {"adjust# giving back the stored cell (leaf)",
       I::adjustU(hs::onCells([](const Cell& c) { return c; }), key(1, 1), m), true},
      {"adjust# giving back the stored cell (collision)",
       I::adjustU(hs::onCells([](const Cell& c) { return c; }), key(3, 2), m), true},
      {"adjust# of an absent key", I::adjustU([](int x) { return x; }, key(9, 9), m), true},
      {"adjust always defers a new value", L::adjust([](int x) { return x; }, key(1, 1), m), false},
      {"adjust of an absent key", L::adjust([](int x) { return x; }, key(9, 9), m), true},
      {"alter: Nothing for an absent key",
       L::alter(hs::onCells([](std::optional<Cell>) { return std::optional<Cell>(); }), key(9, 9), m),
       true},
      {"alter: Just the stored cell",
       L::alter(hs::onCells([](std::optional<Cell> c) { return c; }), key(3, 2), m), true},
      {"update: Just the stored cell",
       L::update(hs::onCells([](Cell c) { return std::optional<Cell>(c); }), key(1, 1), m), true},
      {"insertModifying giving back the stored cell (leaf)",
       I::insertModifying(0, hs::onCells([](const Cell& c) { return c; }), key(1, 1), m), true},
      {"insertModifying giving back the stored cell (collision)",
       I::insertModifying(0, hs::onCells([](const Cell& c) { return c; }), key(2, 2), m), true},
      {"insertWith on a present key", L::insertWith([](int a, int) { return a; }, key(1, 1), 1, m),
       false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(T::same(c.result, m), c.same) << c.what;
    expectValid(c.result);
  }
}

TEST(Identity, InsertKeepsOrReplacesTheKeyObject) {
  const Cell v = 5;
  const Map leafMap = L::insert(key(1, 1, 1), v, Map());
  // Same cell at a leaf: the stored key (tag 1) stays; another cell: the new key (tag 2).
  EXPECT_EQ(T::entries(L::insert(key(1, 1, 2), v, leafMap))[0].key.tag, 1);
  EXPECT_EQ(T::entries(L::insert(key(1, 1, 2), 6, leafMap))[0].key.tag, 2);
  // At a collision the new key replaces the stored one at its position, even with the same cell.
  const Map coll = L::fromList<Key, int>({{key(1, 1, 1), v}, {key(2, 1, 2), v}, {key(3, 1, 3), v}});
  const auto after = T::entries(L::insert(key(2, 1, 20), v, coll));
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(std::vector<int>({after[0].key.tag, after[1].key.tag, after[2].key.tag}),
            std::vector<int>({1, 20, 3}));
  // adjust and alter replace the key of a leaf with the key passed.
  EXPECT_EQ(T::entries(L::adjust([](int x) { return x + 1; }, key(1, 1, 7), leafMap))[0].key.tag, 7);
  EXPECT_EQ(T::entries(L::alter([](std::optional<int>) { return std::optional<int>(3); },
                                key(1, 1, 8), leafMap))[0].key.tag, 8);
}

TEST(Identity, InsertIntoAMapGivenUpLeavesOtherHoldersUntouched) {
  Map m;
  for (std::uint64_t i = 0; i < 2000; ++i) m = L::insert(key(i, i * 0x9E3779B97F4A7C15ULL), 1, std::move(m));
  EXPECT_EQ(L::size(m), 2000);
  expectValid(m);
  const Map kept = m;  // shares every node with m
  const Map grown = L::insert(key(5000, 77), 2, std::move(m));
  EXPECT_EQ(L::size(kept), 2000);
  EXPECT_FALSE(L::member(key(5000, 77), kept));
  EXPECT_EQ(*L::at(grown, key(5000, 77)), 2);
  expectValid(kept);
  expectValid(grown);
  // Unshared: the very same root comes back, updated in place.
  Map solo = L::insert(key(1, 1), 1, Map());
  solo = L::insert(key(2, 2), 2, std::move(solo));
  const void* before = I::Node::object(solo);
  solo = L::insert(key(3, 1 | (1 << 5)), 3, std::move(solo));  // below the existing chunk 1
  EXPECT_EQ(I::Node::object(solo), before);
  EXPECT_EQ(L::size(solo), 3);
}

// ---- Which key stands on the left of == ----------------------------------------------------

TEST(OperandOrder, EachWalkPutsItsKeyWhereItShould) {
  const Map leaf = L::insert(key(1, 1, 1), 1, Map());
  const Map coll = L::fromList<Key, int>({{key(1, 1, 1), 1}, {key(2, 1, 2), 2}});
  struct Case {
    const char* what;
    std::function<void()> op;
    std::vector<std::pair<int, int>> eqCalls;
  };
  const Case cases[] = {
      {"insert at a leaf: stored key first", [&] { (void)L::insert(key(1, 1, 9), 0, leaf); }, {{1, 9}}},
      {"insert at a collision: new key first", [&] { (void)L::insert(key(2, 1, 9), 0, coll); },
       {{9, 1}, {9, 2}}},
      {"erase at a leaf: stored key first", [&] { (void)L::erase(key(1, 1, 9), leaf); }, {{1, 9}}},
      {"erase at a collision: asked key first", [&] { (void)L::erase(key(2, 1, 9), coll); },
       {{9, 1}, {9, 2}}},
      {"adjust at a leaf: stored key first", [&] { (void)L::adjust([](int x) { return x; }, key(1, 1, 9), leaf); },
       {{1, 9}}},
      {"adjust at a collision: asked key first",
       [&] { (void)L::adjust([](int x) { return x; }, key(2, 1, 9), coll); }, {{9, 1}, {9, 2}}},
      {"lookup: asked key first", [&] { (void)L::lookup(key(1, 1, 9), leaf); }, {{9, 1}}},
      {"alter looks up with the asked key first",
       [&] { (void)L::alter([](std::optional<int> v) { return v; }, key(1, 1, 9), leaf); }, {{9, 1}}},
      {"a second key of a leaf's hash: stored key first", [&] { (void)L::insert(key(5, 1, 9), 0, leaf); },
       {{1, 9}}},
  };
  for (const Case& c : cases) {
    keyLog().clear();
    c.op();
    EXPECT_EQ(keyLog().eqCalls, c.eqCalls) << c.what;
    EXPECT_EQ(keyLog().hashCalls, 1) << c.what << ": one hash per single-key operation";
  }
}

TEST(OperandOrder, BulkBuildersHashEachElementOnce) {
  std::vector<std::pair<Key, int>> pairs;
  for (int i = 0; i < 200; ++i) pairs.push_back({key(i % 150, static_cast<std::uint64_t>(i % 150) % 13, i), i});
  keyLog().clear();
  const Map m = L::fromList(pairs);
  EXPECT_EQ(keyLog().hashCalls, 200);
  keyLog().clear();
  const Map w = L::fromListWith([](int a, int b) { return a + b; }, pairs);
  EXPECT_EQ(keyLog().hashCalls, 200);
  EXPECT_EQ(L::size(m), 150);
  EXPECT_EQ(L::size(w), 150);
}

// ---- Collision entry order -----------------------------------------------------------------

std::vector<int> tags(const Map& m) {
  std::vector<int> out;
  for (const auto& e : T::entries(m)) out.push_back(e.key.tag);
  return out;
}

TEST(CollisionOrder, AppendsReplacesAndDeletesInPlace) {
  Map m = L::insert(key(1, 7, 1), 1, Map());
  m = L::insert(key(2, 7, 2), 2, m);
  EXPECT_EQ(T::kind(m), Kind::Collision);
  EXPECT_EQ(tags(m), std::vector<int>({1, 2}));  // the stored pair first
  m = L::insert(key(3, 7, 3), 3, m);
  EXPECT_EQ(tags(m), std::vector<int>({1, 2, 3}));  // a new key last
  m = L::insert(key(1, 7, 4), 4, m);
  EXPECT_EQ(tags(m), std::vector<int>({4, 2, 3}));  // a replacement in place
  EXPECT_EQ(tags(L::erase(key(2, 7), m)), std::vector<int>({4, 3}));
  const Map leaf = L::erase(key(3, 7), L::erase(key(2, 7), m));
  EXPECT_EQ(T::kind(leaf), Kind::Leaf);
  EXPECT_EQ(T::word(leaf), 7u);
  EXPECT_EQ(tags(leaf), std::vector<int>({4}));
  EXPECT_EQ(tags(L::fromList<Key, int>({{key(3, 7, 3), 0}, {key(1, 7, 1), 0}, {key(3, 7, 5), 0}})),
            std::vector<int>({5, 1}));  // first-occurrence order, later pair replaces
}

TEST(CollisionOrder, InsertKeyExistsAndDeleteKeyExistsUseThePosition) {
  const Map m = L::fromList<Key, int>({{key(1, 7, 1), 1}, {key(2, 7, 2), 2}, {key(3, 7, 3), 3}});
  keyLog().clear();
  const Map r = I::insertKeyExists<Key, int>(1, 7, key(9, 7, 9), 90, m);
  EXPECT_TRUE(keyLog().eqCalls.empty());
  EXPECT_EQ(tags(r), std::vector<int>({1, 9, 3}));
  EXPECT_EQ(T::word(r), 7u);
  EXPECT_EQ(tags(I::deleteKeyExists<Key, int>(0, 7, key(1, 7), m)), std::vector<int>({2, 3}));
  const Map leafPair = L::fromList<Key, int>({{key(1, 7, 1), 1}, {key(2, 7, 2), 2}});
  EXPECT_EQ(tags(I::deleteKeyExists<Key, int>(1, 7, key(2, 7), leafPair)), std::vector<int>({1}));
  keyLog().clear();
  const Map n = I::insertNewKey<Key, int>(7, key(4, 7, 4), 4, m);
  EXPECT_TRUE(keyLog().eqCalls.empty());
  EXPECT_EQ(tags(n), std::vector<int>({1, 2, 3, 4}));
}

// ---- Shapes --------------------------------------------------------------------------------

TEST(Shape, TwoBuildsTheChainDownToTheFirstDifferentChunk) {
  // Hashes that differ only in bit 63: 12 one-child nodes (shifts 0 to 55) above a two-child
  // node at shift 60 whose chunks differ by 8.
  const std::uint64_t h1 = 0x0123456789ABCDEFULL & ~(1ULL << 63), h2 = h1 | (1ULL << 63);
  const Map m = L::insert(key(2, h2), 2, L::insert(key(1, h1), 1, Map()));
  EXPECT_EQ(T::depth(m), 14);  // 13 branch nodes and the leaf
  const Map* t = &m;
  std::vector<Map> hold;
  for (int level = 0; level < 12; ++level) {
    ASSERT_EQ(T::kind(*t), Kind::BitmapIndexed);
    ASSERT_EQ(T::children(*t).size(), 1u) << level;
    hold.push_back(T::children(*t)[0]);
    t = &hold.back();
  }
  ASSERT_EQ(T::kind(*t), Kind::BitmapIndexed);
  const std::uint64_t c = (h1 >> 60) & 31;
  EXPECT_EQ(T::word(*t), (1ULL << c) | (1ULL << (c + 8)));
  const auto kids = T::children(*t);
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(T::word(kids[0]), h1);  // the lower chunk first
  EXPECT_EQ(T::word(kids[1]), h2);
  expectValid(m);

  // Low chunks that differ: one node, lower chunk first, whatever the argument order.
  auto two = [](const Key& k1, int v1, const Map& t2) {
    return I::two<Key, int>(0, 5, k1, I::In<int>::value(I::FreshValue<int, false>{v1}), 3,
                            I::Child<Key, int>(t2));
  };
  const Map a = two(key(1, 5), 1, T::leaf<Key, int>(3, key(2, 3), 2));
  EXPECT_EQ(T::word(a), 0b101000u);
  EXPECT_EQ(T::word(T::children(a)[0]), 3u);
  // The existing node is placed unchanged.
  const Map existing = T::leaf<Key, int>(3, key(2, 3), 2);
  EXPECT_TRUE(T::sameChild(T::children(two(key(1, 5), 1, existing))[0], existing));
}

TEST(Shape, BranchNodesGrowToFullAndShrinkBack) {
  Map m;
  for (std::uint64_t c = 0; c < 31; ++c) m = L::insert(key(c, c), 0, m);
  EXPECT_EQ(T::kind(m), Kind::BitmapIndexed);
  EXPECT_EQ(T::children(m).size(), 31u);
  m = L::insert(key(31, 31), 0, m);
  EXPECT_EQ(T::kind(m), Kind::Full);
  const Map less = L::erase(key(13, 13), m);
  EXPECT_EQ(T::kind(less), Kind::BitmapIndexed);
  EXPECT_EQ(T::word(less), 0xFFFFFFFFULL & ~(1ULL << 13));
  EXPECT_EQ(T::children(less).size(), 31u);
  expectValid(less);
  // fromList of the 32 chunks gives a Full root too.
  std::vector<std::pair<Key, int>> all;
  for (std::uint64_t c = 0; c < 32; ++c) all.push_back({key(c, c), 0});
  EXPECT_EQ(T::kind(L::fromList(all)), Kind::Full);
}

TEST(Shape, AFreedLeafRisesThroughSingleChildParents) {
  // Three keys sharing chunk 0 at two levels: root -> one-child -> two-child at shift 10.
  const std::uint64_t a = 0, b = 1ULL << 10, c = 1ULL << 15;
  const Map m = L::fromList<Key, int>({{key(1, a), 1}, {key(2, b), 2}, {key(3, c), 3}});
  expectValid(m);
  const Map r = L::erase(key(3, c), m);
  expectValid(r);
  const Map leafOnly = L::erase(key(2, b), r);
  EXPECT_EQ(T::kind(leafOnly), Kind::Leaf);  // rose to the root
  // A collision rises the same way and stays the same object.
  const Map withColl =
      L::fromList<Key, int>({{key(1, a), 1}, {key(4, a), 4}, {key(2, b), 2}});
  const Map collChild = T::children(T::children(T::children(withColl)[0])[0])[0];
  ASSERT_EQ(T::kind(collChild), Kind::Collision);
  const Map risen = L::erase(key(2, b), withColl);
  EXPECT_TRUE(T::same(risen, collChild));
  // The sibling of a removed child that is a branch node stays below a one-child node.
  const Map deep = L::fromList<Key, int>({{key(1, 0), 1}, {key(2, 1ULL << 5), 2}, {key(3, 1), 3}});
  const Map afterDeep = L::erase(key(3, 1), deep);
  EXPECT_EQ(T::kind(afterDeep), Kind::BitmapIndexed);
  EXPECT_EQ(T::children(afterDeep).size(), 1u);
  expectValid(afterDeep);
}

// ---- Deferred values -----------------------------------------------------------------------

TEST(Deferred, InsertWithAndFromListWithDeferTheirFunction) {
  int calls = 0;
  auto f = [&calls](int n, int o) {
    ++calls;
    return n * 10 + o;
  };
  Map m = L::insertWith(f, key(1, 1), 1, Map());
  EXPECT_EQ(*L::at(m, key(1, 1)), 1);
  m = L::insertWith(f, key(1, 1), 2, m);
  m = L::insertWith(f, key(1, 1), 3, m);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(*L::at(m, key(1, 1)), 51);  // f 3 (f 2 1) = 30 + 21
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(*L::at(m, key(1, 1)), 51);
  EXPECT_EQ(calls, 2);  // computed once

  calls = 0;
  const Map w = L::fromListWith<Key, int>(f, {{key(1, 1, 1), 1}, {key(1, 1, 2), 2}, {key(1, 1, 3), 3}});
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(*L::at(w, key(1, 1)), 51);
  EXPECT_EQ(T::entries(w)[0].key.tag, 3);
  const Map wk = L::fromListWithKey<Key, int>(
      [](const Key& k, int n, int o) { return k.tag * 100 + n * 10 + o; },
      {{key(1, 1, 1), 1}, {key(1, 1, 2), 2}});
  EXPECT_EQ(*L::at(wk, key(1, 1)), 221);
}

TEST(Deferred, FailingValuesAreStoredAndSurfaceOnDemand) {
  const Cell bad = testing_support::throwing<int>();
  const Map m = L::fromList<Key, int>({{key(1, 1), bad}, {key(2, 2), 2}});
  const Map m2 = L::insertWith([](int, int) -> int { throw testing_support::TestFailure("f"); },
                               key(2, 2), 3, m);
  const Map m3 = L::adjust([](int) -> int { throw testing_support::TestFailure("g"); }, key(2, 2), m);
  EXPECT_EQ(L::size(m3), 2);
  EXPECT_THROW(*L::at(m, key(1, 1)), testing_support::TestFailure);
  EXPECT_THROW(*L::at(m2, key(2, 2)), testing_support::TestFailure);
  EXPECT_THROW(*L::at(m3, key(2, 2)), testing_support::TestFailure);
  EXPECT_EQ(*L::at(m, key(2, 2)), 2);
}

TEST(Deferred, LongInsertWithChainsForceInConstantStack) {
  HashMap<std::int64_t, std::int64_t> m;
  constexpr int n = 200000;
  for (int i = 0; i < n; ++i) m = L::insertWith([](std::int64_t a, std::int64_t b) { return a + b; },
                                                std::int64_t{7}, std::int64_t{1}, m);
  EXPECT_EQ(*L::at(m, 7), n);
}

// ---- Failures of the caller's functions ----------------------------------------------------

struct Touchy {
  int id;
  static inline int throwAt = -1;
  friend bool operator==(const Touchy& a, const Touchy& b) {
    if (a.id == throwAt || b.id == throwAt) throw testing_support::TestFailure("==");
    return a.id == b.id;
  }
};

}  // namespace

template <>
struct hs::Hashable<Touchy> {
  static std::int64_t hash(const Touchy& t) {
    if (t.id == -2) throw testing_support::TestFailure("hash");
    return t.id % 3;  // plenty of collisions
  }
  static std::int64_t hashWithSalt(std::int64_t s, const Touchy& t) { return hs::saltedWordHash(s, hash(t)); }
};

namespace {

TEST(Failure, ThrowingHashOrEqualityLeavesNothingBehind) {
  std::vector<std::pair<Touchy, int>> pairs;
  for (int i = 0; i < 50; ++i) pairs.push_back({Touchy{i}, i});
  pairs.push_back({Touchy{-2}, 0});
  EXPECT_THROW((void)L::fromList(pairs), testing_support::TestFailure);
  pairs.pop_back();
  const auto m = L::fromList(pairs);
  Touchy::throwAt = 40;
  EXPECT_THROW((void)L::insert(Touchy{40}, 1, m), testing_support::TestFailure);
  EXPECT_THROW((void)L::fromList(pairs), testing_support::TestFailure);
  Touchy::throwAt = -1;
  EXPECT_EQ(L::size(m), 50);  // untouched
  EXPECT_TRUE(I::debug::valid(m).isValid());
}

// The in-place insert of a map given up keeps the persistent insert's promise: when the key's ==
// throws on the way down, the caller's map is intact, whether its nodes are shared or not.
TEST(Failure, ThrowingEqualityLeavesAMovedMapIntact) {
  using testing_support::FailingKey;
  using FMap = HashMap<FailingKey, int>;
  std::vector<std::pair<FailingKey, int>> pairs;
  for (int i = 0; i < 60; ++i) pairs.push_back({FailingKey(i), i});
  for (const bool shared : {false, true}) {
    FMap m = L::fromList(pairs);
    const FMap other = shared ? m : FMap();
    FailingKey::eqThrowsAt = 45;
    EXPECT_THROW(m = L::insert(FailingKey(45), -1, std::move(m)), testing_support::KeyFailure);
    EXPECT_THROW(m = L::erase(FailingKey(45), std::move(m)), testing_support::KeyFailure);
    FailingKey::eqThrowsAt = -1;
    ASSERT_EQ(L::size(m), 60) << shared;
    for (int i = 0; i < 60; ++i) EXPECT_EQ(*L::at(m, FailingKey(i)), i) << i;
    expectValid(m);
    m = L::insert(FailingKey(45), -1, std::move(m));
    EXPECT_EQ(*L::at(m, FailingKey(45)), -1);
    m = L::erase(FailingKey(45), std::move(m));
    EXPECT_FALSE(L::member(FailingKey(45), m));
    EXPECT_EQ(L::size(other), shared ? 60 : 0);
    expectValid(m);
  }
}

}  // namespace

namespace {

// A map of static storage holding a deferred combination (two cells) is freed at process exit,
// after the main thread's own state of the deferred-value runtime.
TEST(LifetimeDeathTest, StaticMapWithDeferredValuesIsFreedAtExit) {
  auto buildAndExit = [] {
    (void)hs::applyLazy([](int x) { return x; }, hs::delay([] { return 1; }));
    static const HashMap<std::int64_t, int> m = L::fromListWith(
        [](int a, int b) { return a + b; },
        std::vector<std::pair<std::int64_t, int>>{{1, 1}, {2, 2}, {1, 3}});
    (void)m;
    std::exit(0);
  };
  EXPECT_EXIT(buildAndExit(), ::testing::ExitedWithCode(0), "");
}

TEST(Sentinels, RaiseTheirErrorsWithTheirSites) {
  struct Case {
    std::function<void()> raise;
    const char* message;
    std::vector<int> range;
  };
  const Case cases[] = {
      {[] { (void)I::test_bottom<int>(); }, "Vantrel.Map.alterF internal error: hit test_bottom",
       {1349, 15, 1349, 20}},
      {[] { I::bogusU(hs::unit); }, "Vantrel.Map.alterF internal error: hit bogus#", {1354, 12, 1354, 17}},
  };
  for (const Case& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << c.message;
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), c.message);
      ASSERT_EQ(e.callStack().entries().size(), 1u);
      const hs::SrcLoc& s = e.callStack().entries()[0];
      EXPECT_EQ(s.function, "error");
      EXPECT_EQ(s.module, "Vantrel.Map.Internal");
      EXPECT_EQ(s.file, "./Vantrel/Map/Internal");
      EXPECT_EQ(std::vector<int>({s.startLine, s.startCol, s.endLine, s.endCol}), c.range);
    }
  }
}

}  // namespace

namespace {

using Looked = std::optional<Cell>;

TEST(AlterF, SharesOneDeferredLookupAndDecidesInTheFunctor) {
  const Map m = L::fromList<Key, int>({{key(1, 1, 1), 10}, {key(2, 1, 2), 20}, {key(3, 3, 3), 30}});
  // A function that ignores its argument and answers Just never runs the lookup.
  keyLog().clear();
  const auto put = L::alterF(
      hs::onCells([](const hs::Lazy<Looked>&) { return hs::Identity<Looked>{Looked(Cell(5))}; }),
      key(2, 1, 9), m);
  // The insert compares keys in the collision; no lookup came before it (it would have logged
  // the asked key on the left against tag 1 first, then tag 2).
  EXPECT_EQ(keyLog().eqCalls, (std::vector<std::pair<int, int>>{{9, 1}, {9, 2}}));
  EXPECT_EQ(keyLog().hashCalls, 1);
  EXPECT_EQ(*L::at(put.value, key(2, 1)), 5);

  // Nothing for an absent key: the map itself, inside the functor.
  const auto keep = L::alterF(
      hs::onCells([](const hs::Lazy<Looked>&) { return hs::Identity<Looked>{Looked()}; }), key(7, 7), m);
  EXPECT_TRUE(T::same(keep.value, m));
  // Nothing for a present key deletes it.
  const auto gone = L::alterF([](std::optional<int>) { return hs::Identity<std::optional<int>>{}; },
                              key(3, 3), m);
  EXPECT_FALSE(L::member(key(3, 3), gone.value));
  // The optional functor: an absent answer of the function is an absent result.
  const auto none = L::alterF([](std::optional<int>) { return std::optional<std::optional<int>>(); },
                              key(1, 1), m);
  EXPECT_FALSE(none.has_value());
  // The list functor: one independent map per answer.
  const auto both = L::alterF(
      [](std::optional<int> v) {
        return std::vector<std::optional<int>>{std::nullopt, v ? std::optional<int>(*v + 1) : 1};
      },
      key(1, 1), m);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_FALSE(L::member(key(1, 1), both[0]));
  EXPECT_EQ(*L::at(both[1], key(1, 1)), 11);
  EXPECT_EQ(*L::at(m, key(1, 1)), 10);
  expectValid(both[0]);
  expectValid(both[1]);
}

TEST(AlterF, EagerFormLooksUpFirstAndKeepsTheMapForTheSameCell) {
  const Map m = L::fromList<Key, int>({{key(1, 1, 1), 10}, {key(2, 1, 2), 20}});
  keyLog().clear();
  const auto same = I::alterFEager(hs::onCells([](Looked c) { return hs::Identity<Looked>{c}; }),
                                   key(2, 1, 9), m);
  EXPECT_TRUE(T::same(same.value, m));
  EXPECT_EQ(keyLog().eqCalls, (std::vector<std::pair<int, int>>{{9, 1}, {9, 2}}));
  const auto weird = I::alterFWeird(0, 0, [](std::optional<int>) {
    return hs::Identity<std::optional<int>>{std::nullopt};
  }, key(1, 1), m);
  EXPECT_EQ(tags(weird.value), std::vector<int>({2}));
  EXPECT_EQ(T::kind(weird.value), Kind::Leaf);
  const auto added = I::alterFEager([](std::optional<int> v) {
    return hs::Identity<std::optional<int>>{v ? *v : 99};
  }, key(5, 1, 5), m);
  EXPECT_EQ(tags(added.value), std::vector<int>({1, 2, 5}));
}

}  // namespace
