// How much union, intersection, difference and the submap tests allocate (this program counts
// every operator new).
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "testing/alloc.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using testing_support::AllocationScope;
using Map = vantrel::HashMap<std::int64_t, std::int64_t>;
using Cell = hs::Lazy<std::int64_t>;

// Keys whose root chunk lies in [from, to): the hash of an Int is the Int itself.
Map chunks(std::int64_t from, std::int64_t to, std::int64_t perChunk, std::int64_t salt = 0) {
  std::vector<std::pair<std::int64_t, std::int64_t>> pairs;
  for (std::int64_t c = from; c < to; ++c)
    for (std::int64_t j = 0; j < perChunk; ++j) pairs.emplace_back(c + 32 * (j * 7919 + 1 + salt), j);
  return L::fromList(pairs);
}

// The root children of `result` that are the very root children of `in` at the same chunk.
int sharedRootChildren(const Map& result, const Map& in) {
  const auto bits = [](const Map& m) {
    return T::kind(m) == T::Kind::Full ? std::uint64_t{0xFFFFFFFF} : T::word(m);
  };
  const std::uint64_t br = bits(result), bi = bits(in);
  const auto rk = T::children(result), ik = T::children(in);
  int shared = 0;
  for (int c = 0; c < 32; ++c) {
    const std::uint64_t m = std::uint64_t{1} << c;
    if ((bi & m) != 0 && (br & m) != 0)
      shared += T::same(rk[std::popcount(br & (m - 1))], ik[std::popcount(bi & (m - 1))]);
  }
  return shared;
}

TEST(WholeMapAllocation, UnionSharesTheSubtreesOnlyOneSideHolds) {
  const Map low = chunks(0, 16, 300), high = chunks(16, 32, 300);
  {
    AllocationScope scope;
    const Map u = L::union_(low, high);
    EXPECT_EQ(scope.count(), 1);  // the new Full root; every subtree below it is shared
    EXPECT_EQ(T::kind(u), T::Kind::Full);
    EXPECT_EQ(sharedRootChildren(u, low), 16);
    EXPECT_EQ(sharedRootChildren(u, high), 16);
  }
  // A few keys added by union: only the paths they meet are new.
  const Map few = chunks(3, 5, 2, 1000003);
  AllocationScope scope;
  const Map u = L::union_(low, few);
  EXPECT_LT(scope.count(), 2 * 8);
  EXPECT_EQ(sharedRootChildren(u, low), 14);
  EXPECT_EQ(L::size(u), L::size(low) + 4);
}

TEST(WholeMapAllocation, DecidedStepsAllocateNothing) {
  const Map low = chunks(0, 16, 300), high = chunks(16, 32, 300);
  const Map one = L::insert(std::int64_t{5 + 32}, std::int64_t{1}, Map());
  AllocationScope scope;
  EXPECT_TRUE(T::same(L::union_(low, Map()), low));
  EXPECT_TRUE(T::same(L::union_(Map(), high), high));
  EXPECT_TRUE(L::intersection(low, high).empty());  // root bitmaps share no chunk
  EXPECT_TRUE(T::same(L::intersection(one, low), one));  // a found first-map leaf is kept
  EXPECT_TRUE(L::isSubmapOf(low, low));
  EXPECT_FALSE(L::isSubmapOf(low, high));
  EXPECT_TRUE(L::isSubmapOfBy([](std::int64_t, std::int64_t) { return true; }, one, low));
  EXPECT_TRUE(L::difference(Map(), low).empty());
  EXPECT_EQ(scope.count(), 0);
}

TEST(WholeMapAllocation, DifferenceKeepsUntouchedSubtrees) {
  const Map m = chunks(0, 32, 400);
  const Map drop = chunks(8, 12, 400);
  std::vector<std::pair<std::int64_t, Cell>> kept;
  for (const auto& r : m)
    if (!L::member(r.key, drop)) kept.emplace_back(r.key, r.value);
  std::int64_t viaDifference = 0, viaFromList = 0;
  {
    AllocationScope scope;
    const Map d = L::difference(m, drop);
    viaDifference = scope.count();
    EXPECT_EQ(L::size(d), static_cast<std::int64_t>(kept.size()));
  }
  {
    AllocationScope scope;
    const Map f = L::fromList(kept);
    viaFromList = scope.count();
  }
  // Integer keys take the walk over both tries, which keeps the untouched subtrees.
  EXPECT_LT(viaDifference, viaFromList / 4);
}

}  // namespace
