#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "ambrel/ambrel.hpp"
#include "ambrel/combinators.hpp"
#include "hs/list.hpp"

namespace {

using Int = std::int64_t;
using II = ambrel::Ambrel<Int, Int>;

// Threads demanding one shared deferred value and its deferred fields: the value's computation
// and the mapper each run once, and every thread sees the same fields.
TEST(Ambrel, SharedDeferredValuesAreComputedOnce) {
  std::atomic<int> builds{0}, maps{0};
  const II base = II::defer([&] {
    ++builds;
    return II(1, 2);
  });
  const II mapped = II::defer([&, base] {
    return ambrel::mapAmbrel(
        [&](const std::pair<Int, Int>& p) {
          ++maps;
          return std::pair<Int, Int>(p.first + 10, p.second + 20);
        },
        base);
  });
  std::vector<Int> sums(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] { sums[t] = mapped.here().force() + mapped.there().force(); });
  for (auto& t : threads) t.join();
  for (Int s : sums) EXPECT_EQ(s, 33);
  EXPECT_EQ(builds.load(), 1);
  EXPECT_EQ(maps.load(), 1);
}

// Threads walking the result lists of one partition of a lazily produced input.
TEST(Ambrel, SharedPartitionsAreWalkedConsistently) {
  constexpr Int n = 10'000;
  const hs::List<II> xs = hs::take(n, hs::unfoldr(
                                          [](const Int& i) -> std::optional<std::pair<II, Int>> {
                                            if (i % 3 == 0) return std::pair<II, Int>(ambrel::This(i), i + 1);
                                            if (i % 3 == 1) return std::pair<II, Int>(ambrel::That<Int>(i), i + 1);
                                            return std::pair<II, Int>(II(i, i), i + 1);
                                          },
                                          Int{0}));
  const auto parts = ambrel::partitionAmbrel(xs);
  std::vector<Int> sums(6);
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&, t] {
      if (t % 3 == 0)
        for (const auto& a : std::get<0>(parts)) sums[t] += a.force();
      else if (t % 3 == 1)
        for (const auto& b : std::get<1>(parts)) sums[t] += b.force();
      else
        for (const auto& ab : std::get<2>(parts)) sums[t] += ab.first.force();
    });
  for (auto& t : threads) t.join();
  Int want[3] = {0, 0, 0};
  for (Int i = 0; i < n; ++i) want[i % 3] += i;
  for (int t = 0; t < 6; ++t) EXPECT_EQ(sums[t], want[t % 3]) << t;
}

}  // namespace
