// Reference counts that cost no locked instruction while the process has a single thread.
//
// glibc keeps `__libc_single_threaded` true until the process creates its first thread (the test
// libstdc++ makes for shared_ptr's counts). While it is true, a count is raised and lowered by a
// relaxed load and a relaxed store instead of a read-modify-write. This is sound: a second thread
// can only be started by the one thread there is, never in the middle of one of its own count
// steps, and starting a thread publishes everything written before it, so the new thread sees the
// counts as they were left. Once the flag is false the atomic path runs, unchanged: increments
// relaxed, decrements acquire-release (the last holder sees every other holder's writes before it
// frees). The counts stay std::atomic throughout, so a mistaken plain step could lose an update
// but never be a data race. Counts are not to be touched from signal handlers. Where the flag is
// unknown (another C library), every step takes the atomic path.
#pragma once

#include <atomic>
#include <cstdint>

#if defined(__has_include)
#if __has_include(<sys/single_threaded.h>)
#include <sys/single_threaded.h>
#define HS_HAVE_SINGLE_THREADED_FLAG 1
#endif
#endif

namespace hs::internal {

using Count = std::atomic<std::uint32_t>;

// Whether the process has had one thread only so far. A run of count steps may read it once only
// where no caller's code (a destructor, hash, ==, a function) runs between its steps: such code
// may start the first thread, and the rest of the run must then count atomically.
[[nodiscard]] inline bool singleThreaded() noexcept {
#ifdef HS_HAVE_SINGLE_THREADED_FLAG
  return __libc_single_threaded != 0;
#else
  return false;
#endif
}

// Raises c by one; `single` is singleThreaded(), read by the caller.
inline void countUp(Count& c, bool single) noexcept {
  if (single)
    c.store(c.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  else
    c.fetch_add(1, std::memory_order_relaxed);
}
inline void countUp(Count& c) noexcept { hs::internal::countUp(c, hs::internal::singleThreaded()); }

// Lowers c by one; whether it reached zero (the caller then frees what c counts).
[[nodiscard]] inline bool countDown(Count& c, bool single) noexcept {
  if (single) {
    const std::uint32_t n = c.load(std::memory_order_relaxed);
    c.store(n - 1, std::memory_order_relaxed);
    return n == 1;
  }
  return c.fetch_sub(1, std::memory_order_acq_rel) == 1;
}
[[nodiscard]] inline bool countDown(Count& c) noexcept {
  return hs::internal::countDown(c, hs::internal::singleThreaded());
}

}  // namespace hs::internal
