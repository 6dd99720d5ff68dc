// What set operations allocate (this program counts every operator new): the queries and the
// operations that give back their input allocate nothing, and the builders allocate only nodes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testing/alloc.hpp"
#include "testing/keys.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/set.hpp"
#include "vantrel/set/classes.hpp"

namespace {

// An element with a chosen hash and a name long enough to live on the heap; == compares ids.
using Named = testing_support::NamedKey;

namespace S = vantrel::set;
namespace T = testing_support::trie;
using testing_support::AllocationScope;
using ISet = vantrel::HashSet<std::int64_t>;

std::vector<std::int64_t> spread(int n) {
  std::vector<std::int64_t> xs;
  for (std::int64_t i = 0; i < n; ++i) xs.push_back(i * 0x9E3779B97F4A7C15LL);
  return xs;
}

TEST(SetAllocation, QueriesAndUnchangedResultsAllocateNothing) {
  const std::vector<std::int64_t> xs = spread(3000);
  const ISet a = S::fromList(xs), b = S::fromList(xs);
  AllocationScope scope;
  EXPECT_TRUE(S::member(xs[17], a));
  EXPECT_EQ(S::size(S::insert(xs[17], a)), 3000);  // held by a Leaf: the set itself
  EXPECT_EQ(S::size(S::erase(5, a)), 3000);        // absent: the set itself
  EXPECT_TRUE(a == b);
  EXPECT_EQ(S::compare(a, b), hs::EQ);
  EXPECT_EQ(S::hash(a), S::hash(b));
  EXPECT_TRUE(hs::Foldable<vantrel::HashSetTag>::elem(xs[2999], a));
  EXPECT_EQ(S::foldl_([](std::int64_t n, std::int64_t) { return n + 1; }, std::int64_t{0}, a),
            3000);
  S::rnf(a);
  EXPECT_TRUE(S::isSubsetOf(a, b));
  EXPECT_EQ(scope.count(), 0);
}

TEST(SetAllocation, BuildersAllocateOnlyTheirNodes) {
  const std::vector<std::int64_t> xs = spread(3000);
  // Every element once and again: the second round finds each one in its Leaf.
  std::vector<std::int64_t> twice = xs;
  twice.insert(twice.end(), xs.begin(), xs.end());
  (void)hs::unitCell();  // made on first use
  std::int64_t once = 0;
  {
    AllocationScope scope;
    const ISet s = S::fromList(xs);
    once = scope.count();
  }
  AllocationScope scope;
  const ISet s = S::fromList(twice);
  EXPECT_EQ(scope.count(), once);
  // Mapping builds as fromList does over the elements in trie order.
  const std::vector<std::int64_t> order = S::toList(s);
  std::int64_t built = 0;
  {
    AllocationScope inOrder;
    const ISet r = S::fromList(order);
    built = inOrder.count();
  }
  AllocationScope mapped;
  const ISet m = S::map([](std::int64_t x) { return x; }, s);
  EXPECT_EQ(mapped.count(), built);
}

// A set given up changes where it stands when nothing else holds its path: an insert's new record
// goes into the branch where it stands when it has room, else into a grown branch, or into the
// small subtree that separates it from the leaf it meets; an erase allocates nothing.
TEST(SetAllocation, MovedInsertAndEraseChangeAnUnsharedSetInPlace) {
  ISet s = S::fromList(spread(3000));
  const std::vector<std::int64_t> probes = {3LL * 0x51ED27A3LL, 12345LL * 0x51ED27A3LL,
                                            -77LL * 0x51ED27A3LL, 991LL * 0x51ED27A3LL};
  for (const std::int64_t x : probes) {
    ASSERT_FALSE(S::member(x, s));
    const int levels = T::levelsAbove(s.asMap(), static_cast<std::uint64_t>(x));
    // A branch node with spare room in its allocation takes the new record where it stands.
    const bool room = T::roomFor(s.asMap(), static_cast<std::uint64_t>(x));
    AllocationScope scope;
    s = S::insert(x, std::move(s));
    const std::int64_t allocations = scope.count();
    const int subtree = T::levelsAbove(s.asMap(), static_cast<std::uint64_t>(x)) - levels;
    EXPECT_EQ(allocations, subtree == 0 ? (room ? 0 : 1) : subtree) << x;
    ASSERT_TRUE(S::member(x, s));
  }
  for (const std::int64_t x : probes) {
    AllocationScope scope;
    s = S::erase(x, std::move(s));
    EXPECT_EQ(scope.count(), 0) << x;
    ASSERT_FALSE(S::member(x, s));
  }
  EXPECT_EQ(S::size(s), 3000);
  EXPECT_TRUE(vantrel::internal::debug::valid(s.asMap()).isValid());
}

// An element handed over with an unshared set is moved into its new record where nothing is
// allocated after it: the empty set's leaf, a collision with a leaf of its hash, a grown branch.
// The subtree that separates it from a leaf is allocated after its record, so there it is copied.
// When an allocation fails, neither the set nor the element has changed; an element already held
// is left alone.
TEST(SetAllocation, AnElementHandedOverIsMovedIntoItsRecord) {
  auto name = [](std::int64_t id) { return std::string(40, static_cast<char>('a' + id)); };
  (void)hs::unitCell();  // made on first use
  vantrel::HashSet<Named> s;
  const std::vector<std::pair<std::int64_t, std::uint64_t>> steps = {
      {1, 1}, {2, 1}, {3, 1 | 1 << 5}, {4, 7}, {5, 1 | 1 << 5 | 1 << 10}};
  for (const auto& [id, h] : steps) {
    Named x{id, h, name(id)};
    std::int64_t failures = 0;
    while (testing_support::failingAllocation(
        failures, [&] { s = S::insert(std::move(x), std::move(s)); })) {
      ++failures;
      ASSERT_EQ(x.name, name(id));
      ASSERT_EQ(S::size(s), id - 1);
      ASSERT_FALSE(S::member(x, s));
    }
    EXPECT_GT(failures, 0);
    const bool separated = id == 3 || id == 5;
    EXPECT_EQ(x.name.empty(), !separated) << id;
    ASSERT_EQ(S::size(s), id);
    EXPECT_TRUE(vantrel::internal::debug::valid(s.asMap()).isValid());
  }
  for (const Named& y : s) EXPECT_EQ(y.name, name(y.id));
  Named again{4, 7, "kept"};
  s = S::insert(std::move(again), std::move(s));
  EXPECT_EQ(again.name, "kept");
  EXPECT_EQ(S::size(s), 5);
}

}  // namespace
