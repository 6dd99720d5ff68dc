// Union: one walk down both tries at once. Children that only one side holds go into the result
// as the same objects; new nodes are built only where the two tries meet. The walk steers by the
// hashes stored in the nodes and never hashes a key.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <iterator>
#include <ranges>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/call.hpp"
#include "hs/error.hpp"
#include "hs/semigroup.hpp"
#include "vantrel/map/internal/array.hpp"
#include "vantrel/map/internal/insert.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

// What a key held by both maps receives: `combine(kept key, left cell, right cell)` gives the cell
// to store. `keepLeftLeaf` marks the plain union, where two leaves of one key give the left leaf
// itself. `sideHash` reads the hash of the node that meets a branch node, and `unmatched` stands
// for a pairing of nodes of no trie kind; valid tries reach neither of those guards, so this
// policy trusts its input and a policy of its own may raise errors there.
template <class G, bool KeepLeftLeaf>
struct UnionCombine {
  static constexpr bool keepLeftLeaf = KeepLeftLeaf;
  G combine;

  template <class K, class V>
  static KeyHash sideHash(const Ref<K, V>& t) noexcept {
    return t.hash();
  }
  [[noreturn]] static void unmatched() noexcept { std::terminate(); }
  // A `Leaf`'s record merged into a collision array (f on cells, as `combine`).
  template <class F, class K, class V>
  static HashMap<K, V> snoc(F&& f, const K& k, const hs::Lazy<V>& v, const Entries<K, V>& a) {
    return internal::updateOrSnocWithKey<K, V>(std::forward<F>(f), k, v, a);
  }
};

template <class K, class V>
struct KeepLeftValue {
  const hs::Lazy<V>& operator()(const K&, const hs::Lazy<V>& x1, const hs::Lazy<V>&) const noexcept {
    return x1;
  }
};

template <class K, class V, class P>
Child<K, V> unionWalk(const P& p, LevelShift s, const Ref<K, V>& t1, const Ref<K, V>& t2);

// Two `Leaf`/`Collision` nodes of one hash. The left map's value always comes first in the
// combination; the merged entry keeps the key of the `Leaf` side (the left key when both are
// leaves, the left array's key when both are collisions).
template <class K, class V, class P>
Child<K, V> unionSameHash(const P& p, const Ref<K, V>& t1, const Ref<K, V>& t2) {
  const bool leaf1 = t1.isLeaf(), leaf2 = t2.isLeaf();
  if (leaf1 && leaf2) {
    if (t1.key() == t2.key()) {
      if constexpr (P::keepLeftLeaf) return Child<K, V>::copyOf(t1);
      const LazyView<V> v1 = t1.view(), v2 = t2.view();
      hs::Lazy<V> r = p.combine(t1.key(), v1.get(), v2.get());
      return internal::leafChild<K, V>(t1.hash(), t1.key(), std::move(r));
    }
    return Child<K, V>(internal::collision<K, V>(t1.hash(), internal::pairOf(t1), internal::pairOf(t2)));
  }
  if (leaf1) {
    const LazyView<V> v1 = t1.view();
    return Child<K, V>(p.snoc(p.combine, t1.key(), v1.get(), internal::entriesOf(*t2.node)));
  }
  if (leaf2) {
    auto storedFirst = [&p](const K& k, const hs::Lazy<V>& right, const hs::Lazy<V>& stored) {
      return p.combine(k, stored, right);
    };
    const LazyView<V> v2 = t2.view();
    return Child<K, V>(p.snoc(storedFirst, t2.key(), v2.get(), internal::entriesOf(*t1.node)));
  }
  return Child<K, V>(internal::updateOrConcatWithKey<K, V>(p.combine, internal::entriesOf(*t1.node),
                                                           internal::entriesOf(*t2.node)));
}

// A `Leaf` or `Collision` (`side`, hash h) meeting a branch node: placed into a free chunk as it
// is, or merged with the child on its path. It keeps its role: left when it comes from the left
// map.
template <bool SideIsLeft, class K, class V, class P>
Child<K, V> unionIntoBranch(const P& p, LevelShift s, const Branch<K, V>& a, const Ref<K, V>& side) {
  const KeyHash h = p.sideHash(side);
  const ChildBitmap bit = mask(h, s);
  if ((a.word & bit) == 0)
    return Child<K, V>(internal::copyWithChild<K, V>(a, bit, Child<K, V>::copyOf(side)));
  const Ref<K, V> child = internal::childAt(a, bit);
  Child<K, V> r = SideIsLeft ? internal::unionWalk<K, V>(p, nextShift(s), side, child)
                             : internal::unionWalk<K, V>(p, nextShift(s), child, side);
  return Child<K, V>(internal::copyWithChild<K, V>(a, bit, std::move(r)));
}

