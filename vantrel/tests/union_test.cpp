#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <set>
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
using Pairs = std::vector<std::pair<int, int>>;  // (key tag, value) in trie order
using EqLog = std::vector<std::pair<int, int>>;

constexpr std::uint64_t H = 7;

Map leafH(std::int64_t id, int tag, Cell v) { return T::leaf<Key, int>(H, key(id, H, tag), v); }
Map collH(const std::vector<std::tuple<std::int64_t, int, int>>& entries) {
  std::vector<std::pair<Key, Cell>> es;
  for (const auto& [id, tag, v] : entries) es.emplace_back(key(id, H, tag), Cell(v));
  return T::collision<Key, int>(H, es);
}

const auto with = [](int a, int b) { return a * 10 + b; };
const auto withKey = [](const Key& k, int a, int b) { return k.tag * 100 + a * 10 + b; };

// ---- Two nodes of one hash -----------------------------------------------------------------

TEST(Union, SameHashMergesKeepTheListedKeyValueAndOrder) {
  // Left keys are tagged 1x, right keys 2x; every value is distinct.
  struct Case {
    const char* what;
    Map left, right;
    Kind kind;
    Pairs unionPairs, withPairs, withKeyPairs;
    EqLog eqCalls;  // of union_, the left-side key of each meeting first where the walk pins it
  };
  const Case cases[] = {
      {"Leaf/Leaf, equal keys", leafH(1, 11, 1), leafH(1, 21, 2), Kind::Leaf, {{11, 1}}, {{11, 12}},
       {{11, 1112}}, {{11, 21}}},
      {"Leaf/Leaf, unequal keys", leafH(1, 11, 1), leafH(2, 21, 2), Kind::Collision,
       {{11, 1}, {21, 2}}, {{11, 1}, {21, 2}}, {{11, 1}, {21, 2}}, {{11, 21}}},
      {"Leaf/Collision, key present", leafH(2, 11, 1), collH({{1, 21, 2}, {2, 22, 3}, {3, 23, 4}}),
       Kind::Collision, {{21, 2}, {11, 1}, {23, 4}}, {{21, 2}, {11, 13}, {23, 4}},
       {{21, 2}, {11, 1113}, {23, 4}}, {{11, 21}, {11, 22}}},
      {"Leaf/Collision, key absent", leafH(9, 11, 1), collH({{1, 21, 2}, {2, 22, 3}}),
       Kind::Collision, {{21, 2}, {22, 3}, {11, 1}}, {{21, 2}, {22, 3}, {11, 1}},
       {{21, 2}, {22, 3}, {11, 1}}, {{11, 21}, {11, 22}}},
      {"Collision/Leaf, key present", collH({{1, 11, 1}, {2, 12, 2}, {3, 13, 3}}), leafH(2, 21, 4),
       Kind::Collision, {{11, 1}, {21, 2}, {13, 3}}, {{11, 1}, {21, 24}, {13, 3}},
       {{11, 1}, {21, 2124}, {13, 3}}, {{21, 11}, {21, 12}}},
      {"Collision/Leaf, key absent", collH({{1, 11, 1}, {2, 12, 2}}), leafH(9, 21, 4),
       Kind::Collision, {{11, 1}, {12, 2}, {21, 4}}, {{11, 1}, {12, 2}, {21, 4}},
       {{11, 1}, {12, 2}, {21, 4}}, {{21, 11}, {21, 12}}},
      {"Collision/Collision", collH({{1, 11, 1}, {2, 12, 2}, {3, 13, 3}}),
       collH({{4, 21, 4}, {2, 22, 5}, {5, 23, 6}}), Kind::Collision,
       {{11, 1}, {12, 2}, {13, 3}, {21, 4}, {23, 6}}, {{11, 1}, {12, 25}, {13, 3}, {21, 4}, {23, 6}},
       {{11, 1}, {12, 1225}, {13, 3}, {21, 4}, {23, 6}},
       {{21, 11}, {21, 12}, {21, 13}, {22, 11}, {22, 12}, {23, 11}, {23, 12}, {23, 13}}},
  };
  for (const Case& c : cases) {
    keyLog().clear();
    const Map u = L::union_(c.left, c.right);
    EXPECT_EQ(keyLog().eqCalls, c.eqCalls) << c.what;
    const Map w = L::unionWith(with, c.left, c.right);
    const Map wk = L::unionWithKey(withKey, c.left, c.right);
    EXPECT_EQ(keyLog().hashCalls, 0) << c.what << ": a union hashes no key";
    struct Result {
      const Map& m;
      const Pairs& expected;
      const char* op;
    };
    for (const Result& r : {Result{u, c.unionPairs, "union"}, Result{w, c.withPairs, "unionWith"},
                            Result{wk, c.withKeyPairs, "unionWithKey"}}) {
      const std::string what = std::string(c.what) + " / " + r.op;
      EXPECT_EQ(T::kind(r.m), c.kind) << what;
      EXPECT_EQ(T::word(r.m), H) << what;
      EXPECT_EQ(pairsOf(r.m), r.expected) << what;
      expectValid(r.m, what);
    }
    // Only the plain union of two leaves of one key gives back an input node; every other merge
    // builds a new node.
    const bool leftLeafKept = c.kind == Kind::Leaf;
    EXPECT_EQ(T::same(u, c.left), leftLeafKept) << c.what;
    EXPECT_FALSE(T::same(w, c.left)) << c.what;
    EXPECT_FALSE(T::same(u, c.right)) << c.what;
  }
}

