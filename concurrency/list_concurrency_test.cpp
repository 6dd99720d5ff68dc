#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
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

// The folds walk the cells without counting them, while other threads produce them: each
// fold sees the whole list, and each cell is produced once.
TEST(List, FoldsShareCellsAcrossThreads) {
  constexpr int n = 20'000;
  std::atomic<int> calls{0};
  const hs::List<std::int64_t> xs = hs::fmap([&](int x) { ++calls; return std::int64_t(x); },
                                             hs::take(n, hs::iterate([](int x) { return x + 1; }, 0)));
  const std::int64_t total = std::int64_t(n) * (n - 1) / 2;
  std::vector<std::int64_t> got(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      const auto plus = [](std::int64_t a, std::int64_t b) { return a + b; };
      const auto lazyPlus = [](std::int64_t x, const hs::Lazy<std::int64_t>& rest) { return x + *rest; };
      if (t == 0) got[t] = hs::sum(xs);
      if (t == 1) got[t] = hs::foldr_(plus, std::int64_t{0}, xs);
      if (t == 2) got[t] = hs::elem(std::int64_t{n - 1}, xs) ? total : 0;
      if (t == 3) got[t] = hs::foldr(lazyPlus, std::int64_t{0}, hs::take(1000, xs)) + (total - 499'500);
    });
  for (auto& t : threads) t.join();
  for (auto s : got) EXPECT_EQ(s, total);
  EXPECT_EQ(calls.load(), n);
}

}  // namespace
