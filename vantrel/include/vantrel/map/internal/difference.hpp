// Difference and submap tests. The differences are bulk builders: each key of the first map is
// looked up in the second, and the kept pairs go into a private accumulator in place; for quiet
// keys `difference` walks both tries instead. The submap tests walk both tries in step by the
// stored hashes and stop at the first failure.
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/call.hpp"
#include "vantrel/map/internal/insert.hpp"
#include "vantrel/map/internal/intersection.hpp"
#include "vantrel/map/internal/iterate.hpp"
#include "vantrel/map/internal/lookup.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

// ---- Differences ---------------------------------------------------------------------------

// ---- The walk over both tries, for quiet keys ----------------------------------------------
//
// Where hashing and comparing a key has no visible effect, the difference walks both tries in step
// by the stored hashes and keeps every unchanged subtree of the first map as it is. The results
// are the maps the lookup-and-insert fold builds (same shapes, collision records in the same
// order). A walk step reports "the first map's subtree, unchanged" instead of handing it back, so
// unchanged subtrees are never copied or counted.

// A walk step's answer: unchanged, or the subtree that replaces the first map's.
template <class K, class V>
struct Step {
  bool changed = false;
  HashMap<K, V> node;
};
template <class K, class V>
Step<K, V> changedTo(HashMap<K, V> n) {
  return Step<K, V>{true, std::move(n)};
}

template <class K, class V, class W>
Step<K, V> differenceWalk(LevelShift s, const HashMap<K, V>& t1, const HashMap<K, W>& t2);

// A collision's records that the second subtree lacks, in their order.
template <class K, class V, class W>
Step<K, V> differenceCollision(LevelShift s, const HashMap<K, V>& t1, const HashMap<K, W>& t2) {
  const KeyHash h = internal::wordOf(t1);
  const Entries<K, V>& a = internal::entriesOf(t1);
  const std::uint32_t n = a.size();
  std::vector<bool> keep(n);
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < n; ++i)
    if (internal::probeFrom(h, a[i].key, s, t2) == nullptr) {
      keep[i] = true;
      ++kept;
    }
  if (kept == n) return {};
  if (kept == 0) return internal::changedTo(HashMap<K, V>());
  if (kept == 1) {
    for (std::uint32_t i = 0; i < n; ++i)
      if (keep[i]) return internal::changedTo(internal::leafNode<K, V>(h, a[i]));
  }
  EntryBuilder<K, V> out(Kind::Collision, h, kept);
  for (std::uint32_t i = 0; i < n; ++i)
    if (keep[i]) out.emplace(a[i]);
  return internal::changedTo(internal::collisionNode<K, V>(h, out.finish()));
}

// A branch node rebuilt from child(i, m), the step of child i (of bit m). Nothing is built until
// a child changes; empty children drop out, and a lone `Leaf` or `Collision` replaces the node.
template <class K, class V, class F>
Step<K, V> rebuildBranch(ChildBitmap b1, const Children<K, V>& a1, F&& child) {
  ChildBitmap rest = b1, m = 0;
  std::uint32_t i = 0;
  Step<K, V> r;
  for (; rest != 0; rest &= rest - 1, ++i) {
    m = rest & (~rest + 1);
    r = child(i, m);
    if (r.changed) break;
  }
  if (rest == 0) return {};
  ChildBuilder<K, V> out(Kind::BitmapIndexed, 0, a1.size());
  out.copy(a1.slots(), i);
  ChildBitmap kept = b1;
  for (;;) {
    if (!r.changed)
      out.emplace(a1[i]);
    else if (internal::kindOf(r.node) == Kind::Empty)
      kept &= ~m;
    else
      out.emplace(std::move(r.node));
    rest &= rest - 1;
    ++i;
    if (rest == 0) break;
    m = rest & (~rest + 1);
    r = child(i, m);
  }
  const std::uint32_t n = out.built();
  if (n == 0) return internal::changedTo(HashMap<K, V>());
  Children<K, V>* block = out.finishShort();
  if (n == 1 && internal::isLeafOrCollision((*block)[0])) {
    HashMap<K, V> only = (*block)[0];
    Children<K, V>::destroy(block);
    return internal::changedTo(std::move(only));
  }
  return internal::changedTo(internal::bitmapIndexedOrFull<K, V>(kept, block));
}

