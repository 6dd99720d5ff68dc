// Equality and ordering of maps. Two valid maps with the same keys have the same shape; only the
// order of the records inside a collision node remembers the order of insertion, so every
// comparison here treats collision records as an unordered collection.
//
// Two walks: the structural one (`equal1`, `equalKeys`) takes both tries in step, bitmap by
// bitmap; the leaf-sequence one (`liftEq2`, `equalKeys1`, `cmp`) compares the maps' leaf and
// collision nodes position by position in trie order. They call the caller's functions in
// different patterns, and both stop at the first difference.
#pragma once

#include <array>
#include <cassert>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "hs/call.hpp"
#include "hs/internal/nest.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/list.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal {

// The program error of a leaf sequence holding a node other than a leaf or a collision.
[[noreturn]] void cmpNeverError();

// ---- The leaf sequence ---------------------------------------------------------------------

// The map's `Leaf` and `Collision` nodes themselves, in trie order, produced on demand: finding
// the first descends the leftmost path only, and a subtree is entered only when the consumer asks
// for the node after the ones before it. Allocation-free.
template <class K, class V>
class LeafSequence {
 public:
  explicit LeafSequence(const HashMap<K, V>& m) { settle(Ref<K, V>::of(m), true); }
  LeafSequence(const LeafSequence&) = delete;
  LeafSequence& operator=(const LeafSequence&) = delete;

  // The current leaf or collision, or none (null node and record) once the sequence has ended.
  const Ref<K, V>& head() const noexcept { return head_; }
  [[nodiscard]] bool done() const noexcept { return head_.node == nullptr && head_.rec == nullptr; }
  void advance() { settle(Ref<K, V>(), false); }

 private:
  struct Frame {
    const Branch<K, V>* b;
    std::uint32_t rest;  // chunks not visited yet
    std::uint32_t i, r, s;  // children, records and sub-nodes visited
  };

  // Visits subtree n (or, without one, the next sibling of the innermost open node) until a leaf
  // or collision is found or the sequence ends; empty subtrees contribute nothing.
  void settle(Ref<K, V> n, bool have) {
    for (;;) {
      if (have) {
        switch (n.kind()) {
          case Kind::Leaf:
          case Kind::Collision:
            head_ = n;
            return;
          case Kind::BitmapIndexed:
          case Kind::Full: {
            assert(depth_ < stack_.size() && "trie deeper than any valid trie");
            const Branch<K, V>& a = internal::branchOf(*n.node);
            stack_[depth_++] = Frame{&a, static_cast<std::uint32_t>(a.word), 0, 0, 0};
            have = false;
            continue;
          }
          default:
            have = false;
            continue;
        }
      }
      while (depth_ > 0) {
        Frame& f = stack_[depth_ - 1];
        if (f.i < f.b->size()) {
          // Beyond the bitmap (only in tries built invalid on purpose) a child is a sub-node.
          const std::uint32_t bit = f.rest & (~f.rest + 1);
          f.rest &= f.rest - 1;
          ++f.i;
          n = (f.b->data & bit) != 0 ? Ref<K, V>::record(f.b->recs()[f.r++], f.b->boxedAt(bit))
                                     : Ref<K, V>::of(f.b->subs()[f.s++]);
          have = true;
          break;
        }
        --depth_;
      }
      if (!have) {
        head_ = Ref<K, V>();
        return;
      }
    }
  }

  std::array<Frame, 16> stack_{};
  std::size_t depth_ = 0;
  Ref<K, V> head_;
};

template <class K, class V>
LeafSequence<K, V> leavesAndCollisions(const HashMap<K, V>& m) {
  return LeafSequence<K, V>(m);
}