TEST(Union, KeepsTheInputValueCellsAndDropsTheRightValueUnevaluated) {
  auto runsRight = std::make_shared<int>(0);
  const Cell left = 1, right = testing_support::counting(2, runsRight);
  // The left cell stays at the right collision's position of its key.
  const Map r = L::union_(leafH(2, 11, left), T::collision<Key, int>(H, {{key(1, H, 21), 5}, {key(2, H, 22), right}}));
  const auto es = T::entries(r);
  ASSERT_EQ(es.size(), 2u);
  EXPECT_TRUE(hs::ptrEq(es[1].value, left));
  // A right collision's key with the left collision's cell.
  const Cell stored = 3;
  const Map r2 = L::union_(T::collision<Key, int>(H, {{key(1, H, 11), stored}, {key(2, H, 12), 4}}),
                           leafH(1, 21, right));
  EXPECT_EQ(T::entries(r2)[0].key.tag, 21);
  EXPECT_TRUE(hs::ptrEq(T::entries(r2)[0].value, stored));
  for (const auto& m : {r, r2})
    for (const auto& e : m) (void)*e.value;
  EXPECT_EQ(*runsRight, 0);
}

TEST(Union, CombinedValuesAreDeferredAndComputedOnce) {
  int calls = 0;
  auto counted = [&calls](int a, int b) {
    ++calls;
    return a - b;
  };
  const Map left = L::fromList<Key, int>({{key(1, 1), 10}, {key(2, 2), 20}, {key(3, 3), 30}});
  const Map right = L::fromList<Key, int>({{key(2, 2), 2}, {key(3, 3), 3}, {key(4, 4), 4}});
  const Map w = L::unionWith(counted, left, right);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(*L::at(w, key(2, 2)), 18);  // the left value first
  EXPECT_EQ(*L::at(w, key(2, 2)), 18);
  EXPECT_EQ(calls, 1);

  auto fails = [](int, int) -> int { throw testing_support::TestFailure("f"); };
  const Map bad = L::unionWith(fails, left, right);
  const Map badKey =
      L::unionWithKey([](const Key&, int, int) -> int { throw testing_support::TestFailure("g"); }, left, right);
  EXPECT_EQ(L::size(bad), 4);
  EXPECT_EQ(L::size(badKey), 4);
  EXPECT_EQ(*L::at(bad, key(1, 1)), 10);
  EXPECT_THROW(*L::at(bad, key(3, 3)), testing_support::TestFailure);
  EXPECT_THROW(*L::at(badKey, key(2, 2)), testing_support::TestFailure);

  // With hs::onCells the function receives the cells unforced.
  auto runs = std::make_shared<int>(0);
  const Map lazyLeft = L::insert(key(5, 5), testing_support::counting(7, runs), Map());
  const Map cells = L::unionWith(hs::onCells([](const Cell& a, const Cell&) { return a; }), lazyLeft,
                                 L::insert(key(5, 5), 8, Map()));
  EXPECT_EQ(*L::at(cells, key(5, 5)), 7);
  EXPECT_EQ(*runs, 1);
}

