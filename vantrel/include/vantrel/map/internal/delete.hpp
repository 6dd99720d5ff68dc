// Deletion, adjustment and alteration. An operation that changes nothing returns its input map.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "hs/functor.hpp"
#include "vantrel/map/internal/insert.hpp"
#include "vantrel/map/internal/lookup.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

// A removal walk's answer for the node it was given: unchanged, or the child that takes its place
// (nothing, a smaller node, or the one leaf left, which rises into the level above).
template <class K, class V>
struct Removal {
  bool changed = false;
  Child<K, V> to;
};
template <class K, class V>
Removal<K, V> removedTo(Child<K, V> c) noexcept {
  return Removal<K, V>{true, std::move(c)};
}

// A `Collision` without entry i: its other pair as a leaf when two were left, else a copy
// without slot i (order kept).
template <class K, class V>
Child<K, V> collisionWithout(const HashMap<K, V>& t, std::uint32_t i) {
  const Entries<K, V>& a = internal::entriesOf(t);
  const KeyHash h = internal::wordOf(t);
  if (a.size() == 2) {
    const L<K, V>& e = a[i == 0 ? 1 : 0];
    if (recordable<K, V> && internal::representable(e.value))
      return Child<K, V>::made(h, e.key, internal::slotOfCell<V>(e.value));
    return Child<K, V>(internal::leafNode<K, V>(h, e));
  }
  return Child<K, V>(internal::collisionNode<K, V>(
      h, internal::copyErase(Kind::Collision, h, a.slots(), a.size(), i)));
}

// The other child of a two-child branch, as what rises in its place.
template <class K, class V>
Child<K, V> otherChild(const Branch<K, V>& a, ChildBitmap bit) noexcept {
  const ChildBitmap rest = (a.word & ~bit) & fullBitmap;
  const ChildBitmap other = rest & (~rest + 1);
  const Ref<K, V> c = internal::childAt(a, other);
  if (c.rec) return Child<K, V>::copyOf(c);
  return Child<K, V>(*c.node);
}

// The level of branch t once the child at chunk bit came back as c2 (not the same child): keeps
// the trie canonical, so a lone `Leaf` or `Collision` rises into the place of a parent left with
// only that child.
template <class K, class V>
Child<K, V> rebuildBranch(const HashMap<K, V>& t, ChildBitmap bit, Child<K, V> c2) {
  const Branch<K, V>& a = internal::branchOf(t);
  const std::uint32_t n = a.size();
  if (c2.none()) {
    if (n == 1) return Child<K, V>();
    if (n == 2) {
      Child<K, V> other = internal::otherChild(a, bit);
      if (other.leafOrCollision()) return other;
    }
    return Child<K, V>(internal::copyWithout<K, V>(a, bit));
  }
  if (n == 1 && c2.leafOrCollision()) return c2;
  return Child<K, V>(internal::copyWithChild<K, V>(a, bit, std::move(c2)));
}

// Removes the chunk bit of a branch nobody else holds, where it stands: a record is destroyed and
// the records before it move up, a sub-node is released and the later handles move down.
template <class K, class V>
void dropChunkInPlace(Branch<K, V>& a, ChildBitmap bit) noexcept {
  const auto b = static_cast<std::uint32_t>(bit);
  if ((a.data & b) != 0)
    internal::dropRecordInPlace(a, b);
  else
    internal::dropSubInPlace(a, b);
  a.word &= ~bit;
  a.kind = Kind::BitmapIndexed;
}

