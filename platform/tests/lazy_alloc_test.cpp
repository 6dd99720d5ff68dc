// Forcing and freeing deferred values when memory runs out.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "hs/lazy.hpp"
#include "testing/alloc.hpp"

namespace {

using testing_support::failingAllocation;

// n deferred steps over a deferred start: forcing it needs a work stack of n frames, which grows
// on the heap after the first cells are claimed.
hs::Lazy<long> chain(int n) {
  hs::Lazy<long> acc = hs::delay([] { return 0L; });
  for (int i = 0; i < n; ++i) acc = hs::applyLazy([](long a) { return a + 1; }, acc);
  return acc;
}

// Whatever allocation of a forcing fails, the demand fails with std::bad_alloc and the cells are
// given back: the next demand, on this thread or another, computes the value.
TEST(LazyOutOfMemory, AFailedForceGivesItsCellsBack) {
  int failures = 0;
  for (int k = 0;; ++k) {
    hs::Lazy<long> here = chain(100), there = chain(100);
    const bool failedHere = failingAllocation(k, [&] { (void)here.force(); });
    ASSERT_EQ(*here, 100) << "after failing allocation " << k;
    const bool failedThere = failingAllocation(k, [&] { (void)there.force(); });
    long seen = 0;
    std::thread([&] { seen = *there; }).join();
    EXPECT_EQ(seen, 100) << "after failing allocation " << k;
    EXPECT_EQ(failedHere, failedThere);
    if (!failedHere) break;
    ++failures;
  }
  EXPECT_GT(failures, 1) << "the chain is long enough to grow the work stack";
}

// A computation that forces another cell lets the failure pass: neither cell keeps it.
TEST(LazyOutOfMemory, AFailedInnerForceLeavesTheOuterCellUnsettled) {
  for (int k = 0;; ++k) {
    hs::Lazy<long> inner = chain(100);
    hs::Lazy<long> outer = hs::delay([inner] { return *inner + 1; });
    const bool failed = failingAllocation(k, [&] { (void)outer.force(); });
    if (failed) {
      EXPECT_FALSE(outer.settled()) << k;
    }
    ASSERT_EQ(*outer, 101) << "after failing allocation " << k;
    if (!failed) break;
  }
}

// Freeing a cell frees all it holds, also when the queue of cells to free cannot grow.
TEST(LazyOutOfMemory, FreeingCompletesWhenTheReleaseQueueCannotGrow) {
  auto token = std::make_shared<int>(7);
  {
    std::vector<hs::Lazy<int>> cells;
    for (int i = 0; i < 200; ++i) cells.push_back(hs::delay([token] { return *token; }));
    hs::Lazy<std::vector<hs::Lazy<int>>> holder(std::move(cells));
    ASSERT_EQ(token.use_count(), 201);
    testing_support::failAllocation(0);
  }
  testing_support::failAllocation(-1);
  EXPECT_EQ(token.use_count(), 1);
}

}  // namespace
