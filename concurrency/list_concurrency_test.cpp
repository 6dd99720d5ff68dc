#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "hs/functor.hpp"
#include "hs/list.hpp"

namespace {

// Threads walking one lazily produced list share its cells: each is produced once, and every
// thread sees every element.
TEST(List, SharedCellsAreProducedOnceAcrossThreads) {
  constexpr int n = 20'000;
  std::atomic<int> calls{0};
  const hs::List<int> xs = hs::fmap([&](int x) { ++calls; return x; },
                                    hs::take(n, hs::iterate([](int x) { return x + 1; }, 0)));
  std::vector<std::int64_t> sums(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int x : xs) sums[t] += x;
    });
  for (auto& t : threads) t.join();
  for (auto s : sums) EXPECT_EQ(s, std::int64_t(n) * (n - 1) / 2);
  EXPECT_EQ(calls.load(), n);
}

}  // namespace
