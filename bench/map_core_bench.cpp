// Single-key operations and bulk construction: the trie against std::unordered_map.
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

template <class K>
void BM_TrieLookupHit(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = trieOf<K>(n);
  for (auto _ : state)
    for (const K& k : keys<K>(n)) benchmark::DoNotOptimize(L::member(k, m));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieLookupMiss(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = trieOf<K>(n);
  for (auto _ : state)
    for (const K& k : keys<K>(n, 1)) benchmark::DoNotOptimize(L::member(k, m));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieInsert(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  keys<K>(n);
  for (auto _ : state) {
    vantrel::HashMap<K, std::int64_t> m;
    for (const K& k : keys<K>(n)) m = L::insert(k, std::int64_t{1}, m);
    benchmark::DoNotOptimize(m);
    state.PauseTiming();  // freeing the result is not part of building it
    m = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
// The same loop handing the old map over: unshared nodes are updated in place.
template <class K>
void BM_TrieInsertMoved(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  keys<K>(n);
  for (auto _ : state) {
    vantrel::HashMap<K, std::int64_t> m;
    for (const K& k : keys<K>(n)) m = L::insert(k, std::int64_t{1}, std::move(m));
    benchmark::DoNotOptimize(m);
    state.PauseTiming();
    m = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieDelete(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto full = trieOf<K>(n);
  for (auto _ : state) {
    auto m = full;
    for (const K& k : keys<K>(n)) m = L::erase(k, m);
    benchmark::DoNotOptimize(m);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieFromList(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<std::pair<K, std::int64_t>> pairs;
  for (const K& k : keys<K>(n)) pairs.emplace_back(k, 1);
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const std::int64_t before = liveBytes.load();
    auto m = L::fromList(pairs);
    bytes = liveBytes.load() - before;
    benchmark::DoNotOptimize(m);
    state.PauseTiming();
    m = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
  state.counters["bytes_per_entry"] = static_cast<double>(bytes) / static_cast<double>(n);
}
template <class K>
void BM_StdLookupHit(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::unordered_map<K, std::int64_t> m;
  for (const K& k : keys<K>(n)) m.emplace(k, 1);
  for (auto _ : state)
    for (const K& k : keys<K>(n)) benchmark::DoNotOptimize(m.find(k));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_StdInsert(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  keys<K>(n);
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const std::int64_t before = liveBytes.load();
    std::unordered_map<K, std::int64_t> m;
    for (const K& k : keys<K>(n)) m.emplace(k, 1);
    bytes = liveBytes.load() - before;
    benchmark::DoNotOptimize(m);
    state.PauseTiming();
    m = {};
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
  state.counters["bytes_per_entry"] = static_cast<double>(bytes) / static_cast<double>(n);
}

#define SIZES ->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_TrieLookupHit<std::int64_t>) SIZES;
BENCHMARK(BM_TrieLookupMiss<std::int64_t>) SIZES;
BENCHMARK(BM_StdLookupHit<std::int64_t>) SIZES;
BENCHMARK(BM_TrieInsert<std::int64_t>) SIZES;
BENCHMARK(BM_TrieInsertMoved<std::int64_t>) SIZES;
BENCHMARK(BM_StdInsert<std::int64_t>) SIZES;
BENCHMARK(BM_TrieDelete<std::int64_t>) SIZES;
BENCHMARK(BM_TrieFromList<std::int64_t>) SIZES;
BENCHMARK(BM_TrieLookupHit<std::string>) SIZES;
BENCHMARK(BM_TrieLookupMiss<std::string>) SIZES;
BENCHMARK(BM_StdLookupHit<std::string>) SIZES;
BENCHMARK(BM_TrieInsert<std::string>) SIZES;
BENCHMARK(BM_TrieInsertMoved<std::string>) SIZES;
BENCHMARK(BM_StdInsert<std::string>) SIZES;
BENCHMARK(BM_TrieDelete<std::string>) SIZES;
BENCHMARK(BM_TrieFromList<std::string>) SIZES;

}  // namespace
