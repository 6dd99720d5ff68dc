// Equality, ordering and hashing of sets: the map's own walks over the map to unit, with the
// unit type's capability for the values (all units are equal and hash alike).
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>

#include "hs/hashable.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/compare.hpp"
#include "vantrel/map/internal/hashing.hpp"
#include "vantrel/set/internal/type.hpp"

namespace vantrel::internal::set {

namespace detail {

// The unit type's comparison, hashing and evaluation for the values: the cell is forced (by
// hs::call), the unit itself carries nothing.
struct UnitCompare {
  hs::Ordering operator()(hs::Unit, hs::Unit) const noexcept { return hs::EQ; }
};
struct UnitHash {
  std::int64_t operator()(std::int64_t salt, hs::Unit u) const noexcept {
    return hs::hashWithSalt(salt, u);
  }
};
struct UnitRnf {
  void operator()(hs::Unit) const noexcept {}
};

}  // namespace detail

// ---- Equality and ordering -----------------------------------------------------------------

/// \addtogroup vantrel_set
/// @{
/// \name Comparison and hashing
/// @{

/// The same elements under r (r receives the two sets' elements), in trie order, elements of one
/// hash in any order. O(n), stopping at the first difference; allocates only for the elements of a
/// collision of one hash.
template <class R, class A, class B>
[[nodiscard]] bool liftEq(R&& r, const HashSet<A>& s1, const HashSet<B>& s2) {
  return internal::equalKeys1(r, s1.asMap(), s2.asMap());
}

/// The ordering of s1 and s2 by their elements' own comparison, in trie order (the map's compare
/// with the unit value). O(n), stopping at the first difference. The operators <, <=, >, >= and <=>
/// are this walk too.
template <class T>
[[nodiscard]] hs::Ordering compare(const HashSet<T>& s1, const HashSet<T>& s2) {
  return internal::cmp(internal::detail::Compare{}, detail::UnitCompare{}, s1.asMap(), s2.asMap());
}
/// compare with cmpElem for the elements.
template <class C, class A, class B>
[[nodiscard]] hs::Ordering liftCompare(C&& cmpElem, const HashSet<A>& s1, const HashSet<B>& s2) {
  return internal::cmp(cmpElem, detail::UnitCompare{}, s1.asMap(), s2.asMap());
}
/// s1 when it is the greater, else s2 (so s2 on a tie): the very argument sets.
/// One comparison (see compare).
template <class T>
[[nodiscard]] HashSet<T> max(const HashSet<T>& s1, const HashSet<T>& s2) {
  return set::compare(s1, s2) == hs::GT ? s1 : s2;
}
/// s2 when s1 is the greater, else s1 (so s1 on a tie).
/// One comparison (see compare).
template <class T>
[[nodiscard]] HashSet<T> min(const HashSet<T>& s1, const HashSet<T>& s2) {
  return set::compare(s1, s2) == hs::GT ? s2 : s1;
}
/// @}
/// @}

// ---- Hashing -------------------------------------------------------------------------------

/// \addtogroup vantrel_set
/// @{
/// \name Comparison and hashing
/// @{

/// The hash of the map to unit: a set hashes exactly as its map.
/// Hashes no element (the stored hashes stand for them); O(n).
template <class T>
[[nodiscard]] std::int64_t hashWithSalt(std::int64_t salt, const HashSet<T>& s) {
  return internal::hashWithSalt(salt, s.asMap());
}
/// hashWithSalt with the default salt.
template <class T>
[[nodiscard]] std::int64_t hash(const HashSet<T>& s) {
  return internal::hashWithSalt(hs::defaultSalt, s.asMap());
}
/// With the caller's element hasher h(salt, x); the element is hashed with h rather than its stored
/// hash mixed in, so this differs from hashWithSalt even for the element's own hash. O(n).
// With the caller's element hasher h(salt, x); a `Leaf` hashes its element with h rather than
// mixing in its stored hash, so this differs from hashWithSalt even for the element's own hash.
template <class H, class T>
[[nodiscard]] std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const HashSet<T>& s) {
  return internal::liftHashWithSalt2(h, detail::UnitHash{}, salt, s.asMap());
}

/// @}
/// @}
}  // namespace vantrel::internal::set

// ---- C++ operators -------------------------------------------------------------------------

namespace vantrel {

/// \addtogroup vantrel_set
/// @{
/// \name Operators on sets
/// @{

/// The same elements, whatever the order of insertion.
/// The map's key equality: walks both sets in step, O(n), stopping at the first difference.
template <class T>
bool operator==(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::equalKeys(x.asMap(), y.asMap());
}
/// compare(x, y) as a std::weak_ordering.
template <class T>
std::weak_ordering operator<=>(const HashSet<T>& x, const HashSet<T>& y) {
  const hs::Ordering o = internal::set::compare(x, y);
  return o == hs::LT ? std::weak_ordering::less
                     : (o == hs::GT ? std::weak_ordering::greater : std::weak_ordering::equivalent);
}
/// Whether x orders before y (compare); the comparisons see y's elements first.
template <class T>
bool operator<(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::set::compare(y, x) == hs::GT;
}
/// Whether x orders before or equal to y (compare).
template <class T>
bool operator<=(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::set::compare(x, y) != hs::GT;
}
/// Whether x orders after y (compare).
template <class T>
bool operator>(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::set::compare(x, y) == hs::GT;
}
/// Whether x orders after or equal to y (compare); the comparisons see y's elements first.
template <class T>
bool operator>=(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::set::compare(y, x) != hs::GT;
}

/// @}
/// @}
}  // namespace vantrel

// ---- Platform capabilities -----------------------------------------------------------------

/// \addtogroup vantrel_set
/// @{

/// Hashing: the set's hashWithSalt and hash.
template <class T>
struct hs::Hashable<vantrel::HashSet<T>> {
  /// \privatesection
  static std::int64_t hashWithSalt(std::int64_t salt, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::hashWithSalt(salt, s);
  }
  static std::int64_t hash(const vantrel::HashSet<T>& s) { return vantrel::internal::set::hash(s); }
};
/// Lifted hashing: the set's liftHashWithSalt.
template <class T>
struct hs::Hashable1<vantrel::HashSet<T>> {
  /// \privatesection
  template <class H>
  static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::liftHashWithSalt(h, salt, s);
  }
};
/// std::unordered_map and friends hash sets with the set's own hash.
template <class T>
struct std::hash<vantrel::HashSet<T>> {
  /// \privatesection
  std::size_t operator()(const vantrel::HashSet<T>& s) const {
    return static_cast<std::size_t>(vantrel::internal::set::hash(s));
  }
};
/// @}
