// Insertion: one walk down the key's hash path, shared by the persistent inserts and, with the
// branch nodes changed in place, by the moved inserts and the bulk builders.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

// A value for a new pair: a handle that someone else holds too (kept as it is), a handle of the
// walk's own (an evaluated cell of its alone may give up its value), or a plain value. Taken once.
template <class V>
class In {
 public:
  static In cell(const hs::Lazy<V>& v) noexcept {
    In x;
    x.borrowed_ = &v;
    return x;
  }
  static In owned(hs::Lazy<V> v) noexcept {
    In x;
    x.owned_.emplace(std::move(v));
    return x;
  }
  template <bool Move>
  static In value(FreshValue<V, Move> v) noexcept {
    In x;
    if constexpr (Move)
      x.moving_ = &v.value;
    else
      x.value_ = &v.value;
    return x;
  }

  // Whether a record can keep it (a unit record keeps only the shared unit cell).
  [[nodiscard]] bool fits() const noexcept {
    if (borrowed_) return internal::representable(*borrowed_);
    if (owned_) return internal::representable(*owned_);
    return true;
  }
  OwnedSlot<V> slot() {
    if (borrowed_) return internal::slotOfCell<V>(*borrowed_);
    if (owned_) return internal::slotOfOwned<V>(std::move(*owned_));
    if (moving_) return internal::slotOfValue<V>(std::move(*moving_));
    return internal::slotOfValue<V>(*value_);
  }
  hs::Lazy<V> handle() {
    if (borrowed_) return *borrowed_;
    if (owned_) return internal::ownedHandle<V>(std::move(*owned_));
    if (moving_) return internal::handleOfValue<V>(std::move(*moving_));
    return internal::handleOfValue<V>(*value_);
  }
  // The same handle again (identity kept), for a walk that needs the value twice.
  [[nodiscard]] const hs::Lazy<V>* borrowed() const noexcept { return borrowed_; }

 private:
  In() noexcept = default;
  const hs::Lazy<V>* borrowed_ = nullptr;
  std::optional<hs::Lazy<V>> owned_;
  const V* value_ = nullptr;
  V* moving_ = nullptr;
};
template <class V>
In<V> inOf(const hs::Lazy<V>& v) noexcept {
  return In<V>::cell(v);
}
template <class V, bool Move>
In<V> inOf(FreshValue<V, Move> v) noexcept {
  return In<V>::value(v);
}

// How a walk treats the branch nodes on its path.
enum class Walk {
  Persistent,  // copy every changed node
  Private,     // change branch nodes in place: only for maps nobody but the caller can reach
  Owned,       // in place where the node has no other holder, copying from the first shared node
};

// A walk's answer for the node it was given: a node to put in its place, or none when the node
// stays where it is (unchanged, or changed where it stands by an in-place walk). A level whose
// child stays answers none in turn, so a walk that changes nothing copies no handle and touches no
// count on its way back up.
template <class K, class V>
using Changed = std::optional<HashMap<K, V>>;

// Whether a policy lets the walk move the caller's key into the record it stores (`takeKey()`).
template <class P>
constexpr bool takesKey() noexcept {
  if constexpr (requires { P::takesKey; })
    return P::takesKey;
  else
    return false;
}

// The walk below a branch node t: in place when the mode allows it, else persistent.
template <Walk W, class K, class V>
bool inPlaceAt(const HashMap<K, V>& t) noexcept {
  if constexpr (W == Walk::Private) return true;
  if constexpr (W == Walk::Owned) return internal::soleHolder(t);
  return false;
}

// ---- Branch copies with one chunk changed --------------------------------------------------

enum class ChunkTo : std::uint8_t { Nothing, Record, Sub };

