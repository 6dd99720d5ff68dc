// The map's single-key and whole-map work against std::unordered_map in the same process: random
// int64 keys (identity hash), shuffled probes, 10^5 and 10^6 entries, and string keys with each
// side's default hash. Every row reports `ns_per_entry` (per entry of one input map) and, for the
// builds, `heap_per_entry`: the heap bytes the result holds, as the allocator spends them (every
// live block counted with its chunk header).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "bench_support.hpp"
#include "vantrel/set.hpp"

namespace {

using namespace bench;
namespace VS = vantrel::set;

template <class K>
using Trie = vantrel::HashMap<K, std::int64_t>;
template <class K>
using Std = std::unordered_map<K, std::int64_t>;

// Timings run without the heap counts; `heapOf` turns them on for one build.
const bool uncounted = (countHeap = false, true);

// The heap bytes that build() leaves held, with each block's chunk header.
template <class Build>
double heapOf(Build build, std::size_t n) {
  auto total = [] { return liveBytes.load() + liveBlocks.load() * std::int64_t{sizeof(std::size_t)}; };
  countHeap = true;
  const std::int64_t before = total();
  auto held = build();
  const std::int64_t after = total();
  benchmark::DoNotOptimize(held);
  held = {};
  countHeap = false;
  return static_cast<double>(after - before) / static_cast<double>(n);
}

void perEntry(benchmark::State& state, std::size_t n) {
  state.counters["ns_per_entry"] =
      benchmark::Counter(static_cast<double>(n),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Times f over the keys, summing what it gives (so nothing is optimised away), per key.
template <class K, class F>
void timeSum(benchmark::State& state, const std::vector<K>& ks, F f) {
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (const K& k : ks) sum += static_cast<std::uint64_t>(f(k));
    benchmark::DoNotOptimize(sum);
  }
  perEntry(state, ks.size());
}
// Times f over the keys, each result dropped, per key.
template <class K, class F>
void timeEach(benchmark::State& state, const std::vector<K>& ks, F f) {
  for (auto _ : state)
    for (const K& k : ks) benchmark::DoNotOptimize(f(k));
  perEntry(state, ks.size());
}

// Times build() per entry, then counts the heap one build holds; freeing the result is not part
// of building it, so it is not timed.
template <class Build>
void timeBuild(benchmark::State& state, std::size_t n, Build build, bool countHeld = true) {
  for (auto _ : state) {
    auto m = build();
    benchmark::DoNotOptimize(m);
    state.PauseTiming();
    m = {};
    state.ResumeTiming();
  }
  perEntry(state, n);
  if (countHeld) state.counters["heap_per_entry"] = heapOf(build, n);
}

// The keys (salt 1: n keys the maps do not hold) in another order than they were made in, as
// probes. Probes in the order the keys were made would walk a map grown by inserts in the order
// its nodes were allocated in, a map made by fromList in hash order.
template <class K>
const std::vector<K>& shuffled(std::size_t n, std::uint64_t salt = 0) {
  static std::unordered_map<std::size_t, std::vector<K>> cache[2];
  auto& v = cache[salt][n];
  if (v.empty()) {
    v = keys<K>(n, salt);
    std::shuffle(v.begin(), v.end(), std::mt19937_64(42));
  }
  return v;
}
// Each key's value depends on the key alone, so maps built in other orders are equal.
std::int64_t valueOf(std::int64_t k) { return k ^ 0x5555; }
std::int64_t valueOf(const std::string& k) { return static_cast<std::int64_t>(k.size()); }
template <class K>
std::vector<std::pair<K, std::int64_t>> pairsOf(const std::vector<K>& ks) {
  std::vector<std::pair<K, std::int64_t>> out;
  out.reserve(ks.size());
  for (const K& k : ks) out.emplace_back(k, valueOf(k));
  return out;
}
template <class K>
const Trie<K>& trie(std::size_t n) {
  static std::unordered_map<std::size_t, Trie<K>> cache;
  auto& m = cache[n];
  if (m.empty()) m = L::fromList(pairsOf(keys<K>(n)));
  return m;
}
// The same map grown by moved inserts, in the order the keys were made.
template <class K>
const Trie<K>& insertedTrie(std::size_t n) {
  static std::unordered_map<std::size_t, Trie<K>> cache;
  auto& m = cache[n];
  if (m.empty())
    for (const auto& [k, v] : pairsOf(keys<K>(n))) m = L::insert(k, v, std::move(m));
  return m;
}
template <class K>
const Std<K>& stdMap(std::size_t n) {
  static std::unordered_map<std::size_t, Std<K>> cache;
  auto& m = cache[n];
  if (m.empty())
    for (const auto& [k, v] : pairsOf(keys<K>(n))) m.emplace(k, v);
  return m;
}

// ---- Lookups -------------------------------------------------------------------------------

template <class K>
void BM_LookupHit_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = trie<K>(n);
  const auto& probes = shuffled<K>(n);
  timeSum(state, probes, [&](const K& k) { return **L::lookup(k, m); });
}
// The same, reading the stored cell in place (no handle copied).
template <class K>
void BM_LookupCellHit_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = trie<K>(n);
  const auto& probes = shuffled<K>(n);
  timeSum(state, probes, [&](const K& k) { return **L::lookupCell(k, m); });
}
template <class K>
void BM_LookupHit_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = stdMap<K>(n);
  const auto& probes = shuffled<K>(n);
  timeSum(state, probes, [&](const K& k) { return m.find(k)->second; });
}
// The keys' hashes alone, each side's default hash.
template <class K>
void BM_Hash_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& probes = shuffled<K>(n);
  timeSum(state, probes, [&](const K& k) { return vantrel::internal::hash(k); });
}
template <class K>
void BM_Hash_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& probes = shuffled<K>(n);
  timeSum(state, probes, [&](const K& k) { return std::hash<K>{}(k); });
}

