// hs::withStack: recursion through it is bounded by memory, on small thread stacks and on stacks
// no thread attribute reports.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "hs/stack.hpp"
#include "testing/stacks.hpp"

namespace {

using testing_support::onContextStack;
using testing_support::onThreadStack;

constexpr std::int64_t kDepth = testing_support::fullDepth ? 1000000 : 200000;

// A recursion of the library's kind: every level goes through the helper.
std::int64_t down(std::int64_t n) {
  if (n == 0) return 0;
  return hs::withStack([n] { return down(n - 1) + 1; });
}
std::int64_t throwAt(std::int64_t n, std::int64_t at) {
  if (n == at) throw std::runtime_error("at " + std::to_string(n));
  return hs::withStack([=] { return throwAt(n + 1, at) + 1; });
}

TEST(Stack, DeepRecursionOnSmallStacks) {
  EXPECT_EQ(down(kDepth), kDepth);
  onThreadStack(256 * 1024, [] { EXPECT_EQ(down(kDepth), kDepth); });
  onThreadStack(64 * 1024, [] { EXPECT_EQ(down(kDepth), kDepth); });
  onContextStack(64 * 1024, [] { EXPECT_EQ(down(kDepth), kDepth); });
}

TEST(Stack, ExceptionsCrossSegmentsAndTheWalkGoesOn) {
  onThreadStack(256 * 1024, [] {
    for (std::int64_t at : {std::int64_t{10}, kDepth / 2, kDepth}) {
      try {
        (void)throwAt(0, at);
        ADD_FAILURE() << "no exception";
      } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "at " + std::to_string(at));
      }
    }
    EXPECT_EQ(down(kDepth), kDepth);
  });
}

TEST(Stack, ResultsOfEveryKind) {
  onContextStack(64 * 1024, [] {
    int x = 5;
    int& r = hs::withStack([&]() -> int& { return x; });
    EXPECT_EQ(&r, &x);
    auto p = hs::withStack([] { return std::make_unique<int>(7); });
    EXPECT_EQ(*p, 7);
    bool ran = false;
    hs::withStack([&] { ran = true; });
    EXPECT_TRUE(ran);
  });
}

}  // namespace
