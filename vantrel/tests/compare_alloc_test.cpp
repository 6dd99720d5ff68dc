// Whole-map comparisons, hashing and deep evaluation walk the tries without allocating (this
// program counts every operator new).
#include <gtest/gtest.h>

#include <cstdint>

#include "testing/alloc.hpp"
#include "vantrel/map/lazy.hpp"
#include "vantrel/map/classes.hpp"

namespace {

namespace L = vantrel::lazy;
using testing_support::AllocationScope;
using Map = vantrel::HashMap<std::int64_t, std::int64_t>;

Map build(int n) {
  Map m;
  for (std::int64_t i = 0; i < n; ++i) m = L::insert(i * 0x9E3779B97F4A7C15LL, i, m);
  return m;
}

TEST(Allocation, WholeMapWalksAllocateNothing) {
  const Map a = build(5000), b = build(5000);
  AllocationScope scope;
  EXPECT_TRUE(a == b);
  EXPECT_EQ(L::compare(a, b), hs::EQ);
  EXPECT_TRUE(L::liftEq2([](std::int64_t x, std::int64_t y) { return x == y; },
                         [](std::int64_t x, std::int64_t y) { return x == y; }, a, b));
  EXPECT_EQ(L::hash(a), L::hash(b));
  EXPECT_EQ(L::liftHashWithSalt(hs::HashWithSalt{}, 1, a),
            L::liftHashWithSalt(hs::HashWithSalt{}, 1, b));
  L::rnf(a);
  EXPECT_EQ(scope.count(), 0);
}

}  // namespace