template <class K, class V, class W>
Step<K, V> differenceWalk(LevelShift s, const HashMap<K, V>& t1, const HashMap<K, W>& t2) {
  const Kind k1 = internal::kindOf(t1), k2 = internal::kindOf(t2);
  if (k1 == Kind::Empty || k2 == Kind::Empty) return {};
  // One subtree on both sides holds nothing the first keeps, when every key equals itself.
  if constexpr (std::is_same_v<V, W> && reflexiveEq<K>)
    if (internal::ptrEq(t1, t2)) return internal::changedTo(HashMap<K, V>());
  if (k1 == Kind::Leaf) {
    if (internal::probeFrom(internal::wordOf(t1), internal::leafOf(t1).key, s, t2) == nullptr)
      return {};
    return internal::changedTo(HashMap<K, V>());
  }
  if (k1 == Kind::Collision) return internal::differenceCollision<K, V, W>(s, t1, t2);
  const Children<K, V>& a1 = internal::childrenOf(t1);
  const ChildBitmap b1 = k1 == Kind::Full ? fullBitmap : internal::wordOf(t1);
  if (k2 == Kind::Leaf || k2 == Kind::Collision) {
    // Only the child on the second node's hash path can lose keys.
    const ChildBitmap m2 = mask(internal::wordOf(t2), s);
    if ((b1 & m2) == 0) return {};
    return internal::rebuildBranch<K, V>(b1, a1, [&](std::uint32_t i, ChildBitmap m) {
      if (m != m2) return Step<K, V>{};
      return internal::differenceWalk<K, V, W>(nextShift(s), a1[i], t2);
    });
  }
  const Children<K, W>& a2 = internal::childrenOf(t2);
  const ChildBitmap b2 = k2 == Kind::Full ? fullBitmap : internal::wordOf(t2);
  if ((b1 & b2) == 0) return {};
  return internal::rebuildBranch<K, V>(b1, a1, [&](std::uint32_t i, ChildBitmap m) {
    if ((b2 & m) == 0) return Step<K, V>{};
    return internal::differenceWalk<K, V, W>(nextShift(s), a1[i],
                                             a2[static_cast<std::size_t>(sparseIndex(b2, m))]);
  });
}

// A new map equal to m: its root node copied, everything below shared.
template <class K, class V>
HashMap<K, V> copyRoot(const HashMap<K, V>& m) {
  switch (internal::kindOf(m)) {
    case Kind::Leaf:
      return internal::leafNode<K, V>(internal::wordOf(m), internal::leafOf(m));
    case Kind::Collision: {
      const Entries<K, V>& a = internal::entriesOf(m);
      EntryBuilder<K, V> out(Kind::Collision, a.word, a.size());
      out.copy(a.slots(), a.size());
      return internal::collisionNode<K, V>(a.word, out.finish());
    }
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Children<K, V>& a = internal::childrenOf(m);
      ChildBuilder<K, V> out(internal::kindOf(m), a.word, a.size());
      out.copy(a.slots(), a.size());
      return internal::bitmapIndexedOrFull<K, V>(a.word, out.finish());
    }
    default:
      return m;
  }
}

/// \addtogroup vantrel_map_lazy
/// @{