// ---- Shapes --------------------------------------------------------------------------------

Map chunkLeaf(std::uint64_t h, int v = 0) { return T::leaf<Key, int>(h, key(static_cast<std::int64_t>(h), h), v); }
// A branch node over leaves at the given chunks (hash = chunk).
Map branchOf(const std::vector<std::uint64_t>& chunks) {
  std::uint64_t b = 0;
  std::vector<Map> kids;
  for (std::uint64_t c : chunks) {
    b |= 1ULL << c;
    kids.push_back(chunkLeaf(c));
  }
  return chunks.size() == 32 ? T::full<Key, int>(kids) : T::bitmapIndexed<Key, int>(b, kids);
}
std::vector<std::uint64_t> range(std::uint64_t from, std::uint64_t to, std::uint64_t skip = 99) {
  std::vector<std::uint64_t> out;
  for (std::uint64_t c = from; c < to; ++c)
    if (c != skip) out.push_back(c);
  return out;
}

// Every child of the result that an input holds at the same chunk is that very child.
void expectChildrenShared(const Map& result, const Map& in, const char* what) {
  const auto bits = [](const Map& m) { return T::kind(m) == Kind::Full ? 0xFFFFFFFFULL : T::word(m); };
  const std::uint64_t br = bits(result), bi = bits(in);
  const auto rk = T::children(result), ik = T::children(in);
  int shared = 0;
  for (int c = 0; c < 32; ++c) {
    const std::uint64_t m = 1ULL << c;
    if ((bi & m) == 0) continue;
    ASSERT_NE(br & m, 0u) << what;
    shared += T::sameChild(rk[std::popcount(br & (m - 1))], ik[std::popcount(bi & (m - 1))]);
  }
  EXPECT_EQ(shared, std::popcount(bi)) << what;
}

TEST(Union, BranchMeetingsGiveTheListedShapes) {
  struct Case {
    const char* what;
    Map left, right;
    Kind kind;
    std::uint64_t word;
    bool leftShared, rightShared;  // every child of that (branch) side is in the result itself
  };
  const Case cases[] = {
      {"leaf into a free chunk", chunkLeaf(4), branchOf({1, 9}), Kind::BitmapIndexed, 0b1000010010,
       false, true},
      {"leaf into the last free chunk", branchOf(range(0, 32, 17)), chunkLeaf(17), Kind::Full,
       0xFFFFFFFF, true, false},
      {"bitmaps covering all chunks together", branchOf(range(0, 16)), branchOf(range(16, 32)),
       Kind::Full, 0xFFFFFFFF, true, true},
      {"a branch meeting a Full node", branchOf({3, 30}), branchOf(range(0, 32)), Kind::Full,
       0xFFFFFFFF, true, false},
      {"a Full node meeting a leaf", branchOf(range(0, 32)), chunkLeaf(5 | (1 << 5)), Kind::Full,
       0xFFFFFFFF, false, false},
  };
  for (const Case& c : cases) {
    keyLog().clear();
    const Map u = L::union_(c.left, c.right);
    EXPECT_EQ(T::kind(u), c.kind) << c.what;
    EXPECT_EQ(T::word(u), c.word) << c.what;
    EXPECT_EQ(keyLog().hashCalls, 0) << c.what;
    std::set<std::int64_t> ids;
    for (const Map* m : {&c.left, &c.right})
      for (const auto& r : *m) ids.insert(r.key.id);
    EXPECT_EQ(L::size(u), static_cast<std::int64_t>(ids.size())) << c.what;
    expectValid(u, c.what);
    if (c.leftShared) expectChildrenShared(u, c.left, c.what);
    if (c.rightShared) expectChildrenShared(u, c.right, c.what);
  }
}

