// Insertion: one walk down the key's hash path, shared by the persistent inserts and, with the
// child slots overwritten in place, by the bulk builders.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

// What a walk does where the key's hash meets stored records: `fresh()` is the value of a new
// pair, `leafMatch` handles a `Leaf` whose key equals the new key, `collision` a `Collision` of the
// key's hash.
//
// How a walk treats the branch nodes on its path.
enum class Walk {
  Persistent,  // copy every changed node
  Private,     // overwrite child slots in place: only for maps nobody but the caller can reach
  Owned,       // in place where the node has no other holder, copying from the first shared node
};

// A walk's answer for the node it was given: a node to put in its place, or none when the node
// stays where it is (unchanged, or changed where it stands by an in-place walk). A level whose
// child stays answers none in turn, so a walk that changes nothing copies no handle and touches no
// count on its way back up.
template <class K, class V>
using Changed = std::optional<HashMap<K, V>>;

// A policy's answer for t as a walk's answer: a node is none when it is t itself.
template <class K, class V>
Changed<K, V> unlessSame(HashMap<K, V> r, const HashMap<K, V>& t) noexcept {
  if (internal::ptrEq(r, t)) return std::nullopt;
  return r;
}
template <class K, class V>
Changed<K, V> unlessSame(Changed<K, V> r, const HashMap<K, V>&) noexcept {
  return r;
}

// Whether a policy lets the walk move the caller's key into the record it stores (`takeKey()`).
template <class P>
constexpr bool takesKey() noexcept {
  if constexpr (requires { P::takesKey; })
    return P::takesKey;
  else
    return false;
}

// A leaf holding k moved in. The node is allocated before k moves, so a failed allocation leaves
// k as it was.
template <class K, class V, class X>
HashMap<K, V> leafTaking(KeyHash h, K&& k, const X& x) {
  if constexpr (std::is_same_v<X, hs::Lazy<V>>)
    return Node::adopt<K, V>(new LeafNode<K, V>(h, L<K, V>{std::move(k), x}));
  else
    return internal::inlineLeaf<K, V>(h, std::move(k), x.take());
}
// two() with the new leaf, holding k1 moved in, made after every node above it.
template <class K, class V, class X>
HashMap<K, V> twoTaking(LevelShift s, KeyHash h1, K&& k1, const X& x1, KeyHash h2,
                        const HashMap<K, V>& t2) {
  HashMap<K, V> top = internal::joinDifferentHashes<K, V>(s, h1, h2, HashMap<K, V>(), t2);
  // Down the one-child levels to the two-child node and its empty slot for the leaf.
  HashMap<K, V>* slot = &top;
  for (LevelShift l = s;; l = nextShift(l)) {
    Children<K, V>& a = internal::childrenOf(*slot);
    if (a.size() == 2) {
      slot = &a[mask(h1, l) < mask(h2, l) ? 0 : 1];
      break;
    }
    slot = &a[0];
  }
  *slot = internal::leafTaking<K, V>(h1, std::move(k1), x1);
  return top;
}

// The walk below a branch node t: in place when the mode allows it, else persistent.
template <Walk W, class K, class V>
constexpr bool inPlaceAt(const HashMap<K, V>& t) noexcept {
  if constexpr (W == Walk::Private) return true;
  if constexpr (W == Walk::Owned) return Node::object(t)->refs.load(std::memory_order_acquire) == 1;
  return false;
}

