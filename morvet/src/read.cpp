#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <limits>

#include "morvet/classes.hpp"

namespace morvet::internal {

namespace {
// The lowest address of this thread's stack (stacks grow down here), or 0 when unknown.
std::uintptr_t stackLow() noexcept {
  thread_local const std::uintptr_t low = [] {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return std::uintptr_t{0};
    void* addr = nullptr;
    std::size_t size = 0;
    const int rc = pthread_attr_getstack(&attr, &addr, &size);
    pthread_attr_destroy(&attr);
    return rc == 0 ? reinterpret_cast<std::uintptr_t>(addr) : std::uintptr_t{0};
  }();
  return low;
}
}  // namespace

std::size_t stackLeft() noexcept {
  const std::uintptr_t low = stackLow();
  const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  if (low == 0 || here <= low) return std::numeric_limits<std::size_t>::max();
  return here - low;
}

}  // namespace morvet::internal