/// The pairs of the first map whose key the second map lacks: always a new map (the shared empty
/// map when nothing is kept), with the first map's keys and value cells. Arithmetic, enum, pointer
/// and std::string keys: a walk over both maps in step that hashes no key and shares every
/// untouched subtree of the first map. Other keys: each key of the first map is hashed and looked
/// up in the second, O(n log m) expected, and the kept pairs are put into a private accumulator in
/// trie order (each key hashed again), allocating the result whole. Forces no value.
template <class K, class V, class W>
[[nodiscard]] HashMap<K, V> difference(const HashMap<K, V>& m1, const HashMap<K, W>& m2) {
  if constexpr (quietKey<K>) {
    Step<K, V> r = internal::differenceWalk<K, V, W>(0, m1, m2);
    return r.changed ? std::move(r.node) : internal::copyRoot(m1);
  } else {
    HashMap<K, V> acc;
    for (const L<K, V>& r : m1)
      if (internal::lookupU<K, W>(r.key, m2) == nullptr)
        acc = internal::unsafeInsert<K, V>(r.key, r.value, acc);
    return acc;
  }
}
/// @}

// The fold of differenceWith. With `Evaluate` (the value-strict form) every value is evaluated
// before it is stored, the first map's own ones included.
template <bool Evaluate, class K, class V, class W, class F>
HashMap<K, V> differenceWithFold(F& f, const HashMap<K, V>& m1, const HashMap<K, W>& m2) {
  HashMap<K, V> acc;
  for (const L<K, V>& r : m1) {
    const hs::Lazy<W>* w = internal::lookupU<K, W>(r.key, m2);
    if (w == nullptr) {
      if constexpr (Evaluate) r.value.force();
      acc = internal::unsafeInsert<K, V>(r.key, r.value, acc);
      continue;
    }
    auto answer = hs::call(f, r.value, *w);
    if (answer) {
      hs::Lazy<V> y = hs::toCell<V>(std::move(*answer));
      if constexpr (Evaluate) y.force();
      acc = internal::unsafeInsert<K, V>(r.key, std::move(y), acc);
    }
  }
  return acc;
}

/// \addtogroup vantrel_map_lazy
/// @{

/// As difference; a key of both maps asks f(first value, second value): absent drops the pair,
/// present gives its new value. f is called once per common key, in the first map's trie order;
/// with hs::onCells it receives cells and answers an optional cell, else values and an optional
/// value.
/// One hash and lookup per key of the first map and the result built in a private accumulator, O(n
/// log m) expected; allocates the result whole.
template <class K, class V, class W, class F>
[[nodiscard]] HashMap<K, V> differenceWith(F f, const HashMap<K, V>& m1, const HashMap<K, W>& m2) {
  return internal::differenceWithFold<false, K, V, W>(f, m1, m2);
}
/// @}

// ---- Submap tests --------------------------------------------------------------------------

// Every child of the first branch node has a counterpart in the second (a1's chunks a subset of
// b2's) and cmp2(child of a1, child of a2) holds for each pair, in ascending chunk order, stopping
// at the first failure. b2 must not be zero.
template <class K, class V1, class V2, class C2>
bool submapBitmapIndexed(C2&& cmp2, ChildBitmap b1, const Children<K, V1>& a1, ChildBitmap b2,
                         const Children<K, V2>& a2) {
  if ((b1 | b2) != b2) return false;
  std::uint32_t i1 = 0, i2 = 0;
  for (ChildBitmap rest = b2; rest != 0; rest &= rest - 1) {
    const ChildBitmap m = rest & (~rest + 1);
    if ((b1 & m) != 0) {
      if (!cmp2(a1[i1], a2[i2])) return false;
      ++i1;
    }
    ++i2;
  }
  return true;
}

// Every key of a1 is in a2 and cmp(a1 value, a2 value) holds; a1 longer than a2 fails before any
// key is compared.
template <class K, class V1, class V2, class C>
bool subsetArray(C& cmp, const Entries<K, V1>& a1, const Entries<K, V2>& a2) {
  if (a1.size() > a2.size()) return false;
  for (const L<K, V1>& e1 : a1) {
    const L<K, V2>* found = nullptr;
    for (const L<K, V2>& e2 : a2)
      if (e1.key == e2.key) {
        found = &e2;
        break;
      }
    if (found == nullptr || !hs::call(cmp, e1.value, found->value)) return false;
  }
  return true;
}