// rebuildBranch for a node t that nobody else holds: the same shapes, made by changing t where it
// stands (none: t stays). What can fail (a record's copy, a block for a record that does not fit)
// comes before t changes.
template <class K, class V>
Removal<K, V> rebuildBranchInPlace(const HashMap<K, V>& t, ChildBitmap bit, Child<K, V> c2) {
  Branch<K, V>& a = internal::branchOf(t);
  const std::uint32_t n = a.size();
  if (c2.none()) {
    if (n == 1) return internal::removedTo(Child<K, V>());
    if (n == 2) {
      const ChildBitmap rest = (a.word & ~bit) & fullBitmap;
      const ChildBitmap other = rest & (~rest + 1);
      if ((a.data & other) != 0)
        return internal::removedTo(Child<K, V>::copyOf(internal::childAt(a, other)));
      HashMap<K, V>& s = const_cast<HashMap<K, V>&>(a.subAt(other));
      if (internal::isLeafOrCollision(s)) return internal::removedTo(Child<K, V>(std::move(s)));
    }
    if constexpr (movableRecords<K, V>) {
      internal::dropChunkInPlace(a, bit);
      return {};
    }
    return internal::removedTo(Child<K, V>(internal::copyWithout<K, V>(a, bit)));
  }
  if (n == 1 && c2.leafOrCollision()) return internal::removedTo(std::move(c2));
  if (!c2.asRecord()) {
    // A sub-node stays a sub-node here (a removal never turns a record into a sub-node).
    HashMap<K, V> node = std::move(c2).toMap();
    const_cast<HashMap<K, V>&>(a.subAt(bit)) = std::move(node);
    return {};
  }
  // A sub-node gives way to its last leaf.
  if constexpr (movableRecords<K, V>) {
    using R = Rec<K, V>;
    if (a.room() + sizeof(HashMap<K, V>) >= Branch<K, V>::recSize + a.tagGrowth()) {
      // The record is made first, then the sub-node goes and the record takes its room.
      alignas(R) unsigned char tmp[sizeof(R)];
      bool boxed = false;
      R* made = c2.emplaceRecord(tmp, boxed);
      const auto b = static_cast<std::uint32_t>(bit);
      internal::dropSubInPlace(a, b);
      internal::relocateRecords<K, V>(internal::openRecordInPlace(a, b, made->hash, boxed), made, 1);
      return {};
    }
  }
  return internal::removedTo(Child<K, V>(internal::copyWithChild<K, V>(a, bit, std::move(c2))));
}

// The key's removal from m: the changed map, or none when the key is absent (m stays the answer).
// The descent only reads, so that a missing key costs what a lookup does; what takes the place of
// each level is built on the way back up, from the level where the key was found. The only calls
// of the caller's code (==) happen at the bottom, before any node changes; an in-place walk
// changes a node only on the way back up, and only nodes that it alone reaches (those above the
// first shared one), after what can fail at that level.
template <Walk W, class K, class V>
Changed<K, V> deleteWalk(KeyHash h, const K& k, const HashMap<K, V>& m) {
  // One branch per five bits of the hash, and one level more for tries built invalid on purpose.
  constexpr std::size_t maxDepth = 64 / bitsPerSubkey + 2;
  const HashMap<K, V>* path[maxDepth];
  ChildBitmap bits[maxDepth];
  std::size_t depth = 0, inPlace = 0;  // the first `inPlace` levels of the path change in place
  const Found<K, V> found = internal::searchFrom<true>(
      h, k, 0, m, [&](const HashMap<K, V>& t, ChildBitmap bit) noexcept {
        assert(depth < maxDepth && "trie deeper than any valid trie");
        if (inPlace == depth && internal::inPlaceAt<W>(t)) ++inPlace;
        path[depth] = &t;
        bits[depth++] = bit;
      });
  if (!found) return std::nullopt;
  Child<K, V> c;
  if (found.position >= 0) {
    // A collision: the root, or the last branch's sub-node.
    const HashMap<K, V>& t =
        depth == 0 ? m : internal::branchOf(*path[depth - 1]).subAt(bits[depth - 1]);
    c = internal::collisionWithout(t, static_cast<std::uint32_t>(found.position));
  }
  while (depth > inPlace) {
    --depth;
    c = internal::rebuildBranch(*path[depth], bits[depth], std::move(c));
  }
  while (depth > 0) {
    --depth;
    Removal<K, V> r = internal::rebuildBranchInPlace(*path[depth], bits[depth], std::move(c));
    // Changed where it stands: every level above keeps its sub-node, so m is the answer.
    if (!r.changed) return std::nullopt;
    c = std::move(r.to);
  }
  return std::move(c).toMap();
}

// delete' : the key's hash computed by the caller.
template <class K, class V>
HashMap<K, V> delete_(KeyHash h, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  Changed<K, V> r = internal::deleteWalk<Walk::Persistent>(h, k, m);
  if (!r) return m;
  return std::move(*r);
}
/// \addtogroup vantrel_map_lazy
/// @{
/// \name Updates
/// @{

