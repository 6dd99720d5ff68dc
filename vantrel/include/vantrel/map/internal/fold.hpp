// Folds over a map in trie order, its lists of pairs, keys and values, and its Foldable
// capability (with the two-sided folds as free functions).
//
// The lazy folds hand the caller's function the fold of the rest as a deferred cell: a right fold
// computes its first application without walking the rest of the map, a left fold its last one.
// A function that demands the rest at once nests one native call per pair, as any lazy fold does;
// the strict folds (foldl_, foldr_) run in constant stack and keep the accumulator evaluated.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/lazy.hpp"
#include "hs/semigroup.hpp"
#include "vantrel/map/internal/iterate.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/transform.hpp"

namespace vantrel::internal {

namespace detail {

// The accumulator type of a fold whose seed is a value or a cell.
template <class Z>
using AccOf = typename StripLazy<std::remove_cvref_t<Z>>::type;

// The seed, evaluated.
template <class A, class Z>
A seedValue(Z&& z) {
  if constexpr (hs::IsLazy<std::remove_cvref_t<Z>>::value)
    return z.force();
  else
    return A(std::forward<Z>(z));
}

// ---- Lazy right folds: step(record, deferred rest) ------------------------------------------

// A branch's children from the i-th on, folded over a; t is the branch, which the deferred
// folds keep alive.
template <class A, class K, class V, class S>
A foldrNode(const std::shared_ptr<S>& s, const Ref<K, V>& t, const hs::Lazy<A>& a);

template <class A, class K, class V, class S>
hs::Lazy<A> foldrChildrenFrom(const std::shared_ptr<S>& s, const HashMap<K, V>& t, std::uint32_t i,
                              const hs::Lazy<A>& a) {
  if (i >= internal::branchOf(t).size()) return a;
  return hs::Lazy<A>::defer([s, t, i, a]() -> A {
    return detail::foldrNode<A>(s, internal::nthChild(internal::branchOf(t), i),
                                detail::foldrChildrenFrom<A>(s, t, i + 1, a));
  });
}
template <class A, class K, class V, class S>
hs::Lazy<A> foldrEntriesFrom(const std::shared_ptr<S>& s, const HashMap<K, V>& t, std::uint32_t i,
                             const hs::Lazy<A>& a) {
  if (i >= internal::entriesOf(t).size()) return a;
  return hs::Lazy<A>::defer([s, t, i, a]() -> A {
    return A((*s)(internal::entriesOf(t)[i], detail::foldrEntriesFrom<A>(s, t, i + 1, a)));
  });
}
template <class A, class K, class V, class S>
A foldrNode(const std::shared_ptr<S>& s, const Ref<K, V>& t, const hs::Lazy<A>& a) {
  switch (t.kind()) {
    case Kind::Empty:
      return a.force();
    case Kind::Leaf:
      return internal::withEntry(t, [&](const Entry<K, V>& e) { return A((*s)(e, a)); });
    case Kind::Collision:
      if (internal::entriesOf(*t.node).size() == 0) return a.force();
      return A((*s)(internal::entriesOf(*t.node)[0], detail::foldrEntriesFrom<A>(s, *t.node, 1, a)));
    default:
      if (internal::branchOf(*t.node).size() == 0) return a.force();
      return detail::foldrNode<A>(s, internal::nthChild(internal::branchOf(*t.node), 0),
                                  detail::foldrChildrenFrom<A>(s, *t.node, 1, a));
  }
}
template <class A, class K, class V, class S>
A foldrLazy(S step, hs::Lazy<A> seed, const HashMap<K, V>& m) {
  return detail::foldrNode<A>(std::make_shared<S>(std::move(step)), Ref<K, V>::of(m), seed);
}

// ---- Lazy left folds: step(deferred fold of what comes before, record) ----------------------

template <class A, class K, class V, class S>
A foldlNode(const std::shared_ptr<S>& s, const Ref<K, V>& t, const hs::Lazy<A>& a);

// The fold of the first n children of the branch t over a.
template <class A, class K, class V, class S>
hs::Lazy<A> foldlChildrenUpTo(const std::shared_ptr<S>& s, const HashMap<K, V>& t, std::uint32_t n,
                              const hs::Lazy<A>& a) {
  if (n == 0) return a;
  return hs::Lazy<A>::defer([s, t, n, a]() -> A {
    return detail::foldlNode<A>(s, internal::nthChild(internal::branchOf(t), n - 1),
                                detail::foldlChildrenUpTo<A>(s, t, n - 1, a));
  });
}
template <class A, class K, class V, class S>
hs::Lazy<A> foldlEntriesUpTo(const std::shared_ptr<S>& s, const HashMap<K, V>& t, std::uint32_t n,
                             const hs::Lazy<A>& a) {
  if (n == 0) return a;
  return hs::Lazy<A>::defer([s, t, n, a]() -> A {
    return A((*s)(detail::foldlEntriesUpTo<A>(s, t, n - 1, a), internal::entriesOf(t)[n - 1]));
  });
}
template <class A, class K, class V, class S>
A foldlNode(const std::shared_ptr<S>& s, const Ref<K, V>& t, const hs::Lazy<A>& a) {
  switch (t.kind()) {
    case Kind::Empty:
      return a.force();
    case Kind::Leaf:
      return internal::withEntry(t, [&](const Entry<K, V>& e) { return A((*s)(a, e)); });
    case Kind::Collision: {
      const std::uint32_t n = internal::entriesOf(*t.node).size();
      if (n == 0) return a.force();
      return A((*s)(detail::foldlEntriesUpTo<A>(s, *t.node, n - 1, a),
                    internal::entriesOf(*t.node)[n - 1]));
    }
    default: {
      const std::uint32_t n = internal::branchOf(*t.node).size();
      if (n == 0) return a.force();
      return detail::foldlNode<A>(s, internal::nthChild(internal::branchOf(*t.node), n - 1),
                                  detail::foldlChildrenUpTo<A>(s, *t.node, n - 1, a));
    }
  }
}
template <class A, class K, class V, class S>
A foldlLazy(S step, hs::Lazy<A> seed, const HashMap<K, V>& m) {
  return detail::foldlNode<A>(std::make_shared<S>(std::move(step)), Ref<K, V>::of(m), seed);
}

// ---- Strict folds --------------------------------------------------------------------------

// From the last pair in trie order down to the first; step(record, accumulator).
template <class A, class K, class V, class S>
void foldrStrict(S& step, const Ref<K, V>& t, A& acc) {
  switch (t.kind()) {
    case Kind::Empty:
      return;
    case Kind::Leaf:
      internal::withEntry(t, [&](const Entry<K, V>& e) { acc = step(e, std::move(acc)); });
      return;
    case Kind::Collision: {
      const Entries<K, V>& a = internal::entriesOf(*t.node);
      for (std::uint32_t i = a.size(); i > 0; --i) acc = step(a[i - 1], std::move(acc));
      return;
    }
    default: {
      const Branch<K, V>& a = internal::branchOf(*t.node);
      for (std::uint32_t i = a.size(); i > 0; --i)
        detail::foldrStrict<A>(step, internal::nthChild(a, i - 1), acc);
      return;
    }
  }
}

// ---- Monoidal folds ------------------------------------------------------------------------

// r(0) <> (r(1) <> (... <> r(n-1))): n - 1 mappends, each slot's result computed in slot order.
template <class M, class R>
M foldMapFrom(R& r, std::uint32_t i, std::uint32_t n) {
  M first = r(i);
  if (i + 1 == n) return first;
  M rest = detail::foldMapFrom<M>(r, i + 1, n);
  return hs::mappend<M>(first, rest);
}
// record(pair) gives the monoid value of one pair.
template <class M, class K, class V, class R>
M foldMapNode(R& record, const Ref<K, V>& t) {
  switch (t.kind()) {
    case Kind::Empty:
      return hs::mempty<M>();
    case Kind::Leaf:
      return internal::withEntry(t, [&](const Entry<K, V>& e) -> M { return record(e); });
    case Kind::Collision: {
      // Collisions may be long: their operands are computed first, in order, then combined from
      // the right without recursing.
      const Entries<K, V>& a = internal::entriesOf(*t.node);
      if (a.size() == 0) return hs::mempty<M>();
      std::vector<M> parts;
      parts.reserve(a.size());
      for (const L<K, V>& e : a) parts.push_back(record(e));
      M acc = std::move(parts.back());
      for (std::size_t i = parts.size() - 1; i > 0; --i) acc = hs::mappend<M>(parts[i - 1], acc);
      return acc;
    }
    default: {
      const Branch<K, V>& a = internal::branchOf(*t.node);
      if (a.size() == 0) return hs::mempty<M>();
      auto slot = [&](std::uint32_t i) -> M {
        return detail::foldMapNode<M>(record, internal::nthChild(a, i));
      };
      return detail::foldMapFrom<M>(slot, 0, a.size());
    }
  }
}

}  // namespace detail

// ---- Lazy right folds ----------------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Folds and traversals
/// @{

/// f(v0, deferred f(v1, ... f(vN-1, z))); f receives a value and the rest as an hs::Lazy. f
/// receives the forced value (the cell under hs::onCells) and the rest as a deferred cell, which
/// walks on only when demanded; z may be a value or a cell. O(n) when all is demanded; allocates
/// one deferred cell per step taken; an f that demands the rest at once nests one native call per
/// pair.
template <class F, class Z, class K, class V>
[[nodiscard]] auto foldr(F f, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  auto step = [f = std::move(f)](const auto& r, const hs::Lazy<A>& rest) mutable -> A {
    return detail::resultAs<A>(std::invoke(detail::target(f), detail::valueArg<F>(r.value), rest));
  };
  return detail::foldrLazy<A>(std::move(step), hs::Lazy<A>(std::move(z)), m);
}
/// As foldr, f receiving the key too: f(k0, v0, deferred rest).
template <class F, class Z, class K, class V>
[[nodiscard]] auto foldrWithKey(F f, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  auto step = [f = std::move(f)](const auto& r, const hs::Lazy<A>& rest) mutable -> A {
    return detail::resultAs<A>(
        std::invoke(detail::target(f), r.key, detail::valueArg<F>(r.value), rest));
  };
  return detail::foldrLazy<A>(std::move(step), hs::Lazy<A>(std::move(z)), m);
}
/// A pair folds as f(k, deferred g(v, rest)).
/// Costs as foldr.
template <class F, class G, class Z, class K, class V>
[[nodiscard]] auto bifoldr(F f, G g, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  auto gs = std::make_shared<G>(std::move(g));
  auto step = [f = std::move(f), gs](const auto& r, const hs::Lazy<A>& rest) mutable -> A {
    const hs::Lazy<A> right = hs::Lazy<A>::defer([gs, v = r.value, rest]() -> A {
      return detail::resultAs<A>(std::invoke(detail::target(*gs), detail::valueArg<G>(v), rest));
    });
    return detail::resultAs<A>(std::invoke(detail::target(f), r.key, right));
  };
  return detail::foldrLazy<A>(std::move(step), hs::Lazy<A>(std::move(z)), m);
}

// ---- Lazy left folds -----------------------------------------------------------------------

/// f(deferred f(... f(z, v0) ...), vN-1); f receives the accumulator as an hs::Lazy.
/// f receives the accumulator as a deferred cell and the forced value (cells under hs::onCells); z
/// may be a value or a cell. Costs as foldr, from the other end.
template <class F, class Z, class K, class V>
[[nodiscard]] auto foldl(F f, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  auto step = [f = std::move(f)](const hs::Lazy<A>& acc, const auto& r) mutable -> A {
    return detail::resultAs<A>(std::invoke(detail::target(f), acc, detail::valueArg<F>(r.value)));
  };
  return detail::foldlLazy<A>(std::move(step), hs::Lazy<A>(std::move(z)), m);
}
/// As foldl, f receiving the key too: f(deferred acc, k, v).
template <class F, class Z, class K, class V>
[[nodiscard]] auto foldlWithKey(F f, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  auto step = [f = std::move(f)](const hs::Lazy<A>& acc, const auto& r) mutable -> A {
    return detail::resultAs<A>(
        std::invoke(detail::target(f), acc, r.key, detail::valueArg<F>(r.value)));
  };
  return detail::foldlLazy<A>(std::move(step), hs::Lazy<A>(std::move(z)), m);
}
/// A pair folds as g(deferred f(acc, k), v).
/// Costs as foldl.
template <class F, class G, class Z, class K, class V>
[[nodiscard]] auto bifoldl(F f, G g, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  auto fs = std::make_shared<F>(std::move(f));
  auto step = [fs, g = std::move(g)](const hs::Lazy<A>& acc, const auto& r) mutable -> A {
    const hs::Lazy<A> left = hs::Lazy<A>::defer([fs, acc, k = r.key]() -> A {
      return detail::resultAs<A>(std::invoke(detail::target(*fs), acc, k));
    });
    return detail::resultAs<A>(std::invoke(detail::target(g), left, detail::valueArg<G>(r.value)));
  };
  return detail::foldlLazy<A>(std::move(step), hs::Lazy<A>(std::move(z)), m);
}

// ---- Strict folds --------------------------------------------------------------------------

/// From the first pair up; the seed is evaluated before the map is looked at.
/// f(acc, v) with the accumulator evaluated at each step (and the forced value, or the cell under
/// hs::onCells); z may be a value or a cell. O(n), constant stack; allocates nothing of its own.
template <class F, class Z, class K, class V>
[[nodiscard]] auto foldl_(F f, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  A acc = detail::seedValue<A>(std::move(z));
  for (const auto& r : m)
    acc = detail::resultAs<A>(std::invoke(detail::target(f), std::move(acc), detail::valueArg<F>(r.value)));
  return acc;
}
/// As foldl_, f receiving the key too: f(acc, k, v).
template <class F, class Z, class K, class V>
[[nodiscard]] auto foldlWithKey_(F f, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  A acc = detail::seedValue<A>(std::move(z));
  for (const auto& r : m)
    acc = detail::resultAs<A>(
        std::invoke(detail::target(f), std::move(acc), r.key, detail::valueArg<F>(r.value)));
  return acc;
}
/// From the last pair down to the first.
/// Costs as foldl_.
template <class F, class Z, class K, class V>
[[nodiscard]] auto foldr_(F f, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  A acc = detail::seedValue<A>(std::move(z));
  auto step = [&f](const auto& r, A&& a) -> A {
    return detail::resultAs<A>(std::invoke(detail::target(f), detail::valueArg<F>(r.value), std::move(a)));
  };
  detail::foldrStrict<A>(step, Ref<K, V>::of(m), acc);
  return acc;
}
/// As foldr_, f receiving the key too: f(k, v, acc).
template <class F, class Z, class K, class V>
[[nodiscard]] auto foldrWithKey_(F f, Z z, const HashMap<K, V>& m) -> detail::AccOf<Z> {
  using A = detail::AccOf<Z>;
  A acc = detail::seedValue<A>(std::move(z));
  auto step = [&f](const auto& r, A&& a) -> A {
    return detail::resultAs<A>(
        std::invoke(detail::target(f), r.key, detail::valueArg<F>(r.value), std::move(a)));
  };
  detail::foldrStrict<A>(step, Ref<K, V>::of(m), acc);
  return acc;
}
/// @}
/// @}

// ---- Monoidal folds ------------------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Folds and traversals
/// @{

/// f(k0, v0) <> (f(k1, v1) <> ...), right-nested per node array; mempty only for the empty map.
/// f runs now, for every pair in trie order, on the key and the forced value (cell under
/// hs::onCells); n - 1 mappends. O(n); allocates only what f and the monoid do.
template <class F, class K, class V>
[[nodiscard]] auto foldMapWithKey(F f, const HashMap<K, V>& m) {
  using M = detail::ValueResultT<F, K, hs::Lazy<V>>;
  auto record = [&f](const auto& r) -> M { return detail::resultAs<M>(hs::call(f, r.key, r.value)); };
  return detail::foldMapNode<M>(record, Ref<K, V>::of(m));
}
/// As foldMapWithKey over the values alone.
template <class F, class K, class V>
[[nodiscard]] auto foldMap(F f, const HashMap<K, V>& m) {
  using M = detail::ValueResultT<F, hs::Lazy<V>>;
  auto record = [&f](const auto& r) -> M { return detail::resultAs<M>(hs::call(f, r.value)); };
  return detail::foldMapNode<M>(record, Ref<K, V>::of(m));
}
/// A pair gives f(k) <> g(v).
/// Costs as foldMapWithKey.
template <class F, class G, class K, class V>
[[nodiscard]] auto bifoldMap(F f, G g, const HashMap<K, V>& m) {
  using M = detail::ValueResultT<F, K>;
  auto record = [&f, &g](const auto& r) -> M {
    const M left = detail::resultAs<M>(hs::call(f, r.key));
    const M right = detail::resultAs<M>(hs::call(g, r.value));
    return hs::mappend<M>(left, right);
  };
  return detail::foldMapNode<M>(record, Ref<K, V>::of(m));
}
/// @}
/// @}

// ---- Lists ---------------------------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Conversion
/// @{

/// The pairs in trie order, each value as stored.
/// O(n); allocates the vector, copies each key and each cell's handle; forces nothing.
template <class K, class V>
[[nodiscard]] std::vector<std::pair<K, hs::Lazy<V>>> toList(const HashMap<K, V>& m) {
  std::vector<std::pair<K, hs::Lazy<V>>> out;
  out.reserve(static_cast<std::size_t>(internal::size(m)));
  for (const auto& r : m) out.emplace_back(r.key, r.value);
  return out;
}
/// The keys in trie order. O(n); allocates the vector of copies.
template <class K, class V>
[[nodiscard]] std::vector<K> keys(const HashMap<K, V>& m) {
  std::vector<K> out;
  out.reserve(static_cast<std::size_t>(internal::size(m)));
  for (const auto& r : m) out.push_back(r.key);
  return out;
}
/// The values in trie order, as stored.
/// O(n); allocates the vector of handles; forces nothing.
template <class K, class V>
[[nodiscard]] std::vector<hs::Lazy<V>> elems(const HashMap<K, V>& m) {
  std::vector<hs::Lazy<V>> out;
  out.reserve(static_cast<std::size_t>(internal::size(m)));
  for (const auto& r : m) out.push_back(r.value);
  return out;
}
/// @}
/// @}

}  // namespace vantrel::internal

