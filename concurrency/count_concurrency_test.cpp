#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "hs/bytes.hpp"
#include "hs/internal/count.hpp"
#include "hs/lazy.hpp"
#include "hs/th/syntax.hpp"
#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

namespace L = vantrel::lazy;
namespace th = hs::th;

// A value that counts its live copies: a count stepped wrong shows as one freed too early (ASan,
// or fewer live) or never (more live at the end).
struct Tracked {
  static std::atomic<int> live;
  explicit Tracked(std::int64_t x) : v(x) { live.fetch_add(1); }
  Tracked(const Tracked& o) : v(o.v) { live.fetch_add(1); }
  Tracked& operator=(const Tracked&) = default;
  ~Tracked() { live.fetch_sub(1); }
  std::int64_t v;
};
std::atomic<int> Tracked::live{0};

using TMap = vantrel::HashMap<std::int64_t, Tracked>;
using IMap = vantrel::HashMap<std::int64_t, std::int64_t>;

std::uint32_t countOf(const hs::Lazy<std::int64_t>& l) {
  return hs::detail::cellOf(l)->refs_.load();
}

// Maps, cells, byte strings and types made while the process has one thread (counted without
// locked instructions), then copied, updated and dropped by threads started afterwards (counted
// atomically). ctest runs each test in a process of its own, so this one starts single-threaded.
TEST(CountPhases, ValuesMadeBeforeTheFirstThreadAreSharedByLaterThreads) {
  const bool startedAlone = hs::internal::singleThreaded();
  RecordProperty("started_single_threaded", startedAlone ? "yes" : "no");
  constexpr std::int64_t n = 3000;
  {
    std::vector<TMap> versions;
    {
      TMap m;
      for (std::int64_t i = 0; i < n; ++i) {
        m = L::insert(i, Tracked(i * 3), m);
        if (i % 1000 == 999) versions.push_back(m);
      }
    }
    std::atomic<int> runs{0};
    IMap deferred;
    for (std::int64_t i = 0; i < n; ++i)
      deferred = L::insert(i, hs::Lazy<std::int64_t>::defer([&runs, i] {
                             runs.fetch_add(1);
                             return i + 7;
                           }),
                           deferred);
    hs::Lazy<std::int64_t> chain = std::int64_t{0};
    for (int i = 0; i < 500; ++i) chain = hs::applyLazy([](std::int64_t a) { return a + 2; }, chain);
    const hs::ByteString bytes(std::string(300, 'z'));
    th::Type type = th::ConT{th::mkName("Int")};
    for (int i = 0; i < 100; ++i) type = th::AppT{th::ConT{th::mkName("Maybe")}, type};
    const th::Type typeCopy = type;
    EXPECT_EQ(Tracked::live.load(), n);

    constexpr int threads = 4;
    std::barrier start(threads + 1);
    std::vector<std::thread> pool;
    std::atomic<int> wrong{0};
    for (int t = 0; t < threads; ++t)
      pool.emplace_back([&, t] {
        // Taken before the start, while the main thread still leaves the handles alone.
        TMap base = versions[static_cast<std::size_t>(t % 3)];
        th::Type baseType = type;
        start.arrive_and_wait();
        for (int round = 0; round < 3; ++round) {
          TMap mine = base;
          const std::int64_t size = L::size(mine);
          for (std::int64_t i = 0; i < 400; ++i) {
            mine = L::insert(n + i * threads + t, Tracked(-i), mine);
            if (i % 5 == 0) mine = L::erase(i * 2, mine);
          }
          if (!vantrel::internal::debug::valid(mine).isValid() || L::size(mine) != size + 400 - 80)
            wrong.fetch_add(1);
          for (std::int64_t i = 1; i < size; i += 5)
            if (L::at(mine, i)->v != i * 3) wrong.fetch_add(1);
          IMap d = deferred;
          for (std::int64_t i = t; i < n; i += 7) {
            if (*L::at(d, i) != i + 7) wrong.fetch_add(1);
            if (i % 2 == 0) d = L::erase(i, d);
          }
          if (*chain != 1000) wrong.fetch_add(1);
          const hs::ByteString part = bytes.drop(static_cast<std::size_t>(t + round));
          if (part.size() != 300 - static_cast<std::size_t>(t + round) || part[0] != 'z') wrong.fetch_add(1);
          const th::Type mineT = baseType;
          if (!(mineT == typeCopy)) wrong.fetch_add(1);
        }
      });
    start.arrive_and_wait();
    EXPECT_FALSE(hs::internal::singleThreaded());
    // Some nodes and cells are now last held by the threads.
    versions[0] = TMap();
    type = th::StarT{};
    for (auto& th : pool) th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(runs.load(), n);  // each deferred value ran at most once, whichever thread forced it
    EXPECT_EQ(Tracked::live.load(), n);
    // Every count back to the holders left: one handle to each version's root, one to each cell.
    for (std::size_t k = 1; k < versions.size(); ++k)
      EXPECT_TRUE(vantrel::internal::soleHolder(versions[k])) << k;
    versions[1] = TMap();
    EXPECT_TRUE(vantrel::internal::soleHolder(versions[2]));
    for (const auto& e : versions[2]) EXPECT_EQ(hs::detail::cellOf(e.value)->refs_.load(), 1U);
    for (std::int64_t i = 0; i < n; i += 97) EXPECT_EQ(countOf(*L::lookup(i, deferred)), 2U);
    EXPECT_EQ(countOf(chain), 1U);
    EXPECT_TRUE(vantrel::internal::debug::valid(versions[2]).isValid());
  }
  EXPECT_EQ(Tracked::live.load(), 0);
}