namespace detail {

// The records of a collision node as a list for the order-independent list operations: pointers,
// so that no key or value is copied.
template <class K, class V>
std::vector<const L<K, V>*> recordList(const HashMap<K, V>& node) {
  const Entries<K, V>& a = internal::entriesOf(node);
  std::vector<const L<K, V>*> out;
  out.reserve(a.size());
  for (const L<K, V>& r : a) out.push_back(&r);
  return out;
}

// The key type's and the value type's own equality.
struct Equal {
  template <class A, class B>
  bool operator()(const A& a, const B& b) const {
    return a == b;
  }
};

// Marks a structural walk that ignores values.
struct NoValues {};

template <class EqV, class A, class B>
bool valuesEqual(EqV& eqv, const hs::Lazy<A>& a, const hs::Lazy<B>& b) {
  if constexpr (std::is_same_v<EqV, NoValues>)
    return true;
  else
    return hs::call(eqv, a, b);
}

// f(), the comparison of one pair of records: keys, and values unless the walk ignores them.
// Keys and values may nest maps of their own kind, so this is a recursive point of the stack
// helper for types that may.
template <class EqV, class K1, class V1, class K2, class V2, class F>
bool recordsCompared(F&& f) {
  if constexpr (std::is_same_v<EqV, NoValues>)
    return hs::internal::nestedCall<K1, K2>(std::forward<F>(f));
  else
    return hs::internal::nestedCall<K1, K2, V1, V2>(std::forward<F>(f));
}

// Two leaves: stored hash, key (left on the left), then value.
template <class EqK, class EqV, class K1, class V1, class K2, class V2>
bool leavesEqual(EqK& eqk, EqV& eqv, const Ref<K1, V1>& a, const Ref<K2, V2>& b) {
  if (a.hash() != b.hash()) return false;
  return detail::recordsCompared<EqV, K1, V1, K2, V2>([&]() -> bool {
    if (!hs::call(eqk, a.key(), b.key())) return false;
    if constexpr (std::is_same_v<EqV, NoValues>) {
      return true;
    } else {
      const LazyView<V1> x = a.view();
      const LazyView<V2> y = b.view();
      return hs::call(eqv, x.get(), y.get());
    }
  });
}

template <class EqV, class K, class V1, class V2>
bool equalWalk(EqV& eqv, const Ref<K, V1>& t1, const Ref<K, V2>& t2);

// Walks whose records of plain data are compared where they lie, as values: the key type's and
// the value type's own == where the walk would call them, with no call a caller can see.
template <class EqV, class K, class V1, class V2>
inline constexpr bool recordsInPlace = std::is_same_v<V1, V2> && plainRecords<K, V1> &&
                                       quietKey<K> &&
                                       (std::is_same_v<EqV, NoValues> || std::is_same_v<EqV, Equal>);
// Of those, records whose bytes are their value: keys (and values, where the walk compares them)
// whose == is their bytes' equality, and no padding in the record.
template <class EqV, class K, class V>
inline constexpr bool bytewiseRecords = [] {
  if constexpr (!bitwiseEq<K>)
    return false;
  else if constexpr (slotKind<V> == SlotKind::Unit)
    return sizeof(Rec<K, V>) == sizeof(KeyHash) + sizeof(K);
  else if constexpr (std::is_same_v<EqV, Equal> && slotKind<V> == SlotKind::Plain && bitwiseEq<V>)
    return sizeof(Slot<V>) == sizeof(V) &&
           sizeof(Rec<K, V>) == sizeof(KeyHash) + sizeof(K) + sizeof(V);
  else
    return false;
}();

// n records of plain data of both sides, in place (values only where no cell is boxed).
template <class EqV, class K, class V>
bool recordsEqual(const Rec<K, V>* ra, const Rec<K, V>* rb, std::uint32_t n) {
  if constexpr (bytewiseRecords<EqV, K, V>) {
    return std::memcmp(static_cast<const void*>(ra), static_cast<const void*>(rb),
                       n * sizeof(Rec<K, V>)) == 0;
  } else {
    for (std::uint32_t i = 0; i < n; ++i) {
      if (ra[i].hash != rb[i].hash || !(ra[i].key == rb[i].key)) return false;
      if constexpr (slotKind<V> == SlotKind::Plain && !std::is_same_v<EqV, NoValues>)
        if (!(ra[i].slot.value == rb[i].slot.value)) return false;
    }
    return true;
  }
}

// Two branches of one kind, child by child in chunk order.
template <class EqV, class K, class V1, class V2>
bool childrenEqual(EqV& eqv, const Branch<K, V1>& a, const Branch<K, V2>& b) {
  if (a.word != b.word || a.size() != b.size()) return false;
  for (std::uint32_t rest = static_cast<std::uint32_t>(a.word); rest != 0; rest &= rest - 1) {
    const ChildBitmap bit = rest & (~rest + 1);
    if (!detail::equalWalk(eqv, internal::childAt(a, bit), internal::childAt(b, bit)))
      return false;
  }
  return true;
}

// Asks for the first lines of a node's block: its header and, in the small blocks of the lower
// levels, its records.
template <class K, class V>
void prefetchNode(const HashMap<K, V>& m) noexcept {
  const char* p = reinterpret_cast<const char*>(Node::object(m));
  __builtin_prefetch(p);
  __builtin_prefetch(p + 64);
  __builtin_prefetch(p + 128);
}

// Two branches of one kind whose records are compared in place (recordsInPlace): where both hold
// their records in the same chunks and (when values count) no boxed cell, the records first, then
// the sub-nodes in order; else child by child.
template <class EqV, class K, class V>
bool branchesEqual(EqV& eqv, const Branch<K, V>& a, const Branch<K, V>& b) {
  constexpr bool values = !std::is_same_v<EqV, NoValues>;
  if (a.data != b.data || (values && (a.boxed() | b.boxed()) != 0))
    return detail::childrenEqual(eqv, a, b);
  if (a.word != b.word || a.nsub() != b.nsub()) return false;
  const HashMap<K, V>* sa = a.subs();
  const HashMap<K, V>* sb = b.subs();
  const std::uint32_t n = a.nsub();
  // The walk waits on reaching each sub-node: the first few of both sides are asked for at once,
  // and one more pair at each step.
  constexpr std::uint32_t ahead = 4;
  for (std::uint32_t i = 0; i < n && i < ahead; ++i) {
    detail::prefetchNode(sa[i]);
    detail::prefetchNode(sb[i]);
  }
  if (!detail::recordsEqual<EqV>(a.recs(), b.recs(), a.nrec())) return false;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i + ahead < n) {
      detail::prefetchNode(sa[i + ahead]);
      detail::prefetchNode(sb[i + ahead]);
    }
    if constexpr (std::is_same_v<EqV, NoValues> && reflexiveEq<K>)
      if (internal::ptrEq(sa[i], sb[i])) continue;
    const Kind k = internal::kindOf(sa[i]);
    if ((k == Kind::BitmapIndexed || k == Kind::Full) && internal::kindOf(sb[i]) == k) {
      if (!detail::branchesEqual(eqv, internal::branchOf(sa[i]), internal::branchOf(sb[i])))
        return false;
    } else if (!detail::equalWalk(eqv, Ref<K, V>::of(sa[i]), Ref<K, V>::of(sb[i]))) {
      return false;
    }
  }
  return true;
}