// Two branch nodes: one slot per chunk of either; chunks of both merge one level down, the others
// take the child as it is.
template <class K, class V, class P>
Child<K, V> unionBranches(const P& p, LevelShift s, const Branch<K, V>& a1, const Branch<K, V>& a2) {
  const ChildBitmap b1 = a1.word, b2 = a2.word, b = b1 | b2;
  Child<K, V> kids[maxChildren];
  std::uint32_t n = 0;
  for (ChildBitmap rest = b; rest != 0; rest &= rest - 1) {
    const ChildBitmap m = rest & (~rest + 1);
    const bool left = (b1 & m) != 0, right = (b2 & m) != 0;
    if (left && right)
      kids[n++] = internal::unionWalk<K, V>(p, nextShift(s), internal::childAt(a1, m),
                                            internal::childAt(a2, m));
    else
      kids[n++] = Child<K, V>::copyOf(internal::childAt(left ? a1 : a2, m));
  }
  return Child<K, V>(internal::branchOf<K, V>(b, kids, n));
}

template <class K, class V, class P>
Child<K, V> unionWalk(const P& p, LevelShift s, const Ref<K, V>& t1, const Ref<K, V>& t2) {
  const Kind k1 = t1.kind(), k2 = t2.kind();
  if (k2 == Kind::Empty) return Child<K, V>::copyOf(t1);
  if (k1 == Kind::Empty) return Child<K, V>::copyOf(t2);
  // One subtree on both sides: the plain union is that subtree, and quiet keys need no comparing.
  if constexpr (P::keepLeftLeaf && reflexiveEq<K>)
    if (t1.node != nullptr && t2.node != nullptr && internal::ptrEq(*t1.node, *t2.node))
      return Child<K, V>::copyOf(t1);
  const bool side1 = k1 == Kind::Leaf || k1 == Kind::Collision;
  const bool side2 = k2 == Kind::Leaf || k2 == Kind::Collision;
  if (side1 && side2) {
    const KeyHash h1 = t1.hash(), h2 = t2.hash();
    if (h1 == h2) return internal::unionSameHash<K, V>(p, t1, t2);
    return Child<K, V>(internal::joinDifferentHashes<K, V>(s, h1, h2, Child<K, V>::copyOf(t1),
                                                           Child<K, V>::copyOf(t2)));
  }
  const bool inner1 = !side1 && k1 != Kind::Empty && k1 != Kind::Array;
  const bool inner2 = !side2 && k2 != Kind::Empty && k2 != Kind::Array;
  if (inner1 && inner2)
    return internal::unionBranches<K, V>(p, s, internal::branchOf(*t1.node), internal::branchOf(*t2.node));
  if (inner1) return internal::unionIntoBranch<false, K, V>(p, s, internal::branchOf(*t1.node), t2);
  if (inner2) return internal::unionIntoBranch<true, K, V>(p, s, internal::branchOf(*t2.node), t1);
  p.unmatched();
}
template <class K, class V, class P>
HashMap<K, V> unionMaps(const P& p, const HashMap<K, V>& m1, const HashMap<K, V>& m2) {
  return internal::unionWalk<K, V>(p, 0, Ref<K, V>::of(m1), Ref<K, V>::of(m2)).toMap();
}

// ---- The public unions -----------------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Combination
/// @{

/// Every key of either map; a key of both keeps the left map's value (the right one is dropped
/// unevaluated). Hashes no key (the stored hashes serve) and compares keys only of equal hash;
/// walks both maps where both have entries, O(n + m) at most, and shares every subtree only one map
/// holds. Allocates the branch nodes where both maps have entries and a collision's merge; forces
/// no value.
template <class K, class V>
[[nodiscard]] HashMap<K, V> union_(const HashMap<K, V>& m1, const HashMap<K, V>& m2) {
  const UnionCombine<KeepLeftValue<K, V>, true> p{{}};
  return internal::unionMaps<K, V>(p, m1, m2);
}

/// A key of both maps gets the deferred f(left value, right value); f is not called here.
/// Costs as union_, plus the deferred combination (holding a copy of f) per common key.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> unionWith(F f, const HashMap<K, V>& m1, const HashMap<K, V>& m2) {
  auto g = [&f](const K&, const hs::Lazy<V>& x1, const hs::Lazy<V>& x2) {
    return hs::deferCall<V>(f, x1, x2);
  };
  const UnionCombine<decltype(g), false> p{g};
  return internal::unionMaps<K, V>(p, m1, m2);
}

/// A key of both maps gets the deferred f(key, left value, right value), the key being the one the
/// result keeps; f is not called here.
/// Costs as unionWith.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> unionWithKey(F f, const HashMap<K, V>& m1, const HashMap<K, V>& m2) {
  auto g = [&f](const K& k, const hs::Lazy<V>& x1, const hs::Lazy<V>& x2) {
    return hs::deferCallWith<V>(f, std::tuple<K>(k), x1, x2);
  };
  const UnionCombine<decltype(g), false> p{g};
  return internal::unionMaps<K, V>(p, m1, m2);
}
/// @}
/// @}