// The key's insertion below t. With a policy that takes the caller's key, an in-place walk moves
// it into the new record where nothing that can throw comes after: every level above changes in
// place, every other node of the change is allocated first, and only keys whose move cannot
// throw are moved. Elsewhere the key is copied.
template <Walk W, class K, class V, class P>
Changed<K, V> insertStep(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t, P& policy) {
  constexpr bool take =
      W == Walk::Owned && internal::takesKey<P>() && std::is_nothrow_move_constructible_v<K>;
  switch (internal::kindOf(t)) {
    case Kind::Empty:
      if constexpr (take) return internal::leafTaking<K, V>(h, policy.takeKey(), policy.fresh());
      return internal::leafNode<K, V>(h, k, policy.fresh());
    case Kind::Leaf: {
      const KeyHash hy = internal::wordOf(t);
      const L<K, V>& y = internal::leafOf(t);
      if (hy == h) {
        if (y.key == k) return internal::unlessSame(policy.leafMatch(t, y), t);
        if constexpr (take) {
          EntryBuilder<K, V> pair(Kind::Collision, h, 2);
          pair.emplace(y);
          // The cell before the key moves: making it may fail.
          hs::Lazy<V> cell = internal::freshCell<V>(policy.fresh());
          pair.emplace(L<K, V>{policy.takeKey(), std::move(cell)});
          return internal::collisionNode<K, V>(h, pair.finish());
        }
        return internal::collision<K, V>(h, y,
                                         L<K, V>{k, internal::freshCell<V>(policy.fresh())});
      }
      if constexpr (take)
        return internal::twoTaking<K, V>(s, h, policy.takeKey(), policy.fresh(), hy, t);
      return internal::two<K, V>(s, h, k, policy.fresh(), hy, t);
    }
    case Kind::Collision: {
      const KeyHash hy = internal::wordOf(t);
      if (hy == h) return internal::unlessSame(policy.collision(t), t);
      if constexpr (take)
        return internal::twoTaking<K, V>(s, h, policy.takeKey(), policy.fresh(), hy, t);
      return internal::two<K, V>(s, h, k, policy.fresh(), hy, t);
    }
    case Kind::BitmapIndexed: {
      const ChildBitmap b = internal::wordOf(t), bit = mask(h, s);
      Children<K, V>& a = internal::childrenOf(t);
      const auto i = static_cast<std::uint32_t>(sparseIndex(b, bit));
      const bool inPlace = internal::inPlaceAt<W>(t);
      if constexpr (take) {
        if ((b & bit) == 0) {
          if (inPlace && a.size() < a.cap) {
            // Nothing after the leaf can fail.
            a.insertAt(i, internal::leafTaking<K, V>(h, policy.takeKey(), policy.fresh()));
            a.word = b | bit;
            if (a.word == fullBitmap) a.kind = Kind::Full;
            return std::nullopt;
          }
          // The grown node first, then the leaf, then the children: a failure before the last
          // step leaves both the key and t as they were.
          ChildBuilder<K, V> grown(Kind::BitmapIndexed, b | bit, a.size() + 1);
          HashMap<K, V> leaf = internal::leafTaking<K, V>(h, policy.takeKey(), policy.fresh());
          if (inPlace) {
            grown.relocate(a.slots(), i);
            grown.emplace(std::move(leaf));
            grown.relocate(a.slots() + i, a.size() - i);
            a.abandon();
          } else {
            grown.copy(a.slots(), i);
            grown.emplace(std::move(leaf));
            grown.copy(a.slots() + i, a.size() - i);
          }
          return internal::bitmapIndexedOrFull<K, V>(b | bit, grown.finish());
        }
      }
      if ((b & bit) == 0) {
        HashMap<K, V> leaf = internal::leafNode<K, V>(h, k, policy.fresh());
        if constexpr (W != Walk::Persistent) {
          // The node is about to leave the trie: when nothing else holds it, its children move
          // into the grown node instead of being counted up here and down again when it is freed.
          if (Node::object(t)->refs.load(std::memory_order_acquire) == 1) {
            if (a.size() < a.cap) {
              a.insertAt(i, std::move(leaf));
              a.word = b | bit;
              if (a.word == fullBitmap) a.kind = Kind::Full;
              return std::nullopt;
            }
            ChildBuilder<K, V> grown(Kind::BitmapIndexed, b | bit, a.size() + 1);
            grown.relocate(a.slots(), i);
            grown.emplace(std::move(leaf));
            grown.relocate(a.slots() + i, a.size() - i);
            a.abandon();
            return internal::bitmapIndexedOrFull<K, V>(b | bit, grown.finish());
          }
        }
        return internal::bitmapIndexedOrFull<K, V>(
            b | bit, internal::copyInsert(Kind::BitmapIndexed, b | bit, a.slots(), a.size(), i,
                                          std::move(leaf)));
      }
      const HashMap<K, V>& c = a[i];
      if (inPlace) {
        Changed<K, V> r = internal::insertStep<W>(h, k, nextShift(s), c, policy);
        if (r) a[i] = std::move(*r);
        return std::nullopt;
      }
      Changed<K, V> r = internal::insertStep<Walk::Persistent>(h, k, nextShift(s), c, policy);
      if (!r) return r;
      return internal::bitmapIndexed<K, V>(
          b, internal::copyUpdate(Kind::BitmapIndexed, b, a.slots(), a.size(), i, std::move(*r)));
    }
    case Kind::Full: {
      Children<K, V>& a = internal::childrenOf(t);
      const auto i = static_cast<std::uint32_t>(index(h, s));
      const HashMap<K, V>& c = a[i];
      if (internal::inPlaceAt<W>(t)) {
        Changed<K, V> r = internal::insertStep<W>(h, k, nextShift(s), c, policy);
        if (r) a[i] = std::move(*r);
        return std::nullopt;
      }
      Changed<K, V> r = internal::insertStep<Walk::Persistent>(h, k, nextShift(s), c, policy);
      if (!r) return r;
      return internal::update32<K, V>(a, i, std::move(*r));
    }
    default:
      return std::nullopt;
  }
}

