// The set's class capabilities. Equality, ordering, hashing and deep evaluation hand the map to
// the map's own walks with the unit type's capability for the values (all units are equal and
// hash alike); the text forms, folding, list conversion and the generic description are the
// set's own. Outside the library a set is presented as `fromList` applied to its elements in trie
// order.
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
#include "hs/read.hpp"
#include "hs/semigroup.hpp"
#include "hs/show.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/classes.hpp"
#include "vantrel/map/internal/compare.hpp"
#include "vantrel/map/internal/hashing.hpp"
#include "vantrel/set/internal/ops.hpp"
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
bool liftEq(R&& r, const HashSet<A>& s1, const HashSet<B>& s2) {
  return internal::equalKeys1(r, s1.asMap(), s2.asMap());
}

template <class T>
hs::Ordering compare(const HashSet<T>& s1, const HashSet<T>& s2) {
  return internal::cmp(internal::detail::Compare{}, detail::UnitCompare{}, s1.asMap(), s2.asMap());
}
template <class C, class A, class B>
hs::Ordering liftCompare(C&& cmpElem, const HashSet<A>& s1, const HashSet<B>& s2) {
  return internal::cmp(cmpElem, detail::UnitCompare{}, s1.asMap(), s2.asMap());
}
// s1 when it is the greater, else s2 (so s2 on a tie): the very argument sets.
template <class T>
HashSet<T> max(const HashSet<T>& s1, const HashSet<T>& s2) {
  return set::compare(s1, s2) == hs::GT ? s1 : s2;
}
// s2 when s1 is the greater, else s1 (so s1 on a tie).
template <class T>
HashSet<T> min(const HashSet<T>& s1, const HashSet<T>& s2) {
  return set::compare(s1, s2) == hs::GT ? s2 : s1;
}

// ---- Hashing -------------------------------------------------------------------------------

// The hash of the map to unit: a set hashes exactly as its map.
template <class T>
std::int64_t hashWithSalt(std::int64_t salt, const HashSet<T>& s) {
  return internal::hashWithSalt(salt, s.asMap());
}
template <class T>
std::int64_t hash(const HashSet<T>& s) {
  return internal::hashWithSalt(hs::defaultSalt, s.asMap());
}
// With the caller's element hasher h(salt, x); a `Leaf` hashes its element with h rather than
// mixing in its stored hash, so this differs from hashWithSalt even for the element's own hash.
template <class H, class T>
std::int64_t liftHashWithSalt(H&& h, std::int64_t salt, const HashSet<T>& s) {
  return internal::liftHashWithSalt2(h, detail::UnitHash{}, salt, s.asMap());
}

// ---- Deep evaluation -----------------------------------------------------------------------

template <class T>
hs::Unit rnf(const HashSet<T>& s) {
  return internal::liftRnf2(hs::Rnf{}, detail::UnitRnf{}, s.asMap());
}
template <class R, class T>
hs::Unit liftRnf(R&& r, const HashSet<T>& s) {
  return internal::liftRnf2(r, detail::UnitRnf{}, s.asMap());
}

// ---- Folding beyond the set's own folds ----------------------------------------------------

// Whether x == e for an element e, tested in trie order up to the first that is.
template <class T>
bool elem(const std::type_identity_t<T>& x, const HashSet<T>& s) {
  for (const T& e : s)
    if (x == e) return true;
  return false;
}

// ---- Text forms ----------------------------------------------------------------------------

namespace detail {

// The elements written with the element type's list writer: a type with a list form of its own
// (characters: a string literal) gets the element list; the others are streamed from the trie.
template <class T>
void showElements(const HashSet<T>& s, std::string& out) {
  if constexpr (requires(const std::vector<T>& xs) { hs::Show<T>::showList(xs, out); })
    hs::showList(set::toList(s), out);
  else
    hs::showListWith([](const T& x, std::string& o) { hs::showsPrec(0, x, o); }, s, out);
}

}  // namespace detail

// ---- Generic programming -------------------------------------------------------------------

// The data type "Vantrel.Set.Internal.HashSet", whose one constructor is `fromList`.
const hs::data::DataType& hashSetDataType();
// The constructor "fromList": no field names, prefix.
const hs::data::Constr& fromListConstr();
// The program error of a constructor other than `fromList` given to gunfold.
[[noreturn]] void gunfoldError();

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
struct hs::Eq1<vantrel::HashSet<T>> {
  template <class R>
  static bool liftEq(R&& r, const vantrel::HashSet<T>& a, const vantrel::HashSet<T>& b) {
    return vantrel::internal::set::liftEq(r, a, b);
  }
};
template <class T>
struct hs::Ord1<vantrel::HashSet<T>> {
  template <class C>
  static hs::Ordering liftCompare(C&& c, const vantrel::HashSet<T>& a,
                                  const vantrel::HashSet<T>& b) {
    return vantrel::internal::set::liftCompare(c, a, b);
  }
};

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

template <class T>
struct hs::NFData<vantrel::HashSet<T>> {
  static void rnf(const vantrel::HashSet<T>& s) { vantrel::internal::set::rnf(s); }
};
template <class T>
struct hs::NFData1<vantrel::HashSet<T>> {
  template <class R>
  static void liftRnf(R&& r, const vantrel::HashSet<T>& s) {
    vantrel::internal::set::liftRnf(std::forward<R>(r), s);
  }
};

template <class T>
struct hs::Show<vantrel::HashSet<T>> {
  // "fromList " and the element list, in brackets above precedence 10.
  static void showsPrec(int d, const vantrel::HashSet<T>& s, std::string& out) {
    hs::showParen(
        d > 10,
        [&](std::string& o) {
          o.append("fromList ");
          vantrel::internal::set::detail::showElements(s, o);
        },
        out);
  }
};
template <class T>
struct hs::Show1<vantrel::HashSet<T>> {
  // The element list written by sl; sp is never called.
  template <class SP, class SL>
  static void liftShowsPrec(SP&&, SL&& sl, int d, const vantrel::HashSet<T>& s, std::string& out) {
    auto elements = [&sl](int, const vantrel::HashSet<T>& x, std::string& o) {
      sl(vantrel::internal::set::toList(x), o);
    };
    hs::showsUnaryWith(elements, "fromList", d, s, out);
  }
};

template <class T>
struct hs::Read<vantrel::HashSet<T>> {
  // Any number of enclosing brackets; outside them at most precedence 10; the identifier
  // "fromList", then the element type's list reader. Equal elements collapse, the first staying.
  static hs::ReadPrec<vantrel::HashSet<T>> readPrec() {
    namespace rp = hs::readprec;
    return rp::parens(rp::prec(
        10,
        rp::then(rp::expectP(hs::Lexeme::Ident("fromList")),
                 rp::fmap([](std::vector<T>&& xs) { return vantrel::internal::set::fromList(xs); },
                          hs::readListPrec<T>()))));
  }
};

// The folding operations: the set's own folds and list, `null`, `length` and `elem`, and the two
// that the platform has no front door for (`fold`, `foldMap_`); the others (`foldr1`, `foldl1`,
// `maximum`, `minimum`, `sum`, `product`) are the platform's defaults over `toList`.
template <>
struct hs::Foldable<vantrel::HashSetTag> {
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

template <class T>
struct hs::IsList<vantrel::HashSet<T>> {
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

// A set is the constructor `fromList` applied to one field, its element list in trie order.
template <class T>
struct hs::Data<vantrel::HashSet<T>> {
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