// The merge of two bitmap-addressed arrays: popcount(b1 | b2) slots in bit order; a position that
// both fill holds f(a1 element, a2 element), called now from the lowest position up (with cells
// under hs::onCells), the others the element as it is. The arrays must match their bitmaps.
template <class F, class T>
array::Array<T> unionArrayBy(F f, ChildBitmap b1, ChildBitmap b2, const array::Array<T>& a1,
                             const array::Array<T>& a2) {
  const ChildBitmap b = b1 | b2;
  BlockBuilder<hs::Lazy<T>> out(Kind::Array, 0, static_cast<std::uint32_t>(std::popcount(b)));
  std::uint32_t i1 = 0, i2 = 0;
  for (ChildBitmap rest = b; rest != 0; rest &= rest - 1) {
    const ChildBitmap m = rest & (~rest + 1);
    const bool left = (b1 & m) != 0, right = (b2 & m) != 0;
    if (left && right) {
      out.emplace(hs::callToCell<T>(f, a1.slot(i1), a2.slot(i2)));
      ++i1;
      ++i2;
    } else if (left) {
      out.emplace(a1.slot(i1++));
    } else {
      out.emplace(a2.slot(i2++));
    }
  }
  return array::Array<T>::adopt(out.finish());
}

// ---- Lists of maps ---------------------------------------------------------------------------

template <class R>
using MapOfRange = std::remove_cvref_t<std::ranges::range_reference_t<const R&>>;

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Combination
/// @{

/// The union of the range's maps, HashMap<K, V>, from the front, one accumulator: a key of several
/// maps gets the value of the earliest. No maps give the empty map, one map that map itself.
/// One union_ per map after the first.
template <std::ranges::input_range R>
[[nodiscard]] MapOfRange<R> unions(const R& maps) {
  MapOfRange<R> acc;
  for (const auto& m : maps) acc = internal::union_(acc, m);
  return acc;
}
/// The same for a braced list of maps.
template <class K, class V>
[[nodiscard]] HashMap<K, V> unions(std::initializer_list<HashMap<K, V>> maps) {
  return internal::unions<std::initializer_list<HashMap<K, V>>>(maps);
}
/// @}
/// @}

// ---- Semigroup and monoid ------------------------------------------------------------------

// The combination of the map semigroup: the union.
template <class K, class V>
HashMap<K, V> mappend(const HashMap<K, V>& m1, const HashMap<K, V>& m2) {
  return internal::union_(m1, m2);
}
template <class K, class V>
HashMap<K, V> mempty() {
  return HashMap<K, V>();
}

// m1 <> (m2 <> (... <> mn)), nested to the right.
template <class K, class V>
HashMap<K, V> sconcat(const hs::NonEmpty<HashMap<K, V>>& maps) {
  const std::vector<HashMap<K, V>> rest = maps.tail.toVector();
  if (rest.empty()) return maps.head;
  HashMap<K, V> acc = rest.back();
  for (std::size_t i = rest.size() - 1; i > 0; --i) acc = internal::union_(rest[i - 1], acc);
  return internal::union_(maps.head, acc);
}

// m1 <> (m2 <> (... <> (mn <> mempty))); no maps give the empty map.
template <class K, class V>
HashMap<K, V> mconcat(const std::vector<HashMap<K, V>>& maps) {
  HashMap<K, V> acc;
  for (std::size_t i = maps.size(); i > 0; --i) acc = internal::union_(maps[i - 1], acc);
  return acc;
}
template <class K, class V>
HashMap<K, V> mconcat(std::initializer_list<HashMap<K, V>> maps) {
  return internal::mconcat(std::vector<HashMap<K, V>>(maps));
}

// Union is idempotent: a positive count gives the map itself, zero the empty map; a negative count
// is the base library's error for repeating an idempotent monoid.
template <std::integral N, class K, class V>
HashMap<K, V> stimes(N n, const HashMap<K, V>& m) {
  if (n > N(0)) return m;
  if (n == N(0)) return HashMap<K, V>();
  hs::errorWithoutStackTrace("stimesIdempotentMonoid: negative multiplier");
}

}  // namespace vantrel::internal

/// \addtogroup vantrel_map_lazy
/// @{

/// The map semigroup: union_ (the left map's value wins); sconcat nests to the right, stimes of a
/// positive count is the map itself, of zero the empty map, of a negative count a program error.
template <class K, class V>
struct hs::Semigroup<vantrel::HashMap<K, V>> {
  /// \privatesection
  using Map = vantrel::HashMap<K, V>;
  static Map mappend(const Map& a, const Map& b) { return vantrel::internal::union_(a, b); }
  static Map sconcat(const hs::NonEmpty<Map>& xs) { return vantrel::internal::sconcat(xs); }
  template <std::integral N>
  static Map stimes(N n, const Map& m) {
    return vantrel::internal::stimes(n, m);
  }
};
/// The map monoid: the empty map and union_; mconcat nests to the right.
template <class K, class V>
struct hs::Monoid<vantrel::HashMap<K, V>> {
  /// \privatesection
  using Map = vantrel::HashMap<K, V>;
  static Map mempty() { return Map(); }
  static Map mconcat(const std::vector<Map>& xs) { return vantrel::internal::mconcat(xs); }
};
/// @}
