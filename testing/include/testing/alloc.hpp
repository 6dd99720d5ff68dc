// Counting of heap allocations, for tests that pin how much an operation allocates. The counter
// only moves in a test program linked with the `testing_counting_new` library, which replaces the
// global operator new.
#pragma once

#include <cstdint>
#include <new>

namespace testing_support {

std::int64_t allocationCount() noexcept;
std::int64_t allocatedBytes() noexcept;
// Makes the allocation n allocations from now (0: the next one) throw std::bad_alloc, once;
// a negative n cancels it.
void failAllocation(std::int64_t n) noexcept;

// Allocations made while this object lives.
class AllocationScope {
 public:
  AllocationScope() noexcept : count_(allocationCount()), bytes_(allocatedBytes()) {}
  std::int64_t count() const noexcept { return allocationCount() - count_; }
  std::int64_t bytes() const noexcept { return allocatedBytes() - bytes_; }

 private:
  std::int64_t count_, bytes_;
};

// Runs f with the allocation n allocations from now failing; true when f threw std::bad_alloc.
// The failure is cancelled when f returns without reaching it.
template <class F>
bool failingAllocation(std::int64_t n, F&& f) {
  failAllocation(n);
  try {
    f();
  } catch (const std::bad_alloc&) {
    failAllocation(-1);
    return true;
  }
  failAllocation(-1);
  return false;
}

}  // namespace testing_support
