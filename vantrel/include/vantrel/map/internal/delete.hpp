// Deletion, adjustment and alteration. An operation that changes nothing returns its input map.
#pragma once

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

// The result at a `BitmapIndexed` node (bitmap b, children a, removed/changed slot i, chunk bit
// `bit`) once its child's walk gave c2 in place of c: keeps the trie canonical, so a lone `Leaf`
// or `Collision` rises into the place of a parent left with only that child.
template <class K, class V>
HashMap<K, V> rebuildBitmapIndexed(const HashMap<K, V>& t, ChildBitmap b, ChildBitmap bit,
                                   std::uint32_t i, HashMap<K, V> c2) {
  const Children<K, V>& a = internal::childrenOf(t);
  const std::uint32_t n = a.size();
  if (internal::kindOf(c2) == Kind::Empty) {
    if (n == 1) return HashMap<K, V>();
    if (n == 2) {
      const HashMap<K, V>& other = a[i == 0 ? 1 : 0];
      if (internal::isLeafOrCollision(other)) return other;
      return internal::oneChild<K, V>(b & ~bit, other);
    }
    return internal::bitmapIndexed<K, V>(
        b & ~bit, internal::copyErase(Kind::BitmapIndexed, b & ~bit, a.slots(), n, i));
  }
  if (internal::isLeafOrCollision(c2) && n == 1) return c2;
  return internal::bitmapIndexed<K, V>(
      b, internal::copyUpdate(Kind::BitmapIndexed, b, a.slots(), n, i, std::move(c2)));
}

// The result at a `Full` node once the child at chunk i came back as c2 (not the same object).
template <class K, class V>
HashMap<K, V> rebuildFull(const HashMap<K, V>& t, std::uint32_t i, HashMap<K, V> c2) {
  const Children<K, V>& a = internal::childrenOf(t);
  if (internal::kindOf(c2) == Kind::Empty) {
    const ChildBitmap b = fullBitmap & ~(ChildBitmap{1} << i);
    return internal::bitmapIndexed<K, V>(
        b, internal::copyErase(Kind::BitmapIndexed, b, a.slots(), a.size(), i));
  }
  return internal::update32<K, V>(a, i, std::move(c2));
}

// A `Collision` without entry i: a `Leaf` of the other record when two were left, else a copy
// without slot i (order kept).
template <class K, class V>
HashMap<K, V> collisionWithout(const HashMap<K, V>& t, std::uint32_t i) {
  const Entries<K, V>& a = internal::entriesOf(t);
  const KeyHash h = internal::wordOf(t);
  if (a.size() == 2) return internal::leafNode<K, V>(h, a[i == 0 ? 1 : 0]);
  return internal::collisionNode<K, V>(
      h, internal::copyErase(Kind::Collision, h, a.slots(), a.size(), i));
}

// Removes slot i of a branch node that nobody else holds, where it stands: the child is released
// and the later slots move down one place (handles move bitwise; the storage keeps its size).
template <class K, class V>
void dropSlotInPlace(Children<K, V>& a, std::uint32_t i) noexcept {
  HashMap<K, V>* slots = a.slots();
  slots[i].~HashMap<K, V>();
  std::memmove(static_cast<void*>(slots + i), static_cast<const void*>(slots + i + 1),
               sizeof(HashMap<K, V>) * (a.len - i - 1));
  --a.len;
}

// rebuildBitmapIndexed for a node t that nobody else holds: the same shapes, made by changing t
// where it stands. When t gives way to its last leaf or collision (or to nothing), that child is
// moved out of t, which the level above then frees.
template <class K, class V>
Changed<K, V> rebuildBitmapIndexedInPlace(const HashMap<K, V>& t, ChildBitmap bit,
                                          std::uint32_t i, HashMap<K, V> c2) noexcept {
  Children<K, V>& a = internal::childrenOf(t);
  const std::uint32_t n = a.size();
  if (internal::kindOf(c2) == Kind::Empty) {
    if (n == 1) return HashMap<K, V>();
    if (n == 2) {
      HashMap<K, V>& other = a[i == 0 ? 1 : 0];
      if (internal::isLeafOrCollision(other)) return std::move(other);
    }
    internal::dropSlotInPlace(a, i);
    a.word &= ~bit;
    return std::nullopt;
  }
  if (n == 1 && internal::isLeafOrCollision(c2)) return c2;
  a[i] = std::move(c2);
  return std::nullopt;
}
template <class K, class V>
void rebuildFullInPlace(const HashMap<K, V>& t, std::uint32_t i, HashMap<K, V> c2) noexcept {
  Children<K, V>& a = internal::childrenOf(t);
  if (internal::kindOf(c2) == Kind::Empty) {
    internal::dropSlotInPlace(a, i);
    a.kind = Kind::BitmapIndexed;
    a.word = fullBitmap & ~(ChildBitmap{1} << i);
    return;
  }
  a[i] = std::move(c2);
}

