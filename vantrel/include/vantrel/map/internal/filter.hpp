// Filtering: keeping some pairs (optionally with new values) and rebuilding a valid trie in one
// eager walk. Emptied subtrees disappear, a level left with one Leaf or Collision child gives way
// to that child, arrays shrink to the children kept and a Collision left with one entry becomes a
// Leaf. The caller's function runs for every pair, in trie order; no key is hashed or compared
// (except by compose's lookups). Each branch node is allocated once at its final size; a
// collision's array is allocated at the input's length and cut to the records kept. The
// value-strict `mapMaybe` runs the same walk.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/call.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/lookup.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/transform.hpp"

namespace vantrel::internal::detail {

template <class K, class W, class V, class LeafH, class EntryH>
Child<K, W> filterNode(LeafH& onLeaf, EntryH& onEntry, const Ref<K, V>& t);

// The kept children of branch a. They wait on the stack, so the new node is allocated once, at
// its final size, and a level that collapses allocates nothing.
template <class K, class W, class V, class LeafH, class EntryH>
Child<K, W> filterChildren(LeafH& onLeaf, EntryH& onEntry, const Branch<K, V>& a) {
  // The walk is bound by the latency of reaching each sub-node: ask for all of them at once.
  const HashMap<K, V>* subs = a.subs();
  for (std::uint32_t i = 0; i < a.nsub(); ++i) __builtin_prefetch(Node::object(subs[i]));
  Child<K, W> kept[maxChildren];
  std::uint32_t n = 0;
  internal::forEachChild(a, [&](ChildBitmap bit, const Ref<K, V>& c) {
    // Beyond the bitmap (only in tries built invalid on purpose) a child has no chunk to keep.
    if (bit == 0 || n == maxChildren) return false;
    kept[n++] = detail::filterNode<K, W>(onLeaf, onEntry, c);
    return true;
  });
  return internal::collapse<K, W>(a.word, kept, n);
}

template <class K, class W, class V, class EntryH>
Child<K, W> filterCollision(EntryH& onEntry, const HashMap<K, V>& t) {
  const Entries<K, V>& a = internal::entriesOf(t);
  const KeyHash h = internal::wordOf(t);
  EntryBuilder<K, W> out(Kind::Collision, h, a.size());
  for (const L<K, V>& e : a) {
    std::optional<L<K, W>> r = onEntry(e);
    if (r) out.emplace(std::move(*r));
  }
  const std::uint32_t j = out.built();
  if (j == 0) return Child<K, W>();
  Entries<K, W>* kept = out.finishShort();
  if (j == 1) {
    // The block goes however the move of its one record ends: a key's move may throw.
    struct Free {
      Entries<K, W>* b;
      ~Free() { Entries<K, W>::destroy(b); }
    } free{kept};
    return internal::leafChild<K, W>(h, std::move((*kept)[0].key), std::move((*kept)[0].value));
  }
  return Child<K, W>(internal::collisionNode<K, W>(h, kept));
}

template <class K, class W, class V, class LeafH, class EntryH>
Child<K, W> filterNode(LeafH& onLeaf, EntryH& onEntry, const Ref<K, V>& t) {
  switch (t.kind()) {
    case Kind::Empty:
      return Child<K, W>();
    case Kind::Leaf: {
      std::optional<Child<K, W>> r = onLeaf(t);
      if (!r) return Child<K, W>();
      return std::move(*r);
    }
    case Kind::Collision:
      return detail::filterCollision<K, W>(onEntry, *t.node);
    default:
      return detail::filterChildren<K, W>(onLeaf, onEntry, internal::branchOf(*t.node));
  }
}
template <class K, class W, class V, class LeafH, class EntryH>
HashMap<K, W> filterMap(LeafH& onLeaf, EntryH& onEntry, const HashMap<K, V>& m) {
  return detail::filterNode<K, W>(onLeaf, onEntry, Ref<K, V>::of(m)).toMap();
}

// The new value type of a function that answers an optional value (or, under hs::onCells, an
// optional cell).
template <class F, class... A>
using MaybeValueT = typename StripLazy<typename CallResultT<F, A...>::value_type>::type;

}  // namespace vantrel::internal::detail

