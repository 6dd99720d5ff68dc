// Intersection: a walk over both tries in step, routed by the stored hashes (no key is hashed).
// Where one side is down to a `Leaf`, its key is probed in the other side's subtree; two branch
// nodes pair their children by bitmap; two collisions of one hash match their entry arrays.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/lookup.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

// The record of the key k (hash h, stored in the probing node) in the subtree t whose level is s,
// or null: the lookup walk, started below the root.
template <class K, class V>
const L<K, V>* probeFrom(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t) {
  return internal::lookupFrom(h, k, s, t).record;
}

// How a matched pair becomes a stored value: `value(kept key, first cell, second cell)`. With
// `KeepFirst` (the plain intersection) the first map's value is kept as it is and a first-map
// `Leaf` whose key is found is returned itself.
template <class V3, class G, bool KeepFirst>
struct IntersectPolicy {
  using Out = V3;
  static constexpr bool keepFirst = KeepFirst;
  G value;
};

template <class V3, class K, class V1, class V2, class P>
HashMap<K, V3> intersectWalk(const P& p, LevelShift s, const HashMap<K, V1>& t1,
                             const HashMap<K, V2>& t2);

// Two collisions of hash h: the result's entries in the first array's order. A working copy of
// the second array shrinks from the front as its entries are matched, so each is matched once.
template <class V3, class K, class V1, class V2, class P>
HashMap<K, V3> intersectCollisions(const P& p, KeyHash h, const Entries<K, V1>& a1,
                                   const Entries<K, V2>& a2) {
  const std::uint32_t n1 = a1.size(), n2 = a2.size();
  constexpr std::uint32_t onStack = 16;
  const L<K, V2>* local[onStack];
  std::unique_ptr<const L<K, V2>*[]> heap;
  const L<K, V2>** w = local;
  if (n2 > onStack) {
    heap.reset(new const L<K, V2>*[n2]);
    w = heap.get();
  }
  for (std::uint32_t q = 0; q < n2; ++q) w[q] = &a2[q];

  // The first match is held aside: no array is needed unless a second one follows.
  std::optional<L<K, V3>> first;
  std::optional<EntryBuilder<K, V3>> out;
  std::uint32_t j = 0;
  for (std::uint32_t i = 0; i < n1 && j < n2; ++i) {
    const L<K, V1>& e1 = a1[i];
    std::uint32_t q = j;
    while (q < n2 && !(e1.key == w[q]->key)) ++q;
    if (q == n2) continue;
    const L<K, V2>* match = w[q];
    w[q] = w[j];
    L<K, V3> entry{e1.key, p.value(e1.key, e1.value, match->value)};
    if (j == 0) {
      first.emplace(std::move(entry));
    } else {
      if (j == 1) {
        out.emplace(Kind::Collision, h, std::min(n1, n2));
        out->emplace(std::move(*first));
      }
      out->emplace(std::move(entry));
    }
    ++j;
  }
  if (j == 0) return HashMap<K, V3>();
  if (j == 1) return internal::leafNode<K, V3>(h, std::move(*first));
  return internal::collisionNode<K, V3>(h, out->finishShort());
}

// Two branch nodes (a `Full` one with the full bitmap): the common chunks, each intersected one
// level down; empty results drop their chunk, and a lone `Leaf` or `Collision` replaces the node.
template <class V3, class K, class V1, class V2, class P>
HashMap<K, V3> intersectBranches(const P& p, LevelShift s, ChildBitmap b1, const Children<K, V1>& a1,
                                 ChildBitmap b2, const Children<K, V2>& a2) {
  const ChildBitmap both = b1 & b2;
  if (both == 0) return HashMap<K, V3>();
  ChildBuilder<K, V3> out(Kind::BitmapIndexed, 0, static_cast<std::uint32_t>(std::popcount(both)));
  ChildBitmap kept = both;
  for (ChildBitmap rest = both; rest != 0; rest &= rest - 1) {
    const ChildBitmap m = rest & (~rest + 1);
    HashMap<K, V3> r = internal::intersectWalk<V3>(
        p, nextShift(s), a1[static_cast<std::size_t>(sparseIndex(b1, m))],
        a2[static_cast<std::size_t>(sparseIndex(b2, m))]);
    if (internal::kindOf(r) == Kind::Empty)
      kept &= ~m;
    else
      out.emplace(std::move(r));
  }
  const std::uint32_t n = out.built();
  if (n == 0) return HashMap<K, V3>();
  Children<K, V3>* block = out.finishShort();
  if (n == 1 && internal::isLeafOrCollision((*block)[0])) {
    HashMap<K, V3> only = (*block)[0];
    Children<K, V3>::destroy(block);
    return only;
  }
  return internal::bitmapIndexedOrFull<K, V3>(kept, block);
}

