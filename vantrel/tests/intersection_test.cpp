#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
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
using Pairs = std::vector<std::pair<int, int>>;  // (key tag, value) in trie order
using EqLog = std::vector<std::pair<int, int>>;

constexpr std::uint64_t H = 7;

Map leafAt(std::uint64_t h, std::int64_t id, int tag, Cell v) { return T::leaf<Key, int>(h, key(id, h, tag), v); }
Map leafH(std::int64_t id, int tag, Cell v) { return leafAt(H, id, tag, v); }
Map collAt(std::uint64_t h, const std::vector<std::tuple<std::int64_t, int, int>>& entries) {
  std::vector<std::pair<Key, Cell>> es;
  for (const auto& [id, tag, v] : entries) es.emplace_back(key(id, h, tag), Cell(v));
  return T::collision<Key, int>(h, es);
}
Map collH(const std::vector<std::tuple<std::int64_t, int, int>>& entries) { return collAt(H, entries); }

const auto with = [](int a, int b) { return a * 10 + b; };
const auto withKey = [](const Key& k, int a, int b) { return k.tag * 100 + a * 10 + b; };

// First-map keys are tagged 1x, second-map keys 2x; hash H has chunk 7 at the root.
TEST(Intersection, MeetingsKeepTheListedKeyHashAndOrder) {
  struct Case {
    const char* what;
    Map first, second;
    Kind kind;
    std::uint64_t hash;  // of a Leaf or Collision result
    Pairs plain, withPairs, withKeyPairs;
    EqLog eqCalls;
    bool firstItself;  // intersection returns the first map's node itself
  };
  const Map none;
  const Case cases[] = {
      {"Leaf/Leaf, equal keys", leafH(1, 11, 1), leafH(1, 21, 2), Kind::Leaf, H, {{11, 1}}, {{11, 12}},
       {{11, 1112}}, {{11, 21}}, true},
      {"Leaf/Leaf, unequal keys", leafH(1, 11, 1), leafH(2, 21, 2), Kind::Empty, 0, {}, {}, {}, {{11, 21}},
       false},
      {"Leaf/Leaf, different hashes", leafH(1, 11, 1), leafAt(H | (1 << 5), 1, 21, 2), Kind::Empty, 0, {},
       {}, {}, {}, false},
      {"first Leaf, second Collision", leafH(2, 11, 1), collH({{1, 21, 2}, {2, 22, 3}, {3, 23, 4}}),
       Kind::Leaf, H, {{11, 1}}, {{11, 13}}, {{11, 1113}}, {{11, 21}, {11, 22}}, true},
      {"first Collision, second Leaf", collH({{1, 11, 1}, {2, 12, 2}}), leafH(2, 21, 4), Kind::Leaf, H,
       {{21, 2}}, {{21, 24}}, {{21, 2124}}, {{21, 11}, {21, 12}}, false},
      {"collisions a b c / c a", collH({{1, 11, 1}, {2, 12, 2}, {3, 13, 3}}),
       collH({{3, 23, 6}, {1, 21, 4}}), Kind::Collision, H, {{11, 1}, {13, 3}}, {{11, 14}, {13, 36}},
       {{11, 1114}, {13, 1336}}, {{11, 23}, {11, 21}, {12, 23}, {13, 23}}, false},
      {"collisions with one common key", collH({{1, 11, 1}, {2, 12, 2}}),
       collH({{2, 22, 5}, {3, 23, 6}}), Kind::Leaf, H, {{12, 2}}, {{12, 25}}, {{12, 1225}},
       {{11, 22}, {11, 23}, {12, 22}}, false},
      {"collisions without common keys", collH({{1, 11, 1}, {2, 12, 2}}), collH({{3, 23, 6}, {4, 24, 7}}),
       Kind::Empty, 0, {}, {}, {}, {{11, 23}, {11, 24}, {12, 23}, {12, 24}}, false},
      {"collisions of different hashes", collH({{1, 11, 1}, {2, 12, 2}}),
       collAt(H | (1 << 5), {{1, 21, 1}, {2, 22, 2}}), Kind::Empty, 0, {}, {}, {}, {}, false},
      {"first Leaf, equal key deeper in the second",
       leafH(1, 11, 1),
       T::bitmapIndexed<Key, int>(
           1 << 7, {T::bitmapIndexed<Key, int>(0b11, {leafH(1, 21, 2), leafAt(H | (1 << 5), 5, 25, 5)})}),
       Kind::Leaf, H, {{11, 1}}, {{11, 12}}, {{11, 1112}}, {{11, 21}}, true},
      {"equal key deeper in the first, second Leaf",
       T::bitmapIndexed<Key, int>(
           1 << 7, {T::bitmapIndexed<Key, int>(0b11, {leafH(1, 11, 1), leafAt(H | (1 << 5), 5, 15, 5)})}),
       leafH(1, 21, 2), Kind::Leaf, H, {{21, 1}}, {{21, 12}}, {{21, 2112}}, {{21, 11}}, false},
      {"a Collision below a branch of the other map",
       T::bitmapIndexed<Key, int>(0b10000001, {leafAt(0, 9, 19, 9), collH({{1, 11, 1}, {2, 12, 2}})}),
       collH({{2, 22, 3}, {1, 21, 4}}), Kind::Collision, H, {{11, 1}, {12, 2}}, {{11, 14}, {12, 23}},
       {{11, 1114}, {12, 1223}}, {{11, 22}, {11, 21}, {12, 22}}, false},
      {"root bitmaps sharing no chunk",
       T::bitmapIndexed<Key, int>(0b1010, {leafAt(1, 1, 11, 1), leafAt(3, 3, 13, 3)}),
       T::bitmapIndexed<Key, int>(0b0101, {leafAt(0, 0, 20, 0), leafAt(2, 2, 22, 2)}), Kind::Empty, 0, {},
       {}, {}, {}, false},
      {"an empty second map", leafH(1, 11, 1), none, Kind::Empty, 0, {}, {}, {}, {}, false},
      {"an empty first map", none, leafH(1, 21, 1), Kind::Empty, 0, {}, {}, {}, {}, true},
  };
  for (const Case& c : cases) {
    keyLog().clear();
    const Map plain = L::intersection(c.first, c.second);
    EXPECT_EQ(keyLog().eqCalls, c.eqCalls) << c.what;
    const Map w = L::intersectionWith(with, c.first, c.second);
    const Map wk = L::intersectionWithKey(withKey, c.first, c.second);
    const Map wu = I::intersectionWithKeyU(withKey, c.first, c.second);
    EXPECT_EQ(keyLog().hashCalls, 0) << c.what << ": an intersection hashes no key";
    struct Result {
      const Map& m;
      const Pairs& expected;
      const char* op;
    };
    for (const Result& r :
         {Result{plain, c.plain, "intersection"}, Result{w, c.withPairs, "intersectionWith"},
          Result{wk, c.withKeyPairs, "intersectionWithKey"}, Result{wu, c.withKeyPairs, "intersectionWithKey#"}}) {
      const std::string what = std::string(c.what) + " / " + r.op;
      EXPECT_EQ(T::kind(r.m), c.kind) << what;
      if (c.kind != Kind::Empty) {
        EXPECT_EQ(T::word(r.m), c.hash) << what;
      }
      EXPECT_EQ(pairsOf(r.m), r.expected) << what;
      expectValid(r.m, what);
    }
    EXPECT_EQ(T::same(plain, c.first), c.firstItself) << c.what;
  }
}

