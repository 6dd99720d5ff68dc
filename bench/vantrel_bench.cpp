// Map benchmarks: the trie against std::unordered_map in the same process.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "vantrel/map/lazy.hpp"

// Live heap bytes, as the allocator counts them (requested sizes rounded to its chunks).
namespace {
std::atomic<std::int64_t> liveBytes{0};
}  // namespace

// The replacements pair malloc with free; the compiler cannot see that through operator new.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  liveBytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  liveBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

namespace L = vantrel::lazy;

template <class K>
K makeKey(std::uint64_t i);
template <>
std::int64_t makeKey<std::int64_t>(std::uint64_t i) {
  return static_cast<std::int64_t>(i * 0x9E3779B97F4A7C15ULL);
}
template <>
std::string makeKey<std::string>(std::uint64_t i) {
  return "key-" + std::to_string(i * 2654435761ULL % 1000000007ULL);
}

template <class K>
const std::vector<K>& keys(std::size_t n, std::uint64_t salt = 0) {
  static std::unordered_map<std::size_t, std::vector<K>> cache[2];
  auto& v = cache[salt][n];
  if (v.empty())
    for (std::size_t i = 0; i < n; ++i) v.push_back(makeKey<K>(i + salt * 0x100000000ULL));
  return v;
}

template <class K>
vantrel::HashMap<K, std::int64_t> trieOf(std::size_t n) {
  std::vector<std::pair<K, std::int64_t>> pairs;
  for (const K& k : keys<K>(n)) pairs.emplace_back(k, 1);
  return L::fromList(pairs);
}

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

BENCHMARK_MAIN();

// Whole-map walks next to the same result computed one key at a time.
namespace {

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
template <class K>
void BM_TrieFoldlStrict(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = indexedTrieOf<K>(n);
  for (auto _ : state)
    benchmark::DoNotOptimize(
        L::foldl_([](std::int64_t a, std::int64_t v) { return a + v; }, std::int64_t{0}, m));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieFoldrStrict(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = indexedTrieOf<K>(n);
  for (auto _ : state)
    benchmark::DoNotOptimize(
        L::foldr_([](std::int64_t v, std::int64_t a) { return a + v; }, std::int64_t{0}, m));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieFoldMap(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto m = indexedTrieOf<K>(n);
  for (auto _ : state)
    benchmark::DoNotOptimize(L::foldMap([](std::int64_t v) { return hs::Sum<std::int64_t>{v}; }, m).value);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
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