/// m without k's entry; m itself when k is absent. One hash of k, O(log n) expected; copies the
/// key's path when the entry is there, allocating nothing else.
template <class K, class V>
[[nodiscard]] HashMap<K, V> erase(const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  return internal::delete_<K, V>(h, k, m);
}
/// The same result for a map the caller gives up: the nodes on the path that nothing else holds
/// change where they stand instead of being copied. When the key's hash or == (or an allocation)
/// throws, m is still the caller's map.
/// On return m is empty. Into a map nobody else holds, allocates nothing.
template <class K, class V>
[[nodiscard]] HashMap<K, V> erase(const std::type_identity_t<K>& k, HashMap<K, V>&& m) {
  const KeyHash h = internal::hash(k);
  Changed<K, V> r = internal::deleteWalk<Walk::Owned>(h, k, m);
  if (!r) return std::move(m);
  HashMap<K, V> out = std::move(*r);
  m = HashMap<K, V>();
  return out;
}
/// @}
/// @}

// Removes a key known to be present at position p: no comparison, every level rebuilt.
template <class K, class V>
Child<K, V> deleteKeyExistsWalk(std::int64_t p, KeyHash q, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Collision:
      return internal::collisionWithout(t, static_cast<std::uint32_t>(p));
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Branch<K, V>& a = internal::branchOf(t);
      const ChildBitmap bit = ChildBitmap{1} << (q & subkeyMask);
      if ((a.data & bit) != 0) return internal::rebuildBranch(t, bit, Child<K, V>());
      return internal::rebuildBranch(
          t, bit, internal::deleteKeyExistsWalk<K, V>(p, q >> bitsPerSubkey, a.subAt(bit)));
    }
    default:  // Leaf or Empty
      return Child<K, V>();
  }
}
template <class K, class V>
HashMap<K, V> deleteKeyExists(std::int64_t p, KeyHash h, const std::type_identity_t<K>&,
                              const HashMap<K, V>& m) {
  return internal::deleteKeyExistsWalk<K, V>(p, h, m).toMap();
}

// ---- Adjustment ----------------------------------------------------------------------------

// A copy of a branch node as it is (a node holds its records inline: a new node over the same
// children is a copy of them).
template <class K, class V>
HashMap<K, V> copyBranch(const Branch<K, V>& a) {
  BranchBuilder<K, V> out(a.word, a.data, a.nsub(), a.nrec());
  out.subs(a.subs(), a.nsub());
  out.recs(a, 0, a.nrec(), a.data, a.boxed());
  return out.finish();
}

// f maps the stored value's handle to the handle to store, called now. The lazy interface gives
// back every unchanged node itself (`RebuildPath` false); the value-strict one rebuilds every node
// of the key's path that exists, whether or not the key is found, and a found key's node even
// when f gives back its very cell (under the caller's key).
template <bool RebuildPath, class K, class V, class F>
Changed<K, V> adjustStep(F& f, KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Leaf: {
      const L<K, V>& y = internal::leafOf(t);
      if (internal::wordOf(t) == h && y.key == k) {
        hs::Lazy<V> v2 = f(y.value);
        if (!RebuildPath && hs::ptrEq(v2, y.value)) return std::nullopt;
        return internal::leafObject<K, V>(h, k, internal::ownedHandle<V>(std::move(v2)));
      }
      return std::nullopt;
    }
    case Kind::Collision: {
      if (internal::wordOf(t) != h) return std::nullopt;
      const Entries<K, V>& a = internal::entriesOf(t);
      const std::uint32_t n = a.size();
      for (std::uint32_t j = 0; j < n; ++j) {
        if (k == a[j].key) {
          hs::Lazy<V> v2 = f(a[j].value);
          if (!RebuildPath && hs::ptrEq(v2, a[j].value)) return std::nullopt;
          return internal::collisionNode<K, V>(
              h, internal::copyUpdate(Kind::Collision, h, a.slots(), n, j,
                                      L<K, V>{k, std::move(v2)}));
        }
      }
      if constexpr (RebuildPath)
        return internal::collisionNode<K, V>(
            h, internal::copyBlock(Kind::Collision, h, a.slots(), n));
      return std::nullopt;
    }
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Branch<K, V>& a = internal::branchOf(t);
      const ChildBitmap bit = mask(h, s);
      if ((a.data & bit) != 0) {
        const Ref<K, V> y = internal::childAt(a, bit);
        if (y.rec->hash == h && y.rec->key == k) {
          const LazyView<V> stored = y.view();
          hs::Lazy<V> v2 = f(stored.get());
          if (!RebuildPath && y.holds(v2)) return std::nullopt;
          In<V> x = In<V>::owned(std::move(v2));
          if (!x.fits()) return internal::copyWithSub<K, V>(a, bit, internal::leafObject<K, V>(h, k, x.handle()));
          return internal::copyWithRecord<K, V>(a, bit, h, k, x.slot());
        }
        if constexpr (RebuildPath) return internal::copyBranch(a);
        return std::nullopt;
      }
      if ((a.word & bit) == 0) return std::nullopt;
      Changed<K, V> c2 = internal::adjustStep<RebuildPath, K, V>(f, h, k, nextShift(s), a.subAt(bit));
      if (!c2) {
        if constexpr (!RebuildPath) return c2;
        return internal::copyBranch(a);
      }
      return internal::copyWithSub<K, V>(a, bit, std::move(*c2));
    }
    default:
      return std::nullopt;
  }
}
template <bool RebuildPath, class K, class V, class F>
HashMap<K, V> adjustWalk(F& f, KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t) {
  Changed<K, V> r = internal::adjustStep<RebuildPath, K, V>(f, h, k, s, t);
  if (!r) return t;
  return std::move(*r);
}

