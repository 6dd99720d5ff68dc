// Mapping the values of a map (same keys, hashes, bitmaps and collision order) and remapping its
// keys; the map's Functor capability.
//
// The mapped values are deferred: the caller's function runs for a pair only when that pair's
// new value is demanded, at most once. The nodes themselves are built at once.
#pragma once

#include <cstdint>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/iterate.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel {

/// \addtogroup vantrel_map_lazy
/// @{

/// The type constructor of maps with keys K, for the functor-level capabilities.
/// Its member `apply` names the map type of a value type X.
template <class K>
struct HashMapTag {
  /// The map of values X under keys K.
  template <class X>
  using apply = HashMap<K, X>;
};
/// @}

namespace internal::detail {

// What a caller's function gives for these arguments (cells forced unless it is marked
// hs::onCells), a returned cell read as its value type.
template <class F, class... A>
using CallResultT =
    std::remove_cvref_t<decltype(hs::call(std::declval<F&>(), std::declval<const A&>()...))>;
template <class F, class... A>
using ValueResultT = typename StripLazy<CallResultT<F, A...>>::type;

// A stored value as the caller's function takes it: the cell under hs::onCells, else its value.
template <class F, class V>
decltype(auto) valueArg(const hs::Lazy<V>& c) {
  if constexpr (hs::isOnCells<F>)
    return (c);
  else
    return (c.force());
}
// The callable behind a possibly hs::onCells-marked function.
template <class F>
decltype(auto) target(F& f) {
  if constexpr (hs::isOnCells<F>)
    return (f.fn);
  else
    return (f);
}
// A function's result as a plain value (a returned cell is forced).
template <class A, class R>
A resultAs(R&& r) {
  if constexpr (hs::IsLazy<std::remove_cvref_t<R>>::value)
    return r.force();
  else
    return A(std::forward<R>(r));
}

// A caller's function that many deferred values will hold: a small, trivially copyable one is
// copied into each, any other is shared, so a mapping does not copy a large function per value.
template <class F>
auto shareFn(F f) {
  if constexpr (std::is_trivially_copyable_v<F> && sizeof(F) <= 2 * sizeof(void*)) {
    return f;
  } else if constexpr (hs::isOnCells<F>) {
    auto p = std::make_shared<decltype(f.fn)>(std::move(f.fn));
    return hs::onCells([p](const auto&... a) -> decltype(auto) { return (*p)(a...); });
  } else {
    auto p = std::make_shared<F>(std::move(f));
    return [p](const auto&... a) -> decltype(auto) { return (*p)(a...); };
  }
}

// The same shape with new values: value(key, stored cell) gives each new cell.
template <class K, class V, class W, class Value>
Child<K, W> mapNode(Value& value, const Ref<K, V>& t) {
  switch (t.kind()) {
    case Kind::Empty:
      return Child<K, W>();
    case Kind::Leaf:
      return internal::withEntry(t, [&](const Entry<K, V>& e) {
        return internal::leafChild<K, W>(t.hash(), e.key, value(e.key, e.value));
      });
    case Kind::Collision: {
      const Entries<K, V>& a = internal::entriesOf(*t.node);
      EntryBuilder<K, W> out(Kind::Collision, t.hash(), a.size());
      for (const L<K, V>& e : a) out.emplace(L<K, W>{e.key, value(e.key, e.value)});
      return Child<K, W>(internal::collisionNode<K, W>(t.hash(), out.finish()));
    }
    default:
      return internal::mapBranch<W>(internal::branchOf(*t.node), [&](const Ref<K, V>& c) {
        return detail::mapNode<K, V, W>(value, c);
      });
  }
}
template <class K, class V, class W, class Value>
HashMap<K, W> mapMap(Value& value, const HashMap<K, V>& m) {
  return detail::mapNode<K, V, W>(value, Ref<K, V>::of(m)).toMap();
}

}  // namespace internal::detail

namespace internal {

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Mapping and filtering
/// @{

/// Every value replaced by the deferred f(value). f runs for an entry only when its new value is
/// demanded, at most once. O(n): builds every node of the result at once, one deferred application
/// per value (a small trivially copyable f is copied into each, any other shared); hashes and
/// compares no key.
template <class F, class K, class V>
[[nodiscard]] auto map(F f, const HashMap<K, V>& m) {
  using W = detail::ValueResultT<F, hs::Lazy<V>>;
  auto g = detail::shareFn(std::move(f));
  auto value = [&g](const K&, const hs::Lazy<V>& v) { return hs::deferCall<W>(g, v); };
  return detail::mapMap<K, V, W>(value, m);
}

/// Every value replaced by the deferred f(key, value).
/// Costs as map.
template <class F, class K, class V>
[[nodiscard]] auto mapWithKey(F f, const HashMap<K, V>& m) {
  using W = detail::ValueResultT<F, K, hs::Lazy<V>>;
  auto g = detail::shareFn(std::move(f));
  auto value = [&g](const K& k, const hs::Lazy<V>& v) {
    return hs::deferCallWith<W>(g, std::tuple<K>(k), v);
  };
  return detail::mapMap<K, V, W>(value, m);
}

/// Every value replaced by x: one cell, shared by every entry.
/// x may be a value or a cell. O(n): builds every node of the result, hashes and compares no key.
template <class X, class K, class V>
[[nodiscard]] auto replaceValues(X x, const HashMap<K, V>& m) {
  using W = typename StripLazy<std::remove_cvref_t<X>>::type;
  const hs::Lazy<W> cell(std::move(x));
  auto value = [&cell](const K&, const hs::Lazy<V>&) { return cell; };
  return detail::mapMap<K, V, W>(value, m);
}

/// The map rebuilt under the keys f(key), in trie order through fromList: of two keys that f sends
/// to equal new keys, the pair later in trie order wins. Values are kept as stored.
/// f runs now, once per key, in trie order; one hash of each new key and O(log n) expected per
/// insert, built in a private accumulator (no path copied per key).
template <class F, class K, class V>
[[nodiscard]] auto mapKeys(F f, const HashMap<K, V>& m) {
  using K2 = detail::CallResultT<F, K>;
  // A plain loop rather than a view over the map, which clang 14 cannot compile with libstdc++ 12.
  // If f, a hash or an == throws part-way, the half-built map is dropped.
  HashMap<K2, V> acc;
  for (const auto& r : m) acc = internal::unsafeInsert<K2, V>(hs::call(f, r.key), r.value, acc);
  return acc;
}

/// @}
/// @}
}  // namespace internal

}  // namespace vantrel

/// \addtogroup vantrel_map_lazy
/// @{

/// The functor-level view: a map's type constructor is HashMapTag<K>, its element type V.
template <class K, class V>
struct hs::TagOf<vantrel::HashMap<K, V>> {
  /// \privatesection
  using type = vantrel::HashMapTag<K>;
  using value_type = V;
};

/// Mapping (hs::fmap): map, and replaceValues; values are deferred, nodes are built at once.
template <class K>
struct hs::Functor<vantrel::HashMapTag<K>> {
  /// \privatesection
  template <class F, class V>
  static auto fmap(F&& f, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::map(std::forward<F>(f), m);
  }
  template <class X, class V>
  static auto replaceValues(X&& x, const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::replaceValues(std::forward<X>(x), m);
  }
};
/// @}