namespace vantrel::internal {

// The walk with its two handlers: onLeaf(leaf) answers an optional child to take its place,
// onEntry(collision record) an optional record.
template <class LeafH, class EntryH, class K, class V>
auto filterMapAux(LeafH onLeaf, EntryH onEntry, const HashMap<K, V>& m) {
  using W = typename std::invoke_result_t<LeafH&, const Ref<K, V>&>::value_type::mapped_type;
  return detail::filterMap<K, W>(onLeaf, onEntry, m);
}

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Mapping and filtering
/// @{

/// The pairs whose value satisfies p; a kept pair keeps its key and value cell. p receives the
/// forced value (the cell under hs::onCells), once per pair in trie order. O(n); hashes and
/// compares no key; allocates each branch node of the result once, at its final size, and shares
/// the kept entries with the input where it can; forces only what p forces.
template <class P, class K, class V>
[[nodiscard]] HashMap<K, V> filter(P p, const HashMap<K, V>& m) {
  auto onLeaf = [&p](const Ref<K, V>& t) -> std::optional<Child<K, V>> {
    const LazyView<V> v = t.view();
    if (hs::call(p, v.get())) return Child<K, V>::copyOf(t);
    return std::nullopt;
  };
  auto onEntry = [&p](const L<K, V>& e) -> std::optional<L<K, V>> {
    if (hs::call(p, e.value)) return e;
    return std::nullopt;
  };
  return detail::filterMap<K, V>(onLeaf, onEntry, m);
}
/// As filter, p receiving the key too.
template <class P, class K, class V>
[[nodiscard]] HashMap<K, V> filterWithKey(P p, const HashMap<K, V>& m) {
  auto onLeaf = [&p](const Ref<K, V>& t) -> std::optional<Child<K, V>> {
    const LazyView<V> v = t.view();
    if (hs::call(p, t.key(), v.get())) return Child<K, V>::copyOf(t);
    return std::nullopt;
  };
  auto onEntry = [&p](const L<K, V>& e) -> std::optional<L<K, V>> {
    if (hs::call(p, e.key, e.value)) return e;
    return std::nullopt;
  };
  return detail::filterMap<K, V>(onLeaf, onEntry, m);
}

/// The pairs for which f answers a value, with that value (stored as delivered).
/// f receives the key and the forced value (the cell under hs::onCells), once per pair in trie
/// order, and answers an optional value (an optional cell under hs::onCells). Costs as filter; a
/// delivered value is stored as it is.
template <class F, class K, class V>
[[nodiscard]] auto mapMaybeWithKey(F f, const HashMap<K, V>& m) {
  using W = detail::MaybeValueT<F, K, hs::Lazy<V>>;
  auto onLeaf = [&f](const Ref<K, V>& t) -> std::optional<Child<K, W>> {
    const LazyView<V> v = t.view();
    auto x = hs::call(f, t.key(), v.get());
    if (!x) return std::nullopt;
    return internal::resultChild<K, W>(t.hash(), t.key(), std::move(*x));
  };
  auto onEntry = [&f](const L<K, V>& e) -> std::optional<L<K, W>> {
    auto x = hs::call(f, e.key, e.value);
    if (!x) return std::nullopt;
    return L<K, W>{e.key, hs::toCell<W>(std::move(*x))};
  };
  return detail::filterMap<K, W>(onLeaf, onEntry, m);
}
/// As mapMaybeWithKey, f receiving the value alone.
template <class F, class K, class V>
[[nodiscard]] auto mapMaybe(F f, const HashMap<K, V>& m) {
  using W = detail::MaybeValueT<F, hs::Lazy<V>>;
  auto onLeaf = [&f](const Ref<K, V>& t) -> std::optional<Child<K, W>> {
    const LazyView<V> v = t.view();
    auto x = hs::call(f, v.get());
    if (!x) return std::nullopt;
    return internal::resultChild<K, W>(t.hash(), t.key(), std::move(*x));
  };
  auto onEntry = [&f](const L<K, V>& e) -> std::optional<L<K, W>> {
    auto x = hs::call(f, e.value);
    if (!x) return std::nullopt;
    return L<K, W>{e.key, hs::toCell<W>(std::move(*x))};
  };
  return detail::filterMap<K, W>(onLeaf, onEntry, m);
}

/// The pairs (x, z) where ab maps x to y and bc maps y to z: each value of ab is looked up as a key
/// of bc (with B's hash and ==, the value on the left); z is bc's stored cell. An empty bc gives
/// the empty map without walking ab.
/// One hash of each value of ab (as a key of bc) and a lookup, O(n log m) expected; allocates the
/// result as filter does; forces the values of ab, not those of bc.
template <class B, class C, class A>
[[nodiscard]] HashMap<A, C> compose(const HashMap<B, C>& bc, const HashMap<A, B>& ab) {
  if (internal::null(bc)) return HashMap<A, C>();
  auto onLeaf = [&bc](const Ref<A, B>& t) -> std::optional<Child<A, C>> {
    const Found<B, C> z = internal::lookupU<B, C>(t.force(), bc);
    if (!z) return std::nullopt;
    return internal::leafChild<A, C>(t.hash(), t.key(), z.handle());
  };
  auto onEntry = [&bc](const L<A, B>& e) -> std::optional<L<A, C>> {
    const Found<B, C> z = internal::lookupU<B, C>(e.value.force(), bc);
    if (!z) return std::nullopt;
    return L<A, C>{e.key, z.handle()};
  };
  return detail::filterMap<A, C>(onLeaf, onEntry, ab);
}

/// @}
/// @}
}  // namespace vantrel::internal