// adjust# : the key's value replaced by f(stored value), f called now (with cells under
// hs::onCells, then the map itself when f gives back the very stored cell).
template <class K, class V, class F>
HashMap<K, V> adjustU(F f, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  auto cellFn = [&f](const hs::Lazy<V>& y) { return hs::callToCell<V>(f, y); };
  return internal::adjustWalk<false, K, V>(cellFn, h, k, 0, m);
}

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Updates
/// @{

/// The key's value replaced by the deferred f(stored value); f is not called here.
/// One hash of k, O(log n) expected; copies the key's path and allocates the entry and the deferred
/// application (holding a copy of f) when k is present; m itself when it is absent.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> adjust(F f, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  auto cellFn = [&f](const hs::Lazy<V>& y) { return hs::deferCall<V>(f, y); };
  return internal::adjustWalk<false, K, V>(cellFn, h, k, 0, m);
}

/// @}
/// @}
// ---- Alteration ----------------------------------------------------------------------------

// The decision of `alter` after its lookup: absent/present against f's answer.
template <class K, class V>
HashMap<K, V> alterDecide(const Found<K, V>& found, const std::optional<hs::Lazy<V>>& answer,
                          KeyHash h, const K& k, const HashMap<K, V>& m) {
  if (!found) {
    if (!answer) return m;
    return internal::insertNewKey<K, V>(h, k, *answer, m);
  }
  if (!answer) return internal::deleteKeyExists<K, V>(found.position, h, k, m);
  if (found.holds(*answer)) return m;
  return internal::insertKeyExists<K, V>(found.position, h, k, *answer, m);
}

// f's answer for the current value: with hs::onCells f maps an optional cell to an optional cell,
// else an optional value to an optional value.
template <class V, class F>
std::optional<hs::Lazy<V>> decideOptional(F& f, const hs::Lazy<V>* current) {
  if constexpr (hs::isOnCells<F>) {
    std::optional<hs::Lazy<V>> arg;
    if (current) arg = *current;
    return f.fn(std::move(arg));
  } else {
    std::optional<V> arg;
    if (current) arg = current->force();
    std::optional<V> r = f(std::move(arg));
    if (!r) return std::nullopt;
    return internal::handleOfValue<V>(std::move(*r));
  }
}

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Updates
/// @{

/// k's entry decided by f, called now on k's stored value (forced) or none, and answering the new
/// value or none; under hs::onCells f takes and gives optional cells and nothing is forced. None
/// removes the entry; an answer of the very stored cell gives back m. One hash of k, O(log n)
/// expected: a lookup walk, then a walk that copies the key's path when the entry changes.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> alter(F f, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  const Found<K, V> found = internal::lookupRecordCollisionU(h, k, m);
  std::optional<LazyView<V>> current;
  if (found) current.emplace(found.view());
  const std::optional<hs::Lazy<V>> answer =
      internal::decideOptional<V>(f, current ? &current->get() : nullptr);
  return internal::alterDecide(found, answer, h, k, m);
}

/// alter with a function of the present value only: a missing key stays missing.
/// f is called now on the stored value (forced), or on the cell under hs::onCells. Costs as alter.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> update(F f, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  const Found<K, V> found = internal::lookupRecordCollisionU(h, k, m);
  std::optional<hs::Lazy<V>> answer;
  if (found) {
    if constexpr (hs::isOnCells<F>) {
      const LazyView<V> stored = found.view();
      answer = f.fn(stored.get());
    } else {
      std::optional<V> r = f(found.force());
      if (r) answer = internal::handleOfValue<V>(std::move(*r));
    }
  }
  return internal::alterDecide(found, answer, h, k, m);
}
/// @}
/// @}

