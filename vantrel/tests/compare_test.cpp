#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "hs/classes1.hpp"
#include "testing/keys.hpp"
#include "testing/stacks.hpp"
#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/internal.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/set.hpp"

namespace {

using testing_support::Key;
using testing_support::key;
using testing_support::keyLog;
using vantrel::HashMap;
namespace I = vantrel::internal;
namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using Map = HashMap<Key, int>;
using Calls = std::vector<std::pair<int, int>>;

// A comparison of test keys by id that logs the tags of its operands.
struct KeyCmp {
  Calls* log;
  hs::Ordering operator()(const Key& a, const Key& b) const {
    log->emplace_back(a.tag, b.tag);
    return hs::compare(a.id, b.id);
  }
};
// A value relation / comparison that logs its operands.
struct IntLog {
  Calls* log;
  bool operator()(int a, int b) const {
    log->emplace_back(a, b);
    return a == b;
  }
};
struct ICmp {
  hs::Ordering operator()(int a, int b) const { return hs::compare(a, b); }
};
struct IntCmpLog {
  Calls* log;
  hs::Ordering operator()(int a, int b) const {
    log->emplace_back(a, b);
    return hs::compare(a, b);
  }
};

// A key ordered by its own <, which logs the tags of its operands.
struct OKey {
  std::int64_t id;
  int tag = 0;
};
Calls& oKeyLog() {
  static Calls log;
  return log;
}
bool operator==(const OKey& a, const OKey& b) { return a.id == b.id; }
bool operator<(const OKey& a, const OKey& b) {
  oKeyLog().emplace_back(a.tag, b.tag);
  return a.id < b.id;
}

}  // namespace

template <>
struct hs::Hashable<OKey> {
  static std::int64_t hash(const OKey& k) { return k.id; }
  static std::int64_t hashWithSalt(std::int64_t s, const OKey& k) {
    return hs::saltedWordHash(s, static_cast<std::uint64_t>(k.id));
  }
};