// ---- Single-key changes --------------------------------------------------------------------

// Each of n new keys inserted into the map of n entries, the result dropped.
template <class K>
void BM_PersistentInsert_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = trie<K>(n);
  const auto& fresh = keys<K>(n, 1);
  timeEach(state, fresh, [&](const K& k) { return L::insert(k, valueOf(k), m); });
}
// Each of the map's n keys erased from it, the result dropped.
template <class K>
void BM_PersistentErase_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = trie<K>(n);
  const auto& probes = shuffled<K>(n);
  timeEach(state, probes, [&](const K& k) { return L::erase(k, m); });
}

// Each of n keys the map does not hold looked up, in a shuffled order, or (`InOrder`) in the
// order they were made (see shuffled); in the map made by fromList, or in the one grown by inserts.
template <class K, bool InOrder = false, bool Inserted = false>
void BM_LookupMiss_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = Inserted ? insertedTrie<K>(n) : trie<K>(n);
  const auto& fresh = InOrder ? keys<K>(n, 1) : shuffled<K>(n, 1);
  timeEach(state, fresh, [&](const K& k) { return L::member(k, m); });
}
template <class K, bool InOrder = false>
void BM_LookupMiss_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = stdMap<K>(n);
  const auto& fresh = InOrder ? keys<K>(n, 1) : shuffled<K>(n, 1);
  timeEach(state, fresh, [&](const K& k) { return m.count(k); });
}
// Each of n keys the map does not hold erased from it: the result is the map itself. Orders as
// for the misses.
template <class K, bool InOrder = false>
void BM_EraseAbsent_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = trie<K>(n);
  const auto& fresh = InOrder ? keys<K>(n, 1) : shuffled<K>(n, 1);
  timeEach(state, fresh, [&](const K& k) { return L::erase(k, m); });
}
template <class K, bool InOrder = false>
void BM_EraseAbsent_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  Std<K> m = stdMap<K>(n);
  const auto& fresh = InOrder ? keys<K>(n, 1) : shuffled<K>(n, 1);
  timeEach(state, fresh, [&](const K& k) { return m.erase(k); });
}
// Every key erased, one at a time, from a map the loop gives up at each step (a fresh copy of
// the shared map each round, so the first erase copies its path).
template <class K>
void BM_TeardownMovedErase_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& probes = shuffled<K>(n);
  for (auto _ : state) {
    state.PauseTiming();
    Trie<K> m = trie<K>(n);
    state.ResumeTiming();
    for (const K& k : probes) m = L::erase(k, std::move(m));
    benchmark::DoNotOptimize(m);
  }
  perEntry(state, n);
}
template <class K>
void BM_TeardownMovedErase_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& probes = shuffled<K>(n);
  for (auto _ : state) {
    state.PauseTiming();
    Std<K> m = stdMap<K>(n);
    state.ResumeTiming();
    for (const K& k : probes) m.erase(k);
    benchmark::DoNotOptimize(m);
  }
  perEntry(state, n);
}

