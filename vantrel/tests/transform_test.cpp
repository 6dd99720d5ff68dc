// Mapping, folding, listing and traversal of whole maps.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "testing/keys.hpp"
#include "testing/map_checks.hpp"
#include "testing/trie.hpp"
#include "testing/values.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

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
namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using Map = HashMap<Key, int>;
using Cell = hs::Lazy<int>;


// Chunk 1: a leaf (id 1); chunk 2: a collision of ids 2, 3, 4 (tags 20, 21, 22); chunk 3: a
// branch node holding ids 5 and 6. Trie order: 1 2 3 4 5 6.
Map sample(std::vector<Cell> v = {1, 2, 3, 4, 5, 6}) {
  return L::fromList<Key, int>({{key(1, 1, 10), v[0]},
                                {key(2, 2, 20), v[1]},
                                {key(3, 2, 21), v[2]},
                                {key(4, 2, 22), v[3]},
                                {key(5, 3, 50), v[4]},
                                {key(6, 3 | (1 << 5), 60), v[5]}});
}
// 32 leaves under a Full root, ids 0..31 in trie order.
Map fullSample() {
  std::vector<std::pair<Key, int>> pairs;
  for (std::int64_t c = 31; c >= 0; --c) pairs.push_back({key(c, static_cast<std::uint64_t>(c), 0), int(c)});
  return L::fromList(pairs);
}
const std::vector<std::int64_t> sampleOrder = {1, 2, 3, 4, 5, 6};

std::vector<std::int64_t> idsOf(const std::vector<Key>& ks) {
  std::vector<std::int64_t> out;
  for (const Key& k : ks) out.push_back(k.id);
  return out;
}

// Same kinds, bitmaps, hashes, collision order and keys at every node; allNew: no node (but the
// shared Empty) is an input node.
template <class W>
void expectSameShape(const HashMap<Key, W>& got, const Map& in, bool allNew) {
  ASSERT_EQ(T::kind(got), T::kind(in));
  ASSERT_EQ(T::word(got), T::word(in));
  if (allNew && T::kind(in) != Kind::Empty) {
    EXPECT_NE(static_cast<const void*>(I::Node::object(got)), static_cast<const void*>(I::Node::object(in)));
  }
  switch (T::kind(in)) {
    case Kind::Empty:
      return;
    case Kind::Leaf:
    case Kind::Collision: {
      const auto a = T::entries(got);
      const auto b = T::entries(in);
      ASSERT_EQ(a.size(), b.size());
      for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].key.id, b[i].key.id);
        EXPECT_EQ(a[i].key.tag, b[i].key.tag);
      }
      return;
    }
    default: {
      const auto a = T::children(got);
      const auto b = T::children(in);
      ASSERT_EQ(a.size(), b.size());
      for (std::size_t i = 0; i < a.size(); ++i) expectSameShape(a[i], b[i], allNew);
    }
  }
}

// ---- Mapping -------------------------------------------------------------------------------

TEST(Mapping, KeepsTheShapeAndDefersEveryValue) {
  const Map m = sample();
  std::vector<std::int64_t> calls;
  const auto byValue = L::map(
      [&calls](int v) {
        calls.push_back(v);
        return std::to_string(v);
      },
      m);
  const auto byKey = L::mapWithKey(
      [&calls](const Key& k, int v) {
        calls.push_back(k.id);
        return v * 10;
      },
      m);
  EXPECT_TRUE(calls.empty()) << "nothing runs until a value is demanded";
  expectSameShape(byValue, m, true);
  expectSameShape(byKey, m, true);
  expectSameShape(fullSample(), fullSample(), false);
  expectSameShape(L::map([](int v) { return v; }, fullSample()), fullSample(), true);
  expectValid(byValue);
  expectValid(byKey);

  EXPECT_EQ(**L::lookup(key(3, 2), byValue), "3");
  EXPECT_EQ(**L::lookup(key(3, 2), byValue), "3");
  EXPECT_EQ(calls, std::vector<std::int64_t>({3})) << "one demanded pair, one call, once";
  calls.clear();
  EXPECT_EQ(**L::lookup(key(6, 3 | (1 << 5)), byKey), 60);
  EXPECT_EQ(calls, std::vector<std::int64_t>({6}));

  // The shared Empty comes back as the empty map of the new types.
  const auto e = L::map([](int v) { return double(v); }, Map());
  EXPECT_EQ(I::Node::object(e), I::emptyObject);
  EXPECT_EQ(I::Node::object(L::replaceValues(1, Map())), I::emptyObject);
}