TEST(Intersection, KeepsTheFirstMapsValueCellsAndEntries) {
  const Cell a = 1, b = 2, c = 3;
  const Map first = T::collision<Key, int>(H, {{key(1, H, 11), a}, {key(2, H, 12), b}, {key(3, H, 13), c}});
  const Map second = collH({{3, 23, 9}, {1, 21, 9}});
  const auto es = T::entries(L::intersection(first, second));
  ASSERT_EQ(es.size(), 2u);
  EXPECT_TRUE(hs::ptrEq(es[0].value, a));
  EXPECT_TRUE(hs::ptrEq(es[1].value, c));
  // A second-map leaf against the first map's collision: the first map's cell under the second
  // map's key.
  const auto one = T::entries(L::intersection(first, leafH(2, 22, 9)));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].key.tag, 22);
  EXPECT_TRUE(hs::ptrEq(one[0].value, b));
}

// ---- Branch nodes --------------------------------------------------------------------------

Map chunkLeaf(std::uint64_t h, int v = 0) {
  return T::leaf<Key, int>(h, key(static_cast<std::int64_t>(h), h), v);
}

TEST(Intersection, BranchPairsCollapseAsListed) {
  // Chunk 1 holds leaf 1 on both sides, chunk 2 a subtree (two leaves below chunk 2) on both
  // sides, chunk 3 leaves of different keys.
  const Map sub1 = T::bitmapIndexed<Key, int>(0b11, {chunkLeaf(2), chunkLeaf(2 | (1 << 5))});
  const Map sub2 = T::bitmapIndexed<Key, int>(0b11, {chunkLeaf(2), chunkLeaf(2 | (1 << 5))});
  const Map leaf1 = chunkLeaf(1), other3 = chunkLeaf(3);
  const Map first = T::bitmapIndexed<Key, int>(0b1110, {leaf1, sub1, other3});
  const Map onlyLeaf = T::bitmapIndexed<Key, int>(0b1010, {chunkLeaf(1), T::leaf<Key, int>(3, key(99, 3), 0)});
  const Map onlySub = T::bitmapIndexed<Key, int>(0b0101, {chunkLeaf(0), sub2});
  const Map noneCommon = T::bitmapIndexed<Key, int>(0b1010, {chunkLeaf(1 | (1 << 5)), T::leaf<Key, int>(3, key(98, 3), 0)});

  // One common chunk surviving as a leaf: that leaf itself, in the node's place.
  const Map r1 = L::intersection(first, onlyLeaf);
  EXPECT_TRUE(T::same(r1, leaf1));
  // One surviving branch child: a one-child node above a new subtree.
  const Map r2 = L::intersection(first, onlySub);
  ASSERT_EQ(T::kind(r2), Kind::BitmapIndexed);
  EXPECT_EQ(T::word(r2), 0b100u);
  ASSERT_EQ(T::children(r2).size(), 1u);
  EXPECT_FALSE(T::same(T::children(r2)[0], sub1));  // inner nodes are always new
  EXPECT_EQ(L::size(r2), 2);
  // No surviving child: empty.
  EXPECT_TRUE(L::intersection(first, noneCommon).empty());
  // A map with itself: its leaves are the input's, its inner nodes new.
  const Map self = L::intersection(first, first);
  EXPECT_FALSE(T::same(self, first));
  EXPECT_TRUE(T::sameChild(T::children(self)[0], leaf1));
  EXPECT_TRUE(T::sameChild(T::children(T::children(self)[1])[0], T::children(sub1)[0]));
  for (const Map& r : {r1, r2, self}) expectValid(r, "branches");

  // Two Full nodes: all 32 pairs surviving give Full; one pair lost gives 31 children.
  std::vector<Map> a, b;
  for (std::uint64_t c = 0; c < 32; ++c) {
    a.push_back(chunkLeaf(c));
    b.push_back(c == 13 ? T::leaf<Key, int>(13, key(77, 13), 0) : chunkLeaf(c));
  }
  const Map fa = T::full<Key, int>(a), fb = T::full<Key, int>(b);
  const Map all = L::intersection(fa, fa);
  EXPECT_EQ(T::kind(all), Kind::Full);
  const Map lost = L::intersection(fa, fb);
  EXPECT_EQ(T::kind(lost), Kind::BitmapIndexed);
  EXPECT_EQ(T::word(lost), 0xFFFFFFFFULL & ~(1ULL << 13));
  EXPECT_EQ(T::children(lost).size(), 31u);
  // A branch against a Full node pairs by the branch's bitmap.
  const Map part = L::intersection(T::bitmapIndexed<Key, int>(0b1001, {chunkLeaf(0), chunkLeaf(3)}), fa);
  EXPECT_EQ(T::word(part), 0b1001u);
  for (const Map& r : {all, lost, part}) expectValid(r, "Full");
}

