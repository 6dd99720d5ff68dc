// The set operations that take one element or one set: construction, membership, insertion and
// deletion through the map's own workers; filtering, mapping, list conversion and the folds as
// walks of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ranges>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/lazy.hpp"
#include "hs/semigroup.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/delete.hpp"
#include "vantrel/map/internal/filter.hpp"
#include "vantrel/map/internal/fold.hpp"
#include "vantrel/map/internal/insert.hpp"
#include "vantrel/map/internal/lookup.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/transform.hpp"
#include "vantrel/set/internal/type.hpp"

namespace vantrel::internal::set {

template <class T>
using SetMap = HashMap<T, hs::Unit>;

// The element type of a range.
template <class R>
using ElementOfRange = std::remove_cvref_t<std::ranges::range_reference_t<const R&>>;

// ---- Conversions ---------------------------------------------------------------------------

/// \addtogroup vantrel_set
/// @{
/// \name Conversion
/// @{

/// The set's map (its elements as keys of the unit value); O(1), copies one handle.
template <class T>
[[nodiscard]] SetMap<T> toMap(const HashSet<T>& s) noexcept {
  return s.asMap();
}
/// toMap under its other name.
template <class T>
[[nodiscard]] SetMap<T> asMap(const HashSet<T>& s) noexcept {
  return s.asMap();
}
/// The map as the set, as it stands (its entries may hold unit cells of their own).
/// O(1), copies one handle.
template <class T>
[[nodiscard]] HashSet<T> fromMap(SetMap<T> m) noexcept {
  return HashSet<T>(std::move(m));
}

/// The set of any map's keys: the map's shape and key objects, every value replaced by the shared
/// unit cell. No key is hashed or compared.
/// O(n): builds every node of the result anew, allocates nothing else; forces no value.
template <class K, class V>
[[nodiscard]] HashSet<K> keysSet(const HashMap<K, V>& m) {
  return HashSet<K>(internal::replaceValues(hs::unitCell(), m));
}

// ---- Construction and single elements ------------------------------------------------------

/// @}
/// \name Construction
/// @{

/// The empty set; allocates nothing.
template <class T>
[[nodiscard]] HashSet<T> empty() noexcept {
  return HashSet<T>();
}
/// The one-element set. One hash of x; allocates the entry.
template <class T>
[[nodiscard]] HashSet<T> singleton(const T& x) {
  const KeyHash h = internal::hash(x);
  return HashSet<T>(internal::leafNode<T, hs::Unit>(h, x, hs::unitCell()));
}
/// @}
/// \name Queries
/// @{

/// Whether the set is empty; O(1).
template <class T>
[[nodiscard]] bool null(const HashSet<T>& s) noexcept {
  return internal::null(s.asMap());
}
/// The number of elements; O(n), walks every node, allocates nothing.
template <class T>
[[nodiscard]] std::int64_t size(const HashSet<T>& s) noexcept {
  return internal::size(s.asMap());
}
/// Whether x is an element. One hash of x, O(log n) expected; allocates nothing.
template <class T>
[[nodiscard]] bool member(const std::type_identity_t<T>& x, const HashSet<T>& s) {
  return internal::member<T, hs::Unit>(x, s.asMap());
}

/// @}
/// \name Updates
/// @{

/// The set with x. An equal element already there gives back the set itself (the stored element
/// stays), except where a different element shares its hash: then x takes its place in a new set.
/// One hash of x, O(log n) expected; copies x's path (a new branch node per level) when the set
/// changes.
template <class T>
[[nodiscard]] HashSet<T> insert(const std::type_identity_t<T>& x, const HashSet<T>& s) {
  const KeyHash h = internal::hash(x);
  return HashSet<T>(internal::insert_<T, hs::Unit>(h, x, hs::unitCell(), s.asMap()));
}
/// The same for a set the caller gives up: the nodes on the path that nothing else holds are
/// updated in place. When x's hash or == (or an allocation) throws, s is still the caller's set.
/// On return s is empty. Into a set nobody else holds, allocates only the new entry.
template <class T>
[[nodiscard]] HashSet<T> insert(const std::type_identity_t<T>& x, HashSet<T>&& s) {
  return HashSet<T>(internal::insert<T, hs::Unit>(x, hs::unitCell(), std::move(s).intoMap()));
}
/// The same for an element the caller gives up too: where x is stored and the path above it
/// changes in place, x is moved there (when its move cannot throw); otherwise x is left as it was.
template <class T>
[[nodiscard]] HashSet<T> insert(std::type_identity_t<T>&& x, HashSet<T>&& s) {
  return HashSet<T>(
      internal::insert<T, hs::Unit>(std::move(x), hs::unitCell(), std::move(s).intoMap()));
}
/// The set without x; the set itself when x is absent.
/// One hash of x, O(log n) expected; copies x's path when x is there.
template <class T>
[[nodiscard]] HashSet<T> erase(const std::type_identity_t<T>& x, const HashSet<T>& s) {
  const KeyHash h = internal::hash(x);
  return HashSet<T>(internal::delete_<T, hs::Unit>(h, x, s.asMap()));
}
/// The same for a set the caller gives up, in place where nothing else holds the path.
/// On return s is empty; allocates nothing into a set nobody else holds.
template <class T>
[[nodiscard]] HashSet<T> erase(const std::type_identity_t<T>& x, HashSet<T>&& s) {
  return HashSet<T>(internal::erase<T, hs::Unit>(x, std::move(s).intoMap()));
}

/// @}
/// @}
// ---- Bulk construction ---------------------------------------------------------------------

namespace detail {

// Inserts y into an accumulator that nobody else holds. The in-place walk makes the same choices
// as the persistent insert (an equal element in a `Leaf` stays, one in a `Collision` is replaced
// at its position) without copying a path per element.
template <class T>
void addPrivate(SetMap<T>& acc, const T& y) {
  acc = internal::unsafeInsert<T, hs::Unit>(y, hs::unitCell(), acc);
}

template <class T, class R>
HashSet<T> fromRange(const R& xs) {
  SetMap<T> acc;
  for (const auto& x : xs) detail::addPrivate<T>(acc, x);
  return HashSet<T>(std::move(acc));
}

}  // namespace detail

/// \addtogroup vantrel_set
/// @{
/// \name Construction
/// @{

/// The set of the range's elements, of type T, inserted in order: of equal elements the first
/// stays (the later one where a different element shares their hash). One hash per element and O(log n) expected per
/// insert, built in place in a set nobody else sees (no path copied per element); a throwing hash
/// or == leaves nothing behind.
template <std::ranges::input_range R>
[[nodiscard]] HashSet<ElementOfRange<R>> fromList(const R& xs) {
  return detail::fromRange<ElementOfRange<R>>(xs);
}
/// The same for a braced list.
template <class T>
[[nodiscard]] HashSet<T> fromList(std::initializer_list<T> xs) {
  return detail::fromRange<T>(xs);
}

/// @}
/// \name Conversion
/// @{

/// The elements in trie order.
/// O(n); allocates the vector of copies.
template <class T>
[[nodiscard]] std::vector<T> toList(const HashSet<T>& s) {
  std::vector<T> out;
  out.reserve(static_cast<std::size_t>(internal::size(s.asMap())));
  for (const T& x : s) out.push_back(x);
  return out;
}

/// @}
/// @}
// ---- Filtering -----------------------------------------------------------------------------

namespace detail {

template <class P, class T>
SetMap<T> filterWalk(P& p, const SetMap<T>& t) {
  using C = Child<T, hs::Unit>;
  // Every visited branch is rebuilt, even when all its children come back unchanged.
  auto onLeaf = [&p](const Ref<T, hs::Unit>& c) -> std::optional<C> {
    if (std::invoke(p, c.key())) return C::copyOf(c);
    return std::nullopt;
  };
  auto onEntry = [&p](const L<T, hs::Unit>& e) -> std::optional<L<T, hs::Unit>> {
    if (std::invoke(p, e.key)) return e;
    return std::nullopt;
  };
  return internal::detail::filterMap<T, hs::Unit>(onLeaf, onEntry, t);
}

}  // namespace detail

/// \addtogroup vantrel_set
/// @{
/// \name Mapping and filtering
/// @{

/// The elements that p keeps, tested in trie order; the input itself only when that is the empty
/// set or a set of one element that p keeps. O(n); hashes and compares no element; allocates each
/// branch node of the result once.
template <class P, class T>
[[nodiscard]] HashSet<T> filter(P p, const HashSet<T>& s) {
  return HashSet<T>(detail::filterWalk<P, T>(p, s.asMap()));
}

// ---- Mapping -------------------------------------------------------------------------------

/// The set of the images f(x), computed and inserted in trie order: of equal images the first
/// inserted stays (the later one where a different image shares their hash). One call of f and one
/// hash per element, built in place as fromList.
template <class F, class T>
[[nodiscard]] auto map(F f, const HashSet<T>& s) {
  using R = std::remove_cvref_t<std::invoke_result_t<F&, const T&>>;
  SetMap<R> acc;
  for (const T& x : s) {
    const R y = std::invoke(f, x);
    detail::addPrivate<R>(acc, y);
  }
  return HashSet<R>(std::move(acc));
}

/// @}
/// @}
// ---- Folds ---------------------------------------------------------------------------------
//
// All in trie order, walking the trie directly. The lazy folds hand the caller's function the
// rest of the fold as a deferred cell, so a function that does not demand it stops the walk; one
// that demands it at once nests one native call per element, as any lazy fold does. The strict
// folds run in constant stack per element.

namespace detail {

// The accumulator type of a fold whose seed is a value or a cell.
template <class Z>
using AccOf = typename internal::StripLazy<std::remove_cvref_t<Z>>::type;

template <class A, class Z>
hs::Lazy<A> seedCell(Z&& z) {
  if constexpr (hs::IsLazy<std::remove_cvref_t<Z>>::value)
    return z;
  else
    return hs::Lazy<A>(A(std::forward<Z>(z)));
}
// A function's result as the accumulator: a returned cell is forced.
template <class A, class R>
A accValue(R&& r) {
  if constexpr (hs::IsLazy<std::remove_cvref_t<R>>::value)
    return r.force();
  else
    return A(std::forward<R>(r));
}

}  // namespace detail

/// \addtogroup vantrel_set
/// @{
/// \name Folds and traversals
/// @{

// The folds are the map's walks over the set's map, with steps that hand over the elements.

/// f(x1, deferred f(x2, ... f(xn, z))): f receives an element and the rest as an hs::Lazy. The
/// seed may be a value or a cell; f may return either.
/// O(n) when all is demanded; allocates one deferred cell per step taken.
template <class F, class Z, class T>
[[nodiscard]] auto foldr(F f, Z z, const HashSet<T>& s) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  auto step = [f = std::move(f)](const auto& r, const hs::Lazy<A>& rest) mutable -> A {
    return detail::accValue<A>(std::invoke(f, r.key, rest));
  };
  return internal::detail::foldrLazy<A>(std::move(step), detail::seedCell<A>(std::move(z)),
                                        s.asMap());
}
/// f(deferred f(... f(z, x1) ...), xn): f receives the fold before an element as an hs::Lazy.
/// Costs as foldr, from the other end.
template <class F, class Z, class T>
[[nodiscard]] auto foldl(F f, Z z, const HashSet<T>& s) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  auto step = [f = std::move(f)](const hs::Lazy<A>& before, const auto& r) mutable -> A {
    return detail::accValue<A>(std::invoke(f, before, r.key));
  };
  return internal::detail::foldlLazy<A>(std::move(step), detail::seedCell<A>(std::move(z)),
                                        s.asMap());
}
/// The seed evaluated, then acc = f(acc, x) for each element in order.
/// O(n), constant stack; allocates nothing of its own.
template <class F, class Z, class T>
[[nodiscard]] auto foldl_(F f, Z z, const HashSet<T>& s) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  A acc = detail::accValue<A>(std::move(z));
  for (const T& x : s) acc = detail::accValue<A>(std::invoke(f, std::move(acc), x));
  return acc;
}
/// The seed evaluated, then acc = f(x, acc) from the last element back to the first.
/// Costs as foldl_.
template <class F, class Z, class T>
[[nodiscard]] auto foldr_(F f, Z z, const HashSet<T>& s) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  A acc = detail::accValue<A>(std::move(z));
  auto step = [&f](const auto& r, A&& a) -> A {
    return detail::accValue<A>(std::invoke(f, r.key, std::move(a)));
  };
  internal::detail::foldrStrict<A>(step, Ref<T, hs::Unit>::of(s.asMap()), acc);
  return acc;
}
/// f of each element combined right-nested per node; the monoid's unit only for the empty set.
/// f runs now, for every element in trie order. O(n); allocates only what f and the monoid do.
template <class F, class T>
[[nodiscard]] auto foldMap(F f, const HashSet<T>& s) {
  using M = std::remove_cvref_t<std::invoke_result_t<F&, const T&>>;
  auto record = [&f](const auto& r) -> M { return M(std::invoke(f, r.key)); };
  return internal::detail::foldMapNode<M>(record, Ref<T, hs::Unit>::of(s.asMap()));
}

/// @}
/// @}
}  // namespace vantrel::internal::set

namespace vantrel {

template <class T>
HashSet<T>::HashSet(std::initializer_list<T> elements)
    : HashSet(internal::set::detail::fromRange<T>(elements)) {}

}  // namespace vantrel
