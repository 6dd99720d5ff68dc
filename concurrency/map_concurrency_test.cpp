#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "vantrel/map/internal/debug.hpp"
#include "vantrel/map/lazy.hpp"

namespace {

namespace L = vantrel::lazy;
using Map = vantrel::HashMap<std::int64_t, std::int64_t>;

// Threads share one map: each reads it, builds its own versions from it (sharing nodes), forces
// deferred values stored in it, and drops what it built. The shared map stays as it was.
TEST(MapConcurrency, SharedMapsAreReadAndExtendedFromManyThreads) {
  std::atomic<int> runs{0};
  Map shared;
  for (std::int64_t i = 0; i < 2000; ++i)
    shared = L::insert(i, hs::Lazy<std::int64_t>::defer([&runs, i] {
                         runs.fetch_add(1);
                         return i * 2;
                       }),
                       shared);
  std::barrier start(8);
  std::vector<std::thread> threads;
  std::atomic<std::int64_t> total{0};
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      Map mine = shared;
      for (std::int64_t i = 0; i < 2000; ++i) {
        total.fetch_add(*L::at(shared, i));
        mine = L::insert(i + 10000 * (t + 1), i, mine);
        if (i % 3 == 0) mine = L::erase(i, mine);
      }
      EXPECT_TRUE(vantrel::internal::debug::valid(mine).isValid());
      EXPECT_EQ(L::size(mine), 2000 + 2000 - 667);
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(runs.load(), 2000);  // each deferred value ran once, whichever thread demanded it
  EXPECT_EQ(total.load(), 8 * 2 * (1999 * 2000 / 2));
  EXPECT_EQ(L::size(shared), 2000);
  EXPECT_TRUE(vantrel::internal::debug::valid(shared).isValid());
}

// Values looked up from a map whose leaves hold them in their own blocks, taken by threads that
// read and drop them while the map itself is being dropped on another thread.
TEST(MapConcurrency, LookedUpValuesOutliveTheirMapOnOtherThreads) {
  using SMap = vantrel::HashMap<std::int64_t, std::string>;
  auto valueOf = [](std::int64_t i) {
    return "a value long enough for the heap " + std::to_string(i);
  };
  for (int round = 0; round < 20; ++round) {
    SMap m;
    for (std::int64_t i = 0; i < 2000; ++i) m = L::insert(i, valueOf(i), std::move(m));
    std::barrier taken(5);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&, t] {
        std::vector<hs::Lazy<std::string>> held;
        for (std::int64_t i = t; i < 2000; i += 4) held.push_back(*L::lookup(i, m));
        taken.arrive_and_wait();
        for (std::size_t j = 0; j < held.size(); ++j) {
          if (*held[j] != valueOf(t + 4 * static_cast<std::int64_t>(j))) wrong.fetch_add(1);
          if (j % 2 == 0) held[j] = hs::Lazy<std::string>(std::string());
        }
      });
    taken.arrive_and_wait();
    m = SMap();
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
  }
}

// Each thread grows and shrinks its own map by moved inserts and erases, in place where nothing
// else holds a node, while the other threads hold and drop maps sharing those nodes: the shared
// map and every snapshot stay as they were.
TEST(MapConcurrency, MapsGivenUpChangeInPlaceOnlyWhereNothingElseHoldsThem) {
  Map shared;
  for (std::int64_t i = 0; i < 2000; ++i) shared = L::insert(i, i, std::move(shared));
  std::barrier start(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      Map mine = shared;
      Map snapshot;
      std::int64_t snapshotSize = 0;
      for (std::int64_t i = 0; i < 2000; ++i) {
        mine = L::insert(i + 10000 * (t + 1), i, std::move(mine));
        if (i % 3 == 0) mine = L::erase(i, std::move(mine));
        if (i % 101 == 0) {
          EXPECT_EQ(L::size(snapshot), snapshotSize);
          snapshot = mine;
          snapshotSize = L::size(mine);
        }
        EXPECT_EQ(*L::at(shared, i), i);
      }
      EXPECT_TRUE(vantrel::internal::debug::valid(mine).isValid());
      EXPECT_EQ(L::size(mine), 2000 + 2000 - 667);
      EXPECT_EQ(L::size(snapshot), snapshotSize);
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(L::size(shared), 2000);
  for (std::int64_t i = 0; i < 2000; ++i) ASSERT_EQ(*L::at(shared, i), i);
  EXPECT_TRUE(vantrel::internal::debug::valid(shared).isValid());
}

}  // namespace
