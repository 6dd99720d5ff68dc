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
HashMap<K, W> filterNode(LeafH& onLeaf, EntryH& onEntry, const HashMap<K, V>& t);

// The kept children of array a under bitmap b. They wait on the stack, so the new node is
// allocated once, at its final size, and a level that collapses allocates nothing.
template <class K, class W, class V, class LeafH, class EntryH>
HashMap<K, W> filterChildren(LeafH& onLeaf, EntryH& onEntry, const Children<K, V>& a, ChildBitmap b) {
  const std::uint32_t n = a.size();
  // The walk is bound by the latency of reaching each child: ask for all of them at once.
  for (std::uint32_t i = 0; i < n; ++i) __builtin_prefetch(Node::object(a[i]));
  std::array<HashMap<K, W>, maxChildren> local;
  std::vector<HashMap<K, W>> spill;  // only for a node larger than any valid one
  HashMap<K, W>* kept = local.data();
  if (n > local.size()) {
    spill.resize(n);
    kept = spill.data();
  }
  ChildBitmap rest = b;
  std::uint32_t j = 0;
  for (std::uint32_t i = 0; i < n && rest != 0; ++i) {
    const ChildBitmap bit = rest & (~rest + 1);  // child i's chunk: the lowest bit not yet passed
    rest &= ~bit;
    HashMap<K, W> c = detail::filterNode<K, W>(onLeaf, onEntry, a[i]);
    if (internal::kindOf(c) == Kind::Empty)
      b &= ~bit;
    else
      kept[j++] = std::move(c);
  }
  if (j == 0) return HashMap<K, W>();
  if (j == 1 && internal::isLeafOrCollision(kept[0])) return std::move(kept[0]);
  ChildBuilder<K, W> out(Kind::BitmapIndexed, b, j);
  for (std::uint32_t i = 0; i < j; ++i) out.emplace(std::move(kept[i]));
  if (j == maxChildren) return internal::full<K, W>(out.finish());
  return internal::bitmapIndexed<K, W>(b, out.finish());
}

template <class K, class W, class V, class EntryH>
HashMap<K, W> filterCollision(EntryH& onEntry, const HashMap<K, V>& t) {
  const Entries<K, V>& a = internal::entriesOf(t);
  const KeyHash h = internal::wordOf(t);
  EntryBuilder<K, W> out(Kind::Collision, h, a.size());
  for (const L<K, V>& e : a) {
    std::optional<L<K, W>> r = onEntry(e);
    if (r) out.emplace(std::move(*r));
  }
  const std::uint32_t j = out.built();
  if (j == 0) return HashMap<K, W>();
  Entries<K, W>* kept = out.finishShort();
  if (j == 1) {
    // The block goes however the move of its one record ends: a key's move may throw.
    struct Free {
      Entries<K, W>* b;
      ~Free() { Entries<K, W>::destroy(b); }
    } free{kept};
    return internal::leafNode<K, W>(h, std::move((*kept)[0]));
  }
  return internal::collisionNode<K, W>(h, kept);
}

template <class K, class W, class V, class LeafH, class EntryH>
HashMap<K, W> filterNode(LeafH& onLeaf, EntryH& onEntry, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Empty:
      return HashMap<K, W>();
    case Kind::Leaf: {
      std::optional<HashMap<K, W>> r = onLeaf(t);
      if (!r) return HashMap<K, W>();
      return std::move(*r);
    }
    case Kind::Collision:
      return detail::filterCollision<K, W>(onEntry, t);
    case Kind::Full:
      return detail::filterChildren<K, W>(onLeaf, onEntry, internal::childrenOf(t), fullBitmap);
    default:
      return detail::filterChildren<K, W>(onLeaf, onEntry, internal::childrenOf(t),
                                          internal::wordOf(t));
  }
}

// The new value type of a function that answers an optional value (or, under hs::onCells, an
// optional cell).
template <class F, class... A>
using MaybeValueT = typename StripLazy<typename CallResultT<F, A...>::value_type>::type;

}  // namespace vantrel::internal::detail