// The walk from the root t: the new map, or t itself when nothing changed or t changed in place.
template <Walk W, class K, class V, class P>
HashMap<K, V> insertWalk(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t, P& policy) {
  Changed<K, V> r = internal::insertStep<W>(h, k, s, t, policy);
  if (!r) return t;
  return std::move(*r);
}

// A new collision node with (k, c) in place of the entry of an equal key, or appended.
template <class K, class V>
HashMap<K, V> replaceInCollision(const K& k, const hs::Lazy<V>& c, const HashMap<K, V>& t) {
  return internal::updateOrSnocWithKey<K, V>(
      [&c](const K&, const hs::Lazy<V>&, const hs::Lazy<V>&) { return c; }, k, c,
      internal::entriesOf(t));
}

// The new pair replaces the pair of an equal key; the `Leaf` stays when the value is the very
// stored cell.
template <class K, class V>
struct ReplacePolicy {
  KeyHash h;
  const K& k;
  const hs::Lazy<V>& v;
  const hs::Lazy<V>& fresh() const noexcept { return v; }
  Changed<K, V> leafMatch(const HashMap<K, V>&, const L<K, V>& y) const {
    if (hs::ptrEq(v, y.value)) return std::nullopt;
    return internal::leafNode<K, V>(h, k, v);
  }
  HashMap<K, V> collision(const HashMap<K, V>& t) const {
    return internal::replaceInCollision<K, V>(k, v, t);
  }
};

// As ReplacePolicy for a value that no cell holds yet, so never the very stored cell.
template <class K, class V, bool Move>
struct ReplaceValuePolicy {
  KeyHash h;
  const K& k;
  FreshValue<V, Move> v;
  FreshValue<V, Move> fresh() const noexcept { return v; }
  HashMap<K, V> leafMatch(const HashMap<K, V>&, const L<K, V>&) const {
    return internal::leafNode<K, V>(h, k, v);
  }
  HashMap<K, V> collision(const HashMap<K, V>& t) const {
    return internal::replaceInCollision<K, V>(k, internal::freshCell<V>(v), t);
  }
};

// As ReplaceValuePolicy for a value handed over, already in a leaf of its own under the key.
template <class K, class V>
struct ReplaceLeafPolicy {
  KeyHash h;
  const K& k;
  FreshLeaf<K, V> v;
  FreshLeaf<K, V> fresh() const noexcept { return v; }
  HashMap<K, V> leafMatch(const HashMap<K, V>&, const L<K, V>&) const noexcept { return v.leaf; }
  HashMap<K, V> collision(const HashMap<K, V>& t) const {
    return internal::replaceInCollision<K, V>(k, internal::freshCell<V>(v), t);
  }
};