TEST(Union, LeavesOfDifferentHashesJoinUnderTheirFirstDifferentChunk) {
  // Both hashes have chunk 1 at shift 0 and differ at shift 5 (3 against 2).
  const Map x = chunkLeaf(1 | (3 << 5), 1), y = chunkLeaf(1 | (2 << 5), 2);
  const Map u = L::union_(x, y);
  ASSERT_EQ(T::kind(u), Kind::BitmapIndexed);
  EXPECT_EQ(T::word(u), 0b10u);
  const auto top = T::children(u);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(T::word(top[0]), 0b1100u);
  const auto low = T::children(top[0]);
  ASSERT_EQ(low.size(), 2u);
  EXPECT_TRUE(T::sameChild(low[0], y));  // the lower chunk first, whichever side it came from
  EXPECT_TRUE(T::sameChild(low[1], x));
  expectValid(u, "join");
  // A collision meeting a leaf of another hash stays the same object.
  const Map coll = collH({{1, 11, 1}, {2, 12, 2}});
  const auto kids = T::children(L::union_(chunkLeaf(3), coll));
  EXPECT_TRUE(T::same(kids[1], coll));
}

TEST(Union, ALeafSideKeepsItsRoleBelowABranch) {
  // The right map's branch holds key 1 (hash 1) at chunk 1; the leaf side is key 1 from the left
  // map, then from the right map; f sees the left value first either way.
  const Map branch = T::bitmapIndexed<Key, int>(
      0b110, {T::leaf<Key, int>(1, key(1, 1, 21), 2), T::leaf<Key, int>(2, key(2, 2, 22), 3)});
  const Map leaf = T::leaf<Key, int>(1, key(1, 1, 11), 1);
  const Map lr = L::unionWithKey(withKey, leaf, branch);
  const Map rl = L::unionWithKey(withKey, branch, leaf);
  EXPECT_EQ(pairsOf(lr), Pairs({{11, 1112}, {22, 3}}));
  EXPECT_EQ(pairsOf(rl), Pairs({{21, 2121}, {22, 3}}));
  EXPECT_TRUE(T::sameChild(T::children(lr)[1], T::children(branch)[1]));
  // Through a Full node as well.
  std::vector<Map> kids;
  for (std::uint64_t c = 0; c < 32; ++c) kids.push_back(T::leaf<Key, int>(c, key(c, c, 20), 5));
  const Map fullMap = T::full<Key, int>(kids);
  const Map viaFull = L::unionWith(with, T::leaf<Key, int>(9, key(9, 9, 10), 1), fullMap);
  EXPECT_EQ(T::kind(viaFull), Kind::Full);
  EXPECT_EQ(*L::at(viaFull, key(9, 9)), 15);
  EXPECT_EQ(T::entries(T::children(viaFull)[9])[0].key.tag, 10);
  expectValid(viaFull, "via Full");
}

TEST(Union, AnEmptySideGivesTheOtherMapItself) {
  const Map m = L::fromList<Key, int>({{key(1, 1), 1}, {key(2, 2), 2}});
  EXPECT_TRUE(T::same(L::union_(m, Map()), m));
  EXPECT_TRUE(T::same(L::union_(Map(), m), m));
  EXPECT_TRUE(T::same(L::unionWith(with, Map(), m), m));
  EXPECT_TRUE(L::union_(Map(), Map()).empty());
}

// ---- The array merge -----------------------------------------------------------------------