template <class EqV, class K, class V1, class V2>
bool equalWalk(EqV& eqv, const Ref<K, V1>& t1, const Ref<K, V2>& t2) {
  // One subtree on both sides, keys alone, quiet keys: equal without a comparison. (Values are
  // always compared: comparing forces them, which a caller can see.)
  if constexpr (std::is_same_v<EqV, NoValues> && std::is_same_v<V1, V2> && reflexiveEq<K>)
    if (t1.node != nullptr && t2.node != nullptr && internal::ptrEq(*t1.node, *t2.node)) return true;
  const Kind k1 = t1.kind(), k2 = t2.kind();
  switch (k1) {
    case Kind::Empty:
      return k2 == Kind::Empty;
    case Kind::BitmapIndexed:
    case Kind::Full: {
      if (k2 != k1) return false;
      const Branch<K, V1>& a = internal::branchOf(*t1.node);
      const Branch<K, V2>& b = internal::branchOf(*t2.node);
      if constexpr (recordsInPlace<EqV, K, V1, V2>)
        return detail::branchesEqual(eqv, a, b);
      else
        return detail::childrenEqual(eqv, a, b);
    }
    case Kind::Leaf: {
      if (k2 != Kind::Leaf) return false;
      Equal eqk;
      return detail::leavesEqual(eqk, eqv, t1, t2);
    }
    case Kind::Collision: {
      if (k2 != Kind::Collision || t1.hash() != t2.hash()) return false;
      // No length test of its own: the permutation test fails lists of different lengths.
      return list::isPermutationBy(
          [&eqv](const L<K, V1>* a, const L<K, V2>* b) {
            return detail::recordsCompared<EqV, K, V1, K, V2>([&] {
              return a->key == b->key && detail::valuesEqual(eqv, a->value, b->value);
            });
          },
          detail::recordList(*t1.node), detail::recordList(*t2.node));
    }
    default:
      return false;
  }
}

