// Value-strict transformations of every value: each walk rebuilds the trie with the same keys,
// hashes and places, evaluating every new value before its node is built. The caller's function
// runs in trie order, through hs::call (values by default, cells under hs::onCells).
#pragma once

#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/filter.hpp"
#include "vantrel/map/internal/traverse.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal::strict {

namespace detail {

// What hs::call gives back for f and the arguments, and the value type it stores: the value, or
// the value of a returned cell.
template <class F, class... A>
using CallResult =
    std::remove_cvref_t<decltype(hs::call(std::declval<F&>(), std::declval<const A&>()...))>;
template <class R>
using StoredValue = typename StripLazy<std::remove_cvref_t<R>>::type;

// A function's result made ready to store: a returned cell forced, a value as it is.
template <class R>
R evaluated(R r) {
  if constexpr (hs::IsLazy<R>::value) r.force();
  return r;
}

// Every node rebuilt with the same shape; g maps a record to its new value or evaluated cell.
template <class K, class V, class V2, class G>
HashMap<K, V2> mapWalk(G& g, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Leaf: {
      const L<K, V>& e = internal::leafOf(t);
      auto r = g(e);
      return internal::resultLeaf<K, V2>(internal::wordOf(t), e.key, std::move(r));
    }
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Children<K, V>& a = internal::childrenOf(t);
      ChildBuilder<K, V2> out(internal::kindOf(t), internal::wordOf(t), a.size());
      for (const HashMap<K, V>& c : a) out.emplace(detail::mapWalk<K, V, V2>(g, c));
      if (internal::kindOf(t) == Kind::Full) return internal::full<K, V2>(out.finish());
      return internal::bitmapIndexed<K, V2>(internal::wordOf(t), out.finish());
    }
    case Kind::Collision: {
      const Entries<K, V>& a = internal::entriesOf(t);
      EntryBuilder<K, V2> out(Kind::Collision, a.word, a.size());
      for (const L<K, V>& e : a) {
        auto r = g(e);
        out.emplace(L<K, V2>{e.key, hs::toCell<V2>(std::move(r))});
      }
      return internal::collisionNode<K, V2>(a.word, out.finish());
    }
    default:
      return HashMap<K, V2>();
  }
}

// The records g keeps (g gives an optional value or evaluated cell), the nodes left small
// collapsed: the lazy filter's walk.
template <class K, class V, class V2, class G>
HashMap<K, V2> mapMaybeWalk(G& g, const HashMap<K, V>& t) {
  auto onLeaf = [&g](const HashMap<K, V>& n) -> std::optional<HashMap<K, V2>> {
    const L<K, V>& e = internal::leafOf(n);
    auto r = g(e);
    if (!r) return std::nullopt;
    return internal::resultLeaf<K, V2>(internal::wordOf(n), e.key, std::move(*r));
  };
  auto onEntry = [&g](const L<K, V>& e) -> std::optional<L<K, V2>> {
    auto r = g(e);
    if (!r) return std::nullopt;
    return L<K, V2>{e.key, hs::toCell<V2>(std::move(*r))};
  };
  return internal::detail::filterNode<K, V2>(onLeaf, onEntry, t);
}

}  // namespace detail

/// \addtogroup vantrel_map_strict
/// @{

/// A map of the same keys with every value replaced by f(value), evaluated. No node of the input is
/// reused; the first failing call or value ends the walk.
/// O(n): rebuilds every node, one call of f and one evaluation per value, in trie order; hashes and
/// compares no key.
template <class F, class K, class V>
[[nodiscard]] auto map(F f, const HashMap<K, V>& m) {
  using V2 = detail::StoredValue<detail::CallResult<F, hs::Lazy<V>>>;
  auto g = [&f](const L<K, V>& e) {
    return detail::evaluated<detail::CallResult<F, hs::Lazy<V>>>(hs::call(f, e.value));
  };
  return detail::mapWalk<K, V, V2>(g, m);
}
/// As map with f(key, value).
/// Costs as map.
template <class F, class K, class V>
[[nodiscard]] auto mapWithKey(F f, const HashMap<K, V>& m) {
  using V2 = detail::StoredValue<detail::CallResult<F, K, hs::Lazy<V>>>;
  auto g = [&f](const L<K, V>& e) {
    return detail::evaluated<detail::CallResult<F, K, hs::Lazy<V>>>(hs::call(f, e.key, e.value));
  };
  return detail::mapWalk<K, V, V2>(g, m);
}

/// The pairs for which f(value) gives a value (or a cell), that value evaluated; the others
/// dropped. f is called once per pair in trie order. Costs as the lazy mapMaybe, plus the
/// evaluation of each kept value.
template <class F, class K, class V>
[[nodiscard]] auto mapMaybe(F f, const HashMap<K, V>& m) {
  using Answer = detail::CallResult<F, hs::Lazy<V>>;
  using V2 = detail::StoredValue<typename Answer::value_type>;
  auto g = [&f](const L<K, V>& e) {
    Answer r = hs::call(f, e.value);
    if constexpr (hs::IsLazy<typename Answer::value_type>::value)
      if (r) r->force();
    return r;
  };
  return detail::mapMaybeWalk<K, V, V2>(g, m);
}
/// As mapMaybe with f(key, value).
/// Costs as mapMaybe.
template <class F, class K, class V>
[[nodiscard]] auto mapMaybeWithKey(F f, const HashMap<K, V>& m) {
  using Answer = detail::CallResult<F, K, hs::Lazy<V>>;
  using V2 = detail::StoredValue<typename Answer::value_type>;
  auto g = [&f](const L<K, V>& e) {
    Answer r = hs::call(f, e.key, e.value);
    if constexpr (hs::IsLazy<typename Answer::value_type>::value)
      if (r) r->force();
    return r;
  };
  return detail::mapMaybeWalk<K, V, V2>(g, m);
}

/// f(key, value) gives an action of the applicative deduced from its result type; the actions run
/// in trie order and yield the map of their results, each evaluated before its node is built. How
/// often the rest runs after an action (never for an absent optional, once per result for a list)
/// is the applicative's choice.
/// Costs as the lazy traverseWithKey, plus the evaluation of each delivered value.
template <class F, class K, class V>
auto traverseWithKey(F f, const HashMap<K, V>& m) {
  using Action = detail::CallResult<F, K, hs::Lazy<V>>;
  using V2 = detail::StoredValue<hs::ElementOf<Action>>;
  // The lazy interface's traversal, each delivered value evaluated as it is delivered.
  return internal::detail::traverseRecords<K, V>(
      [&f](const L<K, V>& r) {
        return hs::fmap(
            [](const auto& x) {
              hs::Lazy<V2> c = hs::toCell<V2>(x);
              c.force();
              return c;
            },
            hs::call(f, r.key, r.value));
      },
      m);
}

/// @}
}  // namespace vantrel::internal::strict