template <class K, class V1, class V2, class C>
bool submapWalk(C& cmp, LevelShift s, const HashMap<K, V1>& t1, const HashMap<K, V2>& t2) {
  const Kind k1 = internal::kindOf(t1);
  if (k1 == Kind::Empty) return true;
  const Kind k2 = internal::kindOf(t2);
  if (k2 == Kind::Empty) return false;
  auto below = [&cmp, s](const HashMap<K, V1>& c1, const HashMap<K, V2>& c2) {
    return internal::submapWalk<K, V1, V2>(cmp, nextShift(s), c1, c2);
  };
  switch (k1) {
    case Kind::Leaf: {
      const L<K, V1>& r1 = internal::leafOf(t1);
      const L<K, V2>* r2 = internal::probeFrom(internal::wordOf(t1), r1.key, s, t2);
      return r2 != nullptr && hs::call(cmp, r1.value, r2->value);
    }
    case Kind::Collision: {
      // Down the collision's hash path to a node that is not a branch node.
      const KeyHash h1 = internal::wordOf(t1);
      const HashMap<K, V2>* t = &t2;
      for (LevelShift level = s;; level = nextShift(level)) {
        const Kind k = internal::kindOf(*t);
        if (k == Kind::BitmapIndexed) {
          const ChildBitmap b = internal::wordOf(*t), m = mask(h1, level);
          if ((b & m) == 0) return false;
          t = &internal::childrenOf(*t)[static_cast<std::size_t>(sparseIndex(b, m))];
        } else if (k == Kind::Full) {
          t = &internal::childrenOf(*t)[static_cast<std::size_t>(index(h1, level))];
        } else {
          // A collision holds at least two keys, so a single leaf never holds it.
          if (k != Kind::Collision || internal::wordOf(*t) != h1) return false;
          return internal::subsetArray<K, V1, V2>(cmp, internal::entriesOf(t1),
                                                  internal::entriesOf(*t));
        }
      }
    }
    case Kind::BitmapIndexed:
      if (k2 == Kind::BitmapIndexed || k2 == Kind::Full)
        return internal::submapBitmapIndexed<K, V1, V2>(
            below, internal::wordOf(t1), internal::childrenOf(t1),
            k2 == Kind::Full ? fullBitmap : internal::wordOf(t2), internal::childrenOf(t2));
      return false;
    case Kind::Full:
      if (k2 == Kind::Full)
        return internal::submapBitmapIndexed<K, V1, V2>(below, fullBitmap, internal::childrenOf(t1),
                                                        fullBitmap, internal::childrenOf(t2));
      return false;
    default:
      return false;
  }
}

/// \addtogroup vantrel_map_lazy
/// @{

/// Every key of the first map is in the second, with a value that cmp(first value, second value)
/// accepts. cmp is called at most once per pair of the first map, in its trie order, and never
/// after the first False; with hs::onCells it receives the cells. No key is hashed.
/// Walks both maps in step, O(n + m) at most; allocates nothing; forces only what cmp forces.
template <class K, class V1, class V2, class C>
[[nodiscard]] bool isSubmapOfBy(C cmp, const HashMap<K, V1>& m1, const HashMap<K, V2>& m2) {
  return internal::submapWalk<K, V1, V2>(cmp, 0, m1, m2);
}

/// isSubmapOfBy with the value type's ==, the first map's value on the left.
/// Forces the values it compares.
template <class K, class V>
[[nodiscard]] bool isSubmapOf(const HashMap<K, V>& m1, const HashMap<K, V>& m2) {
  auto eq = [](const V& x1, const V& x2) -> bool { return x1 == x2; };
  return internal::submapWalk<K, V, V>(eq, 0, m1, m2);
}
/// @}

}  // namespace vantrel::internal
