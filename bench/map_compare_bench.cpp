// Whole-map equality, ordering and hashing of two equal maps built separately.
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

// ---- Whole-map equality, ordering and hashing (two equal maps built separately) ----------------


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
