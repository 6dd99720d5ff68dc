// Stack segments are per thread: threads that recurse deeply at once, exit with segments cached,
// or recurse while their thread_local objects are destroyed, each keep to their own.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cstdint>
#include <thread>
#include <vector>

#include "hs/lazy.hpp"
#include "hs/stack.hpp"
#include "testing/stacks.hpp"

namespace {

constexpr std::int64_t kDepth = testing_support::fullDepth ? 200000 : 20000;

std::int64_t down(std::int64_t n) {
  if (n == 0) return 0;
  return hs::withStack([n] { return down(n - 1) + 1; });
}

// Recurses when destroyed, at thread exit, after its thread has cached segments.
struct DeepAtExit {
  std::atomic<std::int64_t>* out = nullptr;
  ~DeepAtExit() {
    if (out != nullptr) out->fetch_add(down(kDepth));
  }
};

TEST(StackConcurrency, ThreadsRecurseDeeplyAndExit) {
  std::atomic<std::int64_t> total{0}, atExit{0};
  for (int round = 0; round < 4; ++round) {
    std::barrier start(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
      threads.emplace_back([&] {
        static thread_local DeepAtExit last;
        last.out = &atExit;
        start.arrive_and_wait();
        total.fetch_add(down(kDepth));
        total.fetch_add(down(kDepth / 3));
      });
    for (auto& th : threads) th.join();
  }
  EXPECT_EQ(total.load(), 32 * (kDepth + kDepth / 3));
  EXPECT_EQ(atExit.load(), 32 * kDepth);
}

// A chain of deferred cells, each demanding the next: forcing it recurses through the runtime on
// whichever threads demand it, waiting where another thread is at work.
TEST(StackConcurrency, ThreadsForceOneDeepChainOnSmallStacks) {
  const std::int64_t n = kDepth / 2;
  std::vector<hs::Lazy<std::int64_t>> cells;
  cells.reserve(static_cast<std::size_t>(n) + 1);
  cells.emplace_back(std::int64_t{0});
  for (std::int64_t i = 1; i <= n; ++i)
    cells.push_back(hs::delay([prev = cells.back()] { return *prev + 1; }));
  std::barrier start(4);
  std::vector<std::thread> threads;
  std::atomic<int> right{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      testing_support::onThreadStack(128 * 1024, [&] {
        start.arrive_and_wait();
        const auto& cell = cells[static_cast<std::size_t>(n - t * (n / 4))];
        if (*cell == n - t * (n / 4)) right.fetch_add(1);
      });
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(right.load(), 4);
}

}  // namespace
