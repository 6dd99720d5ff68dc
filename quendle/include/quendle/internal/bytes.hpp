// The byte forms: the 16 bytes in network order, the serialised form and the raw-memory layout.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "hs/bytes.hpp"

#include "hs/binary.hpp"
#include "hs/storable.hpp"
#include "quendle/internal/value.hpp"

namespace quendle {
/// \addtogroup quendle_uuid
/// @{

/// Bytes 0 to 15, in a newly allocated vector.
[[nodiscard]] std::vector<std::uint8_t> toList(UUID u);
/// The 16 bytes as a lazy byte string of one chunk (allocates the chunk and its list cell).
[[nodiscard]] hs::LazyByteString toByteString(UUID u);
/// Exactly 16 bytes, else absent; at most 17 bytes are reached, so an endless input is answered.
/// Allocates nothing itself; reaching a chunk may force the input's deferred tail.
[[nodiscard]] std::optional<UUID> fromByteString(const hs::LazyByteString& l);

/// @}
}  // namespace quendle

namespace hs {
/// \addtogroup quendle_uuid
/// @{

/// The serialised form: the 16 bytes, hiWord then loWord, each big-endian; no tag or length.
template <>
struct Binary<quendle::UUID> {
  /// \privatesection
  static void put(quendle::UUID u, binary::Output& out) {
    std::uint8_t* p = out.reserve(16);
    binary::detail::storeBE64(p, u.hiWord());
    binary::detail::storeBE64(p + 8, u.loWord());
    out.advance(16);
  }
  static quendle::UUID get(binary::Input& in) {
    const std::uint64_t hi = in.getWord64be();
    const std::uint64_t lo = in.getWord64be();
    return quendle::UUID(hi, lo);
  }
};

/// The raw-memory layout, the RFC 4122 record for foreign code: time_low (32 bits), time_mid and
/// time_hi_and_version (16 bits each) in host order, then the eight single bytes; 16 bytes,
/// alignment 4. Element i of an array lies at byte offset i shifted left by 4.
template <>
struct Storable<quendle::UUID> {
  /// \privatesection
  [[nodiscard]] static constexpr std::size_t sizeOf() noexcept { return 16; }
  [[nodiscard]] static constexpr std::size_t alignment() noexcept { return 4; }
  [[nodiscard]] static quendle::UUID peekByteOff(const void* p, std::ptrdiff_t off) noexcept {
    const auto* q = static_cast<const std::uint8_t*>(p) + off;
    std::uint32_t timeLow;
    std::uint16_t timeMid, timeHi;
    std::memcpy(&timeLow, q, 4);
    std::memcpy(&timeMid, q + 4, 2);
    std::memcpy(&timeHi, q + 6, 2);
    std::uint64_t lo;
    std::memcpy(&lo, q + 8, 8);
    if constexpr (std::endian::native == std::endian::little) lo = __builtin_bswap64(lo);
    return quendle::UUID((std::uint64_t{timeLow} << 32) | (std::uint64_t{timeMid} << 16) | timeHi,
                         lo);
  }
  static void pokeByteOff(void* p, std::ptrdiff_t off, quendle::UUID u) noexcept {
    auto* q = static_cast<std::uint8_t*>(p) + off;
    const auto timeLow = static_cast<std::uint32_t>(u.hiWord() >> 32);
    const auto timeMid = static_cast<std::uint16_t>(u.hiWord() >> 16);
    const auto timeHi = static_cast<std::uint16_t>(u.hiWord());
    std::uint64_t lo = u.loWord();
    if constexpr (std::endian::native == std::endian::little) lo = __builtin_bswap64(lo);
    std::memcpy(q, &timeLow, 4);
    std::memcpy(q + 4, &timeMid, 2);
    std::memcpy(q + 6, &timeHi, 2);
    std::memcpy(q + 8, &lo, 8);
  }
  [[nodiscard]] static quendle::UUID peekElemOff(const void* p, std::ptrdiff_t i) noexcept {
    return peekByteOff(p, elemOffset(i));
  }
  static void pokeElemOff(void* p, std::ptrdiff_t i, quendle::UUID u) noexcept {
    pokeByteOff(p, elemOffset(i), u);
  }

 private:
  [[nodiscard]] static std::ptrdiff_t elemOffset(std::ptrdiff_t i) noexcept {
    return static_cast<std::ptrdiff_t>(static_cast<std::size_t>(i) << 4);
  }
};

/// @}
}  // namespace hs