template <class V3, class K, class V1, class V2, class P>
HashMap<K, V3> intersectWalk(const P& p, LevelShift s, const HashMap<K, V1>& t1,
                             const HashMap<K, V2>& t2) {
  const Kind k2 = internal::kindOf(t2);
  if (k2 == Kind::Empty) return HashMap<K, V3>();
  const Kind k1 = internal::kindOf(t1);
  if (k1 == Kind::Empty) return HashMap<K, V3>();
  // One subtree on both sides: the plain intersection keeps it, and quiet keys need no comparing.
  if constexpr (P::keepFirst && reflexiveEq<K> && std::is_same_v<V1, V2>)
    if (internal::ptrEq(t1, t2)) return t1;

  // A first-map leaf keeps its own key and hash.
  if (k1 == Kind::Leaf) {
    const KeyHash h1 = internal::wordOf(t1);
    const L<K, V1>& r1 = internal::leafOf(t1);
    const L<K, V2>* r2 = internal::probeFrom(h1, r1.key, s, t2);
    if (r2 == nullptr) return HashMap<K, V3>();
    if constexpr (P::keepFirst)
      return t1;
    else
      return internal::leafNode<K, V3>(h1, r1.key, p.value(r1.key, r1.value, r2->value));
  }
  // A second-map leaf facing a branch or a collision: the second map's key and hash are kept.
  if (k2 == Kind::Leaf) {
    const KeyHash h2 = internal::wordOf(t2);
    const L<K, V2>& r2 = internal::leafOf(t2);
    const L<K, V1>* r1 = internal::probeFrom(h2, r2.key, s, t1);
    if (r1 == nullptr) return HashMap<K, V3>();
    return internal::leafNode<K, V3>(h2, r2.key, p.value(r2.key, r1->value, r2.value));
  }

  // A collision stays where it is while the other side descends by its hash.
  if (k1 == Kind::Collision) {
    const KeyHash h1 = internal::wordOf(t1);
    if (k2 == Kind::Collision) {
      if (h1 != internal::wordOf(t2)) return HashMap<K, V3>();
      return internal::intersectCollisions<V3>(p, h1, internal::entriesOf(t1),
                                               internal::entriesOf(t2));
    }
    const Children<K, V2>& a2 = internal::childrenOf(t2);
    if (k2 == Kind::Full)
      return internal::intersectWalk<V3>(p, nextShift(s), t1,
                                         a2[static_cast<std::size_t>(index(h1, s))]);
    const ChildBitmap b2 = internal::wordOf(t2), m = mask(h1, s);
    if ((b2 & m) == 0) return HashMap<K, V3>();
    return internal::intersectWalk<V3>(p, nextShift(s), t1,
                                       a2[static_cast<std::size_t>(sparseIndex(b2, m))]);
  }
  const Children<K, V1>& a1 = internal::childrenOf(t1);
  const ChildBitmap b1 = k1 == Kind::Full ? fullBitmap : internal::wordOf(t1);
  if (k2 == Kind::Collision) {
    const KeyHash h2 = internal::wordOf(t2);
    if (k1 == Kind::Full)
      return internal::intersectWalk<V3>(p, nextShift(s),
                                         a1[static_cast<std::size_t>(index(h2, s))], t2);
    const ChildBitmap m = mask(h2, s);
    if ((b1 & m) == 0) return HashMap<K, V3>();
    return internal::intersectWalk<V3>(p, nextShift(s),
                                       a1[static_cast<std::size_t>(sparseIndex(b1, m))], t2);
  }
  const ChildBitmap b2 = k2 == Kind::Full ? fullBitmap : internal::wordOf(t2);
  return internal::intersectBranches<V3>(p, s, b1, a1, b2, internal::childrenOf(t2));
}

