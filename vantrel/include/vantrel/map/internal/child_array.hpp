// Child arrays: the children of a branch node as a node array of maps in chunk order, each child a
// map of its own (a record as the `Leaf` map of its pair, as the inspection helpers show it). Over
// them: the node builder that makes a branch node of today's layout, the 32-slot copies with one
// child replaced, and the submap test over two bitmaps and their arrays. The walks build their
// nodes from their own children (nodes.hpp) and do not call these; where they build the same
// shapes, these give the same nodes.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/array.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

// The children of a branch node in chunk order, each a map of its own.
template <class K, class V>
using ChildArray = array::Array<HashMap<K, V>>;

// A branch node over the children a for the chunks of b, in order: `Full` exactly when b is
// fullBitmap, else `BitmapIndexed` with bitmap b. Every slot is forced, slot 0 first, before the
// node is made, since a branch holds its children's nodes rather than cells; a failing slot
// leaves nothing built. A leaf child becomes a record of the node where a record can hold it (its
// key and value copied), every other child is shared as it is; nothing is collapsed, so a single
// leaf child gives a one-child node. A bitmap that does not match the array (another count of
// chunks, or bits beyond the 32 chunks) still gives its node, every child a sub-node, for the
// checker to report. At most 32 children. O(n); allocates the node.
template <class K, class V>
HashMap<K, V> bitmapIndexedOrFull(ChildBitmap b, const ChildArray<K, V>& a) {
  const std::uint32_t n = a.size();
  assert(n <= maxChildren && "a branch node holds at most 32 children");
  Child<K, V> kids[maxChildren];
  for (std::uint32_t i = 0; i < n; ++i) kids[i] = Child<K, V>(a.slot(i).force());
  if ((b & ~fullBitmap) == 0 && static_cast<std::uint32_t>(std::popcount(b)) == n)
    return internal::branchOf<K, V>(b, kids, n);
  // Records are placed by their chunks, which a mismatched bitmap cannot give.
  BranchBuilder<K, V> out(b, 0, n, 0);
  for (std::uint32_t i = 0; i < n; ++i) out.sub(std::move(kids[i]).toMap());
  return out.finish();
}

// A new array of 32 slots: slots 0 to 31 of a, whatever its length beyond them, with slot i
// holding x as it is (the very cell, not forced). a needs at least 32 slots and i lies in 0 to 31
// (not checked). Allocates the array; the 31 other children are shared.
template <class K, class V>
ChildArray<K, V> update32(const ChildArray<K, V>& a, std::int64_t i,
                          std::type_identity_t<hs::Lazy<HashMap<K, V>>> x) {
  assert(a.size() >= maxChildren && i >= 0 && i < maxChildren);
  return ChildArray<K, V>::adopt(internal::copyUpdate(Kind::Array, 0, a.begin(), maxChildren,
                                                      static_cast<std::uint32_t>(i), std::move(x)));
}
// update32 as a step of an array-building sequence; as the array module's other such steps, a
// plain call (no monad sequences it here), with update32's result.
template <class K, class V>
ChildArray<K, V> update32M(const ChildArray<K, V>& a, std::int64_t i,
                           std::type_identity_t<hs::Lazy<HashMap<K, V>>> x) {
  return internal::update32<K, V>(a, i, std::move(x));
}
// update32 with slot i holding f of the old child. f is called now, on the old child forced, or
// on its cell unforced when marked with hs::onCells, and may return a map or a cell; its result
// is forced before the copy is made, so a throwing f or result leaves nothing built.
template <class K, class V, class F>
ChildArray<K, V> update32With_(const ChildArray<K, V>& a, std::int64_t i, F&& f) {
  assert(a.size() >= maxChildren && i >= 0 && i < maxChildren);
  hs::Lazy<HashMap<K, V>> x = hs::callToCell<HashMap<K, V>>(f, a.slot(static_cast<std::size_t>(i)));
  x.force();
  return internal::update32<K, V>(a, i, std::move(x));
}

// Whether the children a1 of chunks b1 are a submap of the children a2 of chunks b2: b1's chunks
// among b2's (else false, and no child is looked at), and cmp2(child of a1, child of a2) true for
// each chunk of b1, in ascending chunk order, stopping at the first false. A `Full` node is
// passed as fullBitmap. The array positions are running counts over b2's chunks. cmp2 receives
// the two children forced, a1's first, or their cells unforced when marked with hs::onCells.
// Every bitmap is accepted (no chunks at all: true). a1 and a2 hold a child for each of their
// chunks (not checked). Allocates nothing.
template <class K, class V1, class V2, class C2>
bool submapBitmapIndexed(C2&& cmp2, ChildBitmap b1, const ChildArray<K, V1>& a1, ChildBitmap b2,
                         const ChildArray<K, V2>& a2) {
  if ((b1 | b2) != b2) return false;
  std::uint32_t i1 = 0, i2 = 0;
  for (ChildBitmap rest = b2; rest != 0; rest &= rest - 1, ++i2) {
    if ((b1 & rest & (~rest + 1)) == 0) continue;
    const hs::Lazy<HashMap<K, V1>>& c1 = a1.slot(i1++);
    const hs::Lazy<HashMap<K, V2>>& c2 = a2.slot(i2);
    if constexpr (!hs::isOnCells<C2>) {
      c1.force();
      c2.force();
    }
    if (!hs::call(cmp2, c1, c2)) return false;
  }
  return true;
}

}  // namespace vantrel::internal
