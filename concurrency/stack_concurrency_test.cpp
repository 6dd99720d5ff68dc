// Stack segments are per thread: threads that recurse deeply at once, exit with segments cached,
// or recurse while their thread_local objects are destroyed, each keep to their own. Coroutines
// of one thread interleave their walks, and a thread may end (pthread_exit, cancellation) at any
// depth of one.
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <thread>
#include <vector>

#include "hs/hashable.hpp"
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

// A walk whose levels hand the thread to the other coroutine now and then, from inside the
// helper's callback; one throws at the bottom.
std::int64_t downYielding(std::int64_t n, std::int64_t every, bool throwAtBottom) {
  if (n == 0) {
    if (throwAtBottom) throw std::runtime_error("bottom");
    return 0;
  }
  return hs::withStack([=] {
    if (n % every == 0) testing_support::yieldCoroutine();
    return downYielding(n - 1, every, throwAtBottom) + 1;
  });
}

// A chain hashed through the helper, whose hash yields now and then.
struct Link {
  const Link* next;
  std::int64_t every;
};

}  // namespace

template <>
struct hs::Hashable<Link> {
  static std::int64_t hashWithSalt(std::int64_t salt, const Link& l) {
    if (salt % l.every == 0) testing_support::yieldCoroutine();
    const std::int64_t h = hs::saltedWordHash(salt, 7);
    return l.next == nullptr ? h : hs::hashWithSalt(h, *l.next);
  }
};

namespace {

std::vector<Link> chain(std::int64_t n, std::int64_t every) {
  std::vector<Link> links(static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < links.size(); ++i)
    links[i] = Link{i + 1 < links.size() ? &links[i + 1] : nullptr, every};
  return links;
}

// Two walks on coroutine stacks of one thread, each passing the thread to the other from inside
// its levels, so that they start, grow and end in every order; the thread's walks go on after.
TEST(StackConcurrency, CoroutinesInterleaveDeepWalks) {
  struct Case {
    std::int64_t first, second, every;
  };
  for (const Case& c : {Case{kDepth, kDepth / 3, 1000}, Case{kDepth / 3, kDepth, 999}, Case{kDepth, kDepth, 1},
                        Case{kDepth / 2, kDepth, 7}}) {
    SCOPED_TRACE(testing::Message() << c.first << " and " << c.second << ", every " << c.every);
    std::int64_t first = -1, second = -1;
    testing_support::runCoroutines(64 * 1024, {[&] { first = downYielding(c.first, c.every, false); },
                                               [&] { second = downYielding(c.second, c.every, false); }});
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);
    EXPECT_EQ(down(kDepth), kDepth);
  }
  // One walk throws from its bottom while the other is deep in its own.
  bool thrown = false;
  std::int64_t other = -1;
  testing_support::runCoroutines(64 * 1024, {[&] {
                                               try {
                                                 (void)downYielding(kDepth / 2, 500, true);
                                               } catch (const std::runtime_error&) {
                                                 thrown = true;
                                               }
                                             },
                                             [&] { other = downYielding(kDepth, 700, false); }});
  EXPECT_TRUE(thrown);
  EXPECT_EQ(other, kDepth);
  // Hashing: the hash of a chain is the same when two hashes of it interleave.
  const std::vector<Link> links = chain(kDepth, 3);
  const std::int64_t alone = hs::hashWithSalt(1, links[0]);
  std::int64_t h1 = 0, h2 = 0;
  testing_support::runCoroutines(64 * 1024, {[&] { h1 = hs::hashWithSalt(1, links[0]); },
                                             [&] { h2 = hs::hashWithSalt(1, links[kDepth / 4]); }});
  EXPECT_EQ(h1, alone);
  EXPECT_EQ(h2, hs::hashWithSalt(1, links[kDepth / 4]));
  EXPECT_EQ(down(kDepth), kDepth);
}

// How a thread ends at the bottom of a walk.
enum class End { exit, cancel };

// Logs the order in which the levels of a walk are left.
struct Level {
  std::vector<std::int64_t>* left;
  std::int64_t n;
  ~Level() { left->push_back(n); }
};

struct Ending {
  std::int64_t depth;
  End how;
  std::vector<std::int64_t> left;
  std::atomic<bool> atBottom{false};
};
int exitValue;

void downThenEnd(Ending& e, std::int64_t n) {
  const Level level{&e.left, n};
  if (n == e.depth) {
    if (e.how == End::exit) pthread_exit(&exitValue);
    e.atBottom.store(true);
    for (;;) {
      pthread_testcancel();
      usleep(100);
    }
  }
  try {
    hs::withStack([&] { downThenEnd(e, n + 1); });
  } catch (...) {
    // A caller's handler that passes the unwind on, on each level, segment or not.
    throw;
  }
}

// A thread on a small stack that goes down `depth` levels and ends there; returns what it left
// with (its value or PTHREAD_CANCELED) and the order its levels were left in, the frame that
// started the walk (-1) last.
void* endAtDepth(Ending& e) {
  e.left.reserve(static_cast<std::size_t>(e.depth) + 2);
  const pthread_t th = testing_support::startThread(
      256 * 1024,
      [](void* p) -> void* {
        auto& e = *static_cast<Ending*>(p);
        const Level outside{&e.left, -1};
        downThenEnd(e, 0);
        return nullptr;
      },
      &e);
  if (e.how == End::cancel) {
    while (!e.atBottom.load()) usleep(100);
    pthread_cancel(th);
  }
  void* result = nullptr;
  pthread_join(th, &result);
  return result;
}

// pthread_exit or cancellation at any depth of a walk ends the thread: every level's destructor
// runs, innermost first, on segments and on the thread's stack, and the segments are given back.
// (ThreadSanitizer refuses pthread_exit called in a fiber other than the thread's, and each
// segment is one for it; cancellation it takes.)
TEST(StackConcurrency, ThreadsEndAtAnyDepth) {
  for (End how : {End::exit, End::cancel}) {
    if (how == End::exit && testing_support::threadSanitizer) continue;
    for (std::int64_t depth : {std::int64_t{10}, kDepth / 10, kDepth}) {
      SCOPED_TRACE(testing::Message() << (how == End::exit ? "exit" : "cancel") << " at " << depth);
      Ending e{depth, how, {}};
      void* const result = endAtDepth(e);
      EXPECT_EQ(result, how == End::exit ? static_cast<void*>(&exitValue) : PTHREAD_CANCELED);
      std::vector<std::int64_t> expected;
      for (std::int64_t n = depth; n >= -1; --n) expected.push_back(n);
      EXPECT_EQ(e.left, expected);
    }
  }
  // The segments of ended walks are not kept: many more ends than a thread caches map no more.
  auto endDeep = [](End how) {
    Ending e{kDepth, how, {}};
    (void)endAtDepth(e);
  };
  const End second = testing_support::threadSanitizer ? End::cancel : End::exit;
  endDeep(End::cancel);
  endDeep(second);
  const std::size_t before = testing_support::mappedBytes();
  for (int round = 0; round < 8; ++round) endDeep(round % 2 == 0 ? End::cancel : second);
  EXPECT_LT(testing_support::mappedBytes(), before + 4 * hs::stackSegmentSize);
}

}  // namespace