TEST(Mapping, FailuresAndCountsStayWithTheirPairs) {
  auto runs = std::make_shared<int>(0);
  const Map m = sample({1, testing_support::throwing<int>("two"), 3, 4, testing_support::counting(5, runs), 6});
  const auto mapped = L::map([](int v) { return v + 1; }, m);
  EXPECT_EQ(**L::lookup(key(1, 1), mapped), 2);
  EXPECT_THROW(**L::lookup(key(2, 2), mapped), TestFailure);
  EXPECT_EQ(*runs, 0);
  EXPECT_EQ(**L::lookup(key(5, 3), mapped), 6);
  EXPECT_EQ(**L::lookup(key(5, 3), mapped), 6);
  EXPECT_EQ(*runs, 1);
  // onCells: the function gets the stored cells unforced.
  const auto cells = L::map(hs::onCells([](const Cell& c) { return c.evaluated() ? 1 : 0; }), m);
  EXPECT_EQ(**L::lookup(key(2, 2), cells), 0);
}

TEST(Mapping, ReplaceValuesSharesOneCell) {
  const hs::Lazy<std::string> x = testing_support::throwing<std::string>();
  const auto r = L::replaceValues(x, sample());
  expectSameShape(r, sample(), true);
  for (const auto& e : r) EXPECT_TRUE(hs::ptrEq(e.value, x));
  const auto viaClass = hs::Functor<vantrel::HashMapTag<Key>>::replaceValues(x, sample());
  for (const auto& e : viaClass) EXPECT_TRUE(hs::ptrEq(e.value, x));
  const auto viaFmap = hs::fmap([](int v) { return v * 2; }, sample());
  EXPECT_EQ(**L::lookup(key(4, 2), viaFmap), 8);
}

TEST(Mapping, MapKeysRebuildsAndTheLaterPairInTrieOrderWins) {
  const Map m = sample();
  keyLog().clear();
  const auto moved = L::mapKeys([](const Key& k) { return k.id * 100; }, m);
  EXPECT_EQ(keyLog().hashCalls, 0) << "old keys are not hashed";
  expectValid(moved);
  EXPECT_EQ(L::size(moved), 6);
  for (const auto& e : m) EXPECT_TRUE(hs::ptrEq(*L::lookup(e.key.id * 100, moved), e.value));
  // All keys to one: the pair last in trie order (id 6) wins.
  const auto one = L::mapKeys([](const Key&) { return std::string("k"); }, m);
  EXPECT_EQ(L::size(one), 1);
  EXPECT_EQ(**L::lookup("k", one), 6);
  // Two keys onto one new key that collides with others: still valid.
  const auto merged = L::mapKeys([](const Key& k) { return key(k.id % 3, 7, int(k.id)); }, m);
  expectValid(merged);
  EXPECT_EQ(L::size(merged), 3);
  EXPECT_EQ(**L::lookup(key(0, 7), merged), 6);
}

// ---- Folds ---------------------------------------------------------------------------------

