// Shared pieces of the map benchmarks: the keys, maps built from them, and the live heap bytes.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "vantrel/map/lazy.hpp"

namespace bench {

namespace L = vantrel::lazy;

// Live heap bytes of the process, as the allocator counts them (requested sizes rounded to its
// chunks); kept by the replaced operator new of bench_support.cpp.
extern std::atomic<std::int64_t> liveBytes;
// Live heap blocks; each also costs the allocator a chunk header of one word.
extern std::atomic<std::int64_t> liveBlocks;
// Whether operator new and delete keep the two counts (on unless a program turns it off, so that
// its timings do not pay for the counting).
extern bool countHeap;

template <class K>
K makeKey(std::uint64_t i);
template <>
inline std::int64_t makeKey<std::int64_t>(std::uint64_t i) {
  return static_cast<std::int64_t>(i * 0x9E3779B97F4A7C15ULL);
}
template <>
inline std::string makeKey<std::string>(std::uint64_t i) {
  return "key-" + std::to_string(i * 2654435761ULL % 1000000007ULL);
}

// n keys, built once; salt 1 gives n other keys.
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

}  // namespace bench