// A copy of branch a with the chunk `bit` changed to nothing, to a record (made by put(out, bit))
// or to the sub-node `sub`; everything else is copied (sub-nodes counted up, records copied as
// they are). With `extra`, the copy has that much free room.
template <class K, class V, class Put>
HashMap<K, V> copyWithChunk(const Branch<K, V>& a, ChildBitmap bit, ChunkTo to, HashMap<K, V>* sub,
                            Put&& put, std::size_t extra = 0) {
  const auto b = static_cast<std::uint32_t>(bit);
  const std::uint32_t below = b - 1;
  const std::uint32_t nodes = a.nodes();
  const bool wasRec = (a.data & b) != 0, wasSub = (nodes & b) != 0;
  const std::uint64_t word = (a.word & ~bit) | (to != ChunkTo::Nothing ? bit : 0);
  const std::uint32_t data = (a.data & ~b) | (to == ChunkTo::Record ? b : 0);
  const std::uint32_t nsub = a.nsub() - wasSub + (to == ChunkTo::Sub);
  const std::uint32_t nrec = a.nrec() - wasRec + (to == ChunkTo::Record);
  BranchBuilder<K, V> out(word, data, nsub, nrec, extra);
  const auto si = static_cast<std::uint32_t>(std::popcount(nodes & below));
  out.subs(a.subs(), si);
  if (to == ChunkTo::Sub) out.sub(std::move(*sub));
  out.subs(a.subs() + si + wasSub, a.nsub() - si - wasSub);
  const auto ri = static_cast<std::uint32_t>(std::popcount(a.data & below));
  const std::uint32_t boxed = a.boxed();
  out.recs(a, 0, ri, a.data & below, boxed);
  if (to == ChunkTo::Record) put(out, bit);
  out.recs(a, ri + wasRec, a.nrec() - ri - wasRec, a.data & ~below & ~b, boxed);
  return out.finish();
}
template <class K, class V>
HashMap<K, V> copyWithSub(const Branch<K, V>& a, ChildBitmap bit, HashMap<K, V> sub) {
  return internal::copyWithChunk<K, V>(a, bit, ChunkTo::Sub, &sub, [](auto&, ChildBitmap) {});
}
template <class K, class V>
HashMap<K, V> copyWithout(const Branch<K, V>& a, ChildBitmap bit) {
  return internal::copyWithChunk<K, V>(a, bit, ChunkTo::Nothing, nullptr,
                                       [](auto&, ChildBitmap) {});
}
template <class K, class V, class KA>
HashMap<K, V> copyWithRecord(const Branch<K, V>& a, ChildBitmap bit, KeyHash h, KA&& k,
                             OwnedSlot<V> slot, std::size_t extra = 0) {
  return internal::copyWithChunk<K, V>(
      a, bit, ChunkTo::Record, nullptr,
      [&](BranchBuilder<K, V>& out, ChildBitmap b) {
        out.rec(b, h, std::forward<KA>(k), std::move(slot));
      },
      extra);
}
// The same with a leaf child that may or may not fit a record: a record, or a leaf node as a
// sub-node.
template <class K, class V>
HashMap<K, V> copyWithChild(const Branch<K, V>& a, ChildBitmap bit, Child<K, V> c) {
  if (c.asRecord())
    return internal::copyWithChunk<K, V>(a, bit, ChunkTo::Record, nullptr,
                                         [&](BranchBuilder<K, V>& out, ChildBitmap b) { c.put(out, b); });
  HashMap<K, V> n = std::move(c).toMap();
  return internal::copyWithSub<K, V>(a, bit, std::move(n));
}

// ---- In-place changes of a branch nobody else holds ----------------------------------------