// The key's removal below t. The only calls of the caller's code (==) happen at the bottom, before
// any node changes; an in-place walk changes a node only on the way back up, where nothing
// allocates, and only nodes that it alone reaches.
template <Walk W, class K, class V>
Changed<K, V> deleteWalk(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Leaf: {
      // The stored key is the left operand here.
      if (internal::wordOf(t) == h && internal::leafOf(t).key == k) return HashMap<K, V>();
      return std::nullopt;
    }
    case Kind::Collision: {
      if (internal::wordOf(t) != h) return std::nullopt;
      const std::optional<std::int64_t> i = internal::indexOf<K, V>(k, internal::entriesOf(t));
      if (!i) return std::nullopt;
      return internal::collisionWithout(t, static_cast<std::uint32_t>(*i));
    }
    case Kind::BitmapIndexed: {
      const ChildBitmap b = internal::wordOf(t), bit = mask(h, s);
      if ((b & bit) == 0) return std::nullopt;
      const auto i = static_cast<std::uint32_t>(sparseIndex(b, bit));
      const HashMap<K, V>& c = internal::childrenOf(t)[i];
      if (internal::inPlaceAt<W>(t)) {
        Changed<K, V> c2 = internal::deleteWalk<W>(h, k, nextShift(s), c);
        if (!c2) return c2;
        return internal::rebuildBitmapIndexedInPlace(t, bit, i, std::move(*c2));
      }
      Changed<K, V> c2 = internal::deleteWalk<Walk::Persistent>(h, k, nextShift(s), c);
      if (!c2) return c2;
      return internal::rebuildBitmapIndexed(t, b, bit, i, std::move(*c2));
    }
    case Kind::Full: {
      const auto i = static_cast<std::uint32_t>(index(h, s));
      const HashMap<K, V>& c = internal::childrenOf(t)[i];
      if (internal::inPlaceAt<W>(t)) {
        Changed<K, V> c2 = internal::deleteWalk<W>(h, k, nextShift(s), c);
        if (c2) internal::rebuildFullInPlace(t, i, std::move(*c2));
        return std::nullopt;
      }
      Changed<K, V> c2 = internal::deleteWalk<Walk::Persistent>(h, k, nextShift(s), c);
      if (!c2) return c2;
      return internal::rebuildFull(t, i, std::move(*c2));
    }
    default:  // Empty
      return std::nullopt;
  }
}

// delete' : the key's hash computed by the caller.
template <class K, class V>
HashMap<K, V> delete_(KeyHash h, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  Changed<K, V> r = internal::deleteWalk<Walk::Persistent>(h, k, 0, m);
  if (!r) return m;
  return std::move(*r);
}
/// \addtogroup vantrel_map_lazy
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
  Changed<K, V> r = internal::deleteWalk<Walk::Owned>(h, k, 0, m);
  if (!r) return std::move(m);
  HashMap<K, V> out = std::move(*r);
  m = HashMap<K, V>();
  return out;
}
/// @}

// Removes a key known to be present at position p: no comparison, every level rebuilt.
template <class K, class V>
HashMap<K, V> deleteKeyExistsWalk(std::int64_t p, KeyHash q, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Collision:
      return internal::collisionWithout(t, static_cast<std::uint32_t>(p));
    case Kind::BitmapIndexed: {
      const ChildBitmap b = internal::wordOf(t), bit = ChildBitmap{1} << (q & subkeyMask);
      const auto i = static_cast<std::uint32_t>(sparseIndex(b, bit));
      return internal::rebuildBitmapIndexed(
          t, b, bit, i,
          internal::deleteKeyExistsWalk<K, V>(p, q >> bitsPerSubkey, internal::childrenOf(t)[i]));
    }
    case Kind::Full: {
      const auto i = static_cast<std::uint32_t>(q & subkeyMask);
      return internal::rebuildFull(
          t, i,
          internal::deleteKeyExistsWalk<K, V>(p, q >> bitsPerSubkey, internal::childrenOf(t)[i]));
    }
    default:  // Leaf or Empty
      return HashMap<K, V>();
  }
}
template <class K, class V>
HashMap<K, V> deleteKeyExists(std::int64_t p, KeyHash h, const std::type_identity_t<K>&,
                              const HashMap<K, V>& m) {
  return internal::deleteKeyExistsWalk<K, V>(p, h, m);
}