// ---- Calling the caller's function ---------------------------------------------------------

TEST(Intersection, OnlyTheUnboxedVariantCallsItsFunctionDuringTheWalk) {
  const Map first = L::fromList<Key, int>(
      {{key(1, 1), 1}, {key(2, H), 2}, {key(3, H), 3}, {key(4, 4), 4}, {key(5, 1 | (1 << 5)), 5}});
  const Map second = L::fromList<Key, int>(
      {{key(3, H), 30}, {key(2, H), 20}, {key(5, 1 | (1 << 5)), 50}, {key(1, 1), 10}, {key(6, 6), 60}});
  std::vector<std::int64_t> order;
  auto logged = [&order](const Key& k, int a, int b) {
    order.push_back(k.id);
    return a + b;
  };
  const Map wu = I::intersectionWithKeyU(logged, first, second);
  // Walk order: chunk 1 (ids 1 then 5 below it), then chunk 7, a collision in the first map's order.
  EXPECT_EQ(order, (std::vector<std::int64_t>{1, 5, 2, 3}));
  std::vector<std::int64_t> trieOrder;
  for (const auto& r : wu) trieOrder.push_back(r.key.id);
  EXPECT_EQ(trieOrder, order);

  auto fails = [](const Key&, int, int) -> int { throw testing_support::TestFailure("f"); };
  EXPECT_THROW(I::intersectionWithKeyU(fails, first, second), testing_support::TestFailure);
  int calls = 0;
  auto counted = [&calls](int a, int b) {
    ++calls;
    return a * b;
  };
  const Map w = L::intersectionWith(counted, first, second);
  const Map bad = L::intersectionWithKey(fails, first, second);
  EXPECT_EQ(L::size(bad), 4);  // built, keys listable
  EXPECT_THROW(*L::at(bad, key(2, H)), testing_support::TestFailure);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(*L::at(w, key(3, H)), 90);
  EXPECT_EQ(*L::at(w, key(3, H)), 90);
  EXPECT_EQ(calls, 1);

  // Another value type, and functions on cells: a returned cell is stored as it is.
  const HashMap<Key, std::string> text = L::intersectionWith(
      [](int a, const std::string& s) { return s + std::to_string(a); }, first,
      L::fromList<Key, std::string>({{key(4, 4), std::string("n")}}));
  EXPECT_EQ(*L::at(text, key(4, 4)), "n4");
  auto runs = std::make_shared<int>(0);
  const Cell mine = testing_support::counting(8, runs);
  const Map cells =
      I::intersectionWithKeyU(hs::onCells([&mine](const Key&, const Cell&, const Cell&) { return mine; }),
                              first, second);
  EXPECT_TRUE(hs::ptrEq(*L::lookup(key(1, 1), cells), mine));
  EXPECT_EQ(*runs, 0);
}

}  // namespace
