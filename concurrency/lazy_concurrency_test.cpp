// Deferred cells shared between threads, forced by interleaved coroutines of one thread, and
// forced by threads that end inside a computation.
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "hs/error.hpp"
#include "hs/lazy.hpp"
#include "testing/errors.hpp"
#include "testing/stacks.hpp"

namespace {

constexpr std::int64_t kDepth = testing_support::fullDepth ? 200000 : 20000;

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

// How a thread ends inside a computation.
enum class End { exit, cancel };
int exitValue;
// Set on the thread that is to end: only its frames log being left.
thread_local bool ending = false;

// `depth` deferred cells, each demanding the next from its computation, over 20 deferred
// applications whose innermost argument ends the thread the first time it runs and is 0 after.
struct EndingChain {
  End how;
  std::int64_t depth;
  std::vector<hs::Lazy<std::int64_t>> cells;  // the outermost last
  std::vector<std::int64_t> left;             // the levels the ending thread left, in order
  std::atomic<bool> atBottom{false}, go{false};
  std::atomic<int> bottomRuns{0};

  static constexpr std::int64_t applications = 20;

  struct Level {
    EndingChain& e;
    std::int64_t n;
    ~Level() {
      if (ending) e.left.push_back(n);
    }
  };

  EndingChain(End h, std::int64_t d) : how(h), depth(d) {
    left.reserve(static_cast<std::size_t>(depth) + 2);
    hs::Lazy<std::int64_t> acc = hs::delay([this] {
      const Level level{*this, depth};
      if (bottomRuns.fetch_add(1) == 0) {
        atBottom.store(true);
        while (!go.load()) usleep(100);
        if (how == End::exit) pthread_exit(&exitValue);
        for (;;) {
          pthread_testcancel();
          usleep(100);
        }
      }
      return std::int64_t{0};
    });
    for (std::int64_t i = 0; i < applications; ++i)
      acc = hs::applyLazy([](std::int64_t a) { return a + 1; }, acc);
    cells.reserve(static_cast<std::size_t>(depth) + 1);
    cells.push_back(acc);
    for (std::int64_t n = depth - 1; n >= 0; --n)
      cells.push_back(hs::delay([this, n, next = cells.back()] {
        const Level level{*this, n};
        return *next + 1;
      }));
  }
  [[nodiscard]] std::int64_t value() const { return depth + applications; }
};

// A thread on a small stack demands the chain's outermost cell and ends at its bottom; returns
// what the thread left with (its value or PTHREAD_CANCELED). With `waiter`, another thread
// demands the cell while the first is inside it, and must get the value.
void* endInside(EndingChain& e, bool waiter, std::int64_t& waited) {
  const pthread_t th = testing_support::startThread(
      256 * 1024,
      [](void* p) -> void* {
        auto& e = *static_cast<EndingChain*>(p);
        ending = true;
        const EndingChain::Level outside{e, -1};
        (void)*e.cells.back();
        return nullptr;
      },
      &e);
  while (!e.atBottom.load()) usleep(100);
  std::thread other;
  if (waiter) {
    other = std::thread([&] { waited = *e.cells.back(); });
    usleep(20000);  // long enough, as a rule, for it to be waiting on the cell
  }
  if (e.how == End::cancel) pthread_cancel(th);
  e.go.store(true);
  void* result = nullptr;
  pthread_join(th, &result);
  if (other.joinable()) other.join();
  return result;
}

// A thread that ends inside a computation (pthread_exit, cancellation), at any depth of forcing:
// the thread ends with its value, every computation's frames are left, innermost first, and every
// cell it was evaluating is unevaluated again, so a later demand, or a thread that was waiting,
// runs the computation again. (ThreadSanitizer refuses pthread_exit in a fiber other than the
// thread's, and a deep forcing runs on stack segments, each one for it; cancellation it takes.)
TEST(LazyConcurrency, ThreadsEndInsideComputations) {
  struct Case {
    End how;
    std::int64_t depth;
    bool waiter;
  };
  for (const Case& c : {Case{End::exit, 1, false}, Case{End::exit, kDepth / 4, false},
                        Case{End::exit, kDepth / 4, true}, Case{End::cancel, 1, false},
                        Case{End::cancel, kDepth / 4, false}, Case{End::cancel, kDepth / 4, true}}) {
    if (c.how == End::exit && testing_support::threadSanitizer) continue;
    SCOPED_TRACE(testing::Message() << (c.how == End::exit ? "exit" : "cancel") << " at " << c.depth
                                    << (c.waiter ? ", waited on" : ""));
    EndingChain e(c.how, c.depth);
    std::int64_t waited = -1;
    void* const result = endInside(e, c.waiter, waited);
    EXPECT_EQ(result, c.how == End::exit ? static_cast<void*>(&exitValue) : PTHREAD_CANCELED);
    std::vector<std::int64_t> expected;
    for (std::int64_t n = c.depth; n >= -1; --n) expected.push_back(n);
    EXPECT_EQ(e.left, expected);
    if (c.waiter) {
      EXPECT_EQ(waited, e.value());
    } else {
      for (const auto& cell : e.cells) ASSERT_FALSE(cell.settled());
      EXPECT_EQ(*e.cells.back(), e.value());
    }
    EXPECT_EQ(e.bottomRuns.load(), 2);
  }
}

// n deferred cells over an evaluated 0, each demanding the one below from its computation and
// adding 1; every `every` levels the computation first passes the thread to the other coroutine.
// The top is last.
std::vector<hs::Lazy<std::int64_t>> yieldingChain(std::int64_t n, std::int64_t every) {
  std::vector<hs::Lazy<std::int64_t>> cells;
  cells.reserve(static_cast<std::size_t>(n) + 1);
  cells.emplace_back(std::int64_t{0});
  for (std::int64_t i = 1; i <= n; ++i)
    cells.push_back(hs::delay([below = cells.back(), i, every] {
      if (i % every == 0) testing_support::yieldCoroutine();
      return *below + 1;
    }));
  return cells;
}

// A cell whose computation demands, through `depth` cells, the cell itself.
struct LoopCell {
  std::shared_ptr<std::optional<hs::Lazy<std::int64_t>>> self =
      std::make_shared<std::optional<hs::Lazy<std::int64_t>>>();
  hs::Lazy<std::int64_t> cell{std::int64_t{0}};
  explicit LoopCell(std::int64_t depth) {
    hs::Lazy<std::int64_t> below = hs::delay([s = self] { return (*s)->force(); });
    for (std::int64_t i = 0; i < depth; ++i) below = hs::delay([below] { return *below + 1; });
    cell = below;
    *self = cell;
  }
  LoopCell(const LoopCell&) = delete;
  LoopCell& operator=(const LoopCell&) = delete;
  ~LoopCell() { self->reset(); }
};

const std::string conflict = "hs::Lazy: demanded while another coroutine of this thread is evaluating it";

// Two coroutines of one thread force deep chains, each passing the thread to the other from inside
// its computations, so that their forcings start and end in every order: both get their values, and
// the thread's later forcings still wait for a cell another thread is evaluating, report loops and
// force chains.
TEST(LazyConcurrency, CoroutinesInterleaveForcings) {
  struct Case {
    std::int64_t first, second, every;
  };
  for (const Case& c : {Case{kDepth / 2, kDepth / 3, 7}, Case{kDepth / 3, kDepth / 2, 1},
                        Case{kDepth / 3, kDepth / 2, 1000}}) {
    SCOPED_TRACE(testing::Message() << c.first << " and " << c.second << ", yielding every " << c.every);
    const auto first = yieldingChain(c.first, c.every);
    const auto second = yieldingChain(c.second, c.every + 1);
    std::int64_t a = -1, b = -1;
    testing_support::runCoroutines(64 * 1024, {[&] { a = *first.back(); }, [&] { b = *second.back(); }});
    EXPECT_EQ(a, c.first);
    EXPECT_EQ(b, c.second);

    std::atomic<bool> started{false};
    const hs::Lazy<int> elsewhere = hs::delay([&] {
      started.store(true);
      usleep(10000);
      return 5;
    });
    std::thread other([&] { (void)*elsewhere; });
    while (!started.load()) usleep(100);
    EXPECT_EQ(*elsewhere, 5);
    other.join();
    for (std::int64_t depth : {std::int64_t{0}, kDepth / 4}) {
      const LoopCell loop(depth);
      EXPECT_EQ(testing_support::programError([&] { (void)*loop.cell; }), "<<loop>>") << depth;
    }
    EXPECT_EQ(*yieldingChain(kDepth / 2, kDepth).back(), kDepth / 2);
  }
}

// One coroutine is deep inside the computation of a cell when the other demands it, directly,
// from a computation, as a declared argument, or at the bottom of a deep chain. It cannot wait:
// the demand fails with a program error at once and settles nothing, so the same demands succeed
// once the first coroutine is done, and a computation may catch the error and try again after
// passing the thread on. Loops, shallow or deep, are still loops meanwhile, and stay so.
TEST(LazyConcurrency, CoroutineDemandsACellAnotherOneIsEvaluating) {
  // busy is a chain of cells whose bottom passes the thread on the first time it runs; the first
  // coroutine demands it from deep inside a chain of its own.
  bool yielded = false;
  hs::Lazy<std::int64_t> busy = hs::delay([&] {
    if (!yielded) {
      yielded = true;
      testing_support::yieldCoroutine();
    }
    return std::int64_t{0};
  });
  for (std::int64_t i = 0; i < kDepth / 2; ++i) busy = hs::delay([busy] { return *busy + 1; });
  const std::int64_t busyValue = kDepth / 2;
  const hs::Lazy<std::int64_t> top = hs::delay([&] {
    hs::Lazy<std::int64_t> deep = busy;
    for (std::int64_t i = 0; i < kDepth / 2; ++i) deep = hs::delay([deep] { return *deep + 1; });
    return *deep;
  });

  const hs::Lazy<std::int64_t> computed = hs::delay([&] { return *busy + 1; });
  const hs::Lazy<std::int64_t> applied = hs::applyLazy([](std::int64_t x) { return x + 1; }, busy);
  hs::Lazy<std::int64_t> deepAbove = busy;
  for (std::int64_t i = 0; i < kDepth / 2; ++i) deepAbove = hs::delay([deepAbove] { return *deepAbove + 1; });
  const hs::Lazy<std::int64_t> patient = hs::delay([&] {
    for (;;) {
      try {
        return *busy + 1;
      } catch (const hs::ProgramError&) {
        testing_support::yieldCoroutine();
      }
    }
  });
  const LoopCell shallowLoop(0), deepLoop(kDepth / 2);
  struct Case {
    const char* name;
    const hs::Lazy<std::int64_t>* cell;
    std::int64_t value;
  };
  const Case cases[] = {{"the cell", &busy, busyValue},
                        {"from a computation", &computed, busyValue + 1},
                        {"as an argument", &applied, busyValue + 1},
                        {"deep below", &deepAbove, busyValue + kDepth / 2}};

  std::int64_t topValue = -1, patientValue = -1;
  testing_support::runCoroutines(
      64 * 1024, {[&] { topValue = *top; },
                  [&] {
                    for (const Case& c : cases) {
                      EXPECT_EQ(testing_support::programError([&] { (void)**c.cell; }), conflict) << c.name;
                      EXPECT_FALSE(c.cell->settled()) << c.name;
                    }
                    EXPECT_EQ(testing_support::programError([&] { (void)*shallowLoop.cell; }), "<<loop>>");
                    EXPECT_EQ(testing_support::programError([&] { (void)*deepLoop.cell; }), "<<loop>>");
                    patientValue = *patient;
                  }});
  EXPECT_EQ(topValue, busyValue + kDepth / 2);
  EXPECT_EQ(patientValue, busyValue + 1);
  for (const Case& c : cases) EXPECT_EQ(**c.cell, c.value) << c.name;
  EXPECT_EQ(testing_support::programError([&] { (void)*shallowLoop.cell; }), "<<loop>>");
  EXPECT_EQ(testing_support::programError([&] { (void)*deepLoop.cell; }), "<<loop>>");
}

}  // namespace
