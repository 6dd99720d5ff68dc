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

BENCHMARK_MAIN();

// ---- Whole-map equality, ordering and hashing (two equal maps built separately) ----------------

namespace {

template <class K>
void BM_TrieEqual(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto a = trieOf<K>(n), b = trieOf<K>(n);
  for (auto _ : state) benchmark::DoNotOptimize(a == b);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieCompare(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto a = trieOf<K>(n), b = trieOf<K>(n);
  for (auto _ : state) benchmark::DoNotOptimize(L::compare(a, b));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_TrieHash(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto a = trieOf<K>(n);
  for (auto _ : state) benchmark::DoNotOptimize(L::hash(a));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
template <class K>
void BM_StdEqual(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::unordered_map<K, std::int64_t> a, b;
  for (const K& k : keys<K>(n)) a.emplace(k, 1);
  for (const K& k : keys<K>(n)) b.emplace(k, 1);
  for (auto _ : state) benchmark::DoNotOptimize(a == b);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

#define EQ_SIZES ->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_TrieEqual<std::int64_t>) EQ_SIZES;
BENCHMARK(BM_TrieCompare<std::int64_t>) EQ_SIZES;
BENCHMARK(BM_StdEqual<std::int64_t>) EQ_SIZES;
BENCHMARK(BM_TrieHash<std::int64_t>) EQ_SIZES;
BENCHMARK(BM_TrieEqual<std::string>) EQ_SIZES;
BENCHMARK(BM_TrieCompare<std::string>) EQ_SIZES;
BENCHMARK(BM_StdEqual<std::string>) EQ_SIZES;
BENCHMARK(BM_TrieHash<std::string>) EQ_SIZES;

}  // namespace