namespace {

// ---- Equality ----------------------------------------------------------------------------------

TEST(Equality, StructuralWalkCallPattern) {
  struct Case {
    const char* what;
    Map a, b;
    bool equal;
    Calls keyCalls;
  };
  const Case cases[] = {
      {"leaves of other hashes: no key compared",
       T::leaf<Key, int>(1, key(1, 1, 1), 0),
       T::leaf<Key, int>(2, key(1, 2, 2), 0),
       false,
       {}},
      {"equal leaves: left key on the left",
       T::leaf<Key, int>(1, key(1, 1, 1), 0),
       T::leaf<Key, int>(1, key(1, 1, 2), 0),
       true,
       {{1, 2}}},
      {"other bitmaps: nothing below compared",
       T::bitmapIndexed<Key, int>(0b10, {T::leaf<Key, int>(1, key(1, 1, 1), 0)}),
       T::bitmapIndexed<Key, int>(0b100, {T::leaf<Key, int>(1, key(1, 1, 2), 0)}),
       false,
       {}},
      {"reordered collision: greedy matching",
       T::collision<Key, int>(7, {{key(1, 7, 1), 0}, {key(2, 7, 2), 0}}),
       T::collision<Key, int>(7, {{key(2, 7, 12), 0}, {key(1, 7, 11), 0}}),
       true,
       {{1, 12}, {2, 12}, {1, 11}}},
      {"collisions of different lengths: the relation runs first",
       T::collision<Key, int>(7, {{key(1, 7, 1), 0}, {key(2, 7, 2), 0}}),
       T::collision<Key, int>(7, {{key(1, 7, 11), 0}, {key(2, 7, 12), 0}, {key(3, 7, 13), 0}}),
       false,
       {{1, 11}, {2, 12}}},
      {"first child differs: the walk stops",
       T::bitmapIndexed<Key, int>(
           0b11, {T::leaf<Key, int>(0, key(1, 0, 1), 0), T::leaf<Key, int>(1, key(2, 1, 2), 0)}),
       T::bitmapIndexed<Key, int>(
           0b11, {T::leaf<Key, int>(0, key(9, 0, 11), 0), T::leaf<Key, int>(1, key(2, 1, 12), 0)}),
       false,
       {{1, 11}}},
  };
  for (const Case& c : cases) {
    keyLog().clear();
    EXPECT_EQ(c.a == c.b, c.equal) << c.what;
    EXPECT_EQ(keyLog().eqCalls, c.keyCalls) << c.what;
    EXPECT_EQ(c.a != c.b, !c.equal) << c.what;
  }
}

TEST(Equality, ValuesComparedOnlyAfterKeysAndLeftFirst) {
  Calls values;
  const Map a = T::bitmapIndexed<Key, int>(
      0b11, {T::leaf<Key, int>(0, key(1, 0), 10),
             T::collision<Key, int>(1, {{key(2, 1), 20}, {key(3, 1), 30}})});
  const Map b = T::bitmapIndexed<Key, int>(
      0b11, {T::leaf<Key, int>(0, key(1, 0), 11),
             T::collision<Key, int>(1, {{key(3, 1), 31}, {key(2, 1), 21}})});
  EXPECT_FALSE(L::liftEq(IntLog{&values}, a, b));
  EXPECT_EQ(values, (Calls{{10, 11}}));
  values.clear();
  EXPECT_TRUE(L::liftEq(
      [&](int x, int y) {
        values.emplace_back(x, y);
        return x + 1 == y;
      },
      a, b));
  // Keys 2 and 3 are unequal, so the first pair of heads calls no value relation.
  EXPECT_EQ(values, (Calls{{10, 11}, {30, 31}, {20, 21}}));
}

TEST(Equality, KeysOnlyNeverTouchValues) {
  const Map a{{key(1, 1), testing_support::throwing<int>()}, {key(2, 1), 2}, {key(3, 5), 3}};
  const Map b{{key(2, 1), 20}, {key(1, 1), 10}, {key(3, 5), testing_support::throwing<int>()}};
  EXPECT_TRUE(I::equalKeys(a, b));
  EXPECT_TRUE(I::equalKeys1([](const Key& x, const Key& y) { return x == y; }, a, b));
  const Map c{{key(1, 1), 1}, {key(2, 1), 2}, {key(3, 5), 3}};
  const Map d{{key(1, 1), 1}, {key(2, 1), 2}, {key(3, 5), 4}};
  EXPECT_TRUE(I::equalKeys(c, d));
  EXPECT_FALSE(c == d);
}

TEST(Equality, LeafSequenceWalk) {
  auto always = [](const auto&, const auto&) { return true; };
  int calls = 0;
  auto counting = [&](const auto&, const auto&) {
    ++calls;
    return true;
  };
  // Other stored hashes, other numbers of pairs: false even when every relation holds.
  EXPECT_FALSE(L::liftEq2(always, always, Map{{key(1, 1), 0}}, Map{{key(1, 2), 0}}));
  EXPECT_FALSE(
      L::liftEq2(always, always, Map{{key(1, 1), 0}}, Map{{key(1, 1), 0}, {key(2, 2), 0}}));
  EXPECT_FALSE(L::liftEq2(always, always, Map{}, Map{{key(1, 1), 0}}));
  EXPECT_TRUE(L::liftEq2(always, always, Map{}, Map{}));
  // Collisions of different lengths: unequal before any relation runs.
  const Map two = T::collision<Key, int>(7, {{key(1, 7), 0}, {key(2, 7), 0}});
  const Map three = T::collision<Key, int>(7, {{key(1, 7), 0}, {key(2, 7), 0}, {key(3, 7), 0}});
  EXPECT_FALSE(L::liftEq2(counting, counting, two, three));
  EXPECT_FALSE(I::equalKeys1(counting, two, three));
  EXPECT_EQ(calls, 0);
  // A leaf against a collision.
  EXPECT_FALSE(L::liftEq2(always, always, T::leaf<Key, int>(7, key(1, 7), 0), two));
  // Key and value types may differ.
  const HashMap<std::int64_t, std::string> ms{{1, std::string("1")}, {2, std::string("2")}};
  const HashMap<std::int64_t, int> mi{{1, 1}, {2, 2}};
  EXPECT_TRUE(L::liftEq2([](std::int64_t x, std::int64_t y) { return x == y; },
                         [](const std::string& s, int v) { return s == std::to_string(v); }, ms,
                         mi));
}

TEST(Equality, TheTwoWalksDiffer) {
  // The same leaf under other bitmaps (not a valid trie): the structural walk compares bitmaps,
  // the leaf-sequence walk does not.
  const Map a = T::bitmapIndexed<Key, int>(0b01, {T::leaf<Key, int>(4, key(1, 4), 0)});
  const Map b = T::bitmapIndexed<Key, int>(0b10, {T::leaf<Key, int>(4, key(1, 4), 0)});
  const auto eq = [](const auto& x, const auto& y) { return x == y; };
  EXPECT_FALSE(L::liftEq(eq, a, b));
  EXPECT_TRUE(L::liftEq2(eq, eq, a, b));
}

TEST(Equality, RecordsCompareKeyThenValue) {
  using R = I::L<Key, int>;
  const R a{key(1, 1, 1), testing_support::throwing<int>()};
  const R b{key(2, 1, 2), 0};
  keyLog().clear();
  EXPECT_FALSE(a == b);  // the value is not demanded
  EXPECT_TRUE(a != b);
  EXPECT_EQ(keyLog().eqCalls, (Calls{{1, 2}, {1, 2}}));
  EXPECT_TRUE((R{key(1, 1), 5} == R{key(1, 1), 5}));
  EXPECT_FALSE((R{key(1, 1), 5} == R{key(1, 1), 6}));
}

// ---- Ordering ----------------------------------------------------------------------------------

TEST(Ordering, Table) {
  const std::uint64_t top = 0xFFFFFFFFFFFFFFFFULL;
  struct Case {
    const char* what;
    Map a, b;
    hs::Ordering expected;
    Calls keyCalls;
  };
  const Map coll2 = T::collision<Key, int>(top, {{key(1, top, 1), 0}, {key(2, top, 2), 0}});
  const Map coll3 = T::collision<Key, int>(
      top, {{key(1, top, 11), 0}, {key(2, top, 12), 0}, {key(3, top, 13), 0}});
  const Case cases[] = {
      {"empty against a map", Map{}, Map{{key(1, 1), 0}}, hs::LT, {}},
      {"a map against empty", Map{{key(1, 1), 0}}, Map{}, hs::GT, {}},
      {"both empty", Map{}, Map{}, hs::EQ, {}},
      {"hashes compare unsigned", Map{{key(1, top), 0}}, Map{{key(1, 1), 0}}, hs::GT, {}},
      {"a leaf before a collision of a smaller hash",
       Map{{key(5, top, 5), 0}},
       T::collision<Key, int>(0, {{key(1, 0), 0}, {key(2, 0), 0}}),
       hs::LT,
       {}},
      {"fewer records first, no key compared", coll2, coll3, hs::LT, {}},
      {"equal hashes: keys decide",
       Map{{key(1, 3, 1), 0}},
       Map{{key(2, 3, 2), 0}},
       hs::LT,
       {{1, 2}}},
  };
  for (const Case& c : cases) {
    Calls log;
    EXPECT_EQ(L::liftCompare2(KeyCmp{&log}, ICmp{}, c.a, c.b), c.expected) << c.what;
    EXPECT_EQ(log, c.keyCalls) << c.what;
  }
  // Collisions of one hash and length: their records in any order.
  const Map reordered = T::collision<Key, int>(top, {{key(2, top), 0}, {key(1, top), 0}});
  const Map other = T::collision<Key, int>(top, {{key(2, top), 0}, {key(3, top), 0}});
  Calls log;
  EXPECT_EQ(L::liftCompare2(KeyCmp{&log}, ICmp{}, coll2, reordered), hs::EQ);
  EXPECT_EQ(L::liftCompare2(KeyCmp{&log}, ICmp{}, coll2, other), hs::LT);
  EXPECT_EQ(L::liftCompare2(KeyCmp{&log}, ICmp{}, other, coll2), hs::GT);
}

TEST(Ordering, ValuesAfterEqualKeysAndFirstDifferenceDecides) {
  Calls keys, values;
  const Map a{{key(1, 0, 1), 5}, {key(2, 1, 2), 9}, {key(3, 2, 3), 0}};
  const Map b{{key(1, 0, 11), 5}, {key(2, 1, 12), 7}, {key(3, 2, 13), 1}};
  EXPECT_EQ(I::cmp(KeyCmp{&keys}, IntCmpLog{&values}, a, b), hs::GT);
  EXPECT_EQ(keys, (Calls{{1, 11}, {2, 12}}));
  EXPECT_EQ(values, (Calls{{5, 5}, {9, 7}}));
}

TEST(Ordering, MethodsSwapArgumentsAsTheClassSays) {
  const HashMap<OKey, int> x{{OKey{1, 1}, 0}};
  const HashMap<OKey, int> y{{OKey{1, 2}, 0}};
  struct Case {
    const char* what;
    bool (*op)(const HashMap<OKey, int>&, const HashMap<OKey, int>&);
    int firstLeft;  // tag of the left operand of the first key comparison
  };
  const Case cases[] = {
      {"<", [](const auto& a, const auto& b) { return a < b; }, 2},
      {"<=", [](const auto& a, const auto& b) { return a <= b; }, 1},
      {">", [](const auto& a, const auto& b) { return a > b; }, 1},
      {">=", [](const auto& a, const auto& b) { return a >= b; }, 2},
      {"<=>", [](const auto& a, const auto& b) { return (a <=> b) == 0; }, 1},
  };
  for (const Case& c : cases) {
    oKeyLog().clear();
    c.op(x, y);
    ASSERT_FALSE(oKeyLog().empty()) << c.what;
    EXPECT_EQ(oKeyLog().front().first, c.firstLeft) << c.what;
  }
  // Ties: max gives its second argument, min its first.
  EXPECT_TRUE(T::same(L::max(x, y), y));
  EXPECT_TRUE(T::same(L::min(x, y), x));
  const HashMap<OKey, int> z{{OKey{2, 3}, 0}};
  EXPECT_TRUE(T::same(L::max(z, x), z));
  EXPECT_TRUE(T::same(L::min(z, x), x));
  EXPECT_EQ(L::compare(x, z), hs::LT);
  EXPECT_TRUE(x < z && x <= z && z > x && z >= x && !(x > z) && (x <=> z) < 0);
}

TEST(Ordering, UnreachableNodeKindIsAProgramError) {
  const Map e;
  const Map leaf{{key(1, 1), 0}};
  Calls log;
  KeyCmp k{&log};
  ICmp v;
  for (const auto& [a, b] : {std::pair{e, leaf}, std::pair{leaf, e}}) {
    try {
      I::cmpHeads(k, v, I::Ref<Key, int>::of(a), I::Ref<Key, int>::of(b));
      ADD_FAILURE() << "no error";
    } catch (const hs::ProgramError& err) {
      EXPECT_STREQ(err.what(),
                   "cmp: Should never happen, leavesAndCollisions includes non Leaf / Collision");
      ASSERT_EQ(err.callStack().entries().size(), 1u);
      EXPECT_EQ(err.callStack().entries()[0],
                (hs::SrcLoc{"error", vantrel::packageId(), "Vantrel.Map.Internal",
                            "./Vantrel/Map/Internal", 489, 14, 489, 19}));
    }
  }
}

TEST(Ordering, LeafSequenceSkipsEmptySubtreesAndIsLazy) {
  // An empty child contributes nothing to the sequence.
  const Map a = T::bitmapIndexed<Key, int>(0b11, {Map{}, T::leaf<Key, int>(1, key(1, 1), 0)});
  auto s = I::leavesAndCollisions(a);
  ASSERT_FALSE(s.done());
  EXPECT_EQ(s.head().kind(), I::Kind::Leaf);
  s.advance();
  EXPECT_TRUE(s.done());
  // A comparison that stops at the first leaf never looks at the rest (here: a value that throws).
  const Map b{{key(1, 0), 1}, {key(2, 1), testing_support::throwing<int>()}};
  const Map c{{key(1, 0), 2}, {key(2, 1), testing_support::throwing<int>()}};
  EXPECT_EQ(L::liftCompare2([](const Key& x, const Key& y) { return hs::compare(x.id, y.id); },
                            ICmp{}, b, c),
            hs::LT);
}

// ---- Hashing -----------------------------------------------------------------------------------

std::int64_t recordHash(std::int64_t s1, const Key& k, int v) {
  return hs::hashWithSalt(hs::hashWithSalt(s1, k), v);
}

TEST(Hashing, HandBuiltMapFollowsTheFormula) {
  const std::int64_t salt = 12345;
  const std::uint64_t hc = 2 | (5 << 5);
  // Two colliding records whose record hashes are not sorted in array order.
  Key ka = key(10, hc), kb = key(11, hc);
  int va = 1, vb = 2;
  // The collision is visited after the leaf, so its salt depends on the leaf; compute both
  // orders and keep the one whose record hashes come out descending.
  const Map leaf = T::leaf<Key, int>(1, key(1, 1), 7);
  const std::int64_t afterLeaf = hs::hashWithSalt(hs::saltedWordHash(salt, 1), 7);
  const std::int64_t cs1 = hs::saltedWordHash(afterLeaf, hc);
  if (recordHash(cs1, ka, va) < recordHash(cs1, kb, vb)) {
    std::swap(ka, kb);
    std::swap(va, vb);
  }
  const std::int64_t ra = recordHash(cs1, ka, va), rb = recordHash(cs1, kb, vb);
  ASSERT_GT(ra, rb);
  const Map coll = T::collision<Key, int>(hc, {{ka, va}, {kb, vb}});
  const Map inner = T::bitmapIndexed<Key, int>(1u << 5, {coll});
  const Map root = T::bitmapIndexed<Key, int>(0b110, {leaf, inner});
  const std::int64_t expected = hs::saltedWordHash(
      hs::saltedWordHash(cs1, static_cast<std::uint64_t>(rb)), static_cast<std::uint64_t>(ra));
  EXPECT_EQ(L::hashWithSalt(salt, root), expected);
  // The record order does not matter.
  const Map swapped = T::bitmapIndexed<Key, int>(
      0b110, {leaf, T::bitmapIndexed<Key, int>(
                        1u << 5, {T::collision<Key, int>(hc, {{kb, vb}, {ka, va}})})});
  EXPECT_EQ(L::hashWithSalt(salt, swapped), expected);

  // The lifted hash hashes the leaf's key with the running salt instead of its stored hash.
  const std::int64_t liftedLeaf = hs::hashWithSalt(hs::hashWithSalt(salt, key(1, 1)), 7);
  const std::int64_t ls1 = hs::saltedWordHash(liftedLeaf, hc);
  std::int64_t r1 = recordHash(ls1, ka, va), r2 = recordHash(ls1, kb, vb);
  if (r1 > r2) std::swap(r1, r2);
  const std::int64_t lifted = hs::saltedWordHash(
      hs::saltedWordHash(ls1, static_cast<std::uint64_t>(r1)), static_cast<std::uint64_t>(r2));
  EXPECT_EQ(L::liftHashWithSalt2(hs::HashWithSalt{}, hs::HashWithSalt{}, salt, root), lifted);
  EXPECT_EQ(L::liftHashWithSalt(hs::HashWithSalt{}, salt, root), lifted);
  // For a key type whose salted hash is not the salted mix of its hash, the two differ.
  const HashMap<std::string, int> named{{std::string("a"), 1}};
  EXPECT_NE(L::hashWithSalt(salt, named), L::liftHashWithSalt(hs::HashWithSalt{}, salt, named));
}

TEST(Hashing, FrontDoorsAgree) {
  const Map m{{key(1, 1), 1}, {key(2, 1), 2}, {key(3, 64), 3}};
  EXPECT_EQ(L::hashWithSalt(99, Map{}), 99);
  EXPECT_EQ(L::hash(Map{}), hs::defaultSalt);
  EXPECT_EQ(L::hash(m), L::hashWithSalt(hs::defaultSalt, m));
  EXPECT_EQ(hs::hash(m), L::hash(m));
  EXPECT_EQ(hs::hashWithSalt(5, m), L::hashWithSalt(5, m));
  EXPECT_EQ(std::hash<Map>{}(m), static_cast<std::size_t>(L::hash(m)));
  const auto hv = [](std::int64_t s, int v) {
    return hs::saltedWordHash(s, static_cast<std::uint64_t>(v) + 100);
  };
  EXPECT_EQ(hs::liftHashWithSalt(hv, 5, m), L::liftHashWithSalt(hv, 5, m));
  EXPECT_EQ(hs::liftHashWithSalt2(hs::HashWithSalt{}, hv, 5, m),
            L::liftHashWithSalt2(hs::HashWithSalt{}, hv, 5, m));
  // Hashers see keys and values in trie order, key before value, with the running salt.
  std::vector<std::string> seen;
  (void)L::liftHashWithSalt2(
      [&](std::int64_t s, const Key& k) {
        return seen.push_back("k" + std::to_string(k.id)), s + 1;
      },
      [&](std::int64_t s, int v) { return seen.push_back("v" + std::to_string(v)), s; }, 0, m);
  EXPECT_EQ(seen, (std::vector<std::string>{"k3", "v3", "k1", "v1", "k2", "v2"}));
}

// ---- Against a model
// -----------------------------------------------------------------------------

TEST(CompareModel, EqualityOrderingAndHashAgreeWithTheModel) {
  std::mt19937_64 rng(20240611);
  auto k = [](std::int64_t id) {
    return key(id, static_cast<std::uint64_t>(id % 6) * 0x2108421ULL);
  };
  auto cmpKeys = [](const Key& a, const Key& b) { return hs::compare(a.id, b.id); };
  using Model = std::map<std::int64_t, int>;
  auto build = [&](const Model& model) {
    std::vector<std::pair<Key, int>> pairs;
    for (const auto& [id, v] : model) pairs.emplace_back(k(id), v);
    std::shuffle(pairs.begin(), pairs.end(), rng);
    return L::fromList(pairs);
  };
  auto randomModel = [&] {
    Model m;
    const int n = static_cast<int>(rng() % 10);
    for (int i = 0; i < n; ++i)
      m[static_cast<std::int64_t>(rng() % 14)] = static_cast<int>(rng() % 2);
    return m;
  };
  for (int round = 0; round < 400; ++round) {
    const Model ma = randomModel();
    const Model mb = rng() % 3 == 0 ? ma : randomModel();
    const Map a = build(ma), b = build(mb), a2 = build(ma);
    const bool same = ma == mb;
    SCOPED_TRACE(round);
    EXPECT_EQ(a == b, same);
    EXPECT_EQ(L::liftEq2(std::equal_to<>{}, std::equal_to<>{}, a, b), same);
    EXPECT_EQ(I::equalKeys(a, b), [&] {
      if (ma.size() != mb.size()) return false;
      for (const auto& [id, v] : ma)
        if (!mb.count(id)) return false;
      return true;
    }());
    const hs::Ordering ab = L::liftCompare2(cmpKeys, ICmp{}, a, b);
    const hs::Ordering ba = L::liftCompare2(cmpKeys, ICmp{}, b, a);
    EXPECT_EQ(ab == hs::EQ, same);
    EXPECT_EQ(static_cast<int>(ab), -static_cast<int>(ba));
    EXPECT_TRUE(a == a2);
    EXPECT_EQ(L::liftCompare2(cmpKeys, ICmp{}, a, a2), hs::EQ);
    EXPECT_EQ(L::hash(a), L::hash(a2));
    EXPECT_EQ(L::liftHashWithSalt(hs::HashWithSalt{}, 3, a),
              L::liftHashWithSalt(hs::HashWithSalt{}, 3, a2));
    if (same) {
      EXPECT_EQ(L::hash(a), L::hash(b));
    }
  }
}


// Maps and sets of plain keys and values, equal and nearly equal, built in two orders; some
// values held in cells of their own (a caller's, or deferred), the others in their records. Keys
// with few distinct low bits give deep paths, and a map derived from the other shares its nodes.
enum class Shade : std::int64_t {};
template <class V>
V plainValue(std::uint64_t x) {
  return static_cast<V>(x % 3);
}
template <class K, class V>
void plainEqualityAgainstTheModel(std::uint64_t seed) {
  using M = HashMap<K, V>;
  using Model = std::map<K, V>;
  std::mt19937_64 rng(seed);
  auto validBoth = [](const auto& a, const auto& b) {
    return I::debug::valid(a).isValid() && I::debug::valid(b).isValid();
  };
  // The model's pairs in a random order, each value by one of three roads.
  // Rounds differ in how many values take a cell: none, one in eight, one in two.
  std::uint64_t odds = 0;
  auto build = [&](const Model& model, M m) {
    std::vector<std::pair<K, V>> pairs(model.begin(), model.end());
    std::shuffle(pairs.begin(), pairs.end(), rng);
    for (const auto& [k, v] : pairs) {
      switch (odds == 0 ? 2 : rng() % odds) {
        case 0:
          m = vantrel::lazy::insert(k, hs::Lazy<V>(v), m);
          break;
        case 1: {
          const V x = v;
          m = vantrel::lazy::insert(k, hs::Lazy<V>::defer([x] { return x; }), m);
          break;
        }
        default:
          m = vantrel::lazy::insert(k, v, m);
          break;
      }
    }
    return m;
  };
  for (int round = 0; round < 240; ++round) {
    odds = std::array<std::uint64_t, 3>{0, 16, 4}[rng() % 3];
    Model ma;
    const int n = static_cast<int>(rng() % 100);
    for (int i = 0; i < n; ++i) {
      const std::uint64_t low = rng() % 40, high = rng() % 4;
      ma[static_cast<K>(low | high << 40 | high << 20)] = plainValue<V>(rng());
    }
    Model mb = ma;
    const M a = build(ma, M());
    M b;
    if (rng() % 2 == 0 || ma.empty()) {
      // Another order, perhaps a pair changed, added or taken out.
      switch (rng() % 4) {
        case 0:
          mb[static_cast<K>(rng() % 50)] = plainValue<V>(rng());
          break;
        case 1:
          if (!mb.empty()) mb.erase(std::next(mb.begin(), static_cast<long>(rng() % mb.size())));
          break;
        default:
          break;
      }
      b = build(mb, M());
    } else {
      // Derived from a: shares every untouched node with it.
      const K k = std::next(ma.begin(), static_cast<long>(rng() % ma.size()))->first;
      const V v = plainValue<V>(rng());
      mb[k] = v;
      b = vantrel::lazy::insert(k, v, a);
    }
    SCOPED_TRACE(round);
    ASSERT_TRUE(validBoth(a, b));
    const bool sameKeys = [&] {
      if (ma.size() != mb.size()) return false;
      for (const auto& [k, v] : ma)
        if (!mb.count(k)) return false;
      return true;
    }();
    EXPECT_EQ(a == b, ma == mb);
    EXPECT_EQ(b == a, ma == mb);
    EXPECT_EQ(I::equalKeys(a, b), sameKeys);
    std::vector<K> ka, kb;
    for (const auto& e : ma) ka.push_back(e.first);
    for (const auto& e : mb) kb.push_back(e.first);
    std::shuffle(kb.begin(), kb.end(), rng);
    const vantrel::HashSet<K> sa = vantrel::set::fromList(ka), sb = vantrel::set::fromList(kb);
    ASSERT_TRUE(validBoth(sa.asMap(), sb.asMap()));
    EXPECT_EQ(sa == sb, sameKeys);
    const K extra = static_cast<K>(rng() % 50);
    EXPECT_EQ(vantrel::set::insert(extra, sa) == sa, std::count(ka.begin(), ka.end(), extra) == 1);
  }
}

TEST(CompareModel, PlainKeysAndValuesAgreeWithTheModel) {
  plainEqualityAgainstTheModel<std::int64_t, std::int64_t>(1);
  plainEqualityAgainstTheModel<std::uint64_t, Shade>(2);
  plainEqualityAgainstTheModel<std::int64_t, std::int32_t>(3);
  plainEqualityAgainstTheModel<std::int32_t, std::int64_t>(4);
  plainEqualityAgainstTheModel<std::int64_t, bool>(5);
  plainEqualityAgainstTheModel<Shade, std::uint8_t>(6);
}

// An enumeration with an == of its own, which counts its calls.
enum class Tally : std::int64_t {};
int& tallyCalls() {
  static int n = 0;
  return n;
}
bool operator==(Tally a, Tally b) {
  ++tallyCalls();
  return static_cast<std::int64_t>(a) == static_cast<std::int64_t>(b);
}

TEST(Equality, AnEnumerationsOwnEqualityIsCalledForEachKeyAndValue) {
  std::vector<std::pair<Tally, Tally>> pairs;
  for (std::int64_t i = 0; i < 500; ++i) pairs.emplace_back(Tally{i * 7919}, Tally{i % 5});
  const HashMap<Tally, Tally> a = L::fromList(pairs);
  std::reverse(pairs.begin(), pairs.end());
  const HashMap<Tally, Tally> b = L::fromList(pairs);
  tallyCalls() = 0;
  EXPECT_TRUE(a == b);
  EXPECT_EQ(tallyCalls(), 1000);
  tallyCalls() = 0;
  EXPECT_TRUE(vantrel::set::fromList(std::vector<Tally>{Tally{1}, Tally{2}}) ==
              vantrel::set::fromList(std::vector<Tally>{Tally{2}, Tally{1}}));
  EXPECT_EQ(tallyCalls(), 2);
}

// ---- Values that nest maps of their own kind

// A tree whose equality and order are those of its map of subtrees (the order through the
// three-way lifted form: hs::compare of a type with only < would compare every level twice).
struct Tree {
  HashMap<std::int64_t, Tree> kids;
  friend bool operator==(const Tree& a, const Tree& b) { return a.kids == b.kids; }
  friend bool operator<(const Tree& a, const Tree& b);
};
// The comparisons through the lifted forms at every level.
struct LiftedEq {
  bool operator()(const Tree& a, const Tree& b) const { return L::liftEq(*this, a.kids, b.kids); }
};
struct LiftedEq2 {
  bool operator()(const Tree& a, const Tree& b) const {
    return L::liftEq2(hs::Equal{}, *this, a.kids, b.kids);
  }
};
struct LiftedCompare {
  hs::Ordering operator()(const Tree& a, const Tree& b) const {
    return L::liftCompare(*this, a.kids, b.kids);
  }
};
bool operator<(const Tree& a, const Tree& b) { return LiftedCompare{}(a, b) == hs::LT; }
struct Submap {
  bool operator()(const Tree& a, const Tree& b) const { return L::isSubmapOfBy(*this, a.kids, b.kids); }
};

// `depth` nested maps of one entry each, key 0 down to the innermost, which has key `bottom`.
Tree treeChain(std::int64_t depth, std::int64_t bottom) {
  Tree t{L::singleton<std::int64_t, Tree>(bottom, Tree{})};
  for (std::int64_t i = 1; i < depth; ++i) t = Tree{L::singleton<std::int64_t, Tree>(0, std::move(t))};
  return t;
}

TEST(MapDepth, ValuesNestedThroughMapsCompareOnASmallStack) {
  constexpr std::int64_t depth = 100000;
  const Tree a = treeChain(depth, 1), same = treeChain(depth, 1), other = treeChain(depth, 2);
  const hs::Ordering order = L::compare(treeChain(1, 1).kids, treeChain(1, 2).kids);
  ASSERT_NE(order, hs::EQ);
  testing_support::onThreadStack(256 * 1024, [&] {
    EXPECT_TRUE(a == same);
    EXPECT_FALSE(a == other);
    EXPECT_EQ(L::compare(a.kids, same.kids), hs::EQ);
    EXPECT_EQ(L::compare(a.kids, other.kids), order);
    EXPECT_EQ(a < other, order == hs::LT);
    EXPECT_TRUE(LiftedEq{}(a, same));
    EXPECT_FALSE(LiftedEq{}(a, other));
    EXPECT_TRUE(LiftedEq2{}(a, same));
    EXPECT_FALSE(LiftedEq2{}(a, other));
    EXPECT_EQ(LiftedCompare{}(a, other), order);
    EXPECT_TRUE(Submap{}(a, same));
    EXPECT_FALSE(Submap{}(a, other));
  });
}

}  // namespace
