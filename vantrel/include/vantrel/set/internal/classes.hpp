// The set's other class capabilities. Deep evaluation hands the map to the map's own walk with
// the unit type's capability for the values; folding, list conversion and the generic
// description are the set's own. Outside the library a set is presented as `fromList` applied to
// its elements in trie order.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/call.hpp"
#include "hs/classes1.hpp"
#include "hs/data.hpp"
#include "hs/error.hpp"
#include "hs/foldable.hpp"
#include "hs/hashable.hpp"
#include "hs/islist.hpp"
#include "hs/nfdata.hpp"
#include "hs/semigroup.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/classes.hpp"
#include "vantrel/set/internal/compare.hpp"
#include "vantrel/set/internal/ops.hpp"
#include "vantrel/set/internal/type.hpp"

namespace vantrel::internal::set {

// ---- Deep evaluation -----------------------------------------------------------------------

/// \addtogroup vantrel_set_classes
/// @{

/// Every element deep-evaluated with its own NFData (each unit cell forced). O(n); allocates
/// nothing of its own.
template <class T>
hs::Unit rnf(const HashSet<T>& s) {
  return internal::liftRnf2(hs::Rnf{}, detail::UnitRnf{}, s.asMap());
}
/// Every element deep-evaluated by r (each unit cell forced). O(n).
template <class R, class T>
hs::Unit liftRnf(R&& r, const HashSet<T>& s) {
  return internal::liftRnf2(r, detail::UnitRnf{}, s.asMap());
}
/// @}

// ---- Folding beyond the set's own folds ----------------------------------------------------

// Whether x == e for an element e, tested in trie order up to the first that is.
template <class T>
bool elem(const std::type_identity_t<T>& x, const HashSet<T>& s) {
  for (const T& e : s)
    if (x == e) return true;
  return false;
}

// ---- Generic programming -------------------------------------------------------------------

// The data type "Vantrel.Set.Internal.HashSet", whose one constructor is `fromList`.
const hs::data::DataType& hashSetDataType();
// The constructor "fromList": no field names, prefix.
const hs::data::Constr& fromListConstr();
// The program error of a constructor other than `fromList` given to gunfold.
[[noreturn]] void gunfoldError();

}  // namespace vantrel::internal::set

// ---- Platform capabilities -----------------------------------------------------------------

/// \addtogroup vantrel_set_classes
/// @{

/// Lifted equality: the set's liftEq.
template <class T>
struct hs::Eq1<vantrel::HashSet<T>> {
  /// \privatesection
  template <class R>
  static bool liftEq(R&& r, const vantrel::HashSet<T>& a, const vantrel::HashSet<T>& b) {
    return vantrel::internal::set::liftEq(r, a, b);
  }
};
/// Lifted ordering: the set's liftCompare.
template <class T>
struct hs::Ord1<vantrel::HashSet<T>> {
  /// \privatesection
  template <class C>
  static hs::Ordering liftCompare(C&& c, const vantrel::HashSet<T>& a,
                                  const vantrel::HashSet<T>& b) {
    return vantrel::internal::set::liftCompare(c, a, b);
  }
};

/// Deep evaluation (hs::rnf): the set's rnf.
template <class T>
struct hs::NFData<vantrel::HashSet<T>> {
  /// \privatesection
  static void rnf(const vantrel::HashSet<T>& s) { vantrel::internal::set::rnf(s); }
};
/// Lifted deep evaluation: the set's liftRnf.
template <class T>
struct hs::NFData1<vantrel::HashSet<T>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const vantrel::HashSet<T>& s) {
    vantrel::internal::set::liftRnf(std::forward<R>(r), s);
  }
};

