// The UUID value: two 64-bit words, their 32-bit and field forms, equality, ordering and hashing.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "hs/hashable.hpp"
#include "hs/lazy.hpp"
#include "hs/read.hpp"
#include "hs/show.hpp"
#include "hs/unit.hpp"

namespace quendle {
/// \addtogroup quendle_uuid
/// @{

/// A 128-bit identifier. Its bytes, numbered 0 to 15 in network order, are hiWord big-endian
/// followed by loWord big-endian. Every 128-bit value is a UUID; the default one is nil.
/// Trivially copyable, 16 bytes.
class UUID {
 public:
  /// The nil UUID.
  constexpr UUID() noexcept = default;
  /// Bytes 0-7 from `hiWord` and 8-15 from `loWord`, each big-endian.
  constexpr UUID(std::uint64_t hiWord, std::uint64_t loWord) noexcept : hi_(hiWord), lo_(loWord) {}

  /// Bytes 0-7 as one big-endian word.
  [[nodiscard]] constexpr std::uint64_t hiWord() const noexcept { return hi_; }
  /// Bytes 8-15 as one big-endian word.
  [[nodiscard]] constexpr std::uint64_t loWord() const noexcept { return lo_; }

  /// Equal when all 16 bytes are.
  friend constexpr bool operator==(UUID a, UUID b) noexcept = default;
  /// hiWord, then loWord, both unsigned: the order of the 16 bytes compared left to right.
  [[nodiscard]] friend constexpr std::strong_ordering operator<=>(UUID a, UUID b) noexcept {
    if (a.hi_ != b.hi_) return a.hi_ <=> b.hi_;
    return a.lo_ <=> b.lo_;
  }

 private:
  std::uint64_t hi_ = 0;
  std::uint64_t lo_ = 0;
};
static_assert(sizeof(UUID) == 16 && std::is_trivially_copyable_v<UUID>);

/// The UUID whose 128 bits are all zero.
inline constexpr UUID nil{};

/// The UUID of two 64-bit words: bytes 0-7, then 8-15, each big-endian.
[[nodiscard]] constexpr UUID fromWords64(std::uint64_t hiWord, std::uint64_t loWord) noexcept {
  return UUID(hiWord, loWord);
}
/// The two 64-bit words (hiWord, loWord): the inverse of fromWords64.
[[nodiscard]] constexpr std::pair<std::uint64_t, std::uint64_t> toWords64(UUID u) noexcept {
  return {u.hiWord(), u.loWord()};
}
/// The four 32-bit words: bytes 0-3, 4-7, 8-11 and 12-15, each big-endian.
[[nodiscard]] constexpr std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t> toWords(
    UUID u) noexcept {
  return {static_cast<std::uint32_t>(u.hiWord() >> 32), static_cast<std::uint32_t>(u.hiWord()),
          static_cast<std::uint32_t>(u.loWord() >> 32), static_cast<std::uint32_t>(u.loWord())};
}
/// The UUID of four 32-bit words: the inverse of toWords.
[[nodiscard]] constexpr UUID fromWords(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                         std::uint32_t d) noexcept {
  return UUID((std::uint64_t{a} << 32) | b, (std::uint64_t{c} << 32) | d);
}
/// Whether `u` is nil.
[[nodiscard]] constexpr bool null(UUID u) noexcept { return u.hiWord() == 0 && u.loWord() == 0; }

/// The three-way comparison of `operator<=>` as an hs::Ordering.
[[nodiscard]] constexpr hs::Ordering compare(UUID a, UUID b) noexcept { return hs::toOrdering(a <=> b); }
/// The greater argument itself; of two equal values, the second.
[[nodiscard]] constexpr const UUID& max(const UUID& x, const UUID& y) noexcept { return x <= y ? y : x; }
/// The lesser argument itself; of two equal values, the first.
[[nodiscard]] constexpr const UUID& min(const UUID& x, const UUID& y) noexcept { return x <= y ? x : y; }

/// The salt mixed with the four 32-bit words in order.
[[nodiscard]] constexpr std::int64_t hashWithSalt(std::int64_t salt, UUID u) noexcept {
  const auto [w0, w1, w2, w3] = toWords(u);
  return hs::saltedWordHash(
      hs::saltedWordHash(hs::saltedWordHash(hs::saltedWordHash(salt, w0), w1), w2), w3);
}
/// Word 0 itself is the starting value, mixed with words 1 to 3; the default salt plays no
/// part.
[[nodiscard]] constexpr std::int64_t hash(UUID u) noexcept {
  const auto [w0, w1, w2, w3] = toWords(u);
  return hs::saltedWordHash(
      hs::saltedWordHash(hs::saltedWordHash(static_cast<std::int64_t>(w0), w1), w2), w3);
}

// ---------------------------------------------------------------------------------------------
// The field record

/// A field of UnpackedUUID: a value, or a deferred value computed on first demand.
template <class T>
class Field {
 public:
  /// A field with its value.
  Field(T v) noexcept : v_(std::in_place_index<0>, v) {}  // NOLINT: fields are given as numbers
  /// A field with its value given as any other integer, converted to `T` (bits beyond `T` are
  /// dropped).
  template <class I>
    requires(std::is_integral_v<I> && !std::is_same_v<I, T> && !std::is_same_v<I, bool>)
  Field(I v) noexcept : v_(std::in_place_index<0>, static_cast<T>(v)) {}  // NOLINT
  /// A deferred field: the cell is shared, not forced.
  Field(hs::Lazy<T> cell) noexcept : v_(std::in_place_index<1>, std::move(cell)) {}  // NOLINT