// ---- The first thread started from inside a drop ------------------------------------------

// A value whose destructor, once armed, starts the process's first threads: they copy paths of
// another map, which shares the sub-nodes that the drop is still counting down.
struct Starter {
  static inline std::atomic<int> live{0};
  static inline std::function<void()> onDrop;
  explicit Starter(bool a) : arms(a) { live.fetch_add(1); }
  Starter(const Starter& o) : arms(o.arms) { live.fetch_add(1); }
  Starter& operator=(const Starter&) = default;
  ~Starter() {
    live.fetch_sub(1);
    if (arms && onDrop) std::exchange(onDrop, nullptr)();
  }
  bool arms;
};
using SMap = vantrel::HashMap<std::int64_t, Starter>;

// Whether every node of m is held by one handle only.
bool eachNodeHeldOnce(const SMap& m) {
  namespace I = vantrel::internal;
  if (I::kindOf(m) == I::Kind::Empty) return true;
  if (I::Node::object(m)->refs.load() != 1) return false;
  if (I::kindOf(m) != I::Kind::BitmapIndexed && I::kindOf(m) != I::Kind::Full) return true;
  const auto& b = I::branchOf(m);
  for (std::uint32_t i = 0; i < b.nsub(); ++i)
    if (!eachNodeHeldOnce(b.subs()[i])) return false;
  return true;
}

// Exit codes of one run in a child process.
constexpr int startedThreaded = 77, countsWrong = 3;

// Drops a map whose first-dropped sub-node holds the Starter, while `other` shares the rest;
// the threads copy paths of `other` meanwhile. Exits with 0 when every count came out right.
[[noreturn]] void dropStartingTheFirstThread() {
  if (!hs::internal::singleThreaded()) std::exit(startedThreaded);
  constexpr std::int64_t n = 4000;
  // The key of the first sub-node freed at the two top levels (sub-nodes go last first).
  std::int64_t armed = 0;
  while ((vantrel::internal::hash(armed) & 0x3ff) != 0x3ff) ++armed;
  std::vector<std::thread> pool;
  std::atomic<bool> stop{false};
  {
    SMap dropped;
    for (std::int64_t i = 0; i < n; ++i) dropped = L::insert(i, Starter(i == armed), std::move(dropped));
    const SMap other = L::erase(armed, dropped);
    Starter::onDrop = [&] {
      std::atomic<int> ready{0};
      for (int t = 0; t < 3; ++t)
        pool.emplace_back([&, t] {
          for (std::int64_t i = 0; !stop.load(); ++i) {
            const SMap copy = L::insert(n + i * 3 + t, Starter(false), other);
            if (i == 0) ready.fetch_add(1);
          }
        });
      while (ready.load() < 3) std::this_thread::yield();
    };
    dropped = SMap();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    stop = true;
    for (auto& t : pool) t.join();
    if (pool.size() != 3 || !eachNodeHeldOnce(other) || L::size(other) != n - 1) std::exit(countsWrong);
  }
  std::exit(Starter::live.load() == 0 ? 0 : countsWrong);
}

// Each run needs a process that has had no thread yet: a child that starts the program afresh.
TEST(CountPhases, FirstThreadStartedByADestructorDuringADrop) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  bool threaded = false;
  for (int run = 0; run < 50; ++run) {
    EXPECT_EXIT(dropStartingTheFirstThread(),
                [&](int status) {
                  if (WIFEXITED(status) && WEXITSTATUS(status) == startedThreaded) threaded = true;
                  return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || threaded);
                },
                "")
        << "run " << run;
    if (threaded) GTEST_SKIP() << "the program starts with more than one thread";
  }
}

}  // namespace
