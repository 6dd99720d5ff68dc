#include <gtest/gtest.h>

#include <cstdint>
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
using Pairs = std::vector<std::pair<int, int>>;  // (key tag, value) in trie order
using EqLog = std::vector<std::pair<int, int>>;

constexpr std::uint64_t H = 7;


// ---- Differences ---------------------------------------------------------------------------

TEST(Difference, KeepsTheFirstMapsPairsInANewMap) {
  // Chunk 1: a leaf; chunk 7: a collision of three keys; chunk 2 below a one-child chain.
  const Map m = L::fromList<Key, int>({{key(1, 1, 11), 1},
                                       {key(2, H, 12), 2},
                                       {key(3, H, 13), 3},
                                       {key(4, H, 14), 4},
                                       {key(5, 2 | (1 << 10), 15), 5},
                                       {key(6, 2 | (2 << 10), 16), 6}});
  const HashMap<Key, std::string> middle = L::fromList<Key, std::string>({{key(3, H, 23), std::string("x")}});
  const HashMap<Key, std::string> twoOfThree =
      L::fromList<Key, std::string>({{key(2, H), std::string()}, {key(4, H), std::string()}});
  struct Case {
    const char* what;
    Map result;
    Pairs pairs;
    Kind collisionKind;  // what is left at chunk 7 (Empty: nothing)
  };
  const Case cases[] = {
      {"against the empty map", L::difference(m, HashMap<Key, std::string>()),
       {{11, 1}, {15, 5}, {16, 6}, {12, 2}, {13, 3}, {14, 4}}, Kind::Collision},
      {"the middle key of a collision", L::difference(m, middle),
       {{11, 1}, {15, 5}, {16, 6}, {12, 2}, {14, 4}}, Kind::Collision},
      {"two keys of a collision", L::difference(m, twoOfThree), {{11, 1}, {15, 5}, {16, 6}, {13, 3}},
       Kind::Leaf},
      {"differenceWith answering absent", L::differenceWith([](int, const std::string&) {
         return std::optional<int>(); }, m, twoOfThree),
       {{11, 1}, {15, 5}, {16, 6}, {13, 3}}, Kind::Leaf},
      {"differenceWith answering present", L::differenceWith([](int a, const std::string& s) {
         return std::optional<int>(a * 100 + static_cast<int>(s.size())); }, m, middle),
       {{11, 1}, {15, 5}, {16, 6}, {12, 2}, {13, 301}, {14, 4}}, Kind::Collision},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(T::same(c.result, m)) << c.what;
    EXPECT_EQ(pairsOf(c.result), c.pairs) << c.what;
    expectValid(c.result, c.what);
    const auto kids = T::children(c.result);
    EXPECT_EQ(T::kind(kids.back()), c.collisionKind) << c.what;
  }
  // Kept value cells are the first map's own.
  const Map kept = L::difference(m, middle);
  EXPECT_TRUE(hs::ptrEq(*L::lookup(key(4, H), kept), *L::lookup(key(4, H), m)));
  EXPECT_TRUE(L::difference(Map(), m).empty());
  EXPECT_TRUE(L::difference(m, m).empty());
  EXPECT_TRUE(L::differenceWith([](int, int) { return std::optional<int>(); }, m, m).empty());
}

TEST(Difference, DifferenceWithCallsItsFunctionOncePerCommonKeyInTrieOrder) {
  auto runs = std::make_shared<int>(0);
  const Cell deferred = testing_support::counting(42, runs);
  const Map first = L::fromList<Key, int>({{key(1, 1), 1}, {key(2, H), 2}, {key(3, H), 3}, {key(4, 4), 4}});
  const Map second = L::fromList<Key, int>({{key(3, H), 30}, {key(1, 1), 10}, {key(9, 9), 90}});
  std::vector<std::int64_t> seen;
  const Map r = L::differenceWith(
      hs::onCells([&](const Cell& a, const Cell& b) -> std::optional<Cell> {
        seen.push_back(*a + *b);
        return deferred;
      }),
      first, second);
  EXPECT_EQ(seen, (std::vector<std::int64_t>{11, 33}));  // chunk 1 before chunk 7
  EXPECT_EQ(*runs, 0);                                   // the new value is stored unevaluated
  EXPECT_TRUE(hs::ptrEq(*L::lookup(key(3, H), r), deferred));
  EXPECT_EQ(L::size(r), 4);
  expectValid(r, "differenceWith");
}

// ---- Submap tests --------------------------------------------------------------------------

Map chunkLeaf(std::uint64_t h, int v = 0, int tag = 0) {
  return T::leaf<Key, int>(h, key(static_cast<std::int64_t>(h), h, tag), v);
}

