// The value-strict unions, intersections and combining difference: which values they evaluate,
// which key objects they keep, what a failing combination leaves behind, and the union walk's
// guards.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/classes.hpp"
#include "vantrel/map/strict.hpp"
#include "vantrel/package.hpp"

namespace {

using testing_support::Key;
using testing_support::key;
using testing_support::keyLog;
using testing_support::expectValid;
using testing_support::pairsOf;
using testing_support::TestFailure;
using vantrel::HashMap;
using vantrel::internal::Kind;
namespace I = vantrel::internal;
namespace IS = vantrel::internal::strict;
namespace L = vantrel::lazy;
namespace S = vantrel::strict;
namespace T = testing_support::trie;
using Map = HashMap<Key, int>;
using Cell = hs::Lazy<int>;
using Opt = std::optional<Cell>;
using Pairs = std::vector<std::pair<int, int>>;  // (key tag, value) in trie order
using EqLog = std::vector<std::pair<int, int>>;

constexpr std::uint64_t H = 7;

Cell deferred(int x) {
  return Cell::defer([x] { return x; });
}
Map leafAt(std::int64_t id, std::uint64_t h, int tag, Cell v) {
  return T::leaf<Key, int>(h, key(id, h, tag), std::move(v));
}
Map leafH(std::int64_t id, int tag, Cell v) { return leafAt(id, H, tag, std::move(v)); }
Map collH(const std::vector<std::tuple<std::int64_t, int, Cell>>& entries) {
  std::vector<std::pair<Key, Cell>> es;
  for (const auto& [id, tag, v] : entries) es.emplace_back(key(id, H, tag), v);
  return T::collision<Key, int>(H, es);
}
// Two levels down: a root branch (chunk 7) over a branch (chunks 1 and 2) of two leaves, the
// first of them the given one.
Map deepLeaf(std::int64_t id, int tag, Cell v) {
  const std::uint64_t h = H | (1u << 5);
  return T::bitmapIndexed<Key, int>(
      1u << H, {T::bitmapIndexed<Key, int>(1u << 1 | 1u << 2, {leafAt(id, h, tag, std::move(v)),
                                                               leafAt(99, H | (2u << 5), 99, 0)})});
}

const auto with = [](int a, int b) { return a * 10 + b; };
const auto withKey = [](const Key& k, int a, int b) { return k.tag * 100 + a * 10 + b; };

// ---- What is evaluated -----------------------------------------------------------------------

TEST(StrictMergeForcing, CombinedValuesAreEvaluatedAndTheOthersLeftAlone) {
  // v is the one deferred value of the inputs; "forced" says whether the operation evaluated it.
  // Every other cell of a result must be evaluated, whatever f gave back.
  auto keepRight = hs::onCells(
      [](const Cell&, const Cell& r) { return Cell::apply([](int x) { return x + 1; }, r); });
  auto giveLeft = hs::onCells([](const Cell& l, const Cell&) { return l; });
  auto dropOnCells = hs::onCells([](const Cell&, const Cell&) { return Opt(); });
  auto newOnCells = hs::onCells([](const Cell& l, const Cell&) { return Opt(l); });
  auto sumOpt = [](int a, int b) { return std::optional<int>(a + b); };
  struct Case {
    const char* what;
    std::function<Map(const Cell& v)> op;
    bool forced;
  };
  const Case cases[] = {
      {"unionWith, v in the left map only",
       [](const Cell& v) { return S::unionWith(with, leafAt(1, 1, 1, v), leafAt(2, 2, 2, 0)); },
       false},
      {"unionWith, v in the right map only, below a branch",
       [](const Cell& v) { return S::unionWith(with, leafAt(1, 1, 1, 0), deepLeaf(2, 2, v)); },
       false},
      {"unionWith, two leaves of one hash, other keys",
       [](const Cell& v) { return S::unionWith(with, leafH(1, 1, v), leafH(2, 2, 0)); }, false},
      // The one exception to one-sided values: the collision helper evaluates what it appends.
      {"unionWith, a left leaf appended to a right collision",
       [](const Cell& v) {
         return S::unionWith(with, leafH(9, 1, v), collH({{1, 2, 0}, {2, 3, 0}}));
       },
       true},
      {"unionWith, a right leaf appended to a left collision",
       [](const Cell& v) {
         return S::unionWith(with, collH({{1, 2, 0}, {2, 3, 0}}), leafH(9, 1, v));
       },
       true},
      {"unionWith, a collision record beside a merged one",
       [](const Cell& v) {
         return S::unionWith(with, collH({{1, 1, v}, {2, 2, 0}}), collH({{2, 3, 0}, {3, 4, 0}}));
       },
       false},
      {"unionWith, a right-only record of two collisions",
       [](const Cell& v) {
         return S::unionWith(with, collH({{1, 1, 0}, {2, 2, 0}}), collH({{2, 3, 0}, {3, 4, v}}));
       },
       false},
      {"unionWith, v at a key of both leaves",
       [](const Cell& v) { return S::unionWith(with, leafH(1, 1, v), leafH(1, 2, 0)); }, true},
      {"unionWith, v in a collision meeting a leaf of its key",
       [](const Cell& v) {
         return S::unionWith(with, collH({{1, 1, 0}, {2, 2, v}}), leafH(2, 3, 0));
       },
       true},
      {"unionWith, v at a key of two collisions",
       [](const Cell& v) {
         return S::unionWith(with, collH({{1, 1, 0}, {2, 2, 0}}), collH({{2, 3, v}, {3, 4, 0}}));
       },
       true},
      {"unionWith, v below a branch meeting a leaf of its key",
       [](const Cell& v) {
         return S::unionWith(with, leafAt(2, H | (1u << 5), 1, 0), deepLeaf(2, 2, v));
       },
       true},
      {"unionWith, f on cells ignoring v; its deferred result evaluated",
       [&](const Cell& v) {
         return S::unionWith(keepRight, leafH(1, 1, v), leafH(1, 2, deferred(3)));
       },
       false},
      {"unionWith, f on cells giving v back",
       [&](const Cell& v) { return S::unionWith(giveLeft, leafH(1, 1, v), leafH(1, 2, 0)); }, true},
      {"unionWithKey, v at a key of both",
       [](const Cell& v) {
         return S::unionWithKey(withKey, collH({{1, 1, 0}, {2, 2, 0}}), leafH(1, 3, v));
       },
       true},
      {"union_, v at a key of both",
       [](const Cell& v) { return S::union_(leafH(1, 1, v), leafH(1, 2, 0)); }, false},
      {"union_, the dropped right value",
       [](const Cell& v) {
         return S::union_(collH({{1, 1, 0}, {2, 2, 0}}), leafH(1, 3, v));
       },
       false},
      {"intersectionWith, v at a key of both leaves",
       [](const Cell& v) { return S::intersectionWith(with, leafH(1, 1, v), leafH(1, 2, 0)); },
       true},
      {"intersectionWith, v in the second map's collision",
       [](const Cell& v) {
         const Map first = S::fromList<Key, int>({{key(2, H, 1), 0}, {key(5, 3, 5), 0}});
         const Map second = T::bitmapIndexed<Key, int>(
             1u << 4 | 1u << H, {leafAt(8, 4, 8, 0), collH({{1, 2, 0}, {2, 3, v}})});
         return S::intersectionWith(with, first, second);
       },
       true},
      {"intersectionWith, f on cells ignoring v; its deferred result evaluated",
       [&](const Cell& v) {
         return S::intersectionWith(keepRight, leafH(1, 1, v), leafH(1, 2, deferred(3)));
       },
       false},
      {"intersectionWith, v at a key of the first map only",
       [](const Cell& v) {
         return S::intersectionWith(with, collH({{1, 1, v}, {2, 2, 0}}), leafH(2, 3, 0));
       },
       false},
      {"intersectionWithKey, v at a key of both",
       [](const Cell& v) {
         return S::intersectionWithKey(withKey, collH({{1, 1, v}, {2, 2, 0}}),
                                       collH({{1, 3, 0}, {5, 4, 0}}));
       },
       true},
      {"intersection, v at a key of both",
       [](const Cell& v) {
         return S::intersection(leafH(1, 1, v), collH({{1, 2, 0}, {3, 3, 0}}));
       },
       false},
      {"differenceWith, v at a key the second map lacks",
       [&](const Cell& v) {
         return S::differenceWith(sumOpt, collH({{1, 1, v}, {2, 2, 0}}), leafH(2, 3, 0));
       },
       true},
      {"differenceWith, v at a key of both, f on values",
       [&](const Cell& v) { return S::differenceWith(sumOpt, leafH(1, 1, v), leafH(1, 2, 0)); },
       true},
      {"differenceWith, f on cells dropping v's key",
       [&](const Cell& v) {
         return S::differenceWith(dropOnCells, leafH(1, 1, v), leafH(1, 2, 0));
       },
       false},
      {"differenceWith, f on cells answering v",
       [&](const Cell& v) { return S::differenceWith(newOnCells, leafH(1, 1, v), leafH(1, 2, 0)); },
       true},
      {"differenceWith, the second map's value, f on cells",
       [&](const Cell& v) {
         return S::differenceWith(dropOnCells, leafH(1, 1, 0), leafH(1, 2, v));
       },
       false},
      {"difference, v at a key the second map lacks",
       [](const Cell& v) { return S::difference(leafAt(1, 1, 1, v), leafAt(2, 2, 2, 0)); }, false},
  };
  for (const Case& c : cases) {
    const Cell v = deferred(7);
    const Map r = c.op(v);
    EXPECT_EQ(v.evaluated(), c.forced) << c.what;
    for (const auto& rec : r)
      EXPECT_TRUE(rec.value.evaluated() || hs::ptrEq(rec.value, v)) << c.what << ": " << rec.key;
    expectValid(r, c.what);
  }
}

TEST(StrictMergeForcing, TheCallersFunctionRunsDuringTheCallOncePerCommonKey) {
  std::vector<std::pair<Key, int>> ps1, ps2;
  for (int i = 0; i < 120; ++i) ps1.push_back({key(i, static_cast<std::uint64_t>(i % 50), i), i});
  for (int i = 60; i < 200; ++i) ps2.push_back({key(i, static_cast<std::uint64_t>(i % 50), i), i});
  const Map m1 = S::fromList(ps1), m2 = S::fromList(ps2);
  std::vector<std::int64_t> seen;
  auto f = [&seen](const Key& k, int a, int b) {
    seen.push_back(k.id);
    return a - b;
  };
  auto fd = [&seen](int a, int b) -> std::optional<int> {
    seen.push_back(a);
    return a + b;
  };
  std::vector<std::int64_t> trie1;  // the common keys in the first map's trie order
  for (const auto& r : m1)
    if (r.key.id >= 60) trie1.push_back(r.key.id);
  const std::set<std::int64_t> common(trie1.begin(), trie1.end());
  for (const auto& [what, op] : std::vector<std::pair<const char*, std::function<Map()>>>{
           {"unionWithKey", [&] { return S::unionWithKey(f, m1, m2); }},
           {"intersectionWithKey", [&] { return S::intersectionWithKey(f, m1, m2); }}}) {
    seen.clear();
    const Map r = op();
    EXPECT_EQ(std::set<std::int64_t>(seen.begin(), seen.end()), common) << what;
    EXPECT_EQ(seen.size(), common.size()) << what;
    for (const auto& rec : r) EXPECT_TRUE(rec.value.evaluated()) << what;
  }
  seen.clear();
  (void)S::differenceWith(fd, m1, m2);
  EXPECT_EQ(seen, trie1);  // values equal ids here
}

// ---- Which key is kept -------------------------------------------------------------------------

TEST(StrictMergeKeys, SameHashMeetingsKeepTheListedKeys) {
  // Left keys are tagged 1x, right keys 2x; f's results show the key it was given and the order of
  // its arguments; eqCalls are (left operand tag, right operand tag).
  struct Case {
    const char* what;
    Map left, right;
    Kind unionKind;
    Pairs unionPairs;
    EqLog unionEq;
    Kind interKind;
    Pairs interPairs;
    EqLog interEq;
  };
  const Case cases[] = {
      {"Leaf/Leaf, equal keys",
       leafH(1, 11, 1),
       leafH(1, 21, 2),
       Kind::Leaf,
       {{11, 1112}},
       {{11, 21}},
       Kind::Leaf,
       {{11, 1112}},
       {{11, 21}}},
      {"Leaf/Leaf, unequal keys",
       leafH(1, 11, 1),
       leafH(2, 21, 2),
       Kind::Collision,
       {{11, 1}, {21, 2}},
       {{11, 21}},
       Kind::Empty,
       {},
       {{11, 21}}},
      {"Leaf/Collision, key present",
       leafH(2, 11, 1),
       collH({{1, 21, 2}, {2, 22, 3}, {3, 23, 4}}),
       Kind::Collision,
       {{21, 2}, {11, 1113}, {23, 4}},
       {{11, 21}, {11, 22}},
       Kind::Leaf,
       {{11, 1113}},
       {{11, 21}, {11, 22}}},
      {"Leaf/Collision, key absent",
       leafH(9, 11, 1),
       collH({{1, 21, 2}, {2, 22, 3}}),
       Kind::Collision,
       {{21, 2}, {22, 3}, {11, 1}},
       {{11, 21}, {11, 22}},
       Kind::Empty,
       {},
       {{11, 21}, {11, 22}}},
      {"Collision/Leaf, key present: the right key",
       collH({{1, 11, 1}, {2, 12, 2}, {3, 13, 3}}),
       leafH(2, 21, 4),
       Kind::Collision,
       {{11, 1}, {21, 2124}, {13, 3}},
       {{21, 11}, {21, 12}},
       Kind::Leaf,
       {{21, 2124}},
       {{21, 11}, {21, 12}}},
      {"Collision/Leaf, key absent",
       collH({{1, 11, 1}, {2, 12, 2}}),
       leafH(9, 21, 4),
       Kind::Collision,
       {{11, 1}, {12, 2}, {21, 4}},
       {{21, 11}, {21, 12}},
       Kind::Empty,
       {},
       {{21, 11}, {21, 12}}},
      {"Collision/Collision, one common key",
       collH({{1, 11, 1}, {2, 12, 2}, {3, 13, 3}}),
       collH({{4, 21, 4}, {2, 22, 5}, {5, 23, 6}}),
       Kind::Collision,
       {{11, 1}, {12, 1225}, {13, 3}, {21, 4}, {23, 6}},
       {{21, 11}, {21, 12}, {21, 13}, {22, 11}, {22, 12}, {23, 11}, {23, 12}, {23, 13}},
       Kind::Leaf,
       {{12, 1225}},
       {{11, 21}, {11, 22}, {11, 23}, {12, 21}, {12, 22}, {13, 21}, {13, 23}}},
      {"Collision/Collision, two common keys",
       collH({{1, 11, 1}, {2, 12, 2}, {3, 13, 3}}),
       collH({{3, 21, 4}, {1, 22, 5}}),
       Kind::Collision,
       {{11, 1115}, {12, 2}, {13, 1334}},
       {{21, 11}, {21, 12}, {21, 13}, {22, 11}},
       Kind::Collision,
       {{11, 1115}, {13, 1334}},
       {{11, 21}, {11, 22}, {12, 21}, {13, 21}}},
      {"Collision/Collision, no common key",
       collH({{1, 11, 1}, {2, 12, 2}}),
       collH({{3, 21, 3}, {4, 22, 4}}),
       Kind::Collision,
       {{11, 1}, {12, 2}, {21, 3}, {22, 4}},
       {{21, 11}, {21, 12}, {22, 11}, {22, 12}},
       Kind::Empty,
       {},
       {{11, 21}, {11, 22}, {12, 21}, {12, 22}}},
  };
  for (const Case& c : cases) {
    keyLog().clear();
    const Map u = S::unionWithKey(withKey, c.left, c.right);
    EXPECT_EQ(keyLog().eqCalls, c.unionEq) << c.what;
    EXPECT_EQ(keyLog().hashCalls, 0) << c.what << ": no key is hashed";
    EXPECT_EQ(T::kind(u), c.unionKind) << c.what;
    EXPECT_EQ(T::word(u), H) << c.what;
    EXPECT_EQ(pairsOf(u), c.unionPairs) << c.what;
    expectValid(u, c.what);
    EXPECT_FALSE(T::same(u, c.left) || T::same(u, c.right)) << c.what;
    // unionWith agrees, with f(left, right) in place of the keyed form.
    Pairs withPairs;
    for (const auto& [tag, x] : c.unionPairs) withPairs.emplace_back(tag, x >= 1000 ? x % 100 : x);
    EXPECT_EQ(pairsOf(S::unionWith(with, c.left, c.right)), withPairs) << c.what;

    keyLog().clear();
    const Map n = S::intersectionWithKey(withKey, c.left, c.right);
    EXPECT_EQ(keyLog().eqCalls, c.interEq) << c.what;
    EXPECT_EQ(keyLog().hashCalls, 0) << c.what << ": no key is hashed";
    EXPECT_EQ(T::kind(n), c.interKind) << c.what;
    if (c.interKind != Kind::Empty) {
      EXPECT_EQ(T::word(n), H) << c.what;
    }
    EXPECT_EQ(pairsOf(n), c.interPairs) << c.what;
    expectValid(n, c.what);
  }
}

TEST(StrictMergeKeys, ALeafFacingABranchKeepsItsKeyAndHash) {
  // The first map holds key 2 two levels down; the second holds an equal key (another object) as
  // a lone root leaf.
  const Map branchy = deepLeaf(2, 11, 1);
  const std::uint64_t h = H | (1u << 5);
  const Map lone = leafAt(2, h, 21, 2);
  const Map n = S::intersectionWithKey(withKey, branchy, lone);
  EXPECT_EQ(T::kind(n), Kind::Leaf);
  EXPECT_EQ(pairsOf(n), (Pairs{{21, 2112}}));
  EXPECT_EQ(T::word(n), h);
  const Map n2 = S::intersectionWithKey(withKey, lone, branchy);
  EXPECT_EQ(pairsOf(n2), (Pairs{{21, 2121}}));
  // In a union the leaf goes down to its partner, where two leaves keep the left key.
  const Map u = S::unionWithKey(withKey, branchy, lone);
  EXPECT_EQ(pairsOf(u), (Pairs{{11, 1112}, {99, 0}}));
  EXPECT_EQ(pairsOf(S::unionWithKey(withKey, lone, branchy)), (Pairs{{21, 2121}, {99, 0}}));
  expectValid(u, "union");
}

TEST(StrictMergeKeys, DifferenceWithKeepsTheFirstMapsKeysInItsOrder) {
  const Map first = collH({{1, 11, 1}, {2, 12, 2}, {3, 13, 3}});
  const Map second = T::bitmapIndexed<Key, int>(
      1u << H | 1u << 9, {collH({{2, 22, 5}, {4, 24, 6}}), leafAt(8, 9, 28, 0)});
  const auto replace = [](int a, int b) { return std::optional<int>(a * 10 + b); };
  const auto drop = [](int, int) { return std::optional<int>(); };
  const Map kept = S::differenceWith(replace, first, second);
  EXPECT_EQ(T::kind(kept), Kind::Collision);
  EXPECT_EQ(pairsOf(kept), (Pairs{{11, 1}, {12, 25}, {13, 3}}));
  const Map dropped = S::differenceWith(drop, first, second);
  EXPECT_EQ(pairsOf(dropped), (Pairs{{11, 1}, {13, 3}}));
  const Map alone = S::differenceWith(drop, collH({{1, 11, 1}, {2, 12, 2}}), second);
  EXPECT_EQ(T::kind(alone), Kind::Leaf);
  EXPECT_EQ(pairsOf(alone), (Pairs{{11, 1}}));
  // Never the first map itself; an empty first map gives the shared empty map.
  const Map none = S::differenceWith(replace, first, Map());
  EXPECT_FALSE(T::same(none, first));
  EXPECT_EQ(pairsOf(none), pairsOf(first));
  EXPECT_TRUE(T::same(S::differenceWith(replace, Map(), second), Map()));
  EXPECT_TRUE(T::same(S::differenceWith(drop, leafH(2, 1, 0), second), Map()));
  for (const Map& m : {kept, dropped, alone, none}) expectValid(m, "differenceWith");
}

// ---- Shapes and identity ---------------------------------------------------------------------

// Same kinds, bitmaps and hashes everywhere, keys in the same places; no node shared.
void expectSameShapeNoSharing(const Map& a, const Map& b) {
  ASSERT_EQ(T::kind(a), T::kind(b));
  EXPECT_EQ(T::word(a), T::word(b));
  EXPECT_FALSE(T::same(a, b));
  if (T::kind(a) == Kind::BitmapIndexed || T::kind(a) == Kind::Full) {
    const auto ca = T::children(a);
    const auto cb = T::children(b);
    ASSERT_EQ(ca.size(), cb.size());
    for (std::size_t i = 0; i < ca.size(); ++i) expectSameShapeNoSharing(ca[i], cb[i]);
  } else {
    const auto ea = T::entries(a);
    const auto eb = T::entries(b);
    ASSERT_EQ(ea.size(), eb.size());
    for (std::size_t i = 0; i < ea.size(); ++i) EXPECT_EQ(ea[i].key.tag, eb[i].key.tag);
  }
}

TEST(StrictMergeShape, AMapWithItselfIsRebuiltEverywhereAndEmptySidesGiveTheOtherMap) {
  std::vector<std::pair<Key, Cell>> ps;
  for (int i = 0; i < 90; ++i)
    ps.push_back({key(i, static_cast<std::uint64_t>(i % 37) * 0x00100401ULL, i), deferred(i)});
  const Map m = L::fromList(ps);  // every value deferred
  const Map u = S::unionWith(with, m, m);
  const Map n = S::intersectionWith(with, m, m);
  for (const Map& r : {u, n}) {
    expectSameShapeNoSharing(m, r);
    expectValid(r, "with itself");
    for (const auto& rec : r) {
      EXPECT_TRUE(rec.value.evaluated());
      EXPECT_EQ(*rec.value, rec.key.id * 11);
    }
  }
  for (auto& [k, v] : ps) v = deferred(int(k.id));
  const Map lazyMap = L::fromList(ps);
  const Map e;
  EXPECT_TRUE(T::same(S::unionWith(with, lazyMap, e), lazyMap));
  EXPECT_TRUE(T::same(S::unionWithKey(withKey, e, lazyMap), lazyMap));
  EXPECT_TRUE(T::same(S::intersectionWith(with, lazyMap, e), e));
  EXPECT_TRUE(T::same(S::intersectionWithKey(withKey, e, lazyMap), e));
  for (const auto& rec : lazyMap)
    EXPECT_FALSE(rec.value.evaluated()) << "an empty side forces nothing";

  // Two branch nodes whose chunks together cover all 32 give Full.
  std::vector<std::pair<Key, int>> even, odd;
  for (std::uint64_t c = 0; c < 32; ++c) (c % 2 ? odd : even).push_back({key(c, c), int(c)});
  const Map full = S::unionWith(with, S::fromList(even), S::fromList(odd));
  EXPECT_EQ(T::kind(full), Kind::Full);
  EXPECT_EQ(T::kind(S::intersectionWith(with, full, S::fromList(even))), Kind::BitmapIndexed);
  EXPECT_EQ(T::kind(S::intersectionWith(with, full, full)), Kind::Full);
}

// ---- Failures --------------------------------------------------------------------------------

TEST(StrictMergeFailure, AFailingCombinationSurfacesAndLeavesNothingBehind) {
  // Several levels and many collisions, so that failures strike with nodes half-built.
  auto hashOf = [](std::int64_t i) {
    return static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ULL % 61;
  };
  std::vector<std::pair<Key, Cell>> ps1, ps2;
  for (std::int64_t i = 0; i < 200; ++i) ps1.push_back({key(i, hashOf(i)), Cell(int(i))});
  for (std::int64_t i = 100; i < 300; ++i) ps2.push_back({key(i, hashOf(i)), Cell(int(i))});
  const Map m1 = S::fromList(ps1), m2 = S::fromList(ps2);
  // m1 with one deferred failing value at a key m2 lacks.
  const Map m1bad = L::insert(key(40, hashOf(40)), testing_support::throwing<int>("value"), m1);
  auto failAt = [](int target) {
    return [target](int a, int) -> int {
      if (a == target) throw TestFailure("value");
      return a;
    };
  };
  auto badResult = hs::onCells([](const Cell& a, const Cell&) {
    return Cell::apply(
        [](int x) -> int {
          if (x == 150) throw TestFailure("value");
          return x;
        },
        a);
  });
  struct Case {
    const char* what;
    std::function<void()> op;
  };
  const Case cases[] = {
      {"unionWith", [&] { (void)S::unionWith(failAt(150), m1, m2); }},
      {"unionWith, reversed", [&] { (void)S::unionWith(failAt(150), m2, m1); }},
      {"unionWith, f's deferred result", [&] { (void)S::unionWith(badResult, m1, m2); }},
      {"unionWithKey",
       [&] {
         (void)S::unionWithKey([&](const Key&, int a, int b) { return failAt(199)(a, b); }, m1, m2);
       }},
      {"intersectionWith", [&] { (void)S::intersectionWith(failAt(150), m1, m2); }},
      {"intersectionWith, f's deferred result", [&] { (void)S::intersectionWith(badResult, m1, m2); }},
      {"intersectionWithKey",
       [&] {
         (void)S::intersectionWithKey([&](const Key&, int a, int b) { return failAt(120)(a, b); }, m1,
                                m2);
       }},
      {"differenceWith",
       [&] {
         (void)S::differenceWith([&](int a, int b) { return std::optional<int>(failAt(150)(a, b)); }, m1,
                           m2);
       }},
      {"differenceWith, a first-map value kept",
       [&] { (void)S::differenceWith([](int a, int) { return std::optional<int>(a); }, m1bad, m2); }},
  };
  for (const Case& c : cases) {
    try {
      c.op();
      ADD_FAILURE() << c.what << ": no failure";
    } catch (const TestFailure& e) {
      EXPECT_STREQ(e.what(), "value") << c.what;
    }
  }
  // The inputs are as they were; a failing value that no combination touches fails nothing.
  for (const Map* m : {&m1, &m2}) {
    EXPECT_EQ(S::size(*m), 200);
    expectValid(*m, "input");
    for (const auto& r : *m) EXPECT_EQ(*r.value, r.key.id);
  }
  EXPECT_EQ(S::size(S::unionWith(failAt(-1), m1bad, m2)), 300);
  EXPECT_EQ(S::size(S::intersectionWith(failAt(-1), m1bad, m2)), 100);
}

// ---- Guards of the union walk ----------------------------------------------------------------

TEST(StrictMergeErrors, PairingsNoTrieHoldsRaiseTheWalksErrors) {
  // A node of no trie kind: a general array's object handed over as a map. The array keeps its own
  // reference, so the map handle never frees it.
  const I::array::Array<int> storage = I::array::newFilled<int>(1, 0).freeze();
  I::Object* o = storage.storage();
  o->refs.fetch_add(1, std::memory_order_relaxed);
  const Map alien = I::Node::adopt<Key, int>(o);

  const Map branch = S::fromList<Key, int>({{key(1, 1), 1}, {key(2, 2), 2}});
  const Map full = [] {
    std::vector<std::pair<Key, int>> all;
    for (std::uint64_t c = 0; c < 32; ++c) all.push_back({key(c, c), int(c)});
    return S::fromList(all);
  }();
  const Map leaf = leafH(1, 1, 1);
  const Map coll = collH({{1, 1, 1}, {2, 2, 2}});
  struct Case {
    const char* what;
    const Map& left;
    const Map& right;
    bool hashGuard;  // else the pattern-match failure
  };
  const Case cases[] = {
      {"BitmapIndexed / alien", branch, alien, true},
      {"alien / BitmapIndexed", alien, branch, true},
      {"Full / alien", full, alien, true},
      {"alien / Full", alien, full, true},
      {"Leaf / alien", leaf, alien, false},
      {"alien / Collision", alien, coll, false},
      {"alien / alien", alien, alien, false},
  };
  const hs::SrcLoc site{"error",
                        vantrel::packageId(),
                        "Vantrel.Map.Internal.Strict",
                        "./Vantrel/Map/Internal/Strict",
                        529,
                        22,
                        529,
                        27};
  for (const Case& c : cases) {
    for (int keyed = 0; keyed < 2; ++keyed) {
      try {
        if (keyed)
          (void)S::unionWithKey(withKey, c.left, c.right);
        else
          (void)S::unionWith(with, c.left, c.right);
        ADD_FAILURE() << c.what << ": no error";
      } catch (const hs::ProgramError& e) {
        EXPECT_TRUE(c.hashGuard) << c.what;
        EXPECT_STREQ(e.what(), "leafHashCode") << c.what;
        ASSERT_EQ(e.callStack().entries().size(), 1u) << c.what;
        EXPECT_EQ(e.callStack().entries()[0], site) << c.what;
      } catch (const hs::PatternMatchFail& e) {
        EXPECT_FALSE(c.hashGuard) << c.what;
        EXPECT_STREQ(e.what(), "Vantrel/Map/Internal/Strict:(461,5)-(525,20)|function go")
            << c.what;
      }
    }
  }
  // The guard on its own: only leaves and collisions have a stored hash.
  EXPECT_EQ(IS::leafHashCode(leaf), H);
  EXPECT_EQ(IS::leafHashCode(coll), H);
  for (const Map* m : {&branch, &full, &alien})
    EXPECT_THROW(IS::leafHashCode(*m), hs::ProgramError);
  EXPECT_THROW(IS::leafHashCode(Map()), hs::ProgramError);
  // An empty side still gives the other node itself, whatever it is.
  EXPECT_TRUE(T::same(S::unionWith(with, alien, Map()), alien));
}

// ---- The lazy interface's own forms ----------------------------------------------------------

TEST(StrictMergeReExports, OperationsThatStoreNothingNewAreTheLazyOnes) {
  const Cell d = deferred(5);
  const Map a = L::fromList<Key, int>({{key(1, 1, 1), d}, {key(2, 2, 2), 2}});
  const Map b = S::fromList<Key, int>({{key(1, 1, 3), 9}, {key(3, 3, 3), 3}});
  const Map u = S::union_(a, b);
  EXPECT_EQ(pairsOf(S::unions(std::vector<Map>{b, a})), (Pairs{{3, 9}, {2, 2}, {3, 3}}));
  EXPECT_EQ(S::size(u), 3);
  EXPECT_TRUE(hs::ptrEq(*S::lookup(key(1, 1), S::intersection(a, b)), d));
  EXPECT_TRUE(
      hs::ptrEq(*S::lookup(key(1, 1), S::difference(a, S::singleton<Key, int>(key(2, 2), 0))), d));
  EXPECT_FALSE(d.evaluated());
  EXPECT_TRUE(S::isSubmapOfBy(hs::onCells([](const Cell&, const Cell&) { return true; }), a, u));
  EXPECT_FALSE(d.evaluated());
  EXPECT_TRUE(S::isSubmapOf(a, u));
  EXPECT_FALSE(S::isSubmapOf(b, a));
  EXPECT_TRUE(S::liftEq([](int x, int y) { return x == y; }, a, a));
  EXPECT_EQ(S::toList(b).size(), 2u);
  // Comparisons and hashes ask for ordered, hashable keys.
  const HashMap<std::int64_t, int> x = S::fromList<std::int64_t, int>({{1, 1}, {2, 2}});
  const HashMap<std::int64_t, int> y = S::insert(3, 3, x);
  EXPECT_EQ(S::compare(x, y), L::compare(x, y));
  EXPECT_EQ(S::hash(x), L::hash(x));
  EXPECT_EQ(S::hashWithSalt(5, y), L::hashWithSalt(5, y));
  S::rnf(y);
}

}  // namespace

namespace {

TEST(StrictReExports, WalksThatStoreNothingNewAreTheLazyOnes) {
  using M = vantrel::HashMap<std::int64_t, std::int64_t>;
  const M m = S::fromList<std::int64_t, std::int64_t>({{1, 10}, {2, 20}, {3, 30}});
  EXPECT_EQ(S::size(S::filter([](std::int64_t v) { return v > 15; }, m)), 2);
  EXPECT_EQ(S::foldl_([](std::int64_t a, std::int64_t v) { return a + v; }, std::int64_t{0}, m), 60);
  EXPECT_EQ(S::keys(m).size(), 3u);
  EXPECT_EQ(*S::at(S::mapKeys([](std::int64_t k) { return k * 2; }, m), 4), 20);
}

}  // namespace
