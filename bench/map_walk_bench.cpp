// Whole-map walks (filter, folds) next to the same results computed one key at a time.
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

// Whole-map walks next to the same result computed one key at a time.

template <class K>
vantrel::HashMap<K, std::int64_t> indexedTrieOf(std::size_t n) {
  std::vector<std::pair<K, std::int64_t>> pairs;
  std::int64_t i = 0;
  for (const K& k : keys<K>(n)) pairs.emplace_back(k, i++);
  return L::fromList(pairs);
}
bool keepEven(std::int64_t v) { return v % 2 == 0; }

template <class K>
void BM_TrieFilter(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = indexedTrieOf<K>(n);
  for (auto _ : state) {
    auto r = L::filter(keepEven, m);
    benchmark::DoNotOptimize(r);
    state.PauseTiming();
    r = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
// The same result by erasing every key whose value fails, one erase at a time.
template <class K>
void BM_TrieFilterByErase(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = indexedTrieOf<K>(n);
  for (auto _ : state) {
    auto r = m;
    std::int64_t i = 0;
    for (const K& k : keys<K>(n))
      if (!keepEven(i++)) r = L::erase(k, r);
    benchmark::DoNotOptimize(r);
    state.PauseTiming();
    r = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
// Times fold(m) over a map of n keys whose values are 0 .. n - 1.
template <class K, class Fold>
void timeFold(benchmark::State& state, Fold fold) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = indexedTrieOf<K>(n);
  for (auto _ : state) benchmark::DoNotOptimize(fold(m));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieFoldlStrict(benchmark::State& state) {
  timeFold<K>(state, [](const auto& m) {
    return L::foldl_([](std::int64_t a, std::int64_t v) { return a + v; }, std::int64_t{0}, m);
  });
}
template <class K>
void BM_TrieFoldrStrict(benchmark::State& state) {
  timeFold<K>(state, [](const auto& m) {
    return L::foldr_([](std::int64_t v, std::int64_t a) { return a + v; }, std::int64_t{0}, m);
  });
}
template <class K>
void BM_TrieFoldMap(benchmark::State& state) {
  timeFold<K>(state, [](const auto& m) {
    return L::foldMap([](std::int64_t v) { return hs::Sum<std::int64_t>{v}; }, m).value;
  });
}
// The same sum by looking every key up.
template <class K>
void BM_TrieSumByLookup(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = indexedTrieOf<K>(n);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (const K& k : keys<K>(n)) sum += *L::at(m, k);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

#define WALK_SIZES ->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_TrieFilter<std::int64_t>) WALK_SIZES;
BENCHMARK(BM_TrieFilterByErase<std::int64_t>) WALK_SIZES;
BENCHMARK(BM_TrieFoldlStrict<std::int64_t>) WALK_SIZES;
BENCHMARK(BM_TrieFoldrStrict<std::int64_t>) WALK_SIZES;
BENCHMARK(BM_TrieFoldMap<std::int64_t>) WALK_SIZES;
BENCHMARK(BM_TrieSumByLookup<std::int64_t>) WALK_SIZES;
BENCHMARK(BM_TrieFilter<std::string>) WALK_SIZES;
BENCHMARK(BM_TrieFilterByErase<std::string>) WALK_SIZES;
BENCHMARK(BM_TrieFoldlStrict<std::string>) WALK_SIZES;
BENCHMARK(BM_TrieFoldMap<std::string>) WALK_SIZES;
BENCHMARK(BM_TrieSumByLookup<std::string>) WALK_SIZES;

}  // namespace