namespace vantrel::internal {

// The walk with its two handlers: onLeaf(Leaf node) answers an optional node to take its place,
// onEntry(collision record) an optional record.
template <class LeafH, class EntryH, class K, class V>
auto filterMapAux(LeafH onLeaf, EntryH onEntry, const HashMap<K, V>& m) {
  using W = typename std::invoke_result_t<LeafH&, const HashMap<K, V>&>::value_type::mapped_type;
  return detail::filterNode<K, W>(onLeaf, onEntry, m);
}

/// \addtogroup vantrel_map_lazy
/// @{

/// The pairs whose value satisfies p; a kept pair keeps its key and value cell. p receives the
/// forced value (the cell under hs::onCells), once per pair in trie order. O(n); hashes and
/// compares no key; allocates each branch node of the result once, at its final size, and shares
/// the kept entries with the input where it can; forces only what p forces.
template <class P, class K, class V>
[[nodiscard]] HashMap<K, V> filter(P p, const HashMap<K, V>& m) {
  auto onLeaf = [&p](const HashMap<K, V>& t) -> std::optional<HashMap<K, V>> {
    if (hs::call(p, internal::leafOf(t).value)) return t;
    return std::nullopt;
  };
  auto onEntry = [&p](const L<K, V>& e) -> std::optional<L<K, V>> {
    if (hs::call(p, e.value)) return e;
    return std::nullopt;
  };
  return detail::filterNode<K, V>(onLeaf, onEntry, m);
}
/// As filter, p receiving the key too.
template <class P, class K, class V>
[[nodiscard]] HashMap<K, V> filterWithKey(P p, const HashMap<K, V>& m) {
  auto onLeaf = [&p](const HashMap<K, V>& t) -> std::optional<HashMap<K, V>> {
    const L<K, V>& r = internal::leafOf(t);
    if (hs::call(p, r.key, r.value)) return t;
    return std::nullopt;
  };
  auto onEntry = [&p](const L<K, V>& e) -> std::optional<L<K, V>> {
    if (hs::call(p, e.key, e.value)) return e;
    return std::nullopt;
  };
  return detail::filterNode<K, V>(onLeaf, onEntry, m);
}

/// The pairs for which f answers a value, with that value (stored as delivered).
/// f receives the key and the forced value (the cell under hs::onCells), once per pair in trie
/// order, and answers an optional value (an optional cell under hs::onCells). Costs as filter; a
/// delivered value is stored as it is.
template <class F, class K, class V>
[[nodiscard]] auto mapMaybeWithKey(F f, const HashMap<K, V>& m) {
  using W = detail::MaybeValueT<F, K, hs::Lazy<V>>;
  auto onLeaf = [&f](const HashMap<K, V>& t) -> std::optional<HashMap<K, W>> {
    const L<K, V>& r = internal::leafOf(t);
    auto x = hs::call(f, r.key, r.value);
    if (!x) return std::nullopt;
    return internal::resultLeaf<K, W>(internal::wordOf(t), r.key, std::move(*x));
  };
  auto onEntry = [&f](const L<K, V>& e) -> std::optional<L<K, W>> {
    auto x = hs::call(f, e.key, e.value);
    if (!x) return std::nullopt;
    return L<K, W>{e.key, hs::toCell<W>(std::move(*x))};
  };
  return detail::filterNode<K, W>(onLeaf, onEntry, m);
}
/// As mapMaybeWithKey, f receiving the value alone.
template <class F, class K, class V>
[[nodiscard]] auto mapMaybe(F f, const HashMap<K, V>& m) {
  using W = detail::MaybeValueT<F, hs::Lazy<V>>;
  auto onLeaf = [&f](const HashMap<K, V>& t) -> std::optional<HashMap<K, W>> {
    const L<K, V>& r = internal::leafOf(t);
    auto x = hs::call(f, r.value);
    if (!x) return std::nullopt;
    return internal::resultLeaf<K, W>(internal::wordOf(t), r.key, std::move(*x));
  };
  auto onEntry = [&f](const L<K, V>& e) -> std::optional<L<K, W>> {
    auto x = hs::call(f, e.value);
    if (!x) return std::nullopt;
    return L<K, W>{e.key, hs::toCell<W>(std::move(*x))};
  };
  return detail::filterNode<K, W>(onLeaf, onEntry, m);
}

/// The pairs (x, z) where ab maps x to y and bc maps y to z: each value of ab is looked up as a key
/// of bc (with B's hash and ==, the value on the left); z is bc's stored cell. An empty bc gives
/// the empty map without walking ab.
/// One hash of each value of ab (as a key of bc) and a lookup, O(n log m) expected; allocates the
/// result as filter does; forces the values of ab, not those of bc.
template <class B, class C, class A>
[[nodiscard]] HashMap<A, C> compose(const HashMap<B, C>& bc, const HashMap<A, B>& ab) {
  if (internal::null(bc)) return HashMap<A, C>();
  auto onLeaf = [&bc](const HashMap<A, B>& t) -> std::optional<HashMap<A, C>> {
    const L<A, B>& r = internal::leafOf(t);
    const hs::Lazy<C>* z = internal::lookupU<B, C>(r.value.force(), bc);
    if (z == nullptr) return std::nullopt;
    return internal::leafNode<A, C>(internal::wordOf(t), r.key, *z);
  };
  auto onEntry = [&bc](const L<A, B>& e) -> std::optional<L<A, C>> {
    const hs::Lazy<C>* z = internal::lookupU<B, C>(e.value.force(), bc);
    if (z == nullptr) return std::nullopt;
    return L<A, C>{e.key, *z};
  };
  return detail::filterNode<A, C>(onLeaf, onEntry, ab);
}

/// @}
}  // namespace vantrel::internal
