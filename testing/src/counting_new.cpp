#include <atomic>
#include <cstdlib>
#include <new>

#include "testing/alloc.hpp"

namespace {
std::atomic<std::int64_t> allocations{0};
std::atomic<std::int64_t> bytes{0};
std::atomic<std::int64_t> failing{-1};  // the count at which an allocation fails, or -1

// Counts the allocation and fails it when armed; the caller allocates.
void tally(std::size_t n) {
  const std::int64_t count = allocations.fetch_add(1, std::memory_order_relaxed);
  std::int64_t f = count;
  if (failing.load(std::memory_order_relaxed) == count &&
      failing.compare_exchange_strong(f, -1, std::memory_order_relaxed))
    throw std::bad_alloc();
  bytes.fetch_add(static_cast<std::int64_t>(n), std::memory_order_relaxed);
}
void* allocate(std::size_t n) {
  tally(n);
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
// Over-aligned types come through the aligned forms; they fail on cue too.
void* allocateAligned(std::size_t n, std::align_val_t a) {
  tally(n);
  const auto align = static_cast<std::size_t>(a);
  if (void* p = std::aligned_alloc(align, (n + align - 1) / align * align + (n == 0 ? align : 0)))
    return p;
  throw std::bad_alloc();
}
}  // namespace

namespace testing_support {
std::int64_t allocationCount() noexcept { return allocations.load(std::memory_order_relaxed); }
std::int64_t allocatedBytes() noexcept { return bytes.load(std::memory_order_relaxed); }
void failAllocation(std::int64_t n) noexcept {
  failing.store(n < 0 ? -1 : allocations.load(std::memory_order_relaxed) + n,
                std::memory_order_relaxed);
}
}  // namespace testing_support

// The replacements pair malloc with free; the compiler cannot see that through operator new.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateAligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateAligned(n, a); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
