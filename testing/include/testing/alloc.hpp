// Counting of heap allocations, for tests that pin how much an operation allocates. The counter
// only moves in a test program linked with the `testing_counting_new` library, which replaces the
// global operator new.
#pragma once

#include <cstdint>

namespace testing_support {

std::int64_t allocationCount() noexcept;
std::int64_t allocatedBytes() noexcept;

// Allocations made while this object lives.
class AllocationScope {
 public:
  AllocationScope() noexcept : count_(allocationCount()), bytes_(allocatedBytes()) {}
  std::int64_t count() const noexcept { return allocationCount() - count_; }
  std::int64_t bytes() const noexcept { return allocatedBytes() - bytes_; }

 private:
  std::int64_t count_, bytes_;
};

}  // namespace testing_support
