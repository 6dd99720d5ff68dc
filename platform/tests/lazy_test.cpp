#include <gtest/gtest.h>

#include <any>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>

#include "hs/error.hpp"
#include "hs/lazy.hpp"
#include "hs/unit.hpp"

namespace {

TEST(Lazy, EvaluatedCellHoldsItsValue) {
  hs::Lazy<int> a = 5;
  EXPECT_TRUE(a.evaluated());
  EXPECT_EQ(*a, 5);
  hs::Lazy<std::string> s = "text";
  EXPECT_EQ(s->size(), 4u);
}

TEST(Lazy, ComputationRunsOnceOnFirstDemand) {
  int runs = 0;
  auto a = hs::delay([&] { return ++runs * 10; });
  EXPECT_EQ(runs, 0);
  EXPECT_FALSE(a.evaluated());
  auto b = a;  // a copy shares the cell
  EXPECT_TRUE(hs::ptrEq(a, b));
  EXPECT_EQ(*b, 10);
  EXPECT_EQ(*a, 10);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(a.evaluated());
}

// A computation that returns a reference gives a cell of its own copy, never a reference to
// something that may be gone by the time the cell is read.
TEST(Lazy, ComputationReturningAReferenceHoldsACopy) {
  std::string source = "before";
  auto a = hs::delay([&]() -> const std::string& { return source; });
  auto b = hs::applyLazy([&](const int&) -> std::string& { return source; }, hs::Lazy<int>(1));
  static_assert(std::is_same_v<decltype(a), hs::Lazy<std::string>>);
  static_assert(std::is_same_v<decltype(b), hs::Lazy<std::string>>);
  EXPECT_EQ(*a, "before");
  EXPECT_EQ(*b, "before");
  source = "after";
  EXPECT_EQ(*a, "before");
  EXPECT_EQ(*b, "before");
}

TEST(Lazy, ThrowingComputationRethrowsWithoutRunningAgain) {
  int runs = 0;
  auto a = hs::delay([&]() -> int {
    ++runs;
    throw std::runtime_error("boom");
  });
  for (int i = 0; i < 3; ++i) EXPECT_THROW(a.force(), std::runtime_error);
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(a.settled());
  EXPECT_FALSE(a.evaluated());
}

TEST(Lazy, ApplicationForcesItsDependenciesAndPropagatesTheirFailure) {
  hs::Lazy<int> x = 2;
  auto bad = hs::delay([]() -> int { throw std::runtime_error("dep"); });
  auto sum = hs::applyLazy([](int a, int b) { return a + b; }, x, x);
  auto broken = hs::applyLazy([](int a, int b) { return a + b; }, x, bad);
  EXPECT_EQ(*sum, 4);
  EXPECT_THROW(broken.force(), std::runtime_error);
}

// A value type that can be made from a pointer must not take the new cell as its value.
TEST(Lazy, DeferredCellsOfPointerConstructibleTypesHoldTheirComputation) {
  int runs = 0;
  const auto b = hs::Lazy<bool>::defer([&] {
    ++runs;
    return false;
  });
  EXPECT_FALSE(b.force());
  const auto a = hs::Lazy<std::any>::apply([](int x) { return std::any(x + 1); }, hs::Lazy<int>(1));
  EXPECT_EQ(std::any_cast<int>(a.force()), 2);
  static const auto never = hs::Lazy<bool>::immortal(false);  // never freed
  EXPECT_FALSE(never.force());
  EXPECT_EQ(runs, 1);
}

TEST(Lazy, DistinctCellsAreNotPointerEqual) {
  hs::Lazy<int> a = 1, b = 1;
  EXPECT_FALSE(hs::ptrEq(a, b));
}

// A million deferred applications, each needing the previous one: forcing and freeing the chain
// must run in constant stack.
TEST(Lazy, LongChainsForceAndFreeWithoutDeepRecursion) {
  constexpr int n = 1'000'000;
  hs::Lazy<long> acc = 0L;
  for (int i = 0; i < n; ++i) acc = hs::applyLazy([](long a) { return a + 1; }, acc);
  EXPECT_EQ(*acc, n);

  hs::Lazy<long> unforced = 0L;
  for (int i = 0; i < n; ++i) unforced = hs::applyLazy([](long a) { return a + 1; }, unforced);
  // Dropped without ever being forced: the destructor must not recurse either.
}

TEST(Lazy, ComputationDemandingItselfIsALoop) {
  auto holder = std::make_shared<std::optional<hs::Lazy<int>>>();
  hs::Lazy<int> self = hs::delay([holder]() -> int { return (*holder)->force() + 1; });
  *holder = self;
  EXPECT_THROW(self.force(), hs::ProgramError);
  EXPECT_THROW(self.force(), hs::ProgramError);
  holder->reset();  // break the cycle so the cell is freed
}

// A deferred application over a deferred value: freeing it frees a second cell from inside the
// first one's destructor.
hs::Lazy<int> twoCellChain() {
  return hs::applyLazy([](int x) { return x + 1; }, hs::delay([] { return 1; }));
}

// Cells with thread or static storage are freed after the thread's own state of the runtime is
// gone: at thread exit, or at process exit after the main thread's.
TEST(Lazy, CellsOfThreadStorageAreFreedAtThreadExit) {
  std::thread([] {
    thread_local hs::Lazy<int> held = twoCellChain();
    (void)twoCellChain();  // frees a chain after held was built
    (void)held;
  }).join();
}
TEST(LazyDeathTest, CellsOfStaticStorageAreFreedAtProcessExit) {
  EXPECT_EXIT(
      {
        (void)twoCellChain();
        static hs::Lazy<int> held = twoCellChain();
        (void)held;
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(Lazy, UnitCellIsOneSharedObject) {
  EXPECT_TRUE(hs::ptrEq(hs::unitCell(), hs::unitCell()));
  EXPECT_EQ(*hs::unitCell(), hs::unit);
}

}  // namespace
