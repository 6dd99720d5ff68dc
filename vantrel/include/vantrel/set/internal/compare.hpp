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

// The same elements under r, leaf by leaf in trie order; collisions in any order.
template <class R, class A, class B>
[[nodiscard]] bool liftEq(R&& r, const HashSet<A>& s1, const HashSet<B>& s2) {
  return internal::equalKeys1(r, s1.asMap(), s2.asMap());
}

template <class T>
[[nodiscard]] hs::Ordering compare(const HashSet<T>& s1, const HashSet<T>& s2) {
  return internal::cmp(internal::detail::Compare{}, detail::UnitCompare{}, s1.asMap(), s2.asMap());
}
template <class C, class A, class B>
[[nodiscard]] hs::Ordering liftCompare(C&& cmpElem, const HashSet<A>& s1, const HashSet<B>& s2) {
  return internal::cmp(cmpElem, detail::UnitCompare{}, s1.asMap(), s2.asMap());
}
// s1 when it is the greater, else s2 (so s2 on a tie): the very argument sets.
template <class T>
[[nodiscard]] HashSet<T> max(const HashSet<T>& s1, const HashSet<T>& s2) {
  return set::compare(s1, s2) == hs::GT ? s1 : s2;
}
// s2 when s1 is the greater, else s1 (so s1 on a tie).
template <class T>
[[nodiscard]] HashSet<T> min(const HashSet<T>& s1, const HashSet<T>& s2) {
  return set::compare(s1, s2) == hs::GT ? s2 : s1;
}

// ---- Hashing -------------------------------------------------------------------------------

// The hash of the map to unit: a set hashes exactly as its map.
template <class T>
[[nodiscard]] std::int64_t hashWithSalt(std::int64_t salt, const HashSet<T>& s) {
  return internal::hashWithSalt(salt, s.asMap());
}
template <class T>
[[nodiscard]] std::int64_t hash(const HashSet<T>& s) {
  return internal::hashWithSalt(hs::defaultSalt, s.asMap());
}
// With the caller's element hasher h(salt, x); a `Leaf` hashes its element with h rather than
// mixing in its stored hash, so this differs from hashWithSalt even for the element's own hash.
template <class H, class T>
[[nodiscard]] std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const HashSet<T>& s) {
  return internal::liftHashWithSalt2(h, detail::UnitHash{}, salt, s.asMap());
}

}  // namespace vantrel::internal::set

// ---- C++ operators -------------------------------------------------------------------------

namespace vantrel {

// The same elements, whatever the order of insertion.
template <class T>
bool operator==(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::equalKeys(x.asMap(), y.asMap());
}
template <class T>
std::weak_ordering operator<=>(const HashSet<T>& x, const HashSet<T>& y) {
  const hs::Ordering o = internal::set::compare(x, y);
  return o == hs::LT ? std::weak_ordering::less
                     : (o == hs::GT ? std::weak_ordering::greater : std::weak_ordering::equivalent);
}
// Written out to follow the ordering class: x < y and x >= y compare y with x.
template <class T>
bool operator<(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::set::compare(y, x) == hs::GT;
}
template <class T>
bool operator<=(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::set::compare(x, y) != hs::GT;
}
template <class T>
bool operator>(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::set::compare(x, y) == hs::GT;
}
template <class T>
bool operator>=(const HashSet<T>& x, const HashSet<T>& y) {
  return internal::set::compare(y, x) != hs::GT;
}

}  // namespace vantrel

// ---- Platform capabilities -----------------------------------------------------------------

template <class T>
struct hs::Hashable<vantrel::HashSet<T>> {
  static std::int64_t hashWithSalt(std::int64_t salt, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::hashWithSalt(salt, s);
  }
  static std::int64_t hash(const vantrel::HashSet<T>& s) { return vantrel::internal::set::hash(s); }
};
template <class T>
struct hs::Hashable1<vantrel::HashSet<T>> {
  template <class H>
  static std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::liftHashWithSalt(h, salt, s);
  }
};
// std::unordered_map and friends hash sets with the set's own hash.
template <class T>
struct std::hash<vantrel::HashSet<T>> {
  std::size_t operator()(const vantrel::HashSet<T>& s) const {
    return static_cast<std::size_t>(vantrel::internal::set::hash(s));
  }
};