/// \addtogroup vantrel_map_lazy
/// @{

/// Foldable over the values; the class's toList gives the values, evaluated, in trie order.
/// Each operation walks the map once, as the free function of the same name.
template <class K>
struct hs::Foldable<vantrel::HashMapTag<K>> {
  /// \privatesection
  template <class V>
  static std::vector<V> toList(const vantrel::HashMap<K, V>& m) {
    std::vector<V> out;
    out.reserve(static_cast<std::size_t>(vantrel::internal::size(m)));
    for (const auto& r : m) out.push_back(r.value.force());
    return out;
  }
  template <class M, class F, class V>
  static M foldMap(F&& f, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::foldMap([&f](const V& v) -> M { return f(v); }, m);
  }
  template <class F, class Z, class V>
  static auto foldr(F&& f, Z z, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::foldr(std::forward<F>(f), std::move(z), m);
  }
  template <class F, class Z, class V>
  static auto foldr_(F&& f, Z z, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::foldr_(std::forward<F>(f), std::move(z), m);
  }
  template <class F, class Z, class V>
  static auto foldl(F&& f, Z z, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::foldl(std::forward<F>(f), std::move(z), m);
  }
  template <class F, class Z, class V>
  static auto foldl_(F&& f, Z z, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::foldl_(std::forward<F>(f), std::move(z), m);
  }
  template <class V>
  static bool null(const vantrel::HashMap<K, V>& m) noexcept {
    return vantrel::internal::null(m);
  }
  template <class V>
  static std::int64_t length(const vantrel::HashMap<K, V>& m) noexcept {
    return vantrel::internal::size(m);
  }
};
/// @}