template <class EqK, class EqV, class K1, class V1, class K2, class V2>
bool sequenceEqual(EqK& eqk, EqV& eqv, const HashMap<K1, V1>& t1, const HashMap<K2, V2>& t2) {
  LeafSequence<K1, V1> as(t1);
  LeafSequence<K2, V2> bs(t2);
  for (;;) {
    if (as.done() || bs.done()) return as.done() && bs.done();
    const Ref<K1, V1>& a = as.head();
    const Ref<K2, V2>& b = bs.head();
    const Kind ka = a.kind(), kb = b.kind();
    if (ka == Kind::Leaf && kb == Kind::Leaf) {
      if (!detail::leavesEqual(eqk, eqv, a, b)) return false;
    } else if (ka == Kind::Collision && kb == Kind::Collision) {
      if (a.hash() != b.hash() ||
          internal::entriesOf(*a.node).size() != internal::entriesOf(*b.node).size())
        return false;
      const bool same = list::isPermutationBy(
          [&](const L<K1, V1>* x, const L<K2, V2>* y) {
            return detail::recordsCompared<EqV, K1, V1, K2, V2>([&] {
              return hs::call(eqk, x->key, y->key) && detail::valuesEqual(eqv, x->value, y->value);
            });
          },
          detail::recordList(*a.node), detail::recordList(*b.node));
      if (!same) return false;
    } else {
      return false;
    }
    as.advance();
    bs.advance();
  }
}

// The record comparison: keys, then values when the keys compare EQ; a recursive point of the
// stack helper for types that may nest.
template <class CK, class CV, class K1, class V1, class K2, class V2>
hs::Ordering compareRecords(CK& cmpk, CV& cmpv, const L<K1, V1>& a, const L<K2, V2>& b) {
  return hs::internal::nestedCall<K1, K2, V1, V2>([&] {
    const hs::Ordering o = hs::call(cmpk, a.key, b.key);
    if (o != hs::EQ) return o;
    return hs::call(cmpv, a.value, b.value);
  });
}

inline hs::Ordering compareWords(std::uint64_t a, std::uint64_t b) noexcept {
  return a < b ? hs::LT : (a > b ? hs::GT : hs::EQ);
}

// The key type's and the value type's own comparison and equality.
struct Compare {
  template <class A>
  hs::Ordering operator()(const A& a, const A& b) const {
    return hs::compare(a, b);
  }
};

}  // namespace detail

// ---- Structural equality -------------------------------------------------------------------

// Both tries in step, with the key type's == (left map's key on the left) and eq(left value,
// right value); collision records match regardless of their order.
template <class EqV, class K, class V1, class V2>
bool equal1(EqV&& eq, const HashMap<K, V1>& t1, const HashMap<K, V2>& t2) {
  return detail::equalWalk(eq, Ref<K, V1>::of(t1), Ref<K, V2>::of(t2));
}
// The same walk over keys alone; values are never touched.
template <class K, class V1, class V2>
bool equalKeys(const HashMap<K, V1>& t1, const HashMap<K, V2>& t2) {
  detail::NoValues none;
  return detail::equalWalk(none, Ref<K, V1>::of(t1), Ref<K, V2>::of(t2));
}
/// \addtogroup vantrel_map_lazy
/// @{
/// \name Comparison and hashing
/// @{

