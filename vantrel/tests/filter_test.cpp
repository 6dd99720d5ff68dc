// Filtering, partial mapping and composition: which nodes survive as themselves, how emptied
// levels collapse, and what is called.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

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
using vantrel::HashMap;
using vantrel::internal::Kind;
namespace I = vantrel::internal;
namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using Map = HashMap<Key, int>;
using Cell = hs::Lazy<int>;


// Chunk 1: leaf id 1; chunk 2: collision of ids 2, 3, 4; chunk 3: a branch node of ids 5, 6.
Map sample() {
  return L::fromList<Key, int>({{key(1, 1, 10), 1},
                                {key(2, 2, 20), 2},
                                {key(3, 2, 21), 3},
                                {key(4, 2, 22), 4},
                                {key(5, 3, 50), 5},
                                {key(6, 3 | (1 << 5), 60), 6}});
}
Map fullSample() {
  std::vector<std::pair<Key, int>> pairs;
  for (std::int64_t c = 0; c < 32; ++c) pairs.push_back({key(c, static_cast<std::uint64_t>(c)), int(c)});
  return L::fromList(pairs);
}
auto keepIds(std::vector<std::int64_t> wanted) {
  return [wanted](const Key& k, int) {
    for (std::int64_t id : wanted)
      if (id == k.id) return true;
    return false;
  };
}
std::vector<std::int64_t> ids(const Map& m) {
  std::vector<std::int64_t> out;
  for (const auto& e : m) out.push_back(e.key.id);
  return out;
}

// Leaf nodes of the result are the input's own, collision records keep their cells, and every
// branch and collision node is new.
void expectSharedLeavesNewBranches(const Map& got, const Map& in) {
  switch (T::kind(got)) {
    case Kind::Empty:
      return;
    case Kind::Leaf: {
      bool found = false;
      std::vector<Map> stack{in};
      while (!stack.empty() && !found) {
        const Map t = stack.back();
        stack.pop_back();
        if (T::kind(t) == Kind::Leaf) found = T::sameChild(t, got);
        if (T::kind(t) == Kind::BitmapIndexed || T::kind(t) == Kind::Full)
          for (const Map& c : T::children(t)) stack.push_back(c);
      }
      // A leaf left over from a collision is new, with the entry's value cell.
      const auto e = T::entries(got)[0];
      EXPECT_TRUE(found || T::sameValue(e.value, *L::lookup(e.key, in))) << "a kept leaf is the input's own node";
      return;
    }
    case Kind::Collision:
      for (const auto& e : T::entries(got))
        EXPECT_TRUE(T::sameValue(e.value, *L::lookup(e.key, in)));
      [[fallthrough]];
    default: {
      std::vector<Map> stack{in};
      while (!stack.empty()) {
        const Map t = stack.back();
        stack.pop_back();
        EXPECT_FALSE(T::same(t, got)) << "branch and collision nodes are new";
        if (T::kind(t) == Kind::BitmapIndexed || T::kind(t) == Kind::Full)
          for (const Map& c : T::children(t)) stack.push_back(c);
      }
      if (T::kind(got) != Kind::Collision)
        for (const Map& c : T::children(got)) expectSharedLeavesNewBranches(c, in);
    }
  }
}

TEST(Filter, KeepingEverythingSharesLeavesAndRecords) {
  for (const Map& m : {sample(), fullSample()}) {
    const Map a = L::filter([](int) { return true; }, m);
    const Map b = L::filterWithKey([](const Key&, int) { return true; }, m);
    for (const Map& r : {a, b}) {
      expectValid(r);
      EXPECT_EQ(ids(r), ids(m));
      EXPECT_EQ(T::kind(r), T::kind(m));
      expectSharedLeavesNewBranches(r, m);
    }
  }
  const Map single = L::insert(key(1, 1), 1, Map());
  EXPECT_TRUE(T::same(L::filter([](int) { return true; }, single), single));
}