TEST(Folds, EachFoldVisitsInItsOrder) {
  const Map m = sample();
  std::vector<std::int64_t> log;
  auto cons = [](int v, const hs::Lazy<std::vector<int>>& rest) {
    std::vector<int> out{v};
    out.insert(out.end(), rest->begin(), rest->end());
    return out;
  };
  auto snoc = [](const hs::Lazy<std::vector<int>>& acc, int v) {
    std::vector<int> out = *acc;
    out.push_back(v);
    return out;
  };
  const std::vector<int> forward = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(L::foldr(cons, std::vector<int>{}, m), forward);
  EXPECT_EQ(L::foldl(snoc, std::vector<int>{}, m), forward);
  EXPECT_EQ(L::foldrWithKey(
                [](const Key& k, int v, const hs::Lazy<std::string>& r) {
                  return std::to_string(k.tag) + ":" + std::to_string(v) + " " + *r;
                },
                std::string("."), m),
            "10:1 20:2 21:3 22:4 50:5 60:6 .");
  EXPECT_EQ(L::foldlWithKey([](const hs::Lazy<int>& a, const Key& k, int) { return *a * 10 + int(k.id); }, 0, m),
            123456);

  // The strict folds: the order of the calls.
  (void)L::foldl_([&](int a, int v) { log.push_back(v); return a + v; }, 0, m);
  EXPECT_EQ(log, std::vector<std::int64_t>({1, 2, 3, 4, 5, 6}));
  log.clear();
  (void)L::foldr_([&](int v, int a) { log.push_back(v); return a + v; }, 0, m);
  EXPECT_EQ(log, std::vector<std::int64_t>({6, 5, 4, 3, 2, 1}));
  log.clear();
  EXPECT_EQ(L::foldlWithKey_([&](int a, const Key& k, int v) { log.push_back(k.id); return a * 10 + v; }, 0, m), 123456);
  EXPECT_EQ(log, std::vector<std::int64_t>({1, 2, 3, 4, 5, 6}));
  log.clear();
  EXPECT_EQ(L::foldrWithKey_([&](const Key& k, int v, int a) { log.push_back(k.id); return a * 10 + v; }, 0, m), 654321);
  EXPECT_EQ(log, std::vector<std::int64_t>({6, 5, 4, 3, 2, 1}));
  // Over the 32 children of a Full node: the pair that comes first has the highest weight.
  const Map full = fullSample();
  EXPECT_EQ(L::foldr_([](int v, std::int64_t a) { return a * 2 + v % 2; }, std::int64_t{0}, full),
            0xAAAAAAAALL);
  EXPECT_EQ(L::foldl_([](std::int64_t a, int v) { return a * 2 + v % 2; }, std::int64_t{0}, full),
            0x55555555LL);
}

TEST(Folds, LazyFoldsTouchOnlyWhatTheirFunctionDemands) {
  // Every value but the first (trie order) fails: a right fold that ignores its rest still works.
  const auto bad = [] { return testing_support::throwing<int>(); };
  const Map firstOnly = sample({7, bad(), bad(), bad(), bad(), bad()});
  int calls = 0;
  EXPECT_EQ(L::foldr([&](int v, const hs::Lazy<int>&) { ++calls; return v; }, 0, firstOnly), 7);
  EXPECT_EQ(calls, 1);
  // And a left fold that ignores its accumulator needs only the last value.
  const Map lastOnly = sample({bad(), bad(), bad(), bad(), bad(), 9});
  EXPECT_EQ(L::foldl([&](const hs::Lazy<int>&, int v) { ++calls; return v; }, 0, lastOnly), 9);
  EXPECT_EQ(calls, 2);
  EXPECT_THROW((void)L::foldl_([](int a, int v) { return a + v; }, 0, lastOnly), TestFailure);

  // A rest demanded twice is computed once.
  calls = 0;
  const int twice = L::foldr([&](int v, const hs::Lazy<int>& r) { ++calls; return v + *r + *r; }, 0, sample());
  EXPECT_EQ(calls, 6);
  EXPECT_EQ(twice, 1 + 2 * (2 + 2 * (3 + 2 * (4 + 2 * (5 + 2 * 6)))));

  // Seeds: the strict folds evaluate theirs first, also on the empty map; the lazy ones only on
  // demand.
  const hs::Lazy<int> badSeed = bad();
  EXPECT_THROW((void)L::foldl_([](int a, int) { return a; }, badSeed, Map()), TestFailure);
  EXPECT_THROW((void)L::foldr_([](int, int a) { return a; }, badSeed, Map()), TestFailure);
  EXPECT_THROW((void)L::foldr([](int, const hs::Lazy<int>& r) { return *r; }, badSeed, Map()), TestFailure);
  EXPECT_EQ(L::foldr([](int v, const hs::Lazy<int>&) { return v; }, badSeed, sample()), 1);
  EXPECT_EQ(L::foldl([](const hs::Lazy<int>&, int v) { return v; }, badSeed, sample()), 6);
}

