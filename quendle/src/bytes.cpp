#include "quendle/internal/bytes.hpp"

namespace quendle {

std::vector<std::uint8_t> toList(UUID u) {
  std::vector<std::uint8_t> out(16);
  hs::binary::detail::storeBE64(out.data(), u.hiWord());
  hs::binary::detail::storeBE64(out.data() + 8, u.loWord());
  return out;
}

}  // namespace quendle