  /// The value; a deferred one is computed on first demand (and its failure re-thrown).
  T force() const { return v_.index() == 0 ? std::get<0>(v_) : std::get<1>(v_).force(); }
  /// Whether the value is known without computing anything.
  [[nodiscard]] bool evaluated() const noexcept { return v_.index() == 0 || std::get<1>(v_).evaluated(); }

 private:
  std::variant<T, hs::Lazy<T>> v_;
};

/// The RFC 4122 fields, in declared order. Every field may be deferred; reading one forces it.
/// Copies share deferred fields, so each is computed at most once.
class UnpackedUUID {
 public:
  /// The record of its eleven fields; none is forced.
  UnpackedUUID(Field<std::uint32_t> time_low, Field<std::uint16_t> time_mid,
               Field<std::uint16_t> time_hi_and_version, Field<std::uint8_t> clock_seq_hi_res,
               Field<std::uint8_t> clock_seq_low, Field<std::uint8_t> node_0,
               Field<std::uint8_t> node_1, Field<std::uint8_t> node_2, Field<std::uint8_t> node_3,
               Field<std::uint8_t> node_4, Field<std::uint8_t> node_5)
      : time_low_(std::move(time_low)),
        time_mid_(std::move(time_mid)),
        time_hi_and_version_(std::move(time_hi_and_version)),
        clock_seq_hi_res_(std::move(clock_seq_hi_res)),
        clock_seq_low_(std::move(clock_seq_low)),
        node_{std::move(node_0), std::move(node_1), std::move(node_2),
              std::move(node_3), std::move(node_4), std::move(node_5)} {}

  /// @{
  /// The field, forced.
  [[nodiscard]] std::uint32_t time_low() const { return time_low_.force(); }
  [[nodiscard]] std::uint16_t time_mid() const { return time_mid_.force(); }
  [[nodiscard]] std::uint16_t time_hi_and_version() const { return time_hi_and_version_.force(); }
  [[nodiscard]] std::uint8_t clock_seq_hi_res() const { return clock_seq_hi_res_.force(); }
  [[nodiscard]] std::uint8_t clock_seq_low() const { return clock_seq_low_.force(); }
  [[nodiscard]] std::uint8_t node_0() const { return node_[0].force(); }
  [[nodiscard]] std::uint8_t node_1() const { return node_[1].force(); }
  [[nodiscard]] std::uint8_t node_2() const { return node_[2].force(); }
  [[nodiscard]] std::uint8_t node_3() const { return node_[3].force(); }
  [[nodiscard]] std::uint8_t node_4() const { return node_[4].force(); }
  [[nodiscard]] std::uint8_t node_5() const { return node_[5].force(); }
  /// @}

  /// Field i (0 to 10) forced, widened. Another i is the caller's bug: an hs::ProgramError.
  [[nodiscard]] std::uint32_t field(std::size_t i) const;

