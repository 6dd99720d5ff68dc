// How much the whole-map walks allocate (this program counts every operator new): the nodes of
// the result and its new value cells (a value given to a leaf shares its block), nothing else.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "hs/functor.hpp"
#include "hs/semigroup.hpp"
#include "testing/alloc.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using testing_support::AllocationScope;
using Map = vantrel::HashMap<std::int64_t, std::int64_t>;

Map build(int n) {
  Map m;
  for (std::int64_t i = 0; i < n; ++i) m = L::insert(i * 0x9E3779B97F4A7C15LL, i, m);
  return m;
}
TEST(Allocation, StrictFoldsAllocateNothing) {
  const Map m = build(3000);
  AllocationScope scope;
  std::int64_t total = L::foldl_([](std::int64_t a, std::int64_t v) { return a + v; }, std::int64_t{0}, m);
  total += L::foldr_([](std::int64_t v, std::int64_t a) { return a + v; }, std::int64_t{0}, m);
  total += L::foldlWithKey_([](std::int64_t a, std::int64_t, std::int64_t v) { return a + v; }, std::int64_t{0}, m);
  total += L::foldMap([](std::int64_t v) { return hs::Sum<std::int64_t>{v}; }, m).value;
  EXPECT_EQ(scope.count(), 0);
  EXPECT_EQ(total, 4 * (2999 * 3000 / 2));
}

TEST(Allocation, WalksAllocateTheResultsNodesAndCellsOnly) {
  const Map m = build(3000);
  const std::int64_t n = L::size(m);
  {
    AllocationScope scope;
    const Map kept = L::filter([](std::int64_t v) { return v % 3 != 0; }, m);
    const std::int64_t used = scope.count();
    EXPECT_EQ(used, T::blocks(kept)) << "kept leaves are copied records; one block per branch";
    EXPECT_LT(T::blocks(kept), T::blocks(m)) << "some levels collapsed";
  }
  {
    AllocationScope scope;
    const auto r = L::replaceValues(std::int64_t{7}, m);
    const std::int64_t used = scope.count();
    EXPECT_EQ(used, T::blocks(r) + 1) << "one cell for every entry";
  }
  {
    AllocationScope scope;
    const auto r = L::map([](std::int64_t v) { return v + 1; }, m);
    const std::int64_t used = scope.count();
    EXPECT_EQ(used, T::blocks(r) + n) << "one deferred application per value";
  }
  {
    AllocationScope scope;
    const auto r = L::traverse([](std::int64_t v) { return hs::Identity<std::int64_t>{v}; }, m);
    const std::int64_t used = scope.count();
    // Every value lands in its record (the map has no collision, whose entries would get cells).
    // Each leaf is gathered as a node of its own and each branch's children in an array, then the
    // branch is built from them.
    EXPECT_EQ(used, 2 * T::blocks(r.value) + n);
  }
  {
    AllocationScope scope;
    const auto r = L::traverse([](std::int64_t v) { return std::optional<std::int64_t>(v); }, m);
    ASSERT_TRUE(r);
    const std::int64_t used = scope.count();
    EXPECT_EQ(used, 2 * T::blocks(*r) + n);
  }
}

}  // namespace