TEST(Folds, TwoSidedFoldsPutTheKeyPartFirst) {
  const Map m = sample();
  std::vector<std::string> log;
  auto f = [&](const Key& k, const hs::Lazy<std::string>& r) { log.push_back("k" + std::to_string(k.id)); return "k" + std::to_string(k.id) + *r; };
  auto g = [&](int v, const hs::Lazy<std::string>& r) { log.push_back("v" + std::to_string(v)); return "v" + std::to_string(v) + *r; };
  EXPECT_EQ(L::bifoldr(f, g, std::string("."), m), "k1v1k2v2k3v3k4v4k5v5k6v6.");
  log.clear();
  // A key function that ignores its deferred value part never runs the value function.
  EXPECT_EQ(L::bifoldr([](const Key& k, const hs::Lazy<std::string>&) { return std::to_string(k.id); },
                       g, std::string("."), m),
            "1");
  EXPECT_TRUE(log.empty());
  auto fl = [](const hs::Lazy<std::string>& a, const Key& k) { return *a + "k" + std::to_string(k.id); };
  auto gl = [](const hs::Lazy<std::string>& a, int v) { return *a + "v" + std::to_string(v); };
  EXPECT_EQ(L::bifoldl(fl, gl, std::string("."), m), ".k1v1k2v2k3v3k4v4k5v5k6v6");
  EXPECT_EQ(L::bifoldMap([](const Key& k) { return "k" + std::to_string(k.id); },
                         [](int v) { return "v" + std::to_string(v); }, m),
            "k1v1k2v2k3v3k4v4k5v5k6v6");
}

// A monoid that records how it was combined.
struct Tree {
  std::string text;
};
int mappends = 0, mempties = 0;

}  // namespace

template <>
struct hs::Semigroup<Tree> {
  static Tree mappend(const Tree& a, const Tree& b) {
    ++mappends;
    return {"(" + a.text + " " + b.text + ")"};
  }
};
template <>
struct hs::Monoid<Tree> {
  static Tree mempty() {
    ++mempties;
    return {"e"};
  }
};

