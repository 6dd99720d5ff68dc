#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <stdexcept>
#include <thread>
#include <vector>

#include "hs/lazy.hpp"

namespace {

TEST(LazyConcurrency, EightThreadsDemandingOneCellRunItOnce) {
  for (int round = 0; round < 50; ++round) {
    std::atomic<int> runs{0};
    auto cell = hs::delay([&] {
      runs.fetch_add(1);
      std::this_thread::yield();
      return 42;
    });
    std::barrier start(8);
    std::vector<std::thread> threads;
    std::atomic<int> sum{0};
    for (int t = 0; t < 8; ++t)
      threads.emplace_back([&, cell] {
        start.arrive_and_wait();
        sum.fetch_add(*cell);
      });
    for (auto& th : threads) th.join();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(sum.load(), 8 * 42);
  }
}

TEST(LazyConcurrency, ThrowingCellSharedByThreadsRunsOnce) {
  std::atomic<int> runs{0};
  auto cell = hs::delay([&]() -> int {
    runs.fetch_add(1);
    throw std::runtime_error("shared failure");
  });
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, cell] {
      try {
        (void)*cell;
      } catch (const std::runtime_error&) {
        failures.fetch_add(1);
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(runs.load(), 1);
  EXPECT_EQ(failures.load(), 8);
}

TEST(LazyConcurrency, ChainsForcedFromManyThreads) {
  hs::Lazy<long> acc = 0L;
  for (int i = 0; i < 10000; ++i) acc = hs::applyLazy([](long a) { return a + 1; }, acc);
  std::vector<std::thread> threads;
  std::atomic<long> total{0};
  for (int t = 0; t < 8; ++t) threads.emplace_back([&, acc] { total.fetch_add(*acc); });
  for (auto& th : threads) th.join();
  EXPECT_EQ(total.load(), 8 * 10000L);
}

}  // namespace
