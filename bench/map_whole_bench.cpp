// Whole-map union, intersection and difference, next to the same results built one key at a time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench_support.hpp"

namespace {

using namespace bench;

// ---- Whole-map operations --------------------------------------------------------------------
// Two maps of n keys each: overlapping (the second map's keys are the upper half of the first's
// and as many new ones) or disjoint. Each operation runs next to the same result built by
// single-key operations.

using IntMap = vantrel::HashMap<std::int64_t, std::int64_t>;

struct MapPair {
  IntMap first, second;
  std::unordered_map<std::int64_t, std::int64_t> stdFirst, stdSecond;
};

const MapPair& mapPair(std::size_t n, bool overlapping) {
  static std::unordered_map<std::size_t, MapPair> cache[2];
  MapPair& p = cache[overlapping][n];
  if (L::null(p.first)) {
    std::vector<std::pair<std::int64_t, std::int64_t>> a, b;
    const std::size_t from = overlapping ? n / 2 : n;
    for (std::size_t i = 0; i < n; ++i) a.emplace_back(makeKey<std::int64_t>(i), 1);
    for (std::size_t i = from; i < from + n; ++i) b.emplace_back(makeKey<std::int64_t>(i), 2);
    p.first = L::fromList(a);
    p.second = L::fromList(b);
    p.stdFirst.insert(a.begin(), a.end());
    p.stdSecond.insert(b.begin(), b.end());
  }
  return p;
}

// Times op(pair), freeing its result outside the timed region.
template <class Op>
void timeMapOp(benchmark::State& state, Op op) {
  const MapPair& p = mapPair(static_cast<std::size_t>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    IntMap r = op(p);
    benchmark::DoNotOptimize(r);
    state.PauseTiming();
    r = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}

void BM_TrieUnion(benchmark::State& state) {
  timeMapOp(state, [](const MapPair& p) { return L::union_(p.first, p.second); });
}
// The second map with every pair of the first inserted: the first map's values win.
void BM_TrieUnionByInsert(benchmark::State& state) {
  timeMapOp(state, [](const MapPair& p) {
    IntMap m = p.second;
    for (const auto& r : p.first) m = L::insert(r.key, r.value, m);
    return m;
  });
}
void BM_TrieUnionByInsertMoved(benchmark::State& state) {
  timeMapOp(state, [](const MapPair& p) {
    IntMap m = p.second;
    for (const auto& r : p.first) m = L::insert(r.key, r.value, std::move(m));
    return m;
  });
}
// std::unordered_map::merge moves the nodes of keys the target lacks; the copies it consumes are
// made outside the timed region.
void BM_StdMerge(benchmark::State& state) {
  const MapPair& p = mapPair(static_cast<std::size_t>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    state.PauseTiming();
    auto a = p.stdFirst, b = p.stdSecond;
    state.ResumeTiming();
    a.merge(b);
    benchmark::DoNotOptimize(a);
    state.PauseTiming();
    a = {};
    b = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}
void BM_TrieIntersection(benchmark::State& state) {
  timeMapOp(state, [](const MapPair& p) { return L::intersection(p.first, p.second); });
}
// The first map with every key the second lacks erased.
void BM_TrieIntersectionByErase(benchmark::State& state) {
  timeMapOp(state, [](const MapPair& p) {
    IntMap m = p.first;
    for (const auto& r : p.first)
      if (!L::member(r.key, p.second)) m = L::erase(r.key, m);
    return m;
  });
}
void BM_TrieDifference(benchmark::State& state) {
  timeMapOp(state, [](const MapPair& p) { return L::difference(p.first, p.second); });
}
// The first map with every key of the second erased.
void BM_TrieDifferenceByErase(benchmark::State& state) {
  timeMapOp(state, [](const MapPair& p) {
    IntMap m = p.first;
    for (const auto& r : p.second) m = L::erase(r.key, m);
    return m;
  });
}

#define PAIRS ->ArgsProduct({{100000, 1000000}, {1, 0}})->ArgNames({"n", "overlap"})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_TrieUnion) PAIRS;
BENCHMARK(BM_TrieUnionByInsert) PAIRS;
BENCHMARK(BM_TrieUnionByInsertMoved) PAIRS;
BENCHMARK(BM_StdMerge) PAIRS;
BENCHMARK(BM_TrieIntersection) PAIRS;
BENCHMARK(BM_TrieIntersectionByErase) PAIRS;
BENCHMARK(BM_TrieDifference) PAIRS;
BENCHMARK(BM_TrieDifferenceByErase) PAIRS;

}  // namespace