TEST(Submap, StopsAtTheFirstFailureAndCallsTheRelationAsListed) {
  std::vector<Map> kids;
  for (std::uint64_t c = 0; c < 32; ++c) kids.push_back(chunkLeaf(c, static_cast<int>(c)));
  const Map full = T::full<Key, int>(kids);
  const Map three = L::fromList<Key, int>({{key(1, 1, 11), 1}, {key(2, 2, 12), 2}, {key(3, 3, 13), 3}});
  const Map threeOther = L::fromList<Key, int>({{key(1, 1, 21), 1}, {key(2, 2, 22), 9}, {key(3, 3, 23), 3}});
  const Map coll3 = T::collision<Key, int>(H, {{key(1, H, 11), 1}, {key(2, H, 12), 2}, {key(3, H, 13), 3}});
  const Map coll2 = T::collision<Key, int>(H, {{key(1, H, 21), 1}, {key(2, H, 22), 2}});
  const Map collWith2Second = T::collision<Key, int>(H, {{key(5, H, 21), 50}, {key(2, H, 22), 20}});
  struct Case {
    const char* what;
    Map first, second;
    bool expected;
    std::vector<std::pair<int, int>> cmpCalls;  // (first value, second value)
    std::optional<EqLog> eqCalls;
  };
  const Case cases[] = {
      {"empty first map", Map(), three, true, {}, EqLog{}},
      {"empty second map", three, Map(), false, {}, EqLog{}},
      {"Full against a branch", full, three, false, {}, EqLog{}},
      {"a branch against a leaf", three, chunkLeaf(1), false, {}, EqLog{}},
      {"a branch against a Full node", three, full, true, {{1, 1}, {2, 2}, {3, 3}}, std::nullopt},
      {"leaves of one hash, unequal keys", T::leaf<Key, int>(H, key(1, H, 11), 1),
       T::leaf<Key, int>(H, key(2, H, 21), 2), false, {}, EqLog{{11, 21}}},
      {"a leaf against a collision", T::leaf<Key, int>(H, key(2, H, 11), 1), collWith2Second, false,
       {{1, 20}}, EqLog{{11, 21}, {11, 22}}},
      {"a longer collision", coll3, coll2, false, {}, EqLog{}},
      {"a collision against a leaf", coll2, T::leaf<Key, int>(H, key(1, H, 11), 1), false, {}, EqLog{}},
      {"a collision in a longer one", coll2, coll3, true, {{1, 1}, {2, 2}},
       EqLog{{21, 11}, {22, 11}, {22, 12}}},
      {"a failing pair ends the test", three, threeOther, false, {{1, 1}, {2, 9}}, std::nullopt},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<int, int>> calls;
    auto cmp = [&calls](int a, int b) {
      calls.emplace_back(a, b);
      return a == b;
    };
    keyLog().clear();
    EXPECT_EQ(L::isSubmapOfBy(cmp, c.first, c.second), c.expected) << c.what;
    EXPECT_EQ(keyLog().hashCalls, 0) << c.what << ": a submap test hashes no key";
    if (c.eqCalls) {
      EXPECT_EQ(keyLog().eqCalls, *c.eqCalls) << c.what;
    }
    EXPECT_EQ(calls, c.cmpCalls) << c.what;
    EXPECT_EQ(L::isSubmapOf(c.first, c.second), c.expected) << c.what;
  }
}

TEST(Submap, IgnoresInsertionOrderAndComparesValues) {
  std::vector<std::pair<Key, int>> pairs;
  for (std::int64_t i = 0; i < 300; ++i) pairs.emplace_back(key(i, static_cast<std::uint64_t>(i % 37) * 0x9E3779B97F4A7C15ULL), static_cast<int>(i));
  const Map forward = L::fromList(pairs);
  const Map backward = L::fromList(std::vector<std::pair<Key, int>>(pairs.rbegin(), pairs.rend()));
  EXPECT_TRUE(L::isSubmapOf(forward, backward));
  EXPECT_TRUE(L::isSubmapOf(backward, forward));
  const Map fewer = L::erase(key(5, 5 * 0x9E3779B97F4A7C15ULL), forward);
  EXPECT_TRUE(L::isSubmapOf(fewer, forward));
  EXPECT_FALSE(L::isSubmapOf(forward, fewer));
  EXPECT_FALSE(L::isSubmapOf(L::insert(key(7, 7 * 0x9E3779B97F4A7C15ULL), -1, forward), backward));
  // Values of another type, compared through cells.
  auto runs = std::make_shared<int>(0);
  const HashMap<Key, std::string> names =
      L::fromList<Key, std::string>({{key(1, 1), testing_support::counting<std::string>("a", runs)}});
  EXPECT_TRUE(L::isSubmapOfBy(hs::onCells([](const Cell&, const hs::Lazy<std::string>&) { return true; }),
                              L::fromList<Key, int>({{key(1, 1), 1}}), names));
  EXPECT_EQ(*runs, 0);
}

}  // namespace
