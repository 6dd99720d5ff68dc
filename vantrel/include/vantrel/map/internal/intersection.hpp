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
Child<K, V3> intersectWalk(const P& p, LevelShift s, const Ref<K, V1>& t1, const Ref<K, V2>& t2);

// Two collisions of hash h: the result's entries in the first array's order. A working copy of
// the second array shrinks from the front as its entries are matched, so each is matched once.
template <class V3, class K, class V1, class V2, class P>
Child<K, V3> intersectCollisions(const P& p, KeyHash h, const Entries<K, V1>& a1,
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
  if (j == 0) return Child<K, V3>();
  if (j == 1) return internal::leafChild<K, V3>(h, std::move(first->key), std::move(first->value));
  return Child<K, V3>(internal::collisionNode<K, V3>(h, out->finishShort()));
}

// Two branch nodes: the common chunks, each intersected one level down; empty results drop their
// chunk, and a lone `Leaf` or `Collision` replaces the node.
template <class V3, class K, class V1, class V2, class P>
Child<K, V3> intersectBranches(const P& p, LevelShift s, const Branch<K, V1>& a1,
                               const Branch<K, V2>& a2) {
  const ChildBitmap both = a1.word & a2.word;
  if (both == 0) return Child<K, V3>();
  Child<K, V3> kids[maxChildren];
  std::uint32_t n = 0;
  for (ChildBitmap rest = both; rest != 0; rest &= rest - 1) {
    const ChildBitmap m = rest & (~rest + 1);
    kids[n++] = internal::intersectWalk<V3>(p, nextShift(s), internal::childAt(a1, m),
                                            internal::childAt(a2, m));
  }
  return internal::collapse<K, V3>(both, kids, n);
}

template <class V3, class K, class V1, class V2, class P>
Child<K, V3> intersectWalk(const P& p, LevelShift s, const Ref<K, V1>& t1, const Ref<K, V2>& t2) {
  const Kind k2 = t2.kind();
  if (k2 == Kind::Empty) return Child<K, V3>();
  const Kind k1 = t1.kind();
  if (k1 == Kind::Empty) return Child<K, V3>();
  // One subtree on both sides: the plain intersection keeps it, and quiet keys need no comparing.
  if constexpr (P::keepFirst && reflexiveEq<K> && std::is_same_v<V1, V2>)
    if (t1.node != nullptr && t2.node != nullptr && internal::ptrEq(*t1.node, *t2.node))
      return Child<K, V3>::copyOf(t1);

  // A first-map leaf keeps its own key and hash.
  if (k1 == Kind::Leaf) {
    const Found<K, V2> r2 = internal::probeFrom(t1.hash(), t1.key(), s, t2);
    if (!r2) return Child<K, V3>();
    if constexpr (P::keepFirst) {
      return Child<K, V3>::copyOf(t1);
    } else {
      const LazyView<V1> x1 = t1.view();
      const LazyView<V2> x2 = r2.view();
      hs::Lazy<V3> r = p.value(t1.key(), x1.get(), x2.get());
      return internal::leafChild<K, V3>(t1.hash(), t1.key(), std::move(r));
    }
  }
  // A second-map leaf facing a branch or a collision: the second map's key and hash are kept.
  if (k2 == Kind::Leaf) {
    const Found<K, V1> r1 = internal::probeFrom(t2.hash(), t2.key(), s, t1);
    if (!r1) return Child<K, V3>();
    const LazyView<V1> x1 = r1.view();
    const LazyView<V2> x2 = t2.view();
    hs::Lazy<V3> r = p.value(t2.key(), x1.get(), x2.get());
    return internal::leafChild<K, V3>(t2.hash(), t2.key(), std::move(r));
  }

  // A collision stays where it is while the other side descends by its hash.
  if (k1 == Kind::Collision) {
    const KeyHash h1 = t1.hash();
    if (k2 == Kind::Collision) {
      if (h1 != t2.hash()) return Child<K, V3>();
      return internal::intersectCollisions<V3>(p, h1, internal::entriesOf(*t1.node),
                                               internal::entriesOf(*t2.node));
    }
    const Branch<K, V2>& a2 = internal::branchOf(*t2.node);
    const ChildBitmap m = mask(h1, s);
    if ((a2.word & m) == 0) return Child<K, V3>();
    return internal::intersectWalk<V3>(p, nextShift(s), t1, internal::childAt(a2, m));
  }
  const Branch<K, V1>& a1 = internal::branchOf(*t1.node);
  if (k2 == Kind::Collision) {
    const ChildBitmap m = mask(t2.hash(), s);
    if ((a1.word & m) == 0) return Child<K, V3>();
    return internal::intersectWalk<V3>(p, nextShift(s), internal::childAt(a1, m), t2);
  }
  return internal::intersectBranches<V3>(p, s, a1, internal::branchOf(*t2.node));
}
template <class V3, class K, class V1, class V2, class P>
HashMap<K, V3> intersectMaps(const P& p, const HashMap<K, V1>& m1, const HashMap<K, V2>& m2) {
  return internal::intersectWalk<V3>(p, 0, Ref<K, V1>::of(m1), Ref<K, V2>::of(m2)).toMap();
}

// The value type a caller's function gives for the arguments (cells under hs::onCells).
template <class F, class... A>
using CallResult =
    typename StripLazy<std::remove_cvref_t<decltype(hs::call(std::declval<F&>(), std::declval<const A&>()...))>>::type;

// ---- The public intersections ----------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Combination
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
  return internal::intersectMaps<V1>(p, m1, m2);
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
  return internal::intersectMaps<V3>(p, m1, m2);
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
  return internal::intersectMaps<V3>(p, m1, m2);
}
/// @}
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
  return internal::intersectMaps<V3>(p, m1, m2);
}

}  // namespace vantrel::internal