TEST(Filter, EmptiedLevelsCollapse) {
  const Map m = sample();
  const Map full = fullSample();
  auto not13 = [](const Key& k, int) { return k.id != 13; };
  auto all = [](const Key&, int) { return true; };
  struct Case {
    const char* what;
    Map input;
    std::function<bool(const Key&, int)> keep;
    Kind kind;
    std::uint64_t word;
    std::size_t width;  // children or entries of the result's root
  };
  const Case cases[] = {
      {"nothing kept", m, keepIds({}), Kind::Empty, 0, 0},
      {"one leaf left rises to the root", m, keepIds({1}), Kind::Leaf, 1, 1},
      {"a branch emptied to one leaf rises", m, keepIds({6}), Kind::Leaf, 3 | (1 << 5), 1},
      {"one inner child left: a one-slot node", m, keepIds({5, 6}), Kind::BitmapIndexed, 1 << 3, 1},
      {"a lone collision rises", m, keepIds({2, 4}), Kind::Collision, 2, 2},
      {"a collision left with one entry: a leaf of its hash", m, keepIds({3}), Kind::Leaf, 2, 1},
      {"a collision keeping all: a new node", m, keepIds({1, 2, 3, 4}), Kind::BitmapIndexed, 0b110, 2},
      {"Full losing one child", full, not13, Kind::BitmapIndexed, 0xFFFFFFFFULL & ~(1ULL << 13), 31},
      {"Full losing none", full, all, Kind::Full, 0xFFFFFFFFULL, 32},
  };
  for (const Case& c : cases) {
    const Map r = L::filterWithKey(c.keep, c.input);
    expectValid(r);
    ASSERT_EQ(T::kind(r), c.kind) << c.what;
    EXPECT_EQ(T::word(r), c.word) << c.what;
    if (c.kind == Kind::Leaf || c.kind == Kind::Collision) {
      EXPECT_EQ(T::entries(r).size(), c.width) << c.what;
    } else if (c.kind != Kind::Empty) {
      EXPECT_EQ(T::children(r).size(), c.width) << c.what;
    } else {
      EXPECT_EQ(I::Node::object(r), I::emptyObject) << c.what;
    }
    std::vector<std::int64_t> expected;
    for (const auto& e : c.input)
      if (c.keep(e.key, *e.value)) expected.push_back(e.key.id);
    EXPECT_EQ(ids(r), expected) << c.what;
    expectSharedLeavesNewBranches(r, c.input);
  }
  // The one-slot node holds a new branch node with the old bitmap; the collision of two keeps
  // its input order; the collision left with one entry carries that entry's key object.
  const Map oneSlot = L::filterWithKey(keepIds({5, 6}), m);
  EXPECT_EQ(T::word(T::children(oneSlot)[0]), T::word(T::children(m)[2]));
  std::vector<int> tags;
  for (const auto& e : T::entries(L::filterWithKey(keepIds({2, 4}), m))) tags.push_back(e.key.tag);
  EXPECT_EQ(tags, std::vector<int>({20, 22}));
  EXPECT_EQ(T::entries(L::filterWithKey(keepIds({3}), m))[0].key.tag, 21);
}