// A replacing policy for a caller that gives up its key: the walk may move it into the new record.
template <class P, class K>
struct TakingKey : P {
  K& owned;
  static constexpr bool takesKey = true;
  K&& takeKey() const noexcept { return std::move(owned); }
};
template <class K, class V>
using TakingReplacePolicy = TakingKey<ReplacePolicy<K, V>, K>;
template <class K, class V, bool Move>
using TakingReplaceValuePolicy = TakingKey<ReplaceValuePolicy<K, V, Move>, K>;

// A present key gets g(stored cell); the node stays when g gives back the very stored cell.
template <class K, class V, class G>
struct ModifyPolicy {
  KeyHash h;
  const K& k;
  const hs::Lazy<V>& x;
  G& g;
  const hs::Lazy<V>& fresh() const noexcept { return x; }
  Changed<K, V> leafMatch(const HashMap<K, V>&, const L<K, V>& y) const {
    hs::Lazy<V> r = g(y.value);
    if (hs::ptrEq(r, y.value)) return std::nullopt;
    return internal::leafNode<K, V>(h, k, std::move(r));
  }
  Changed<K, V> collision(const HashMap<K, V>& t) const {
    const Entries<K, V>& a = internal::entriesOf(t);
    const std::uint32_t n = a.size();
    for (std::uint32_t j = 0; j < n; ++j) {
      if (k == a[j].key) {
        hs::Lazy<V> r = g(a[j].value);
        if (hs::ptrEq(r, a[j].value)) return std::nullopt;
        return internal::collisionNode<K, V>(
            h, internal::copyUpdate(Kind::Collision, h, a.slots(), n, j, L<K, V>{k, std::move(r)}));
      }
    }
    return internal::collisionNode<K, V>(
        h, internal::copyInsert(Kind::Collision, h, a.slots(), n, n, L<K, V>{k, x}));
  }
};

// A present key gets f(key, new value, stored value), always in a new node.
template <class K, class V, class F>
struct CombinePolicy {
  KeyHash h;
  const K& k;
  const hs::Lazy<V>& v;
  F& f;
  const hs::Lazy<V>& fresh() const noexcept { return v; }
  HashMap<K, V> leafMatch(const HashMap<K, V>&, const L<K, V>& y) const {
    return internal::leafNode<K, V>(h, k, f(k, v, y.value));
  }
  HashMap<K, V> collision(const HashMap<K, V>& t) const {
    return internal::updateOrSnocWithKey<K, V>(f, k, v, internal::entriesOf(t));
  }
};

// ---- Persistent inserts --------------------------------------------------------------------

// insert' : the key's hash h computed by the caller.
template <class K, class V>
HashMap<K, V> insert_(KeyHash h, const std::type_identity_t<K>& k,
                      const std::type_identity_t<hs::Lazy<V>>& v, const HashMap<K, V>& m) {
  ReplacePolicy<K, V> p{h, k, v};
  return internal::insertWalk<Walk::Persistent>(h, k, 0, m, p);
}

// The insertion by policy p into a map the caller gives up: m itself when nothing changed, else
// the new root, and m emptied.
template <class K, class V, class P>
HashMap<K, V> insertGivenUp(KeyHash h, const K& k, HashMap<K, V>&& m, P& p) {
  Changed<K, V> r = internal::insertStep<Walk::Owned>(h, k, 0, m, p);
  if (!r) return std::move(m);
  HashMap<K, V> out = std::move(*r);
  m = HashMap<K, V>();
  return out;
}

/// \addtogroup vantrel_map_lazy
/// @{

