// Set algebra: the map's union, intersection, difference and submap test on the underlying maps,
// and the set semigroup and monoid (union and the empty set). Which element object survives is
// the map operation's choice: union keeps the left set's element, except that a right `Leaf`
// meeting a left `Collision` puts its element in place of the left one; intersection keeps the
// left set's element, except where the right set holds it in a lone `Leaf` facing a branch or a
// `Collision` of the left set.
#pragma once

#include <concepts>
#include <initializer_list>
#include <ranges>
#include <type_traits>
#include <vector>

#include "hs/call.hpp"
#include "hs/error.hpp"
#include "hs/semigroup.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/difference.hpp"
#include "vantrel/map/internal/intersection.hpp"
#include "vantrel/map/internal/union.hpp"
#include "vantrel/set/internal/type.hpp"

namespace vantrel::internal::set {

/// \addtogroup vantrel_set
/// @{
/// \name Combination
/// @{

/// Every element of either set; of two equal elements the left one stays. The map's union_: hashes
/// no element, walks both sets where both have elements, O(n + m) at most, and shares every subtree
/// only one set holds.
template <class T>
[[nodiscard]] HashSet<T> union_(const HashSet<T>& s1, const HashSet<T>& s2) {
  return HashSet<T>(internal::union_(s1.asMap(), s2.asMap()));
}

/// The union of the sets from the front, one accumulator: of equal elements the earliest set's
/// stays (as union_ chooses).
/// One union_ per set after the first.
template <std::ranges::input_range R>
[[nodiscard]] std::remove_cvref_t<std::ranges::range_reference_t<const R&>> unions(const R& sets) {
  using S = std::remove_cvref_t<std::ranges::range_reference_t<const R&>>;
  S acc;
  for (const auto& s : sets) acc = set::union_(acc, s);
  return acc;
}
/// The same for a braced list of sets.
template <class T>
[[nodiscard]] HashSet<T> unions(std::initializer_list<HashSet<T>> sets) {
  return set::unions<std::initializer_list<HashSet<T>>>(sets);
}

/// The elements of s1 that s2 lacks, rebuilt into a new set. The map's difference: for arithmetic,
/// enum, pointer and std::string elements a walk over both sets that shares untouched subtrees; for
/// others one hash and lookup per element of s1, O(n log m) expected.
template <class T>
[[nodiscard]] HashSet<T> difference(const HashSet<T>& s1, const HashSet<T>& s2) {
  return HashSet<T>(internal::difference(s1.asMap(), s2.asMap()));
}
/// The elements of both sets, s1's stored ones. The map's intersection: hashes no element, O(n + m)
/// at most.
template <class T>
[[nodiscard]] HashSet<T> intersection(const HashSet<T>& s1, const HashSet<T>& s2) {
  return HashSet<T>(internal::intersection(s1.asMap(), s2.asMap()));
}
/// Every element of s1 is in s2. The values are not looked at, not even forced.
/// Walks both sets in step, O(n + m) at most; allocates nothing.
template <class T>
[[nodiscard]] bool isSubsetOf(const HashSet<T>& s1, const HashSet<T>& s2) {
  return internal::isSubmapOfBy(
      hs::onCells([](const hs::Lazy<hs::Unit>&, const hs::Lazy<hs::Unit>&) { return true; }),
      s1.asMap(), s2.asMap());
}

/// @}
/// @}
}  // namespace vantrel::internal::set

/// \addtogroup vantrel_set
/// @{

/// Union is the combination; sconcat and mconcat are the platform's right-nested defaults.
template <class T>
struct hs::Semigroup<vantrel::HashSet<T>> {
  /// \privatesection
  static vantrel::HashSet<T> mappend(const vantrel::HashSet<T>& a, const vantrel::HashSet<T>& b) {
    return vantrel::internal::set::union_(a, b);
  }
  // Union is idempotent: a positive count gives the set itself, zero the empty set.
  template <std::integral N>
  static vantrel::HashSet<T> stimes(N n, const vantrel::HashSet<T>& s) {
    if (n > N(0)) return s;
    if (n == N(0)) return vantrel::HashSet<T>();
    hs::errorWithoutStackTrace("stimesIdempotentMonoid: negative multiplier");
  }
};
/// The set monoid: the empty set and union_.
template <class T>
struct hs::Monoid<vantrel::HashSet<T>> {
  /// \privatesection
  static vantrel::HashSet<T> mempty() { return vantrel::HashSet<T>(); }
};
/// @}