// ---- Functorial alteration -----------------------------------------------------------------

// The stored value of k as a handle, as an optional (the position dropped).
template <class K, class V>
std::optional<hs::Lazy<V>> lookupCell(KeyHash h, const K& k, const HashMap<K, V>& m) {
  const Found<K, V> f = internal::lookupRecordCollisionU(h, k, m);
  if (!f) return std::nullopt;
  return f.handle();
}

// The map after g decided, inside g's functor. Under hs::onCells, g receives the lookup as a
// deferred cell (so a g that ignores it never runs the lookup) and answers an optional cell; the
// decision shares that one deferred lookup. Otherwise g receives the optional value and answers
// an optional value. Evaluate: a present answer is evaluated when the decision applies (the
// value-strict module's form).
template <bool Evaluate, class K, class V, class G>
auto alterFWith(G g, const K& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  using Looked = std::optional<hs::Lazy<V>>;
  const hs::Lazy<Looked> looked = hs::Lazy<Looked>::defer(
      [h, k, m]() -> Looked { return internal::lookupCell<K, V>(h, k, m); });
  auto decide = [h, k, m, looked](const Looked& answer) -> HashMap<K, V> {
    if (answer) {
      if constexpr (Evaluate) answer->force();
      return internal::insert_<K, V>(h, k, *answer, m);
    }
    if (!*looked) return m;
    return internal::delete_<K, V>(h, k, m);
  };
  if constexpr (hs::isOnCells<G>) {
    return hs::fmap(decide, g.fn(looked));
  } else {
    std::optional<V> arg;
    if (const Looked& l = *looked) arg = l->force();
    return hs::fmap(
        [decide](const std::optional<V>& answer) {
          return decide(answer ? Looked(internal::handleOfValue<V>(*answer)) : Looked());
        },
        g(std::move(arg)));
  }
}
/// \addtogroup vantrel_map_lazy
/// @{
/// \name Updates
/// @{

/// alter inside g's functor: g receives the optional stored value (the lookup runs first) and its
/// result is mapped to the new map; under hs::onCells, g receives the lookup as a deferred cell, so
/// a g that ignores it never runs it, and answers an optional cell. Stored values are not forced.
/// One hash of k, O(log n) expected per walk (the lookup, and the change when g's answer differs).
template <class K, class V, class G>
auto alterF(G g, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  return internal::alterFWith<false, K, V>(std::move(g), k, m);
}
/// @}
/// @}

// As alterF with the lookup made at once, before g runs; the decision is alter's, with the
// lookup's position and the same-object test.
template <bool Evaluate, class K, class V, class G>
auto alterFEagerWith(G g, const K& k, const HashMap<K, V>& m) {
  using Answer = std::optional<hs::Lazy<V>>;
  const KeyHash h = internal::hash(k);
  // The record pointer stays valid: the decision holds the map.
  const Found<K, V> found = internal::lookupRecordCollisionU(h, k, m);
  auto decide = [h, k, m, found](const Answer& answer) -> HashMap<K, V> {
    if constexpr (Evaluate)
      if (answer) answer->force();
    return internal::alterDecide(found, answer, h, k, m);
  };
  if constexpr (hs::isOnCells<G>) {
    Answer current;
    if (found) current = found.handle();
    return hs::fmap(decide, g.fn(std::move(current)));
  } else {
    std::optional<V> arg;
    if (found) arg = found.force();
    return hs::fmap(
        [decide](const std::optional<V>& answer) {
          return decide(answer ? Answer(internal::handleOfValue<V>(*answer)) : Answer());
        },
        g(std::move(arg)));
  }
}
template <class K, class V, class G>
auto alterFEager(G g, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  return internal::alterFEagerWith<false, K, V>(std::move(g), k, m);
}

// alterFEager, its two leading arguments ignored.
template <class K, class V, class A, class B, class G>
auto alterFWeird(const A&, const B&, G g, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  return internal::alterFEager<K, V>(std::move(g), k, m);
}

}  // namespace vantrel::internal

namespace vantrel::internal {

[[noreturn]] void testBottomError();
[[noreturn]] void bogusError();

// Sentinels of the functorial alteration; nothing in the library uses them. Demanding either
// raises its program error.
template <class T = hs::Unit>
[[noreturn]] T test_bottom() {
  testBottomError();
}
[[noreturn]] inline void bogusU(hs::Unit) { bogusError(); }

}  // namespace vantrel::internal