/// Whether t1 and t2 have the same keys (the key type's ==) and eq(t1's value, t2's value) holds
/// for each key; eq receives forced values, or the cells under hs::onCells. Walks both maps in
/// step, O(n), stopping at the first difference; allocates only for the records of a collision of
/// keys of one hash.
template <class EqV, class K, class V1, class V2>
[[nodiscard]] bool liftEq(EqV&& eq, const HashMap<K, V1>& t1, const HashMap<K, V2>& t2) {
  return internal::equal1(eq, t1, t2);
}
/// @}
/// @}

// ---- Equality of the leaf sequences ----------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Comparison and hashing
/// @{

/// The two leaf sequences position by position: a leaf against a leaf by stored hash, eqk, eqv; a
/// collision against a collision by stored hash, record count, then the records in any order. eqk
/// and eqv receive keys and forced values (cells under hs::onCells). O(n), stopping at the first
/// difference; allocates only for collision records.
template <class EqK, class EqV, class K1, class V1, class K2, class V2>
[[nodiscard]] bool liftEq2(EqK&& eqk, EqV&& eqv, const HashMap<K1, V1>& t1, const HashMap<K2, V2>& t2) {
  return detail::sequenceEqual(eqk, eqv, t1, t2);
}
/// @}
/// @}
template <class EqK, class K1, class V1, class K2, class V2>
bool equalKeys1(EqK&& eqk, const HashMap<K1, V1>& t1, const HashMap<K2, V2>& t2) {
  detail::NoValues none;
  return detail::sequenceEqual(eqk, none, t1, t2);
}

// ---- Ordering --------------------------------------------------------------------------------

// One position of the two leaf sequences: the ordering it decides, or EQ to go on.
template <class CK, class CV, class K1, class V1, class K2, class V2>
hs::Ordering cmpHeads(CK& cmpk, CV& cmpv, const Ref<K1, V1>& a, const Ref<K2, V2>& b) {
  const Kind ka = a.kind(), kb = b.kind();
  const bool aLeafLike = ka == Kind::Leaf || ka == Kind::Collision;
  const bool bLeafLike = kb == Kind::Leaf || kb == Kind::Collision;
  if (!aLeafLike || !bLeafLike) cmpNeverError();
  if (ka == Kind::Leaf && kb == Kind::Collision) return hs::LT;
  if (ka == Kind::Collision && kb == Kind::Leaf) return hs::GT;
  if (const hs::Ordering o = detail::compareWords(a.hash(), b.hash()); o != hs::EQ) return o;
  if (ka == Kind::Leaf) {
    return hs::internal::nestedCall<K1, K2, V1, V2>([&] {
      const hs::Ordering o = hs::call(cmpk, a.key(), b.key());
      if (o != hs::EQ) return o;
      const LazyView<V1> x = a.view();
      const LazyView<V2> y = b.view();
      return hs::call(cmpv, x.get(), y.get());
    });
  }
  const std::uint32_t na = internal::entriesOf(*a.node).size(), nb = internal::entriesOf(*b.node).size();
  if (na != nb) return na < nb ? hs::LT : hs::GT;
  return list::unorderedCompare(
      [&](const L<K1, V1>* x, const L<K2, V2>* y) {
        return detail::compareRecords(cmpk, cmpv, *x, *y);
      },
      detail::recordList(*a.node), detail::recordList(*b.node));
}

// The maps ordered by their leaf sequences, first difference deciding: stored hashes unsigned, a
// leaf before a collision, collisions by record count and then their records in any order.
template <class CK, class CV, class K1, class V1, class K2, class V2>
hs::Ordering cmp(CK&& cmpk, CV&& cmpv, const HashMap<K1, V1>& t1, const HashMap<K2, V2>& t2) {
  LeafSequence<K1, V1> as(t1);
  LeafSequence<K2, V2> bs(t2);
  for (;;) {
    if (as.done()) return bs.done() ? hs::EQ : hs::LT;
    if (bs.done()) return hs::GT;
    if (const hs::Ordering o = internal::cmpHeads(cmpk, cmpv, as.head(), bs.head()); o != hs::EQ)
      return o;
    as.advance();
    bs.advance();
  }
}

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Comparison and hashing
/// @{