 private:
  Field<std::uint32_t> time_low_;
  Field<std::uint16_t> time_mid_;
  Field<std::uint16_t> time_hi_and_version_;
  Field<std::uint8_t> clock_seq_hi_res_;
  Field<std::uint8_t> clock_seq_low_;
  Field<std::uint8_t> node_[6];
};

/// The number of fields of UnpackedUUID.
inline constexpr std::size_t unpackedFieldCount = 11;

namespace internal {
[[noreturn]] void fieldIndexError(std::size_t i);
}  // namespace internal

[[nodiscard]] inline std::uint32_t UnpackedUUID::field(std::size_t i) const {
  switch (i) {
    case 0:
      return time_low();
    case 1:
      return time_mid();
    case 2:
      return time_hi_and_version();
    case 3:
      return clock_seq_hi_res();
    case 4:
      return clock_seq_low();
    default:
      if (i >= unpackedFieldCount) quendle::internal::fieldIndexError(i);
      return node_[i - 5].force();
  }
}

/// The fields of `u`, every one computed at once from the words.
[[nodiscard]] inline UnpackedUUID unpack(UUID u) {
  const std::uint64_t h = u.hiWord(), l = u.loWord();
  const auto b = [l](int shift) { return static_cast<std::uint8_t>(l >> shift); };
  return UnpackedUUID(static_cast<std::uint32_t>(h >> 32), static_cast<std::uint16_t>(h >> 16),
                      static_cast<std::uint16_t>(h), b(56), b(48), b(40), b(32), b(24), b(16),
                      b(8), b(0));
}
/// The UUID of the fields, forced in declared order; nothing is masked.
[[nodiscard]] inline UUID pack(const UnpackedUUID& r) {
  std::uint64_t h = std::uint64_t{r.time_low()} << 32;
  h |= std::uint64_t{r.time_mid()} << 16;
  h |= r.time_hi_and_version();
  std::uint64_t l = std::uint64_t{r.clock_seq_hi_res()} << 56;
  l |= std::uint64_t{r.clock_seq_low()} << 48;
  l |= std::uint64_t{r.node_0()} << 40;
  l |= std::uint64_t{r.node_1()} << 32;
  l |= std::uint64_t{r.node_2()} << 24;
  l |= std::uint64_t{r.node_3()} << 16;
  l |= std::uint64_t{r.node_4()} << 8;
  l |= r.node_5();
  return UUID(h, l);
}

/// Field by field in declared order, the left record's field forced first; the first difference
/// decides and the fields after it stay unforced.
[[nodiscard]] hs::Ordering compare(const UnpackedUUID& a, const UnpackedUUID& b);
/// Field by field like compare: fields after the first difference stay unforced.
[[nodiscard]] bool operator==(const UnpackedUUID& a, const UnpackedUUID& b);
/// Field by field like compare: fields after the first difference stay unforced.
[[nodiscard]] bool operator<(const UnpackedUUID& a, const UnpackedUUID& b);
/// `b < a`.
[[nodiscard]] inline bool operator>(const UnpackedUUID& a, const UnpackedUUID& b) { return b < a; }
/// `!(b < a)`.
[[nodiscard]] inline bool operator<=(const UnpackedUUID& a, const UnpackedUUID& b) { return !(b < a); }
/// `!(a < b)`.
[[nodiscard]] inline bool operator>=(const UnpackedUUID& a, const UnpackedUUID& b) { return !(a < b); }
/// compare as a `std::strong_ordering`.
[[nodiscard]] inline std::strong_ordering operator<=>(const UnpackedUUID& a, const UnpackedUUID& b) {
  return hs::toStdOrdering(quendle::compare(a, b));
}
/// The greater argument itself; of two equal records, the second.
[[nodiscard]] inline const UnpackedUUID& max(const UnpackedUUID& x, const UnpackedUUID& y) {
  return x <= y ? y : x;
}
/// The lesser argument itself; of two equal records, the first.
[[nodiscard]] inline const UnpackedUUID& min(const UnpackedUUID& x, const UnpackedUUID& y) {
  return x <= y ? x : y;
}

/// @}
}  // namespace quendle

namespace hs {
/// \addtogroup quendle_uuid
/// @{

/// Hashing: quendle::hash and quendle::hashWithSalt.
template <>
struct Hashable<quendle::UUID> {
  /// \privatesection
  [[nodiscard]] static std::int64_t hash(quendle::UUID u) noexcept { return quendle::hash(u); }
  [[nodiscard]] static std::int64_t hashWithSalt(std::int64_t salt, quendle::UUID u) noexcept {
    return quendle::hashWithSalt(salt, u);
  }
};

/// The derived record form: "UnpackedUUID {time_low = 1, ..., node_5 = 11}", bracketed at
/// precedence 11 and above; each field is forced as its text is written.
template <>
struct Show<quendle::UnpackedUUID> {
  /// \privatesection
  static void showsPrec(int d, const quendle::UnpackedUUID& r, std::string& out);
};
/// The derived record form, as Show writes it; fields are read as decimal numbers.
template <>
struct Read<quendle::UnpackedUUID> {
  /// \privatesection
  [[nodiscard]] static ReadPrec<quendle::UnpackedUUID> readPrec();
};

/// @}
}  // namespace hs

/// \addtogroup quendle_uuid
/// @{

/// quendle::hash, for the standard containers.
template <>
struct std::hash<quendle::UUID> {
  /// \privatesection
  std::size_t operator()(quendle::UUID u) const noexcept {
    return static_cast<std::size_t>(quendle::hash(u));
  }
};
/// @}