// ---- Builds --------------------------------------------------------------------------------

template <class K>
void BM_BuildMovedInsert_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& ks = keys<K>(n);
  auto build = [&ks] {
    Trie<K> m;
    for (const K& k : ks) m = L::insert(k, valueOf(k), std::move(m));
    return m;
  };
  timeBuild(state, n, build);
}
template <class K>
void BM_BuildInsert_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& ks = keys<K>(n);
  auto build = [&ks] {
    Std<K> m;
    for (const K& k : ks) m.emplace(k, valueOf(k));
    return m;
  };
  timeBuild(state, n, build);
}
template <class K>
void BM_BuildFromList_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto pairs = pairsOf(keys<K>(n));
  auto build = [&pairs] { return L::fromList(pairs); };
  timeBuild(state, n, build);
}
template <class K>
void BM_BuildFromList_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto pairs = pairsOf(keys<K>(n));
  timeBuild(state, n, [&pairs] { return Std<K>(pairs.begin(), pairs.end()); });
}
// A set of the keys: its heap bytes per element.
void BM_BuildSet_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& ks = keys<std::int64_t>(n);
  auto build = [&ks] { return VS::fromList(ks); };
  timeBuild(state, n, build);
}
// The same set, one moved insert at a time.
void BM_BuildSetMovedInsert_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& ks = keys<std::int64_t>(n);
  auto build = [&ks] {
    VS::HashSet<std::int64_t> s;
    for (std::int64_t k : ks) s = VS::insert(k, std::move(s));
    return s;
  };
  timeBuild(state, n, build);
}
// Each of the set's n elements inserted again: the result is the set itself.
void BM_SetInsertPresent_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto s = VS::fromList(keys<std::int64_t>(n));
  const auto& probes = shuffled<std::int64_t>(n);
  timeEach(state, probes, [&](std::int64_t k) { return VS::insert(k, s); });
}
void BM_SetInsertPresent_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& ks = keys<std::int64_t>(n);
  std::unordered_set<std::int64_t> s(ks.begin(), ks.end());
  const auto& probes = shuffled<std::int64_t>(n);
  timeEach(state, probes, [&](std::int64_t k) { return s.insert(k); });
}
void BM_BuildSet_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& ks = keys<std::int64_t>(n);
  auto build = [&ks] {
    std::unordered_set<std::int64_t> s;
    for (std::int64_t k : ks) s.insert(k);
    return s;
  };
  timeBuild(state, n, build);
}

// ---- Whole-map walks -----------------------------------------------------------------------

template <class K>
void BM_IterateSum_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = trie<K>(n);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (const auto& e : m) sum += *e.value;
    benchmark::DoNotOptimize(sum);
  }
  perEntry(state, n);
}
template <class K>
void BM_IterateSum_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& m = stdMap<K>(n);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (const auto& e : m) sum += e.second;
    benchmark::DoNotOptimize(sum);
  }
  perEntry(state, n);
}

