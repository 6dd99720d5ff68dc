// What the helpers over child arrays allocate, and when (this program counts every operator new).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "testing/alloc.hpp"
#include "testing/keys.hpp"
#include "testing/trie.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

namespace I = vantrel::internal;
namespace L = vantrel::lazy;
namespace T = testing_support::trie;
using testing_support::AllocationScope;
using Map = vantrel::HashMap<std::int64_t, std::int64_t>;
using MapCell = hs::Lazy<Map>;
using Children = I::ChildArray<std::int64_t, std::int64_t>;

// A failure whose throw allocates nothing that operator new sees.
struct Failure {};

// A Full root over records and sub-nodes (the keys hash to themselves).
Map fullMap() {
  Map m;
  for (std::int64_t c = 0; c < 32; ++c) m = L::insert(c, c, m);
  for (std::int64_t c = 0; c < 32; c += 4) m = L::insert(c | 1 << 5, c, m);
  return m;
}

TEST(ChildArrayAlloc, EachAllocatesOnlyWhatItReturns) {
  const Map m = fullMap();
  const Children a = T::childArray(m);
  const MapCell fresh = MapCell(T::children(m)[4]);
  struct Case {
    const char* what;
    std::function<void()> run;
    std::int64_t allocations;
  };
  const Case cases[] = {
      {"bitmapIndexedOrFull: the node", [&] { (void)I::bitmapIndexedOrFull(I::fullBitmap, a); }, 1},
      {"update32: the array", [&] { (void)I::update32(a, 3, fresh); }, 1},
      {"update32M: the array", [&] { (void)I::update32M(a, 3, fresh); }, 1},
      {"update32With': the array",
       [&] { (void)I::update32With_(a, 3, [&](const Map&) { return fresh; }); }, 1},
      {"submapBitmapIndexed: nothing",
       [&] {
         (void)I::submapBitmapIndexed([](const Map&, const Map&) { return true; }, 0b1011, a,
                                      I::fullBitmap, a);
       },
       0},
  };
  for (const Case& c : cases) {
    AllocationScope scope;
    c.run();
    EXPECT_EQ(scope.count(), c.allocations) << c.what;
  }
}

// The new child is forced before the array is made: nothing is allocated while it runs, and
// nothing at all when it, or f, fails.
TEST(ChildArrayAlloc, Update32WithForcesBeforeItCopies) {
  const Children a = T::childArray(fullMap());
  const Map y = T::children(fullMap())[9];
  std::int64_t before = 0, during = -1;
  const MapCell watched = MapCell::defer([&] {
    during = testing_support::allocationCount();
    return y;
  });
  const MapCell failing = MapCell::defer([]() -> Map { throw Failure{}; });
  {
    before = testing_support::allocationCount();
    const Children r = I::update32With_(a, 9, [&](const Map&) { return watched; });
    EXPECT_EQ(during, before);
    EXPECT_TRUE(T::same(r.slot(9).force(), y));
  }
  AllocationScope scope;
  EXPECT_THROW((void)I::update32With_(a, 9, [&](const Map&) { return failing; }), Failure);
  EXPECT_THROW((void)I::update32With_(a, 9, [](const Map&) -> Map { throw Failure{}; }), Failure);
  EXPECT_EQ(scope.count(), 0);
}

// Whichever allocation fails (the node, or a key's copy into its record), nothing is left half
// built and the children stay as they were.
TEST(ChildArrayAlloc, AFailedAllocationLeavesNoNodeBehind) {
  using Key = testing_support::NamedKey;
  using Named = vantrel::HashMap<Key, int>;
  Named m;
  for (std::uint64_t c = 0; c < 20; ++c)
    m = L::insert(Key{static_cast<std::int64_t>(c), c, std::string(40, 'k') + std::to_string(c)}, 0,
                  m);
  const I::ChildArray<Key, int> a = T::childArray(m);
  std::int64_t failures = 0;
  Named built;
  while (testing_support::failingAllocation(
      failures, [&] { built = I::bitmapIndexedOrFull(T::word(m), a); })) {
    ++failures;
    ASSERT_TRUE(L::null(built));
    for (std::uint32_t i = 0; i < a.size(); ++i)
      ASSERT_EQ(T::kind(a.slot(i).force()), I::Kind::Leaf);
  }
  EXPECT_GT(failures, 1) << "the node and the keys' copies";
  EXPECT_TRUE(built == m);
  EXPECT_TRUE(I::debug::valid(built).isValid());
}

}  // namespace
