// A plugin that uses the platform: a deep walk through the stack helper, so that the calling
// thread takes segments, keeps some and arms its exit hook.
#include <cstdint>

#include "hs/stack.hpp"

namespace {
std::int64_t down(std::int64_t n) {
  if (n == 0) return 0;
  return hs::withStack([n] { return down(n - 1) + 1; });
}
}  // namespace

extern "C" [[gnu::visibility("default")]] std::int64_t stackPluginWalk(std::int64_t n) { return down(n); }