// Times a == b for two equal containers of n entries, per entry.
template <class C>
void timeEqual(benchmark::State& state, const C& a, const C& b, std::size_t n) {
  bool eq = false;
  for (auto _ : state) benchmark::DoNotOptimize(eq = a == b);
  if (!eq) state.SkipWithError("the inputs differ");
  perEntry(state, n);
}
// Two equal maps, built from the keys in two different orders.
template <class K>
void BM_EqualOtherOrder_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  timeEqual(state, trie<K>(n), L::fromList(pairsOf(shuffled<K>(n))), n);
}
template <class K>
void BM_EqualOtherOrder_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  Std<K> b;
  for (const auto& [k, v] : pairsOf(shuffled<K>(n))) b.emplace(k, v);
  timeEqual(state, stdMap<K>(n), b, n);
}
// Two equal sets, built from the keys in two different orders.
void BM_SetEqualOtherOrder_Trie(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  timeEqual(state, VS::fromList(keys<std::int64_t>(n)), VS::fromList(shuffled<std::int64_t>(n)), n);
}
void BM_SetEqualOtherOrder_Std(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const auto& ks = keys<std::int64_t>(n);
  std::unordered_set<std::int64_t> b;
  for (std::int64_t k : shuffled<std::int64_t>(n)) b.insert(k);
  timeEqual(state, std::unordered_set<std::int64_t>(ks.begin(), ks.end()), b, n);
}

// Two maps of n keys, the second holding the upper half of the first's keys and n / 2 others.
template <class K>
struct HalfShared {
  Trie<K> a, b;
  Std<K> sa, sb;
};
template <class K>
const HalfShared<K>& halfShared(std::size_t n) {
  static std::unordered_map<std::size_t, HalfShared<K>> cache;
  auto& p = cache[n];
  if (p.a.empty()) {
    std::vector<K> second(keys<K>(n).begin() + static_cast<std::ptrdiff_t>(n / 2), keys<K>(n).end());
    const auto& other = keys<K>(n, 1);
    second.insert(second.end(), other.begin(), other.begin() + static_cast<std::ptrdiff_t>(n - n / 2));
    p.a = trie<K>(n);
    p.sa = stdMap<K>(n);
    p.b = L::fromList(pairsOf(second));
    for (const auto& [k, v] : pairsOf(second)) p.sb.emplace(k, v);
  }
  return p;
}
// Times op(a, b) per entry of one map; freeing the result is not timed.
template <class K, class M, class Op>
void timeWhole(benchmark::State& state, const M& a, const M& b, Op op) {
  timeBuild(state, static_cast<std::size_t>(state.range(0)), [&] { return op(a, b); }, false);
}

template <class K>
void BM_Difference_Trie(benchmark::State& state) {
  const auto& p = halfShared<K>(static_cast<std::size_t>(state.range(0)));
  timeWhole<K>(state, p.a, p.b, [](const Trie<K>& a, const Trie<K>& b) { return L::difference(a, b); });
}
template <class K>
void BM_Difference_Std(benchmark::State& state) {
  const auto& p = halfShared<K>(static_cast<std::size_t>(state.range(0)));
  timeWhole<K>(state, p.sa, p.sb, [](const Std<K>& a, const Std<K>& b) {
    Std<K> r;
    for (const auto& e : a)
      if (b.find(e.first) == b.end()) r.insert(e);
    return r;
  });
}
template <class K>
void BM_Union_Trie(benchmark::State& state) {
  const auto& p = halfShared<K>(static_cast<std::size_t>(state.range(0)));
  timeWhole<K>(state, p.a, p.b, [](const Trie<K>& a, const Trie<K>& b) { return L::union_(a, b); });
}
template <class K>
void BM_Union_Std(benchmark::State& state) {
  const auto& p = halfShared<K>(static_cast<std::size_t>(state.range(0)));
  timeWhole<K>(state, p.sa, p.sb, [](const Std<K>& a, const Std<K>& b) {
    Std<K> r = a;
    r.insert(b.begin(), b.end());
    return r;
  });
}
template <class K>
void BM_Intersection_Trie(benchmark::State& state) {
  const auto& p = halfShared<K>(static_cast<std::size_t>(state.range(0)));
  timeWhole<K>(state, p.a, p.b,
               [](const Trie<K>& a, const Trie<K>& b) { return L::intersection(a, b); });
}
template <class K>
void BM_Intersection_Std(benchmark::State& state) {
  const auto& p = halfShared<K>(static_cast<std::size_t>(state.range(0)));
  timeWhole<K>(state, p.sa, p.sb, [](const Std<K>& a, const Std<K>& b) {
    Std<K> r;
    for (const auto& e : a)
      if (b.find(e.first) != b.end()) r.insert(e);
    return r;
  });
}

