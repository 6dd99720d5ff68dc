#include "hs/hashable.hpp"

namespace hs {

std::int64_t hashBytesWithSalt(std::int64_t salt, const void* data, std::size_t n) noexcept {
  const auto* p = static_cast<const unsigned char*>(data);
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w = 0;
    for (int b = 0; b < 8; ++b) w |= static_cast<std::uint64_t>(p[i + b]) << (8 * b);
    salt = saltedWordHash(salt, w);
  }
  if (i < n) {
    std::uint64_t w = 0;
    for (int b = 0; i + b < n; ++b) w |= static_cast<std::uint64_t>(p[i + b]) << (8 * b);
    salt = saltedWordHash(salt, w);
  }
  return saltedWordHash(salt, n);
}

}  // namespace hs
