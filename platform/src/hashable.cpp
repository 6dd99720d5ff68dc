#include "hs/hashable.hpp"

namespace hs {

std::int64_t hashBytesWithSalt(std::int64_t salt, const void* data, std::size_t n) noexcept {
  const auto* p = static_cast<const unsigned char*>(data);
  std::uint64_t state = detail::bytesState(salt, n);
  if (n <= 16) return detail::bytesShort(state, p, n);
  const unsigned char* const end = p + n;
  for (; end - p > 16; p += 16) state = detail::bytesBlock(state, p);
  return detail::bytesTail(state, end);
}

}  // namespace hs