// Rows are named "<operation> <key type>/<implementation>/<entries>", the implementation vantrel
// (a variant in brackets) or std, so that the main job's summary sets each beside its peer.
template <class K>
const char* keyName();
template <>
const char* keyName<std::int64_t>() { return "int64"; }
template <>
const char* keyName<std::string>() { return "string"; }
template <class K>
std::string rowName(const char* op, const char* impl) {
  return std::string(op) + " " + keyName<K>() + "/" + impl;
}

#define SIZES ->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)
#define ROW(fn, K, op, impl) BENCHMARK(fn)->Name(rowName<K>(op, impl)) SIZES;
#define PAIR(name, K) \
  ROW(BM_##name##_Trie<K>, K, #name, "vantrel") \
  ROW(BM_##name##_Std<K>, K, #name, "std")

PAIR(LookupHit, std::int64_t)
PAIR(LookupMiss, std::int64_t)
ROW((BM_LookupMiss_Trie<std::int64_t, false, true>), std::int64_t, "LookupMiss", "vantrel(inserted)")
ROW((BM_LookupMiss_Trie<std::int64_t, true>), std::int64_t, "LookupMissInOrder", "vantrel")
ROW((BM_LookupMiss_Trie<std::int64_t, true, true>), std::int64_t, "LookupMissInOrder", "vantrel(inserted)")
ROW((BM_LookupMiss_Std<std::int64_t, true>), std::int64_t, "LookupMissInOrder", "std")
ROW(BM_LookupCellHit_Trie<std::int64_t>, std::int64_t, "LookupHit", "vantrel(lookupCell)")
ROW(BM_PersistentInsert_Trie<std::int64_t>, std::int64_t, "PersistentInsert", "vantrel")
ROW(BM_BuildMovedInsert_Trie<std::int64_t>, std::int64_t, "BuildInsert", "vantrel(moved)")
ROW(BM_BuildInsert_Std<std::int64_t>, std::int64_t, "BuildInsert", "std")
PAIR(BuildFromList, std::int64_t)
ROW(BM_PersistentErase_Trie<std::int64_t>, std::int64_t, "PersistentErase", "vantrel")
PAIR(EraseAbsent, std::int64_t)
ROW((BM_EraseAbsent_Trie<std::int64_t, true>), std::int64_t, "EraseAbsentInOrder", "vantrel")
ROW((BM_EraseAbsent_Std<std::int64_t, true>), std::int64_t, "EraseAbsentInOrder", "std")
PAIR(TeardownMovedErase, std::int64_t)
PAIR(IterateSum, std::int64_t)
PAIR(EqualOtherOrder, std::int64_t)
PAIR(Difference, std::int64_t)
PAIR(Union, std::int64_t)
PAIR(Intersection, std::int64_t)
ROW(BM_BuildSet_Trie, std::int64_t, "BuildSet", "vantrel(fromList)")
ROW(BM_BuildSetMovedInsert_Trie, std::int64_t, "BuildSet", "vantrel(moved insert)")
ROW(BM_BuildSet_Std, std::int64_t, "BuildSet", "std")
ROW(BM_SetInsertPresent_Trie, std::int64_t, "SetInsertPresent", "vantrel")
ROW(BM_SetInsertPresent_Std, std::int64_t, "SetInsertPresent", "std")
ROW(BM_SetEqualOtherOrder_Trie, std::int64_t, "SetEqualOtherOrder", "vantrel")
ROW(BM_SetEqualOtherOrder_Std, std::int64_t, "SetEqualOtherOrder", "std")
PAIR(LookupHit, std::string)
ROW(BM_LookupCellHit_Trie<std::string>, std::string, "LookupHit", "vantrel(lookupCell)")
PAIR(Hash, std::string)
PAIR(BuildFromList, std::string)

}  // namespace
