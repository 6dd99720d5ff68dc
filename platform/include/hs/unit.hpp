/// \defgroup hs_unit hs/unit.hpp
/// \ingroup hsplatform
/// The unit value and the three-way ordering.
#pragma once

#include <compare>
#include <cstdint>

#include "hs/lazy.hpp"

namespace hs {
/// \addtogroup hs_unit
/// @{

/// The one value of the unit type; all units are equal.
struct Unit {
  /// True: all units are equal.
  [[nodiscard]] friend constexpr bool operator==(Unit, Unit) noexcept { return true; }
  /// Equal: all units are equal.
  [[nodiscard]] friend constexpr std::strong_ordering operator<=>(Unit, Unit) noexcept {
    return std::strong_ordering::equal;
  }
};
/// The unit value.
inline constexpr Unit unit{};

/// The shared, evaluated cell holding the unit value; every use shares this one object.
[[nodiscard]] const Lazy<Unit>& unitCell() noexcept;

/// The standard three-way ordering, in declared order.
enum class Ordering : std::int8_t { LT = -1, EQ = 0, GT = 1 };
/// Less.
inline constexpr Ordering LT = Ordering::LT;
/// Equal.
inline constexpr Ordering EQ = Ordering::EQ;
/// Greater.
inline constexpr Ordering GT = Ordering::GT;

/// The Ordering of a standard comparison result.
[[nodiscard]] constexpr Ordering toOrdering(std::strong_ordering o) noexcept {
  return o < 0 ? LT : (o > 0 ? GT : EQ);
}
/// The Ordering of a standard comparison result.
[[nodiscard]] constexpr Ordering toOrdering(std::weak_ordering o) noexcept {
  return o < 0 ? LT : (o > 0 ? GT : EQ);
}
/// The standard comparison result of an Ordering.
[[nodiscard]] constexpr std::strong_ordering toStdOrdering(Ordering o) noexcept {
  return o == LT ? std::strong_ordering::less
                 : (o == GT ? std::strong_ordering::greater : std::strong_ordering::equal);
}
/// compare through < of the type: LT when a < b, GT when b < a, else EQ.
template <class T>
[[nodiscard]] constexpr Ordering compare(const T& a, const T& b) {
  if (a < b) return LT;
  if (b < a) return GT;
  return EQ;
}
/// Lexicographic combination: the first ordering unless it is EQ.
[[nodiscard]] constexpr Ordering thenCmp(Ordering a, Ordering b) noexcept { return a == EQ ? b : a; }

/// @}
}  // namespace hs