namespace {

// The number of slots of every node array of the map, less one per array.
int arraySlotsLessOne(const Map& m) {
  switch (T::kind(m)) {
    case Kind::Empty:
    case Kind::Leaf:
      return 0;
    case Kind::Collision:
      return int(T::entries(m).size()) - 1;
    default: {
      int n = int(T::children(m).size()) - 1;
      for (const Map& c : T::children(m)) n += arraySlotsLessOne(c);
      return n;
    }
  }
}

// "(a (b (... z)))" over the ids from..to-1.
std::string rightNested(int from, int to) {
  if (from + 1 == to) return std::to_string(from);
  return "(" + std::to_string(from) + " " + rightNested(from + 1, to) + ")";
}

TEST(Folds, FoldMapNestsToTheRightWithoutMempty) {
  auto leafText = [](const Key& k, int) { return Tree{std::to_string(k.id)}; };
  struct Case {
    const char* what;
    Map m;
    std::string text;
  };
  const Case cases[] = {
      {"empty", Map(), "e"},
      {"one leaf", L::insert(key(1, 1), 0, Map()), "1"},
      {"sample", sample(), "(1 ((2 (3 4)) (5 6)))"},
      {"full", fullSample(), rightNested(0, 32)},
  };
  for (const Case& c : cases) {
    mappends = mempties = 0;
    const Tree t = L::foldMapWithKey(leafText, c.m);
    EXPECT_EQ(t.text, c.text) << c.what;
    EXPECT_EQ(mappends, arraySlotsLessOne(c.m)) << c.what;
    EXPECT_EQ(mempties, c.m.empty() ? 1 : 0) << c.what;
    mappends = mempties = 0;
    const Tree byValue = L::foldMap([](int v) { return Tree{std::to_string(v)}; }, c.m);
    EXPECT_EQ(mappends, arraySlotsLessOne(c.m)) << c.what;
    EXPECT_EQ(mempties, c.m.empty() ? 1 : 0) << c.what;
    (void)byValue;
  }
  EXPECT_EQ(arraySlotsLessOne(fullSample()), 31);
}

// ---- Lists ---------------------------------------------------------------------------------

TEST(Lists, ListTheEntriesInTrieOrderAsStored) {
  const Cell three = testing_support::throwing<int>();
  const Map m = sample({1, 2, three, 4, 5, 6});
  EXPECT_EQ(idsOf(L::keys(m)), sampleOrder);
  const auto pairs = L::toList(m);
  const auto values = L::elems(m);
  ASSERT_EQ(pairs.size(), 6u);
  ASSERT_EQ(values.size(), 6u);
  std::vector<int> tags;
  for (const auto& [k, v] : pairs) tags.push_back(k.tag);
  EXPECT_EQ(tags, std::vector<int>({10, 20, 21, 22, 50, 60}));
  EXPECT_TRUE(hs::ptrEq(pairs[2].second, three));
  EXPECT_TRUE(hs::ptrEq(values[2], three));
  // A collision lists its entries in the order they were placed, between its neighbours.
  const Map reordered = L::insert(key(2, 2, 29), 0, L::erase(key(2, 2), m));
  EXPECT_EQ(idsOf(L::keys(reordered)), std::vector<std::int64_t>({1, 3, 4, 2, 5, 6}));
  EXPECT_TRUE(L::toList(Map()).empty());
}

TEST(Lists, TheFoldableCapabilityWorksOnTheValues) {
  const Map m = sample();
  EXPECT_EQ(hs::toList(m), std::vector<int>({1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(hs::length(m), 6);
  EXPECT_FALSE(hs::null(m));
  EXPECT_TRUE(hs::null(Map()));
  EXPECT_EQ(hs::sum(m), 21);
  EXPECT_TRUE(hs::elem(4, m));
  EXPECT_EQ(hs::maximum(m), 6);
  EXPECT_EQ(hs::foldr([](int v, const hs::Lazy<int>& r) { return v - *r; }, 0, m), 1 - 2 + 3 - 4 + 5 - 6);
  EXPECT_EQ(hs::foldMap<hs::Sum<int>>([](int v) { return hs::Sum<int>{v}; }, m).value, 21);
  using F = hs::Foldable<vantrel::HashMapTag<Key>>;
  EXPECT_EQ(F::foldl_([](int a, int v) { return a * 10 + v; }, 0, m), 123456);
  EXPECT_EQ(F::foldr_([](int v, int a) { return a * 10 + v; }, 0, m), 654321);
  EXPECT_EQ(F::foldl([](const hs::Lazy<int>& a, int v) { return *a * 10 + v; }, 0, m), 123456);
}

// ---- Traversal -----------------------------------------------------------------------------

TEST(Traversal, RebuildsTheShapeWithNewNodesInTrieOrder) {
  for (const Map& m : {sample(), fullSample(), Map(), L::insert(key(1, 1), 1, Map())}) {
    std::vector<std::int64_t> order;
    const auto r = L::traverseWithKey(
        [&](const Key& k, int v) {
          order.push_back(k.id);
          return hs::Identity<long>{v * 2L};
        },
        m);
    expectSameShape(r.value, m, true);
    expectValid(r.value);
    EXPECT_EQ(order, idsOf(L::keys(m)));
    for (const auto& e : m) EXPECT_EQ(**L::lookup(e.key, r.value), *e.value * 2L);
  }
  // The shared Empty comes back in pure.
  const auto e = L::traverse([](int v) { return std::optional<int>(v); }, Map());
  ASSERT_TRUE(e);
  EXPECT_EQ(I::Node::object(*e), I::emptyObject);
}

TEST(Traversal, AListOfResultsGivesIndependentMaps) {
  const Map m = sample();
  // Two choices at ids 2 (in the collision) and 5 (in the branch node): four maps.
  const auto all = L::traverseWithKey(
      [](const Key& k, int v) {
        if (k.id == 2 || k.id == 5) return std::vector<int>{v, -v};
        return std::vector<int>{v};
      },
      m);
  ASSERT_EQ(all.size(), 4u);
  const std::vector<std::pair<int, int>> expected = {{2, 5}, {2, -5}, {-2, 5}, {-2, -5}};
  for (std::size_t i = 0; i < all.size(); ++i) {
    expectValid(all[i]);
    expectSameShape(all[i], m, true);
    EXPECT_EQ(**L::lookup(key(2, 2), all[i]), expected[i].first) << i;
    EXPECT_EQ(**L::lookup(key(5, 3), all[i]), expected[i].second) << i;
    EXPECT_EQ(**L::lookup(key(6, 3 | (1 << 5)), all[i]), 6);
    for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(T::same(all[i], all[j]));
  }
  EXPECT_TRUE(L::traverse([](int) { return std::vector<int>{}; }, m).empty());
}

TEST(Traversal, AnAbsentResultStopsTheWalk) {
  const Map m = fullSample();
  for (int stopAt : {0, 1, 17, 31}) {
    int calls = 0;
    const auto r = L::traverse(
        [&](int v) {
          ++calls;
          return v == stopAt ? std::nullopt : std::optional<int>(v);
        },
        m);
    EXPECT_FALSE(r);
    EXPECT_EQ(calls, stopAt + 1) << "nothing after the absent value runs";
  }
  const auto present = L::traverse([](int v) { return std::optional<int>(v + 1); }, m);
  ASSERT_TRUE(present);
  expectSameShape(*present, m, true);

  using OptMap = HashMap<Key, std::optional<int>>;
  const OptMap opts = L::map([](int v) { return v == 4 ? std::nullopt : std::optional<int>(v); }, sample());
  EXPECT_FALSE(L::sequenceA(opts));
  EXPECT_FALSE(L::sequence(opts));
  EXPECT_FALSE(hs::sequenceA(opts));
  const auto some = L::sequenceA(L::map([](int v) { return std::optional<int>(v); }, sample()));
  ASSERT_TRUE(some);
  EXPECT_EQ(hs::toList(*some), std::vector<int>({1, 2, 3, 4, 5, 6}));
  const auto viaClass = hs::traverse([](int v) { return std::optional<int>(v); }, sample());
  ASSERT_TRUE(viaClass);
  EXPECT_EQ(L::size(*viaClass), 6);
}

TEST(Traversal, EffectfulApplicativesRunInTrieOrder) {
  const Map m = sample();
  // Writer: the log in trie order.
  const auto w = L::mapM([](int v) { return hs::Writer<std::string, int>{v, std::to_string(v)}; }, m);
  EXPECT_EQ(w.log, "123456");
  expectSameShape(w.value, m, true);
  // State: numbering the pairs in trie order; running the computation twice gives two maps.
  using St = hs::State<int, int>;
  const auto numbered = L::traverse(
      [](int) { return St{[](int n) { return std::pair<int, int>{n, n + 1}; }}; }, m);
  const auto [first, end1] = numbered(100);
  const auto [second, end2] = numbered(0);
  EXPECT_EQ(end1, 106);
  EXPECT_EQ(end2, 6);
  EXPECT_EQ(hs::toList(first), std::vector<int>({100, 101, 102, 103, 104, 105}));
  EXPECT_EQ(hs::toList(second), std::vector<int>({0, 1, 2, 3, 4, 5}));
  expectValid(first);
  expectValid(second);
  EXPECT_FALSE(T::same(first, second));
  EXPECT_FALSE(T::same(T::children(first)[2], T::children(second)[2]));
  // Const: only the effects.
  const auto c = L::traverse([](int v) { return hs::Const<std::string, int>{std::to_string(v)}; }, m);
  EXPECT_EQ(c.value, "123456");
}

// The gathering of one array: a second extension of the same prefix works on a copy; the block in
// place goes to its first user.
TEST(Traversal, ArraysBeingGatheredAreNeverWrittenTwice) {
  using G = I::detail::Gathered<Map>;
  const Map a = L::insert(key(1, 1), 1, Map()), b = L::insert(key(2, 2), 2, Map()),
            c = L::insert(key(3, 3), 3, Map());
  const G one = G::first(2, a);
  const G withB = one.snoc(b);
  const G withC = one.snoc(c);
  EXPECT_TRUE(T::same(withB[1], b));
  EXPECT_TRUE(T::same(withC[1], c));
  EXPECT_TRUE(T::same(withC[0], a));
  // The first extension wrote in place, the second took a copy of the prefix.
  EXPECT_EQ(&withB[0], &one[0]);
  EXPECT_NE(&withC[0], &one[0]);
  const G keep = withB;  // a second holder reads the same array
  EXPECT_EQ(&keep[1], &withB[1]);
  EXPECT_EQ(keep.size(), 2u);
}

TEST(Traversal, CellsPassThroughUnderOnCells) {
  const Cell bad = testing_support::throwing<int>();
  const Map m = sample({1, 2, bad, 4, 5, 6});
  const auto r = L::traverse(hs::onCells([](const Cell& c) { return hs::Identity<Cell>{c}; }), m);
  for (const auto& e : m) EXPECT_TRUE(hs::ptrEq(*L::lookup(e.key, r.value), e.value));
  EXPECT_THROW((void)L::traverse([](int v) { return hs::Identity<int>{v}; }, m), TestFailure);
}

}  // namespace