TEST(Filter, CallsEveryPredicateOnceInTrieOrderAndNothingElse) {
  const Map m = sample();
  std::vector<std::int64_t> calls;
  keyLog().clear();
  (void)L::filterWithKey([&](const Key& k, int) { calls.push_back(k.id); return k.id % 2 == 0; }, m);
  (void)L::mapMaybe([&](int v) { calls.push_back(v); return std::optional<int>(v); }, m);
  EXPECT_EQ(calls, std::vector<std::int64_t>({1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(keyLog().hashCalls, 0);
  EXPECT_TRUE(keyLog().eqCalls.empty());
  // A failing predicate leaves the input as it was.
  EXPECT_THROW((void)L::filter([](int v) -> bool { if (v == 4) throw std::runtime_error("no"); return true; }, m),
               std::runtime_error);
  expectValid(m);
  EXPECT_EQ(ids(m), std::vector<std::int64_t>({1, 2, 3, 4, 5, 6}));
}

// A collision filtered down to one record becomes a Leaf; whichever move of a key throws on the
// way, nothing is left behind and the input is untouched.
TEST(Filter, AKeyMoveThatThrowsLeavesNothingBehind) {
  using testing_support::FailingKey;
  const auto m = L::fromList(std::vector<std::pair<FailingKey, int>>{{0, 0}, {3, 3}, {1, 1}});
  const std::int64_t keys = FailingKey::live;
  int failures = 0;
  for (int n = 1;; ++n) {
    FailingKey::movesBeforeThrow = n;
    bool failed = false;
    try {
      const auto kept = L::filter([](int v) { return v != 3; }, m);
      EXPECT_EQ(L::size(kept), 2);
    } catch (const testing_support::KeyFailure&) {
      failed = true;
      ++failures;
    }
    FailingKey::movesBeforeThrow = -1;
    EXPECT_EQ(FailingKey::live, keys) << "after a failing move " << n;
    if (!failed) break;
  }
  EXPECT_GT(failures, 0);
  EXPECT_EQ(L::size(m), 3);
  expectValid(m);
}

TEST(MapMaybe, KeepsTheShapeAndStoresValuesAsDelivered) {
  const Map m = sample();
  const auto all = L::mapMaybe([](int v) { return std::optional<std::string>(std::to_string(v)); }, m);
  expectValid(all);
  EXPECT_EQ(T::kind(all), T::kind(m));
  EXPECT_EQ(T::word(all), T::word(m));
  EXPECT_EQ(**L::lookup(key(4, 2), all), "4");
  // Delivered cells are stored as they are, unforced.
  int runs = 0;
  const auto deferred = L::mapMaybe(hs::onCells([&runs](const Cell& c) {
                                      return std::optional<Cell>(Cell::defer([c, &runs] { ++runs; return *c + 1; }));
                                    }),
                                    m);
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(**L::lookup(key(3, 2), deferred), 4);
  EXPECT_EQ(runs, 1);
  // mapMaybeWithKey drops and collapses like a filter.
  const auto some = L::mapMaybeWithKey(
      [](const Key& k, int v) { return k.id == 3 ? std::optional<long>(v * 100L) : std::nullopt; }, m);
  ASSERT_EQ(T::kind(some), Kind::Leaf);
  EXPECT_EQ(T::word(some), 2u);
  EXPECT_EQ(**L::lookup(key(3, 2), some), 300);
}

TEST(Compose, LooksEveryValueUpInTheFirstMap) {
  // ab: ids 1..6 of sample, each mapped to a middle key; bc: middle keys 101, 103 (colliding
  // hashes) and 105.
  const auto ab = L::mapWithKey([](const Key& k, int) { return key(100 + k.id, k.id % 2, 7); }, sample());
  const Cell c101 = 1, c103 = 3;
  const HashMap<Key, int> bc = L::fromList<Key, int>({{key(101, 1, 1), c101}, {key(103, 1, 3), c103}, {key(105, 1, 5), 5}});
  keyLog().clear();
  const auto ac = L::compose(bc, ab);
  EXPECT_EQ(keyLog().hashCalls, 6) << "one lookup per pair of ab";
  for (const auto& [l, r] : keyLog().eqCalls) EXPECT_EQ(l, 7) << "the looked-up value is on the left";
  expectValid(ac);
  EXPECT_EQ(ids(ac), std::vector<std::int64_t>({1, 3, 5}));
  EXPECT_TRUE(hs::ptrEq(*L::lookup(key(1, 1), ac), c101));
  EXPECT_TRUE(hs::ptrEq(*L::lookup(key(3, 2), ac), c103));
  EXPECT_EQ(T::kind(ac), Kind::BitmapIndexed);

  keyLog().clear();
  const auto none = L::compose(HashMap<Key, int>(), ab);
  EXPECT_EQ(I::Node::object(none), I::emptyObject);
  EXPECT_EQ(keyLog().hashCalls, 0) << "an empty first map: the second is not walked";
}

TEST(FilterMapAux, HandlersDecideEachNodeAndRecord) {
  const Map m = sample();
  // Leaves become leaves of doubled values; collision records are kept only when even.
  auto onLeaf = [](const I::Ref<Key, int>& t) -> std::optional<I::Child<Key, int>> {
    return I::resultChild<Key, int>(t.hash(), t.key(), t.force() * 2);
  };
  auto onEntry = [](const I::L<Key, int>& e) -> std::optional<I::L<Key, int>> {
    if (*e.value % 2 != 0) return std::nullopt;
    return e;
  };
  const Map r = I::filterMapAux(onLeaf, onEntry, m);
  expectValid(r);
  EXPECT_EQ(ids(r), std::vector<std::int64_t>({1, 2, 4, 5, 6}));
  EXPECT_EQ(**L::lookup(key(1, 1), r), 2);
  EXPECT_EQ(**L::lookup(key(4, 2), r), 4);
  EXPECT_EQ(**L::lookup(key(6, 3 | (1 << 5)), r), 12);
}

}  // namespace