// Forgets a node's children after they were moved into another block (the block is then freed
// with nothing in it).
template <class K, class V>
void abandon(Branch<K, V>& a) noexcept {
  a.small = 0;
  a.data = 0;
}
// The moved copy of an owned node with one more record, and room to grow: a large node filled one
// child at a time would otherwise be copied at every step. The key is made into the new record
// after the block is allocated (its move must not throw when it is taken from a caller).
template <class K, class V, class KA>
HashMap<K, V> grownWithRecord(Branch<K, V>& a, ChildBitmap bit, KeyHash h, KA&& k, OwnedSlot<V> slot) {
  const auto b = static_cast<std::uint32_t>(bit);
  const std::uint32_t below = b - 1;
  const std::uint32_t nrec = a.nrec() + 1;
  const std::size_t extra = Branch<K, V>::recSize * (nrec >= 8 ? nrec / 4 : 0);
  const auto ri = static_cast<std::uint32_t>(std::popcount(a.data & below));
  const std::uint32_t boxed = a.boxed();
  if constexpr (!std::is_nothrow_constructible_v<K, KA&&> || !movableRecords<K, V>) {
    // A key that may throw: the node is copied, so nothing has moved when it does.
    BranchBuilder<K, V> copy(a.word | bit, a.data | b, a.nsub(), nrec, extra);
    copy.subs(a.subs(), a.nsub());
    copy.recs(a, 0, ri, a.data & below, boxed);
    copy.rec(bit, h, std::forward<KA>(k), std::move(slot));
    copy.recs(a, ri, a.nrec() - ri, a.data & ~below, boxed);
    return copy.finish();
  } else {
    BranchBuilder<K, V> out(a.word | bit, a.data | b, a.nsub(), nrec, extra);
    out.relocateSubs(a.subs(), a.nsub());
    out.relocate(a, 0, ri, a.data & below, boxed);
    out.rec(bit, h, std::forward<KA>(k), std::move(slot));
    out.relocate(a, ri, a.nrec() - ri, a.data & ~below, boxed);
    internal::abandon(a);
    return out.finish();
  }
}
// Adds a record at chunk bit where it stands, when the node has room and its records move
// without a throw; the new record is made before anything moves.
template <class K, class V, class KA>
bool addRecordInPlace(Branch<K, V>& a, ChildBitmap bit, KeyHash h, KA&& k, OwnedSlot<V>& slot) {
  if constexpr (!movableRecords<K, V>) {
    return false;
  } else {
    using R = Rec<K, V>;
    if (!a.roomForRecord()) return false;
    const auto b = static_cast<std::uint32_t>(bit);
    const bool boxed = slot.boxed;
    alignas(R) unsigned char tmp[sizeof(R)];
    R* made = ::new (static_cast<void*>(tmp)) R{h, std::forward<KA>(k), slot.take()};
    internal::relocateRecords<K, V>(internal::openRecordInPlace(a, b, h, boxed), made, 1);
    a.word |= bit;
    if (a.word == fullBitmap) a.kind = Kind::Full;
    return true;
  }
}
// Replaces the record at chunk bit where it stands (the new record made first).
template <class K, class V, class KA>
bool replaceRecordInPlace(Branch<K, V>& a, ChildBitmap bit, KeyHash h, KA&& k, OwnedSlot<V>& slot) {
  if constexpr (!movableRecords<K, V>) {
    return false;
  } else {
    using R = Rec<K, V>;
    const auto b = static_cast<std::uint32_t>(bit);
    const auto ri = static_cast<std::uint32_t>(std::popcount(a.data & (b - 1)));
    const bool boxed = slot.boxed;
    alignas(R) unsigned char tmp[sizeof(R)];
    R* made = ::new (static_cast<void*>(tmp)) R{h, std::forward<KA>(k), slot.take()};
    R* at = a.recs() + ri;
    internal::destroyRecords<K, V>(at, 1, b, a.boxedRec(ri) ? b : 0);
    internal::relocateRecords<K, V>(at, made, 1);
    a.tags()[ri] = Branch<K, V>::tagByte(h, boxed);
    return true;
  }
}
// Removes the record of chunk bit b where it stands: the records before it move up into its room.
template <class K, class V>
void dropRecordInPlace(Branch<K, V>& a, std::uint32_t b) noexcept {
  const auto ri = static_cast<std::uint32_t>(std::popcount(a.data & (b - 1)));
  internal::destroyRecords<K, V>(a.recs() + ri, 1, b, a.boxedRec(ri) ? b : 0);
  internal::closeRecordInPlace(a, b);
}
// Removes the sub-node of chunk bit b where it stands: the later handles move down.
template <class K, class V>
void dropSubInPlace(Branch<K, V>& a, std::uint32_t b) noexcept {
  const auto si = static_cast<std::uint32_t>(std::popcount(a.nodes() & (b - 1)));
  HashMap<K, V>* s = a.subs();
  s[si].~HashMap();
  std::memmove(static_cast<void*>(s + si), static_cast<const void*>(s + si + 1),
               sizeof(HashMap<K, V>) * (a.nsub() - si - 1));
  --a.small;
}
// Turns the record at chunk bit into the sub-node c where it stands: the record goes (its room
// is more than the sub-node's handle needs).
template <class K, class V>
bool recordToSubInPlace(Branch<K, V>& a, ChildBitmap bit, HashMap<K, V>&& c) noexcept {
  if constexpr (!movableRecords<K, V>) {
    return false;
  } else {
    const auto b = static_cast<std::uint32_t>(bit);
    internal::dropRecordInPlace(a, b);
    const auto si = static_cast<std::uint32_t>(std::popcount(a.nodes() & (b - 1)));
    HashMap<K, V>* s = a.subs();
    std::memmove(static_cast<void*>(s + si + 1), static_cast<const void*>(s + si),
                 sizeof(HashMap<K, V>) * (a.nsub() - si));
    ::new (static_cast<void*>(s + si)) HashMap<K, V>(std::move(c));
    ++a.small;
    return true;
  }
}

