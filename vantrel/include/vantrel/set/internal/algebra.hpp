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

template <class T>
[[nodiscard]] HashSet<T> union_(const HashSet<T>& s1, const HashSet<T>& s2) {
  return HashSet<T>(internal::union_(s1.asMap(), s2.asMap()));
}

// The union of the sets from the front, one accumulator: of equal elements the earliest set's
// stays (as union_ chooses).
template <std::ranges::input_range R>
[[nodiscard]] std::remove_cvref_t<std::ranges::range_reference_t<const R&>> unions(const R& sets) {
  using S = std::remove_cvref_t<std::ranges::range_reference_t<const R&>>;
  S acc;
  for (const auto& s : sets) acc = set::union_(acc, s);
  return acc;
}
template <class T>
[[nodiscard]] HashSet<T> unions(std::initializer_list<HashSet<T>> sets) {
  return set::unions<std::initializer_list<HashSet<T>>>(sets);
}

// The elements of s1 that s2 lacks, rebuilt into a new set.
template <class T>
[[nodiscard]] HashSet<T> difference(const HashSet<T>& s1, const HashSet<T>& s2) {
  return HashSet<T>(internal::difference(s1.asMap(), s2.asMap()));
}
template <class T>
[[nodiscard]] HashSet<T> intersection(const HashSet<T>& s1, const HashSet<T>& s2) {
  return HashSet<T>(internal::intersection(s1.asMap(), s2.asMap()));
}
// Every element of s1 is in s2. The values are not looked at, not even forced.
template <class T>
[[nodiscard]] bool isSubsetOf(const HashSet<T>& s1, const HashSet<T>& s2) {
  return internal::isSubmapOfBy(
      hs::onCells([](const hs::Lazy<hs::Unit>&, const hs::Lazy<hs::Unit>&) { return true; }),
      s1.asMap(), s2.asMap());
}

}  // namespace vantrel::internal::set

// Union is the combination; sconcat and mconcat are the platform's right-nested defaults.
template <class T>
struct hs::Semigroup<vantrel::HashSet<T>> {
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
template <class T>
struct hs::Monoid<vantrel::HashSet<T>> {
  static vantrel::HashSet<T> mempty() { return vantrel::HashSet<T>(); }
};