/// k mapped to the cell v, stored as it is (a deferred value stays deferred), in place of an entry
/// of an equal key; the map itself when v is the very cell stored under k. One hash of k, O(log n)
/// expected; copies the key's path (a new branch node per level) and allocates the new entry.
template <class K, class V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, const std::type_identity_t<hs::Lazy<V>>& v,
                     const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  return internal::insert_<K, V>(h, k, v, m);
}
/// The same result for a map the caller gives up: the nodes on the path that nothing else holds are
/// updated in place instead of copied. The walk changes a node only after everything below it
/// succeeded, so when the key's hash or == (or an allocation) throws, m is still the caller's map.
/// On return m is empty. Into a map nobody else holds, allocates only the new entry (and a node
/// that grows by it).
template <class K, class V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, const std::type_identity_t<hs::Lazy<V>>& v,
                     HashMap<K, V>&& m) {
  const KeyHash h = internal::hash(k);
  ReplacePolicy<K, V> p{h, k, v};
  return internal::insertGivenUp<K, V>(h, k, std::move(m), p);
}

/// The same for a key the caller gives up too: where the key is stored in a new record and the
/// path above changes in place, the key is moved there instead of copied (when its move cannot
/// throw). Where it is not stored, or when anything throws, k is left as it was.
template <class K, class V>
[[nodiscard]] HashMap<K, V> insert(std::type_identity_t<K>&& k,
                                   const std::type_identity_t<hs::Lazy<V>>& v, HashMap<K, V>&& m) {
  const KeyHash h = internal::hash(k);
  TakingReplacePolicy<K, V> p{{h, k, v}, k};
  return internal::insertGivenUp<K, V>(h, k, std::move(m), p);
}

/// @}
// The insert of a value v the caller hands over (and of its key too, with `TakeKey`): v, and the
// key when its move cannot throw, go into a leaf built first; the walk stores that leaf or its
// cell, comparing with the leaf's key. When anything after throws, both are given back.
template <Walk W, bool TakeKey, class K, class V, class KA>
HashMap<K, V> insertHandedOver(KeyHash h, KA& k, V& v, const HashMap<K, V>& m) {
  constexpr bool moveKey = TakeKey && !std::is_const_v<KA> &&
                           std::is_nothrow_move_constructible_v<K> &&
                           std::is_nothrow_move_assignable_v<K>;
  const HashMap<K, V> leaf = [&] {
    if constexpr (moveKey)
      return internal::inlineLeaf<K, V>(h, std::move(k), std::move(v));
    else
      return internal::inlineLeaf<K, V>(h, std::as_const(k), std::move(v));
  }();
  // Once a key has moved, k is no longer the key; the leaf's copy is.
  const L<K, V>& record = internal::leafOf(leaf);
  ReplaceLeafPolicy<K, V> p{h, record.key, {leaf}};
  try {
    return internal::insertWalk<W>(h, record.key, 0, m, p);
  } catch (...) {
    // Whatever the walk made is gone again: the leaf and its cell are held here alone.
    if (Node::object(leaf)->refs.load(std::memory_order_acquire) == 1) {
      if (V* x = hs::detail::cellOf(record.value)->soleValue()) v = std::move(*x);
      if constexpr (moveKey) k = std::move(const_cast<K&>(record.key));
    }
    throw;
  }
}

/// \addtogroup vantrel_map_lazy
/// @{

/// k mapped to the value v, copied (an rvalue moved) into a new, evaluated cell, in place of an
/// entry of an equal key. A value handed over is given back when the insert fails; one that cannot
/// be given back without a possible throw is copied. Costs as the insert of a cell.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, U&& v,
                                   const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  if constexpr (givesBack<V, U>) {
    return internal::insertHandedOver<Walk::Persistent, false, K, V>(h, k, v, m);
  } else {
    ReplaceValuePolicy<K, V, false> p{h, k, {v}};
    return internal::insertWalk<Walk::Persistent>(h, k, 0, m, p);
  }
}
/// The same for a map the caller gives up, as the insert of a cell into an rvalue map.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, U&& v, HashMap<K, V>&& m) {
  const KeyHash h = internal::hash(k);
  HashMap<K, V> r;
  if constexpr (givesBack<V, U>) {
    r = internal::insertHandedOver<Walk::Owned, false, K, V>(h, k, v, m);
  } else {
    ReplaceValuePolicy<K, V, false> p{h, k, {v}};
    r = internal::insertWalk<Walk::Owned>(h, k, 0, m, p);
  }
  m = HashMap<K, V>();
  return r;
}
/// The same for a key and a map the caller gives up, as the insert of a cell with both given up.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> insert(std::type_identity_t<K>&& k, U&& v, HashMap<K, V>&& m) {
  const KeyHash h = internal::hash(k);
  HashMap<K, V> r;
  if constexpr (givesBack<V, U>) {
    r = internal::insertHandedOver<Walk::Owned, true, K, V>(h, k, v, m);
  } else {
    TakingReplaceValuePolicy<K, V, false> p{{h, k, {v}}, k};
    Changed<K, V> c = internal::insertStep<Walk::Owned>(h, k, 0, m, p);
    if (!c) return std::move(m);
    r = std::move(*c);
  }
  m = HashMap<K, V>();
  return r;
}
/// @}