// The same for a node the walk owns, where nothing after this step can fail: in place while the
// free room stays under two records, else the children move to a compact new
// block (a large node whose records turn into sub-nodes one by one would otherwise keep the room
// of all of them). The answer is the new block, or none when the node changed where it stands.
template <class K, class V>
Changed<K, V> recordToSubOwned(Branch<K, V>& a, ChildBitmap bit, HashMap<K, V>&& c) {
  using B = Branch<K, V>;
  if constexpr (!movableRecords<K, V>) {
    return internal::copyWithSub<K, V>(a, bit, std::move(c));
  } else {
    if (a.room() + B::recSize - sizeof(HashMap<K, V>) < 2 * B::recSize) {
      internal::recordToSubInPlace(a, bit, std::move(c));
      return std::nullopt;
    }
    const auto b = static_cast<std::uint32_t>(bit);
    const std::uint32_t below = b - 1;
    const auto si = static_cast<std::uint32_t>(std::popcount(a.nodes() & below));
    const auto ri = static_cast<std::uint32_t>(std::popcount(a.data & below));
    BranchBuilder<K, V> out(a.word, a.data & ~b, a.nsub() + 1, a.nrec() - 1);
    out.relocateSubs(a.subs(), si);
    out.sub(std::move(c));
    out.relocateSubs(a.subs() + si, a.nsub() - si);
    const std::uint32_t boxed = a.boxed();
    internal::destroyRecords<K, V>(a.recs() + ri, 1, b, boxed);
    out.relocate(a, 0, ri, a.data & below, boxed);
    out.relocate(a, ri + 1, a.nrec() - ri - 1, a.data & ~below & ~b, boxed);
    internal::abandon(a);
    return out.finish();
  }
}

// ---- Joining a new pair with a leaf of another hash ------------------------------------------

// The subtree of a new pair (h1, k1, x1) and the leaf or collision t2 of another hash h2, from
// level s: one-child nodes while the chunks agree, the two side by side at the first level where
// they differ.
template <class K, class V, class KA>
HashMap<K, V> two(LevelShift s, KeyHash h1, KA&& k1, In<V>&& x1, KeyHash h2, Child<K, V> t2) {
  assert(h1 != h2 && "two: equal hashes");
  Child<K, V> leaf;
  if (recordable<K, V> && x1.fits())
    leaf = Child<K, V>::made(h1, std::forward<KA>(k1), x1.slot());
  else
    leaf = Child<K, V>(internal::leafObject<K, V>(h1, std::forward<KA>(k1), x1.handle()));
  return internal::joinDifferentHashes<K, V>(s, h1, h2, std::move(leaf), std::move(t2));
}

// ---- The walk ------------------------------------------------------------------------------

// The key's insertion below t. With a policy that takes the caller's key, an in-place walk moves
// it into the new record where nothing that can throw comes after: every level above changes in
// place, every other node of the change is allocated first, and only keys whose move cannot
// throw are moved. Elsewhere the key is copied.
template <Walk W, class K, class V, class P>
Changed<K, V> insertStep(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t, P& policy);

// The pair of the caller's key and the fresh value where a leaf of the same hash and another key
// stands: a collision of the leaf's pair and the new pair, in that order.
template <class K, class V, class P>
HashMap<K, V> collisionWithNew(KeyHash h, const K& k, const Ref<K, V>& y, P& policy, bool take) {
  EntryBuilder<K, V> pair(Kind::Collision, h, 2);
  pair.emplace(internal::pairOf(y));
  // The handle before the key moves: making it may fail.
  hs::Lazy<V> v = policy.fresh().handle();
  if constexpr (takesKey<P>()) {
    if (take) {
      pair.emplace(L<K, V>{policy.takeKey(), std::move(v)});
      return internal::collisionNode<K, V>(h, pair.finish());
    }
  }
  (void)take;
  pair.emplace(L<K, V>{k, std::move(v)});
  return internal::collisionNode<K, V>(h, pair.finish());
}

