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
Child<K, V2> mapWalk(G& g, const Ref<K, V>& t) {
  switch (t.kind()) {
    case Kind::Leaf:
      return internal::withEntry(t, [&](const Entry<K, V>& e) {
        auto r = g(e);
        return internal::resultChild<K, V2>(t.hash(), e.key, std::move(r));
      });
    case Kind::BitmapIndexed:
    case Kind::Full:
      return internal::mapBranch<V2>(internal::branchOf(*t.node), [&](const Ref<K, V>& c) {
        return detail::mapWalk<K, V, V2>(g, c);
      });
    case Kind::Collision: {
      const Entries<K, V>& a = internal::entriesOf(*t.node);
      EntryBuilder<K, V2> out(Kind::Collision, a.word, a.size());
      for (const L<K, V>& e : a) {
        auto r = g(e);
        out.emplace(L<K, V2>{e.key, hs::toCell<V2>(std::move(r))});
      }
      return Child<K, V2>(internal::collisionNode<K, V2>(a.word, out.finish()));
    }
    default:
      return Child<K, V2>();
  }
}
template <class K, class V, class V2, class G>
HashMap<K, V2> mapMap(G& g, const HashMap<K, V>& m) {
  return detail::mapWalk<K, V, V2>(g, Ref<K, V>::of(m)).toMap();
}

// The records g keeps (g gives an optional value or evaluated cell), the nodes left small
// collapsed: the lazy filter's walk.
template <class K, class V, class V2, class G>
HashMap<K, V2> mapMaybeWalk(G& g, const HashMap<K, V>& t) {
  auto onLeaf = [&g](const Ref<K, V>& n) -> std::optional<Child<K, V2>> {
    return internal::withEntry(n, [&](const Entry<K, V>& e) -> std::optional<Child<K, V2>> {
      auto r = g(e);
      if (!r) return std::nullopt;
      return internal::resultChild<K, V2>(n.hash(), e.key, std::move(*r));
    });
  };
  auto onEntry = [&g](const L<K, V>& e) -> std::optional<L<K, V2>> {
    auto r = g(e);
    if (!r) return std::nullopt;
    return L<K, V2>{e.key, hs::toCell<V2>(std::move(*r))};
  };
  return internal::detail::filterMap<K, V2>(onLeaf, onEntry, t);
}

}  // namespace detail

/// \addtogroup vantrel_map_strict
/// @{
/// \name Mapping and filtering
/// @{

/// A map of the same keys with every value replaced by f(value), evaluated. No node of the input is
/// reused; the first failing call or value ends the walk.
/// O(n): rebuilds every node, one call of f and one evaluation per value, in trie order; hashes and
/// compares no key.
template <class F, class K, class V>
[[nodiscard]] auto map(F f, const HashMap<K, V>& m) {
  using V2 = detail::StoredValue<detail::CallResult<F, hs::Lazy<V>>>;
  auto g = [&f](const auto& e) {
    return detail::evaluated<detail::CallResult<F, hs::Lazy<V>>>(hs::call(f, e.value));
  };
  return detail::mapMap<K, V, V2>(g, m);
}
/// As map with f(key, value).
/// Costs as map.
template <class F, class K, class V>
[[nodiscard]] auto mapWithKey(F f, const HashMap<K, V>& m) {
  using V2 = detail::StoredValue<detail::CallResult<F, K, hs::Lazy<V>>>;
  auto g = [&f](const auto& e) {
    return detail::evaluated<detail::CallResult<F, K, hs::Lazy<V>>>(hs::call(f, e.key, e.value));
  };
  return detail::mapMap<K, V, V2>(g, m);
}

/// The pairs for which f(value) gives a value (or a cell), that value evaluated; the others
/// dropped. f is called once per pair in trie order. Costs as the lazy mapMaybe, plus the
/// evaluation of each kept value.
template <class F, class K, class V>
[[nodiscard]] auto mapMaybe(F f, const HashMap<K, V>& m) {
  using Answer = detail::CallResult<F, hs::Lazy<V>>;
  using V2 = detail::StoredValue<typename Answer::value_type>;
  auto g = [&f](const auto& e) {
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
  auto g = [&f](const auto& e) {
    Answer r = hs::call(f, e.key, e.value);
    if constexpr (hs::IsLazy<typename Answer::value_type>::value)
      if (r) r->force();
    return r;
  };
  return detail::mapMaybeWalk<K, V, V2>(g, m);
}

/// @}
/// \name Folds and traversals
/// @{

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
      [&f](const auto& r) {
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
/// @}
}  // namespace vantrel::internal::strict