// ---- Adjustment ----------------------------------------------------------------------------

// f maps the stored cell to the cell to store, called now. The lazy interface gives back every
// unchanged node itself (`RebuildPath` false); the value-strict one rebuilds every node of the
// key's path that exists, whether or not the key is found, and a found key's node even when f
// gives back its very cell (under the caller's key).
template <bool RebuildPath, class K, class V, class F>
Changed<K, V> adjustStep(F& f, KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Leaf: {
      const L<K, V>& y = internal::leafOf(t);
      if (internal::wordOf(t) == h && y.key == k) {
        hs::Lazy<V> v2 = f(y.value);
        if (!RebuildPath && hs::ptrEq(v2, y.value)) return std::nullopt;
        return internal::leafNode<K, V>(h, k, std::move(v2));
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
      // A node holds its entries inline: a new node over the same entries is a copy of them.
      if constexpr (RebuildPath)
        return internal::collisionNode<K, V>(
            h, internal::copyBlock(Kind::Collision, h, a.slots(), n));
      return std::nullopt;
    }
    case Kind::BitmapIndexed: {
      const ChildBitmap b = internal::wordOf(t), bit = mask(h, s);
      if ((b & bit) == 0) return std::nullopt;
      const auto i = static_cast<std::uint32_t>(sparseIndex(b, bit));
      const Children<K, V>& a = internal::childrenOf(t);
      Changed<K, V> c2 = internal::adjustStep<RebuildPath, K, V>(f, h, k, nextShift(s), a[i]);
      if (!c2) {
        if constexpr (!RebuildPath) return c2;
        return internal::bitmapIndexed<K, V>(
            b, internal::copyBlock(Kind::BitmapIndexed, b, a.slots(), a.size()));
      }
      return internal::bitmapIndexed<K, V>(
          b, internal::copyUpdate(Kind::BitmapIndexed, b, a.slots(), a.size(), i, std::move(*c2)));
    }
    case Kind::Full: {
      const auto i = static_cast<std::uint32_t>(index(h, s));
      const Children<K, V>& a = internal::childrenOf(t);
      Changed<K, V> c2 = internal::adjustStep<RebuildPath, K, V>(f, h, k, nextShift(s), a[i]);
      if (!c2) {
        if constexpr (!RebuildPath) return c2;
        return internal::full<K, V>(internal::copyBlock(Kind::Full, fullBitmap, a.slots(), 32));
      }
      return internal::update32<K, V>(a, i, std::move(*c2));
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
  if (hs::ptrEq(*answer, found.record->value)) return m;
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
    return hs::Lazy<V>(std::move(*r));
  }
}

/// \addtogroup vantrel_map_lazy
/// @{

/// k's entry decided by f, called now on k's stored value (forced) or none, and answering the new
/// value or none; under hs::onCells f takes and gives optional cells and nothing is forced. None
/// removes the entry; an answer of the very stored cell gives back m. One hash of k, O(log n)
/// expected: a lookup walk, then a walk that copies the key's path when the entry changes.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> alter(F f, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  const Found<K, V> found = internal::lookupRecordCollisionU(h, k, m);
  const std::optional<hs::Lazy<V>> answer =
      internal::decideOptional<V>(f, found ? &found.record->value : nullptr);
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
      answer = f.fn(found.record->value);
    } else {
      std::optional<V> r = f(found.record->value.force());
      if (r) answer = hs::Lazy<V>(std::move(*r));
    }
  }
  return internal::alterDecide(found, answer, h, k, m);
}
/// @}

// ---- Functorial alteration -----------------------------------------------------------------

// The stored cell of k, as an optional (the position dropped).
template <class K, class V>
std::optional<hs::Lazy<V>> lookupCell(KeyHash h, const K& k, const HashMap<K, V>& m) {
  const Found<K, V> f = internal::lookupRecordCollisionU(h, k, m);
  if (!f) return std::nullopt;
  return f.record->value;
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
          return decide(answer ? Looked(hs::Lazy<V>(*answer)) : Looked());
        },
        g(std::move(arg)));
  }
}
/// \addtogroup vantrel_map_lazy
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
    if (found) current = found.record->value;
    return hs::fmap(decide, g.fn(std::move(current)));
  } else {
    std::optional<V> arg;
    if (found) arg = found.record->value.force();
    return hs::fmap(
        [decide](const std::optional<V>& answer) {
          return decide(answer ? Answer(hs::Lazy<V>(*answer)) : Answer());
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