// The level of a branch node t.
template <Walk W, class K, class V, class P>
Changed<K, V> insertBranch(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t, P& policy) {
  constexpr bool canTake =
      W == Walk::Owned && internal::takesKey<P>() && std::is_nothrow_move_constructible_v<K>;
  Branch<K, V>& a = internal::branchOf(t);
  const ChildBitmap bit = mask(h, s);
  const bool inPlace = internal::inPlaceAt<W>(t);
  // Where the key is stored, an in-place level above lets it move (see insertStep).
  auto key = [&]() -> decltype(auto) {
    if constexpr (canTake)
      return policy.takeKey();
    else
      return (k);
  };
  if ((a.data & bit) != 0) {
    const Rec<K, V>& r = a.recAt(bit);
    const Ref<K, V> y = Ref<K, V>::record(r, a.boxedAt(bit));
    if (r.hash == h) {
      if (r.key == k) {
        std::optional<In<V>> x = policy.leafMatch(y);
        if (!x) return std::nullopt;
        if (!x->fits()) {
          HashMap<K, V> leaf = internal::leafObject<K, V>(h, k, x->handle());
          if (inPlace) return internal::recordToSubOwned(a, bit, std::move(leaf));
          return internal::copyWithSub<K, V>(a, bit, std::move(leaf));
        }
        OwnedSlot<V> slot = x->slot();
        if (inPlace && internal::replaceRecordInPlace(a, bit, h, k, slot)) return std::nullopt;
        return internal::copyWithRecord<K, V>(a, bit, h, k, std::move(slot));
      }
      HashMap<K, V> c = internal::collisionWithNew<K, V>(h, k, y, policy, canTake && inPlace);
      if (inPlace && internal::recordToSubInPlace(a, bit, std::move(c))) return std::nullopt;
      return internal::copyWithSub<K, V>(a, bit, std::move(c));
    }
    // The subtree allocates after its records are made, so the key is copied here.
    HashMap<K, V> sub = internal::two<K, V>(nextShift(s), h, k, policy.fresh(), r.hash,
                                             Child<K, V>::copyOf(y));
    if (inPlace) return internal::recordToSubOwned(a, bit, std::move(sub));
    return internal::copyWithSub<K, V>(a, bit, std::move(sub));
  }
  if ((a.word & bit) != 0) {
    const HashMap<K, V>& c = a.subAt(bit);
    if (inPlace) {
      Changed<K, V> r = internal::insertStep<W>(h, k, nextShift(s), c, policy);
      if (r) const_cast<HashMap<K, V>&>(c) = std::move(*r);
      return std::nullopt;
    }
    Changed<K, V> r = internal::insertStep<Walk::Persistent>(h, k, nextShift(s), c, policy);
    if (!r) return r;
    return internal::copyWithSub<K, V>(a, bit, std::move(*r));
  }
  // A new chunk.
  In<V> x = policy.fresh();
  if (!recordable<K, V> || !x.fits()) {
    HashMap<K, V> leaf = internal::leafObject<K, V>(h, k, x.handle());
    return internal::copyWithSub<K, V>(a, bit, std::move(leaf));
  }
  OwnedSlot<V> slot = x.slot();
  if (inPlace) {
    if (canTake) {
      if (internal::addRecordInPlace(a, bit, h, key(), slot)) return std::nullopt;
      return internal::grownWithRecord<K, V>(a, bit, h, key(), std::move(slot));
    }
    if (internal::addRecordInPlace(a, bit, h, k, slot)) return std::nullopt;
    return internal::grownWithRecord<K, V>(a, bit, h, k, std::move(slot));
  }
  return internal::copyWithRecord<K, V>(a, bit, h, k, std::move(slot));
}

