// The benchmark program's main, and the operator new that keeps the live heap bytes.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <new>

#include "bench_support.hpp"

namespace bench {
std::atomic<std::int64_t> liveBytes{0};
std::atomic<std::int64_t> liveBlocks{0};
bool countHeap = true;
}  // namespace bench

// The replacements pair malloc with free; the compiler cannot see that through operator new.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  if (!bench::countHeap) return p;
  bench::liveBytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(p)),
                             std::memory_order_relaxed);
  bench::liveBlocks.fetch_add(1, std::memory_order_relaxed);
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  if (!bench::countHeap) {
    std::free(p);
    return;
  }
  bench::liveBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(p)),
                             std::memory_order_relaxed);
  bench::liveBlocks.fetch_sub(1, std::memory_order_relaxed);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

BENCHMARK_MAIN();