/// The maps ordered by their leaf sequences, first difference deciding: stored hashes unsigned, a
/// leaf before a collision, collisions by record count and then their records in any order; keys by
/// their own comparison and values by cmpv, which receives forced values (cells under hs::onCells).
/// O(n), stopping at the first difference; allocates only for collision records.
template <class CV, class K, class V1, class V2>
[[nodiscard]] hs::Ordering liftCompare(CV&& cmpv, const HashMap<K, V1>& t1, const HashMap<K, V2>& t2) {
  return internal::cmp(detail::Compare{}, cmpv, t1, t2);
}
/// As liftCompare, with keys compared by cmpk (keys and values both as they come to cmpv).
template <class CK, class CV, class K1, class V1, class K2, class V2>
[[nodiscard]] hs::Ordering liftCompare2(CK&& cmpk, CV&& cmpv, const HashMap<K1, V1>& t1,
                          const HashMap<K2, V2>& t2) {
  return internal::cmp(cmpk, cmpv, t1, t2);
}
/// @}
/// @}

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Comparison and hashing
/// @{

/// The ordering of x and y: liftCompare with the value type's own comparison (forcing the values it
/// reaches). The operators <, <=, >, >= and <=> are this walk too.
template <class K, class V>
[[nodiscard]] hs::Ordering compare(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  return internal::cmp(detail::Compare{}, detail::Compare{}, x, y);
}
/// x when it is the greater, else y (so y on a tie).
/// One comparison (see compare); gives back the argument's handle itself.
template <class K, class V>
[[nodiscard]] HashMap<K, V> max(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  return internal::compare(x, y) == hs::GT ? x : y;
}
/// y when x is the greater, else x (so x on a tie).
/// One comparison (see compare); gives back the argument's handle itself.
template <class K, class V>
[[nodiscard]] HashMap<K, V> min(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  return internal::compare(x, y) == hs::GT ? y : x;
}
/// @}
/// @}

// The record equality: keys, and only when they are equal, values.
template <class K, class V>
bool operator==(const L<K, V>& a, const L<K, V>& b) {
  return hs::internal::nestedCall<K, V>(
      [&] { return a.key == b.key && a.value.force() == b.value.force(); });
}

}  // namespace vantrel::internal

namespace vantrel {

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Operators on maps
/// @{

/// Equality: the same keys and, for each key, equal values (the value type's ==, forcing the values
/// it reaches). Walks both maps in step, O(n), stopping at the first difference.
template <class K, class V>
bool operator==(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  return internal::equal1(internal::detail::Equal{}, x, y);
}
/// compare(x, y) as a std::weak_ordering.
template <class K, class V>
std::weak_ordering operator<=>(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  const hs::Ordering o = internal::compare(x, y);
  return o == hs::LT ? std::weak_ordering::less
                     : (o == hs::GT ? std::weak_ordering::greater : std::weak_ordering::equivalent);
}
/// Whether x orders before y (compare); the comparisons see y's keys and values first.
template <class K, class V>
bool operator<(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  return internal::compare(y, x) == hs::GT;
}
/// Whether x orders before or equal to y (compare).
template <class K, class V>
bool operator<=(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  return internal::compare(x, y) != hs::GT;
}
/// Whether x orders after y (compare).
template <class K, class V>
bool operator>(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  return internal::compare(x, y) == hs::GT;
}
/// Whether x orders after or equal to y (compare); the comparisons see y's keys and values first.
template <class K, class V>
bool operator>=(const HashMap<K, V>& x, const HashMap<K, V>& y) {
  return internal::compare(y, x) != hs::GT;
}
/// @}
/// @}

}  // namespace vantrel
