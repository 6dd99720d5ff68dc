#include "quendle/internal/bytes.hpp"

namespace quendle {

std::vector<std::uint8_t> toList(UUID u) {
  std::vector<std::uint8_t> out(16);
  hs::binary::detail::storeBE64(out.data(), u.hiWord());
  hs::binary::detail::storeBE64(out.data() + 8, u.loWord());
  return out;
}

hs::LazyByteString toByteString(UUID u) {
  // Straight into the one chunk, with no vector in between.
  std::uint8_t b[16];
  hs::binary::detail::storeBE64(b, u.hiWord());
  hs::binary::detail::storeBE64(b + 8, u.loWord());
  return hs::LazyByteString::fromStrict(hs::ByteString(b, 16));
}

std::optional<UUID> fromByteString(const hs::LazyByteString& l) {
  std::uint8_t b[17];
  std::size_t n = 0;
  for (auto it = l.begin(); n < 17 && it != l.end(); ++it) b[n++] = *it;
  if (n != 16) return std::nullopt;
  return UUID(hs::binary::detail::loadBE64(b), hs::binary::detail::loadBE64(b + 8));
}

}  // namespace quendle
