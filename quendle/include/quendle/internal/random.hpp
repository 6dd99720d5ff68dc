// Version stamping and random version-4 UUIDs.
#pragma once

#include <cstdint>
#include <utility>

#include "hs/random.hpp"
#include "quendle/internal/builder.hpp"
#include "quendle/internal/value.hpp"

namespace quendle {
/// \addtogroup quendle_uuid
/// @{

/// Bytes 0 to 15, with the low four bits of v as the version (the high four bits of byte 6) and
/// the variant bits 1, 0 (the top two bits of byte 8).
[[nodiscard]] constexpr UUID buildFromBytes(std::uint8_t v, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                              std::uint8_t b3, std::uint8_t b4, std::uint8_t b5, std::uint8_t b6,
                              std::uint8_t b7, std::uint8_t b8, std::uint8_t b9, std::uint8_t b10,
                              std::uint8_t b11, std::uint8_t b12, std::uint8_t b13,
                              std::uint8_t b14, std::uint8_t b15) noexcept {
  const auto word = [](std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d,
                       std::uint8_t e, std::uint8_t f, std::uint8_t g, std::uint8_t h) {
    return (std::uint64_t{a} << 56) | (std::uint64_t{b} << 48) | (std::uint64_t{c} << 40) |
           (std::uint64_t{d} << 32) | (std::uint64_t{e} << 24) | (std::uint64_t{f} << 16) |
           (std::uint64_t{g} << 8) | std::uint64_t{h};
  };
  // Byte 6 is bits 15-8 of hiWord, byte 8 bits 63-56 of loWord.
  const std::uint64_t version = std::uint64_t{static_cast<std::uint8_t>(v << 4)} << 8;
  const std::uint64_t hi = (word(b0, b1, b2, b3, b4, b5, b6, b7) & ~std::uint64_t{0xF000}) | version;
  const std::uint64_t lo = (word(b8, b9, b10, b11, b12, b13, b14, b15) & 0x3FFFFFFFFFFFFFFFULL) |
                           0x8000000000000000ULL;
  return UUID(hi, lo);
}

/// The words 0 to 3 with v shifted into bits 12 and up of word 1 (so a v above 15 reaches the
/// low bits of time_mid) and the variant bits 1, 0 in bits 31-30 of word 2.
[[nodiscard]] constexpr UUID buildFromWords(std::uint8_t v, std::uint32_t w0, std::uint32_t w1,
                              std::uint32_t w2, std::uint32_t w3) noexcept {
  const std::uint64_t hi = (std::uint64_t{w0} << 32) | ((w1 & 0xFFFF0FFFu) | (std::uint32_t{v} << 12));
  const std::uint64_t lo = (std::uint64_t{(w2 & 0x3FFFFFFFu) | 0x80000000u} << 32) | w3;
  return UUID(hi, lo);
}

/// @}

namespace internal {
// buildFromBytes at version 4, waiting for its sixteen bytes.
struct BuildVersion4 {
  constexpr UUID operator()(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                            std::uint8_t b4, std::uint8_t b5, std::uint8_t b6, std::uint8_t b7,
                            std::uint8_t b8, std::uint8_t b9, std::uint8_t b10,
                            std::uint8_t b11, std::uint8_t b12, std::uint8_t b13,
                            std::uint8_t b14, std::uint8_t b15) const noexcept {
    return buildFromBytes(4, b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14,
                          b15);
  }
};
}  // namespace internal

}  // namespace quendle

namespace hs {
/// \addtogroup quendle_uuid
/// @{

/// Random version-4 UUIDs from a generator: two 64-bit draws, bytes 0-7 from the first and 8-15
/// from the second, most significant first, stamped as version 4, variant 1, 0.
template <>
struct Uniform<quendle::UUID> {
  /// \privatesection
  template <StatefulGen G>
  static quendle::UUID uniformM(G& g) {
    const std::uint64_t w1 = hs::uniformWord64(g);
    const std::uint64_t w2 = hs::uniformWord64(g);
    return quendle::feed(quendle::feed(quendle::internal::BuildVersion4{}, w1), w2);
  }
};

/// The pure forms: uniformM run over the state adapter, returning the advanced generator; a
/// range is ignored.
template <>
struct Random<quendle::UUID> {
  /// \privatesection
  template <RandomGen G>
  [[nodiscard]] static std::pair<quendle::UUID, G> random(G g) {
    return hs::runStateGen(std::move(g), [](StateGen<G>& s) {
      return Uniform<quendle::UUID>::uniformM(s);
    });
  }
  template <RandomGen G>
  [[nodiscard]] static std::pair<quendle::UUID, G> randomR(const std::pair<quendle::UUID, quendle::UUID>&,
                                             G g) {
    return random(std::move(g));
  }
};

/// @}
}  // namespace hs