/// The folding operations: the set's own folds and list, `null`, `length` and `elem`, and the two
/// that the platform has no front door for (`fold`, `foldMap_`); the others (`foldr1`, `foldl1`,
/// `maximum`, `minimum`, `sum`, `product`) are the platform's defaults over `toList`.
/// Each walks the set once; elem stops at the first equal element.
template <>
struct hs::Foldable<vantrel::HashSetTag> {
  /// \privatesection
  template <class T>
  static std::vector<T> toList(const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::toList(s);
  }
  template <class F, class Z, class T>
  static auto foldr(F&& f, Z z, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::foldr(std::forward<F>(f), std::move(z), s);
  }
  template <class F, class Z, class T>
  static auto foldr_(F&& f, Z z, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::foldr_(std::forward<F>(f), std::move(z), s);
  }
  template <class F, class Z, class T>
  static auto foldl(F&& f, Z z, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::foldl(std::forward<F>(f), std::move(z), s);
  }
  template <class F, class Z, class T>
  static auto foldl_(F&& f, Z z, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::foldl_(std::forward<F>(f), std::move(z), s);
  }
  template <class M, class F, class T>
  static M foldMap(F&& f, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::foldMap([&f](const T& x) -> M { return f(x); }, s);
  }
  // The elements combined: foldMap with the identity.
  template <class T>
  static T fold(const vantrel::HashSet<T>& s) {
    return foldMap<T>([](const T& x) { return x; }, s);
  }
  // foldMap from the left with an evaluated accumulator, starting at the monoid's unit.
  template <class M, class F, class T>
  static M foldMap_(F&& f, const vantrel::HashSet<T>& s) {
    M acc = hs::mempty<M>();
    for (const T& x : s) acc = hs::mappend<M>(acc, f(x));
    return acc;
  }
  template <class T>
  static bool null(const vantrel::HashSet<T>& s) noexcept {
    return vantrel::internal::set::null(s);
  }
  template <class T>
  static std::int64_t length(const vantrel::HashSet<T>& s) noexcept {
    return vantrel::internal::set::size(s);
  }
  template <class A, class T>
  static bool elem(const A& x, const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::elem<T>(x, s);
  }
};

/// List embedding: fromList and fromListN (the count is not used), toList in trie order; O(n) each
/// way.
template <class T>
struct hs::IsList<vantrel::HashSet<T>> {
  /// \privatesection
  using Item = T;
  static vantrel::HashSet<T> fromList(const std::vector<T>& items) {
    return vantrel::internal::set::fromList(items);
  }
  // The count is not used.
  static vantrel::HashSet<T> fromListN(std::int64_t, const std::vector<T>& items) {
    return vantrel::internal::set::fromList(items);
  }
  static std::vector<T> toList(const vantrel::HashSet<T>& s) {
    return vantrel::internal::set::toList(s);
  }
};

/// A set is the constructor `fromList` applied to one field, its element list in trie order.
/// The element list is built (O(n)) whenever the view is taken apart; dataCast2 is always absent.
template <class T>
struct hs::Data<vantrel::HashSet<T>> {
  /// \privatesection
  using Set = vantrel::HashSet<T>;
  using Elements = std::vector<T>;

  static auto fromListFn() {
    return [](Elements xs) { return vantrel::internal::set::fromList(xs); };
  }

  static hs::data::Constr toConstr(const Set&) { return vantrel::internal::set::fromListConstr(); }
  static hs::data::DataType dataTypeOf() { return vantrel::internal::set::hashSetDataType(); }
  template <class Kf, class Z>
  static hs::data::ContextOf<Z, Set> gfoldl(Kf&& k, Z&& z, const Set& s) {
    return k(z(fromListFn()), vantrel::internal::set::toList(s));
  }
  // The constructor index is asked first, so a constructor of a type that is not algebraic fails
  // with the description's own error.
  template <class Kf, class Z>
  static hs::data::ContextOf<Z, Set> gunfold(Kf&& k, Z&& z, const hs::data::Constr& c) {
    if (hs::data::constrIndex(c) != 1) vantrel::internal::set::gunfoldError();
    return k(z(fromListFn()), std::type_identity<Elements>{});
  }
  template <class Tag, class R, class F>
  static std::optional<R> dataCast1(F& f) {
    return hs::data::gcast1<Set, T, Tag, R>(f);
  }
  // A set has one type argument: never a two-argument type constructor.
  template <class Tag, class R, class F>
  static std::optional<R> dataCast2(F&) {
    return std::nullopt;
  }
};
/// @}