// Absent key: k mapped to x. Present key: k mapped to g applied, now, to the stored value; g
// receives and returns cells when wrapped with hs::onCells, else values.
template <class K, class V, class G>
HashMap<K, V> insertModifying(const std::type_identity_t<hs::Lazy<V>>& x, G g,
                              const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  auto cellFn = [&g](const hs::Lazy<V>& y) { return hs::callToCell<V>(g, y); };
  ModifyPolicy<K, V, decltype(cellFn)> p{h, k, x, cellFn};
  return internal::insertWalk<Walk::Persistent>(h, k, 0, m, p);
}

/// \addtogroup vantrel_map_lazy
/// @{

/// Absent key: k mapped to v. Present key: k mapped to the deferred f(v, stored value); f is not
/// called here.
/// One hash of k, O(log n) expected; copies the key's path and allocates the new entry and, at a
/// present key, the deferred combination, which holds a copy of f and both cells.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> insertWith(F f, const std::type_identity_t<K>& k,
                         const std::type_identity_t<hs::Lazy<V>>& v, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  auto cellFn = [&f, &v](const hs::Lazy<V>& old) { return hs::deferCall<V>(f, v, old); };
  ModifyPolicy<K, V, decltype(cellFn)> p{h, k, v, cellFn};
  return internal::insertWalk<Walk::Persistent>(h, k, 0, m, p);
}
/// @}

// Adds a key known to be absent: no key comparison and no identity test, every level rebuilt.
template <class K, class V>
HashMap<K, V> insertNewKeyWalk(KeyHash h, const K& k, const hs::Lazy<V>& v, LevelShift s,
                               const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Empty:
      return internal::leafNode<K, V>(h, k, v);
    case Kind::Leaf: {
      const KeyHash hy = internal::wordOf(t);
      if (hy == h) return internal::collision<K, V>(h, internal::leafOf(t), L<K, V>{k, v});
      return internal::two<K, V>(s, h, k, v, hy, t);
    }
    case Kind::Collision: {
      const KeyHash hy = internal::wordOf(t);
      if (hy == h) {
        const Entries<K, V>& a = internal::entriesOf(t);
        return internal::collisionNode<K, V>(
            h,
            internal::copyInsert(Kind::Collision, h, a.slots(), a.size(), a.size(), L<K, V>{k, v}));
      }
      return internal::two<K, V>(s, h, k, v, hy, t);
    }
    case Kind::BitmapIndexed: {
      const ChildBitmap b = internal::wordOf(t), bit = mask(h, s);
      const Children<K, V>& a = internal::childrenOf(t);
      const auto i = static_cast<std::uint32_t>(sparseIndex(b, bit));
      if ((b & bit) == 0)
        return internal::bitmapIndexedOrFull<K, V>(
            b | bit, internal::copyInsert(Kind::BitmapIndexed, b | bit, a.slots(), a.size(), i,
                                          internal::leafNode<K, V>(h, k, v)));
      return internal::bitmapIndexed<K, V>(
          b, internal::copyUpdate(Kind::BitmapIndexed, b, a.slots(), a.size(), i,
                                  internal::insertNewKeyWalk<K, V>(h, k, v, nextShift(s), a[i])));
    }
    case Kind::Full: {
      const Children<K, V>& a = internal::childrenOf(t);
      const auto i = static_cast<std::uint32_t>(index(h, s));
      return internal::update32<K, V>(
          a, i, internal::insertNewKeyWalk<K, V>(h, k, v, nextShift(s), a[i]));
    }
    default:
      return t;
  }
}
template <class K, class V>
HashMap<K, V> insertNewKey(KeyHash h, const std::type_identity_t<K>& k,
                           const std::type_identity_t<hs::Lazy<V>>& v, const HashMap<K, V>& m) {
  return internal::insertNewKeyWalk<K, V>(h, k, v, 0, m);
}