template <Walk W, class K, class V, class P>
Changed<K, V> insertStep(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& t, P& policy) {
  constexpr bool take =
      W == Walk::Owned && internal::takesKey<P>() && std::is_nothrow_move_constructible_v<K>;
  switch (internal::kindOf(t)) {
    case Kind::BitmapIndexed:
    case Kind::Full:
      return internal::insertBranch<W>(h, k, s, t, policy);
    case Kind::Empty: {
      In<V> x = policy.fresh();
      hs::Lazy<V> v = x.handle();
      if constexpr (take) return internal::leafObject<K, V>(h, policy.takeKey(), std::move(v));
      return internal::leafObject<K, V>(h, k, std::move(v));
    }
    case Kind::Leaf: {
      const KeyHash hy = internal::wordOf(t);
      const Ref<K, V> y = Ref<K, V>::of(t);
      if (hy == h) {
        if (y.key() == k) {
          std::optional<In<V>> x = policy.leafMatch(y);
          if (!x) return std::nullopt;
          return internal::leafObject<K, V>(h, k, x->handle());
        }
        return internal::collisionWithNew<K, V>(h, k, y, policy, take);
      }
      return internal::two<K, V>(s, h, k, policy.fresh(), hy, Child<K, V>(t));
    }
    case Kind::Collision: {
      const KeyHash hy = internal::wordOf(t);
      if (hy == h) {
        HashMap<K, V> r = policy.collision(t);
        if (internal::ptrEq(r, t)) return std::nullopt;
        return r;
      }
      return internal::two<K, V>(s, h, k, policy.fresh(), hy, Child<K, V>(t));
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
  In<V> fresh() const noexcept { return In<V>::cell(v); }
  std::optional<In<V>> leafMatch(const Ref<K, V>& y) const noexcept {
    if (y.holds(v)) return std::nullopt;
    return In<V>::cell(v);
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
  In<V> fresh() const noexcept { return In<V>::value(v); }
  std::optional<In<V>> leafMatch(const Ref<K, V>&) const noexcept { return In<V>::value(v); }
  HashMap<K, V> collision(const HashMap<K, V>& t) const {
    return internal::replaceInCollision<K, V>(k, internal::handleOf<V>(v), t);
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

// A present key gets g(stored value handle); the node stays when g gives back the very stored
// cell.
template <class K, class V, class G>
struct ModifyPolicy {
  KeyHash h;
  const K& k;
  const hs::Lazy<V>& x;
  G& g;
  In<V> fresh() const noexcept { return In<V>::cell(x); }
  std::optional<In<V>> leafMatch(const Ref<K, V>& y) const {
    const LazyView<V> stored = y.view();
    hs::Lazy<V> r = g(stored.get());
    if (y.holds(r)) return std::nullopt;
    return In<V>::owned(std::move(r));
  }
  HashMap<K, V> collision(const HashMap<K, V>& t) const {
    const Entries<K, V>& a = internal::entriesOf(t);
    const std::uint32_t n = a.size();
    for (std::uint32_t j = 0; j < n; ++j) {
      if (k == a[j].key) {
        hs::Lazy<V> r = g(a[j].value);
        if (hs::ptrEq(r, a[j].value)) return t;
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
  In<V> fresh() const noexcept { return In<V>::cell(v); }
  std::optional<In<V>> leafMatch(const Ref<K, V>& y) const {
    const LazyView<V> stored = y.view();
    return In<V>::owned(f(k, v, stored.get()));
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
/// \name Updates
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
/// @}
// The insert of a value v the caller hands over into a cell of its own: v moves into a new cell
// before the walk (a failed allocation leaves it as it was), the walk stores that cell, and when
// anything after throws, nothing but this function holds the cell again and v is moved back.
template <Walk W, bool TakeKey, class K, class V, class KA>
HashMap<K, V> insertHandedOver(KeyHash h, KA& k, V& v, HashMap<K, V>&& m) {
  const hs::Lazy<V> cell(std::move(v));
  try {
    if constexpr (TakeKey && !std::is_const_v<KA>) {
      TakingReplacePolicy<K, V> p{{h, k, cell}, k};
      if constexpr (W == Walk::Owned) return internal::insertGivenUp<K, V>(h, k, std::move(m), p);
      return internal::insertWalk<W>(h, k, 0, m, p);
    } else {
      ReplacePolicy<K, V> p{h, k, cell};
      if constexpr (W == Walk::Owned) return internal::insertGivenUp<K, V>(h, k, std::move(m), p);
      return internal::insertWalk<W>(h, k, 0, m, p);
    }
  } catch (...) {
    if (V* x = hs::detail::cellOf(cell)->soleValue()) v = std::move(*x);
    throw;
  }
}

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Updates
/// @{

/// k mapped to the value v, in place of an entry of an equal key: a small plain value is held in
/// its entry itself, any other is copied (an rvalue moved) into a new, evaluated cell. A value
/// handed over is given back when the insert fails; one that cannot be given back without a
/// possible throw is copied. Costs as the insert of a cell.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, U&& v,
                                   const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  if constexpr (givesBack<V, U>) {
    HashMap<K, V> copy = m;
    return internal::insertHandedOver<Walk::Persistent, false, K, V>(h, k, v, std::move(copy));
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
  if constexpr (givesBack<V, U>) {
    return internal::insertHandedOver<Walk::Owned, false, K, V>(h, k, v, std::move(m));
  } else {
    ReplaceValuePolicy<K, V, false> p{h, k, {v}};
    return internal::insertGivenUp<K, V>(h, k, std::move(m), p);
  }
}
/// The same for a key and a map the caller gives up, as the insert of a cell with both given up.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> insert(std::type_identity_t<K>&& k, U&& v, HashMap<K, V>&& m) {
  const KeyHash h = internal::hash(k);
  if constexpr (givesBack<V, U>) {
    return internal::insertHandedOver<Walk::Owned, true, K, V>(h, k, v, std::move(m));
  } else {
    TakingReplaceValuePolicy<K, V, false> p{{h, k, {v}}, k};
    return internal::insertGivenUp<K, V>(h, k, std::move(m), p);
  }
}
/// @}
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
/// \name Updates
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
      return internal::two<K, V>(s, h, k, In<V>::cell(v), hy, Child<K, V>(t));
    }
    case Kind::Collision: {
      const KeyHash hy = internal::wordOf(t);
      if (hy == h) {
        const Entries<K, V>& a = internal::entriesOf(t);
        return internal::collisionNode<K, V>(
            h,
            internal::copyInsert(Kind::Collision, h, a.slots(), a.size(), a.size(), L<K, V>{k, v}));
      }
      return internal::two<K, V>(s, h, k, In<V>::cell(v), hy, Child<K, V>(t));
    }
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Branch<K, V>& a = internal::branchOf(t);
      const ChildBitmap bit = mask(h, s);
      if ((a.data & bit) != 0) {
        const Ref<K, V> y = internal::childAt(a, bit);
        const KeyHash hy = y.hash();
        HashMap<K, V> sub =
            hy == h ? internal::collision<K, V>(h, internal::pairOf(y), L<K, V>{k, v})
                    : internal::two<K, V>(nextShift(s), h, k, In<V>::cell(v), hy, Child<K, V>::copyOf(y));
        return internal::copyWithSub<K, V>(a, bit, std::move(sub));
      }
      if ((a.word & bit) != 0)
        return internal::copyWithSub<K, V>(
            a, bit, internal::insertNewKeyWalk<K, V>(h, k, v, nextShift(s), a.subAt(bit)));
      if (!recordable<K, V> || !internal::representable(v))
        return internal::copyWithSub<K, V>(a, bit, internal::leafNode<K, V>(h, k, v));
      return internal::copyWithRecord<K, V>(a, bit, h, k, internal::slotOfCell<V>(v));
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

// Replaces the pair of a key known to be present at position p (-1 for a `Leaf`): no key or
// hash comparison, every level rebuilt. The walk consumes the hash q five bits per level.
template <class K, class V>
HashMap<K, V> insertKeyExistsWalk(std::int64_t p, KeyHash h, KeyHash q, const K& k,
                                  const hs::Lazy<V>& v, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Branch<K, V>& a = internal::branchOf(t);
      const ChildBitmap bit = ChildBitmap{1} << (q & subkeyMask);
      if ((a.data & bit) != 0) {
        const KeyHash hy = a.recAt(bit).hash;
        if (!recordable<K, V> || !internal::representable(v))
          return internal::copyWithSub<K, V>(a, bit, internal::leafNode<K, V>(hy, k, v));
        return internal::copyWithRecord<K, V>(a, bit, hy, k, internal::slotOfCell<V>(v));
      }
      return internal::copyWithSub<K, V>(
          a, bit,
          internal::insertKeyExistsWalk<K, V>(p, h, q >> bitsPerSubkey, k, v, a.subAt(bit)));
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
  return internal::insertKeyExistsWalk<K, V>(p, h, h, k, v, m);
}

// ---- In-place inserts of the bulk builders -------------------------------------------------

// Adds (k, v) to a map that nobody but the caller can reach, changing branch nodes in place.
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