TEST(Union, UnionArrayByInterleavesByBitAndCombinesSharedPositionsNow) {
  namespace A = I::array;
  const Cell a0 = 1, a1 = 2, b0 = 3, b1 = 4;
  const A::Array<int> xs = A::fromList<int>(2, {a0, a1}), ys = A::fromList<int>(2, {b0, b1});
  std::vector<std::pair<int, int>> calls;
  auto f = [&calls](int x, int y) {
    calls.emplace_back(x, y);
    return x * 10 + y;
  };
  const A::Array<int> disjoint = I::unionArrayBy(f, 0b0101, 0b1010, xs, ys);
  EXPECT_TRUE(calls.empty());
  ASSERT_EQ(disjoint.size(), 4u);
  const Cell* order[] = {&a0, &b0, &a1, &b1};
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(hs::ptrEq(disjoint.slot(i), *order[i])) << i;

  const A::Array<int> overlap = I::unionArrayBy(f, 0b011, 0b110, xs, ys);
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 3}}));
  ASSERT_EQ(overlap.size(), 3u);
  EXPECT_TRUE(hs::ptrEq(overlap.slot(0), a0));
  EXPECT_EQ(*overlap.slot(1), 23);
  EXPECT_TRUE(hs::ptrEq(overlap.slot(2), b1));
  calls.clear();
  (void)I::unionArrayBy(f, 0b11, 0b11, xs, ys);
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 3}, {2, 4}}));  // lowest position first
}

// ---- Lists, semigroup and monoid ---------------------------------------------------------

TEST(Union, ListFormsLetTheEarliestMapWin) {
  const Map m1 = L::fromList<Key, int>({{key(1, 1), 1}, {key(2, 2), 1}});
  const Map m2 = L::fromList<Key, int>({{key(2, 2), 2}, {key(3, 3), 2}});
  const Map m3 = L::fromList<Key, int>({{key(3, 3), 3}, {key(4, 4), 3}});
  const std::vector<Map> all{m1, m2, m3};
  const Pairs expected{{0, 1}, {0, 1}, {0, 2}, {0, 3}};
  for (const Map& r : {L::unions(all), L::unions({m1, m2, m3}), I::mconcat(all), I::sconcat(hs::NonEmpty<Map>{m1, {m2, m3}}),
                       hs::mconcat(all), hs::sconcat(hs::NonEmpty<Map>{m1, {m2, m3}}),
                       I::mappend(m1, I::mappend(m2, m3))}) {
    EXPECT_EQ(pairsOf(r), expected);
    expectValid(r, "list form");
  }
  EXPECT_TRUE(L::unions(std::vector<Map>{}).empty());
  EXPECT_TRUE(I::mconcat(std::vector<Map>{}).empty());
  EXPECT_TRUE((I::mempty<Key, int>()).empty());
  EXPECT_TRUE(T::same(L::unions({m2}), m2));
  EXPECT_TRUE(T::same(I::mconcat({m2}), m2));
  EXPECT_TRUE(T::same(I::sconcat(hs::NonEmpty<Map>{m2, {}}), m2));
  EXPECT_TRUE(T::same(hs::stimes(2, m2), m2));
  EXPECT_TRUE(hs::mempty<Map>().empty());
}

TEST(Union, StimesIsIdempotent) {
  const Map m = L::fromList<Key, int>({{key(1, 1), 1}});
  EXPECT_TRUE(I::stimes(0, m).empty());
  EXPECT_TRUE(T::same(I::stimes(3, m), m));
  EXPECT_TRUE(T::same(I::stimes(std::uint8_t{200}, m), m));
  EXPECT_TRUE(I::stimes(std::uint64_t{0}, m).empty());
  for (std::int64_t n : {std::int64_t{-1}, std::numeric_limits<std::int64_t>::min()}) {
    try {
      (void)I::stimes(n, m);
      ADD_FAILURE() << n;
    } catch (const hs::ProgramError& e) {
      EXPECT_STREQ(e.what(), "stimesIdempotentMonoid: negative multiplier");
      EXPECT_TRUE(e.callStack().entries().empty());
    }
  }
}

}  // namespace