// Replaces the record of a key known to be present at position p (-1 for a `Leaf`): no key or
// hash comparison, every level rebuilt. The walk consumes the hash q five bits per level.
template <class K, class V>
HashMap<K, V> insertKeyExistsWalk(std::int64_t p, KeyHash q, const K& k, const hs::Lazy<V>& v,
                                  const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::BitmapIndexed: {
      const ChildBitmap b = internal::wordOf(t), bit = ChildBitmap{1} << (q & subkeyMask);
      const Children<K, V>& a = internal::childrenOf(t);
      const auto i = static_cast<std::uint32_t>(sparseIndex(b, bit));
      return internal::bitmapIndexed<K, V>(
          b, internal::copyUpdate(
                 Kind::BitmapIndexed, b, a.slots(), a.size(), i,
                 internal::insertKeyExistsWalk<K, V>(p, q >> bitsPerSubkey, k, v, a[i])));
    }
    case Kind::Full: {
      const Children<K, V>& a = internal::childrenOf(t);
      const auto i = static_cast<std::uint32_t>(q & subkeyMask);
      return internal::update32<K, V>(
          a, i, internal::insertKeyExistsWalk<K, V>(p, q >> bitsPerSubkey, k, v, a[i]));
    }
    case Kind::Leaf:
      return internal::leafNode<K, V>(internal::wordOf(t), k, v);
    case Kind::Collision: {
      if (p < 0) return HashMap<K, V>();
      const Entries<K, V>& a = internal::entriesOf(t);
      return internal::collisionNode<K, V>(
          internal::wordOf(t),
          internal::copyUpdate(Kind::Collision, internal::wordOf(t), a.slots(), a.size(),
                               static_cast<std::uint32_t>(p), L<K, V>{k, v}));
    }
    default:
      return HashMap<K, V>();
  }
}
template <class K, class V>
HashMap<K, V> insertKeyExists(std::int64_t p, KeyHash h, const std::type_identity_t<K>& k,
                              const std::type_identity_t<hs::Lazy<V>>& v, const HashMap<K, V>& m) {
  return internal::insertKeyExistsWalk<K, V>(p, h, k, v, m);
}

// ---- In-place inserts of the bulk builders -------------------------------------------------

// Adds (k, v) to a map that nobody but the caller can reach, overwriting child slots in place.
template <class K, class V>
HashMap<K, V> unsafeInsert(const std::type_identity_t<K>& k,
                           const std::type_identity_t<hs::Lazy<V>>& v, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  ReplacePolicy<K, V> p{h, k, v};
  return internal::insertWalk<Walk::Private>(h, k, 0, m, p);
}

// As unsafeInsert with a value that no cell holds yet.
template <class K, class V>
HashMap<K, V> unsafeInsertValue(const K& k, const V& v, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  ReplaceValuePolicy<K, V, false> p{h, k, {v}};
  return internal::insertWalk<Walk::Private>(h, k, 0, m, p);
}

// As unsafeInsert; a present key gets f(k, v, stored value), called now; f receives and returns
// cells.
template <class K, class V, class F>
HashMap<K, V> unsafeInsertWithKey(F f, const std::type_identity_t<K>& k,
                                  const std::type_identity_t<hs::Lazy<V>>& v,
                                  const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  CombinePolicy<K, V, F> p{h, k, v, f};
  return internal::insertWalk<Walk::Private>(h, k, 0, m, p);
}

}  // namespace vantrel::internal