// The value type a caller's function gives for the arguments (cells under hs::onCells).
template <class F, class... A>
using CallResult =
    typename StripLazy<std::remove_cvref_t<decltype(hs::call(std::declval<F&>(), std::declval<const A&>()...))>>::type;

// ---- The public intersections ----------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{

/// The keys of both maps with the first map's values.
/// Hashes no key (the stored hashes route the walk) and compares keys only of equal hash; walks
/// both maps in step where both have entries, O(n + m) at most. Allocates the result's nodes only
/// (a pair kept from the first map keeps its key and cell); forces no value.
template <class K, class V1, class V2>
[[nodiscard]] HashMap<K, V1> intersection(const HashMap<K, V1>& m1, const HashMap<K, V2>& m2) {
  auto keep = [](const K&, const hs::Lazy<V1>& x1, const hs::Lazy<V2>&) -> const hs::Lazy<V1>& {
    return x1;
  };
  const IntersectPolicy<V1, decltype(keep), true> p{keep};
  return internal::intersectWalk<V1>(p, 0, m1, m2);
}

/// The keys of both maps, each with the deferred f(first value, second value).
/// Costs as intersection, plus the deferred combination (holding a copy of f) per common key; f is
/// not called here. The result's value type is f's result type.
template <class F, class K, class V1, class V2,
          class V3 = CallResult<F, hs::Lazy<V1>, hs::Lazy<V2>>>
[[nodiscard]] HashMap<K, V3> intersectionWith(F f, const HashMap<K, V1>& m1, const HashMap<K, V2>& m2) {
  auto defer = [&f](const K&, const hs::Lazy<V1>& x1, const hs::Lazy<V2>& x2) {
    return hs::deferCall<V3>(f, x1, x2);
  };
  const IntersectPolicy<V3, decltype(defer), false> p{defer};
  return internal::intersectWalk<V3>(p, 0, m1, m2);
}

/// The keys of both maps, each with the deferred f(kept key, first value, second value).
/// Costs as intersectionWith.
template <class F, class K, class V1, class V2,
          class V3 = CallResult<F, K, hs::Lazy<V1>, hs::Lazy<V2>>>
[[nodiscard]] HashMap<K, V3> intersectionWithKey(F f, const HashMap<K, V1>& m1, const HashMap<K, V2>& m2) {
  auto defer = [&f](const K& k, const hs::Lazy<V1>& x1, const hs::Lazy<V2>& x2) {
    return hs::deferCallWith<V3>(f, std::tuple<K>(k), x1, x2);
  };
  const IntersectPolicy<V3, decltype(defer), false> p{defer};
  return internal::intersectWalk<V3>(p, 0, m1, m2);
}
/// @}

// intersectionWithKey# : f(kept key, first value, second value) called during the walk, its
// result stored as returned (a returned cell keeps its identity).
template <class F, class K, class V1, class V2,
          class V3 = CallResult<F, K, hs::Lazy<V1>, hs::Lazy<V2>>>
HashMap<K, V3> intersectionWithKeyU(F f, const HashMap<K, V1>& m1, const HashMap<K, V2>& m2) {
  auto now = [&f](const K& k, const hs::Lazy<V1>& x1, const hs::Lazy<V2>& x2) {
    return hs::callToCell<V3>(f, k, x1, x2);
  };
  const IntersectPolicy<V3, decltype(now), false> p{now};
  return internal::intersectWalk<V3>(p, 0, m1, m2);
}

}  // namespace vantrel::internal
