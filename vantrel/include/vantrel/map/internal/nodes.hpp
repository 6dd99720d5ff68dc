// The trie: node kinds, the map handle, hash-path arithmetic, node builders and the helpers that
// search and rewrite the entry arrays of collision nodes.
#pragma once

#include <bit>
#include <cassert>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "hs/hashable.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/array.hpp"

namespace vantrel {

template <class K, class V>
class HashMap;

namespace internal {

// The one shared empty map; never counted, never freed. It is reached through a pointer defined
// in the library, so the optimiser never takes it for a node that a release could free.
extern Object* const emptyObject;

using KeyHash = std::uint64_t;
using ChildBitmap = std::uint64_t;
using LevelShift = std::int64_t;

inline constexpr std::int64_t bitsPerSubkey = 5;
inline constexpr std::int64_t maxChildren = 32;
inline constexpr std::uint64_t subkeyMask = 31;
inline constexpr std::uint64_t fullBitmap = 0xFFFFFFFFULL;

// A key and its value; the value is stored as given (possibly deferred).
template <class K, class V>
struct L {
  K key;
  hs::Lazy<V> value;
};

// A leaf either refers to a value cell of its own allocation or, when its value is evaluated and
// was nobody else's, shares one heap block with that cell (`inlineValue`): the cell first, the
// leaf after it. The record's handle points at the cell either way, so every reader is the same.
template <class K, class V>
struct LeafNode : Object {
  LeafNode(KeyHash h, L<K, V> p) : Object(Kind::Leaf, h), pair(std::move(p)) {}
  // The leaf of the block that starts with its value cell c; takes over c's one count.
  template <class KA>
  LeafNode(KeyHash h, KA&& k, hs::detail::Cell<V>* c)
      : Object(Kind::Leaf, h), pair{std::forward<KA>(k), hs::detail::adoptCell<V>(c)} {
    inlineValue = true;
  }
  // A leaf of its own allocation, its record made in place from the key and the cell, so that a
  // throwing key leaves the cell with its caller.
  template <class KA>
  LeafNode(KeyHash h, KA&& k, hs::Lazy<V>&& v)
      : Object(Kind::Leaf, h), pair{std::forward<KA>(k), std::move(v)} {}
  L<K, V> pair;
};

// The evaluated value cell at the start of a leaf's block. The block is freed when the cell's
// count drops to zero: after the leaf has died and every handle a caller took from it is gone
// (a looked-up value may outlive its map, also on another thread).
template <class V>
class InlineCell final : public hs::detail::Cell<V> {
 public:
  template <class... A>
  explicit InlineCell(std::in_place_t, A&&... a)
      : hs::detail::Cell<V>(std::in_place, false, std::forward<A>(a)...) {}
  ~InlineCell() override = default;

  // Reached through the virtual destructor when the count drops to zero: the cell is at the
  // start of its block, so this frees the block.
  static void operator delete(void* p) noexcept { ::operator delete(p); }
};

template <class K, class V>
struct InlineLeafLayout {
  // Over-aligned keys or values keep their leaves and cells apart.
  static constexpr bool fits = alignof(LeafNode<K, V>) <= alignof(std::max_align_t) &&
                               alignof(InlineCell<V>) <= alignof(std::max_align_t);
  static constexpr std::size_t leafAt = (sizeof(InlineCell<V>) + alignof(LeafNode<K, V>) - 1) /
                                        alignof(LeafNode<K, V>) * alignof(LeafNode<K, V>);
  static constexpr std::size_t bytes = leafAt + sizeof(LeafNode<K, V>);
};

template <class K, class V>
using Children = Block<HashMap<K, V>>;
template <class K, class V>
using Entries = Block<L<K, V>>;

struct Node;

}  // namespace internal

/// \addtogroup vantrel_map_lazy
/// @{

/// A persistent hash map: a handle to the root node of a hash array mapped trie. Copying a map
/// copies one pointer; every map is immutable and safe to share between threads.
/// Keys need a hash (hs::Hashable, or std::hash) and ==; a key's hash is computed once per
/// operation on it, and == runs only between keys of equal hash. Lookups, inserts and erases walk
/// one branch node per level: O(log n) expected. Values are stored as cells
/// (hs::Lazy<V>): the lazy interface keeps a deferred value deferred, the strict one evaluates it
/// before storing it. Range-for yields the records (members `key` and `value`, the stored cell) in
/// trie order.
template <class K, class V>
class HashMap {
 public:
  /// The key type.
  using key_type = K;
  /// The value type (stored as hs::Lazy<V> cells).
  using mapped_type = V;
  /// The record iteration yields: `key`, and `value` as the stored cell.
  using Record = internal::L<K, V>;

  /// The empty map; allocates nothing (every empty map shares one node).
  HashMap() noexcept : p_(internal::emptyObject) {}
  /// Shares o's nodes: one atomic count, no allocation.
  HashMap(const HashMap& o) noexcept : p_(o.p_) { retain(p_); }
  /// Takes o's nodes; o is left empty.
  HashMap(HashMap&& o) noexcept : p_(std::exchange(o.p_, internal::emptyObject)) {}
  /// Shares o's nodes, dropping this map's own.
  HashMap& operator=(const HashMap& o) noexcept {
    retain(o.p_);
    release(p_);
    p_ = o.p_;
    return *this;
  }
  /// Takes o's nodes, dropping this map's own; o is left empty.
  HashMap& operator=(HashMap&& o) noexcept {
    if (this != &o) {
      release(p_);
      p_ = std::exchange(o.p_, internal::emptyObject);
    }
    return *this;
  }
  /// Drops the handle; the last handle of a node frees it and, in turn, what only it held.
  ~HashMap() { release(p_); }

  /// The map of the pairs, a later pair replacing an earlier one of an equal key.
  /// As fromList: one hash per pair, built in place without copying a path per pair.
  HashMap(std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs);

  /// Whether the map has no entries; O(1).
  [[nodiscard]] bool empty() const noexcept { return p_->kind == internal::Kind::Empty; }
  /// The number of entries; O(n), walks every node, allocates nothing.
  [[nodiscard]] std::int64_t size() const noexcept;

  class iterator;
  /// The first record.
  iterator begin() const;
  /// Past the last record.
  iterator end() const;

 private:
  friend struct internal::Node;
  explicit HashMap(internal::Object* p) noexcept : p_(p) {}

  static void retain(internal::Object* p) noexcept {
    if (p->kind != internal::Kind::Empty) p->refs.fetch_add(1, std::memory_order_relaxed);
  }
  static void release(internal::Object* p) noexcept {
    if (p->kind != internal::Kind::Empty && p->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
      destroy(p);
  }
  static void destroy(internal::Object* p) noexcept {
    switch (p->kind) {
      case internal::Kind::Leaf: {
        auto* leaf = static_cast<internal::LeafNode<K, V>*>(p);
        if (!leaf->inlineValue) {
          delete leaf;
          break;
        }
        // The block goes with its cell, so the leaf is taken down before the cell's count.
        const hs::Lazy<V> cell = std::move(leaf->pair.value);
        leaf->~LeafNode();
        break;
      }
      case internal::Kind::BitmapIndexed:
      case internal::Kind::Full:
        internal::Children<K, V>::destroy(static_cast<internal::Children<K, V>*>(p));
        break;
      case internal::Kind::Collision:
        internal::Entries<K, V>::destroy(static_cast<internal::Entries<K, V>*>(p));
        break;
      default:
        break;
    }
  }

  internal::Object* p_;
};
/// @}

namespace internal {

// Node access for the library's own code.
struct Node {
  template <class K, class V>
  static Object* object(const HashMap<K, V>& m) noexcept {
    return m.p_;
  }
  // Takes over a node built elsewhere (its count already holds this reference).
  template <class K, class V>
  static HashMap<K, V> adopt(Object* p) noexcept {
    return HashMap<K, V>(p);
  }
};

template <class K, class V>
Kind kindOf(const HashMap<K, V>& m) noexcept {
  return Node::object(m)->kind;
}
// The stored hash of a `Leaf` or `Collision`, the bitmap of a `BitmapIndexed` (`Full`: all ones).
template <class K, class V>
std::uint64_t wordOf(const HashMap<K, V>& m) noexcept {
  return Node::object(m)->word;
}
template <class K, class V>
const L<K, V>& leafOf(const HashMap<K, V>& m) noexcept {
  return static_cast<const LeafNode<K, V>*>(Node::object(m))->pair;
}
template <class K, class V>
Children<K, V>& childrenOf(const HashMap<K, V>& m) noexcept {
  return *static_cast<Children<K, V>*>(Node::object(m));
}
template <class K, class V>
Entries<K, V>& entriesOf(const HashMap<K, V>& m) noexcept {
  return *static_cast<Entries<K, V>*>(Node::object(m));
}
template <class K, class V>
bool isLeafOrCollision(const HashMap<K, V>& m) noexcept {
  const Kind k = internal::kindOf(m);
  return k == Kind::Leaf || k == Kind::Collision;
}
template <class K, class V>
bool isInner(const HashMap<K, V>& m) noexcept {
  const Kind k = internal::kindOf(m);
  return k == Kind::BitmapIndexed || k == Kind::Full;
}

// ---- Identity ------------------------------------------------------------------------------

template <class K, class V>
bool ptrEq(const HashMap<K, V>& a, const HashMap<K, V>& b) noexcept {
  return Node::object(a) == Node::object(b);
}
using hs::ptrEq;

// Types whose hash and == are the library's own or the language's and have no effect a caller
// can see: for such keys a walk may make fewer calls of them than the documented sequence, with
// the same result. Shortcuts that take one subtree met on both sides as matching itself also need
// == to be reflexive (not so for floating point: not-a-number).
template <class T>
inline constexpr bool quietKey = std::is_arithmetic_v<T> || std::is_enum_v<T> ||
                                 std::is_pointer_v<T> || std::is_same_v<T, std::string>;
template <class T>
inline constexpr bool reflexiveEq = quietKey<T> && !std::is_floating_point_v<T>;

// ---- Hash-path arithmetic ------------------------------------------------------------------

// The key's hash as the trie uses it: the hashing library's hash, read as unsigned.
template <class K>
[[nodiscard]] KeyHash hash(const K& k) {
  return static_cast<KeyHash>(hs::hash(k));
}
constexpr std::int64_t index(KeyHash h, LevelShift s) noexcept {
  return static_cast<std::int64_t>((h >> s) & subkeyMask);
}
constexpr ChildBitmap mask(KeyHash h, LevelShift s) noexcept {
  return ChildBitmap{1} << index(h, s);
}
constexpr std::int64_t sparseIndex(ChildBitmap b, ChildBitmap m) noexcept {
  return std::popcount(b & (m - 1));
}
constexpr LevelShift nextShift(LevelShift s) noexcept { return s + bitsPerSubkey; }

// ---- Node builders -------------------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{

/// The empty map; O(1), allocates nothing.
template <class K, class V>
[[nodiscard]] const HashMap<K, V>& empty() noexcept {
  static const HashMap<K, V> e;
  return e;
}
// Whether x, of type X&&, is a value its caller hands over that can be given back by a move that
// cannot throw, should a later step fail after it was moved into a record.
/// @}
template <class V, class X>
inline constexpr bool givesBack = !std::is_lvalue_reference_v<X> && std::is_same_v<X, V> &&
                                  std::is_nothrow_move_assignable_v<V>;

// A leaf sharing its block with a new cell of the value made from x; if the key's copy throws,
// the cell and the block are freed, and a value handed over is given back first.
template <class K, class V, class KA, class X>
HashMap<K, V> inlineLeaf(KeyHash h, KA&& k, X&& x) {
  using Layout = InlineLeafLayout<K, V>;
  if constexpr (!Layout::fits) {
    // The cell's allocation comes before the value moves, so a failed one leaves x as it was.
    hs::Lazy<V> cell = [&] {
      if constexpr (std::is_same_v<std::remove_cvref_t<X>, V>)
        return hs::Lazy<V>(std::forward<X>(x));
      else
        return hs::toCell<V>(std::forward<X>(x));
    }();
    try {
      return Node::adopt<K, V>(new LeafNode<K, V>(h, std::forward<KA>(k), std::move(cell)));
    } catch (...) {
      if constexpr (givesBack<V, X>)
        if (V* moved = hs::detail::cellOf(cell)->soleValue()) x = std::move(*moved);
      throw;
    }
  } else {
    void* raw = ::operator new(Layout::bytes);
    InlineCell<V>* c = nullptr;
    try {
      c = ::new (raw) InlineCell<V>(std::in_place, std::forward<X>(x));
    } catch (...) {
      ::operator delete(raw);
      throw;
    }
    try {
      void* at = static_cast<std::byte*>(raw) + Layout::leafAt;
      return Node::adopt<K, V>(::new (at) LeafNode<K, V>(h, std::forward<KA>(k), c));
    } catch (...) {
      if constexpr (givesBack<V, X>) x = std::move(*c->soleValue());
      delete c;  // frees the block
      throw;
    }
  }
}
// The value of the cell v, when v alone holds it, it is evaluated and it can be moved without
// throwing: a leaf may then take the value into its own block and let the cell go. Nobody can
// tell the new cell from the old one, since nobody else ever saw the old one.
template <class K, class V>
V* movableValue(hs::Lazy<V>& v) noexcept {
  if constexpr (std::is_nothrow_move_constructible_v<V> && InlineLeafLayout<K, V>::fits)
    return hs::detail::cellOf(v)->soleValue();
  else
    return nullptr;
}

template <class K, class V>
HashMap<K, V> leafNode(KeyHash h, L<K, V> pair) {
  if (V* x = internal::movableValue<K, V>(pair.value))
    return internal::inlineLeaf<K, V>(h, std::move(pair.key), std::move(*x));
  return Node::adopt<K, V>(new LeafNode<K, V>(h, std::move(pair)));
}
template <class K, class V>
HashMap<K, V> leafNode(KeyHash h, const K& k, hs::Lazy<V> v) {
  if (V* x = internal::movableValue<K, V>(v))
    return internal::inlineLeaf<K, V>(h, k, std::move(*x));
  return internal::leafNode<K, V>(h, L<K, V>{k, std::move(v)});
}

// A value for a new record that no cell holds yet: a leaf keeps it in its own block, a collision
// entry gets a new cell. With `Move` it is moved from, once: a walk builds one record from it.
template <class V, bool Move>
struct FreshValue {
  std::conditional_t<Move, V&, const V&> value;
  decltype(auto) take() const noexcept {
    if constexpr (Move)
      return std::move(value);
    else
      return (value);
  }
};
template <class K, class V, bool Move>
HashMap<K, V> leafNode(KeyHash h, const K& k, FreshValue<V, Move> x) {
  return internal::inlineLeaf<K, V>(h, k, x.take());
}
// A leaf for a caller's function's result: a returned cell is kept as it is (its identity
// matters), a returned value goes straight into the leaf's block.
template <class K, class V, class R>
HashMap<K, V> resultLeaf(KeyHash h, const K& k, R&& r) {
  if constexpr (std::is_same_v<std::remove_cvref_t<R>, hs::Lazy<V>>)
    return internal::leafNode<K, V>(h, k, std::forward<R>(r));
  else
    return internal::inlineLeaf<K, V>(h, k, std::forward<R>(r));
}
// The cell a record stores for a new value: the caller's cell, or a new one for a plain value.
template <class V>
hs::Lazy<V> freshCell(const hs::Lazy<V>& v) noexcept {
  return v;
}
template <class V, bool Move>
hs::Lazy<V> freshCell(FreshValue<V, Move> x) {
  return hs::Lazy<V>(x.take());
}

// A leaf built before a walk from a value its caller hands over: every record the walk makes for
// the key is that leaf or refers to its cell, so when a later step fails, nothing but the leaf
// holds the value and it can be given back.
template <class K, class V>
struct FreshLeaf {
  const HashMap<K, V>& leaf;
};
template <class K, class V>
HashMap<K, V> leafNode(KeyHash, const K&, FreshLeaf<K, V> x) noexcept {
  return x.leaf;
}
template <class V, class K>
hs::Lazy<V> freshCell(FreshLeaf<K, V> x) noexcept {
  return internal::leafOf(x.leaf).value;
}
// A branch node over a finished child block: `Full` when the bitmap is full, else `BitmapIndexed`.
template <class K, class V>
HashMap<K, V> bitmapIndexedOrFull(ChildBitmap b, Children<K, V>* a) noexcept {
  a->kind = b == fullBitmap ? Kind::Full : Kind::BitmapIndexed;
  a->word = b == fullBitmap ? fullBitmap : b;
  return Node::adopt<K, V>(a);
}
template <class K, class V>
HashMap<K, V> bitmapIndexed(ChildBitmap b, Children<K, V>* a) noexcept {
  a->kind = Kind::BitmapIndexed;
  a->word = b;
  return Node::adopt<K, V>(a);
}
template <class K, class V>
HashMap<K, V> full(Children<K, V>* a) noexcept {
  a->kind = Kind::Full;
  a->word = fullBitmap;
  return Node::adopt<K, V>(a);
}
template <class K, class V>
HashMap<K, V> collisionNode(KeyHash h, Entries<K, V>* a) noexcept {
  a->kind = Kind::Collision;
  a->word = h;
  return Node::adopt<K, V>(a);
}

template <class K, class V>
using ChildBuilder = BlockBuilder<HashMap<K, V>>;
template <class K, class V>
using EntryBuilder = BlockBuilder<L<K, V>>;

template <class K, class V>
HashMap<K, V> oneChild(ChildBitmap b, HashMap<K, V> child) {
  ChildBuilder<K, V> a(Kind::BitmapIndexed, b, 1);
  a.emplace(std::move(child));
  return internal::bitmapIndexed<K, V>(b, a.finish());
}
// The smallest subtree that separates node t1 and node t2 of different hashes h1 and h2, both
// placed unchanged: one-child nodes for the levels where their chunks agree, above a two-child
// node at the first level where they differ, lower chunk first. Never `Full`.
template <class K, class V>
HashMap<K, V> joinDifferentHashes(LevelShift s, KeyHash h1, KeyHash h2, HashMap<K, V> t1,
                                  HashMap<K, V> t2) {
  assert(h1 != h2 && "two nodes of one hash cannot be separated");
  const ChildBitmap b1 = mask(h1, s), b2 = mask(h2, s);
  if (b1 == b2)
    return internal::oneChild<K, V>(b1, internal::joinDifferentHashes<K, V>(
                                            nextShift(s), h1, h2, std::move(t1), std::move(t2)));
  ChildBuilder<K, V> a(Kind::BitmapIndexed, b1 | b2, 2);
  if (b1 < b2) {
    a.emplace(std::move(t1));
    a.emplace(std::move(t2));
  } else {
    a.emplace(std::move(t2));
    a.emplace(std::move(t1));
  }
  return internal::bitmapIndexed<K, V>(b1 | b2, a.finish());
}
// A new leaf (h1, k1, x1) joined with the node t2 of another hash h2.
template <class K, class V, class X>
HashMap<K, V> two(LevelShift s, KeyHash h1, const K& k1, X&& x1, KeyHash h2, HashMap<K, V> t2) {
  assert(h1 != h2 && "two: equal hashes");
  return internal::joinDifferentHashes<K, V>(
      s, h1, h2, internal::leafNode<K, V>(h1, k1, std::forward<X>(x1)), std::move(t2));
}
template <class K, class V>
HashMap<K, V> collision(KeyHash h, L<K, V> e1, L<K, V> e2) {
  EntryBuilder<K, V> a(Kind::Collision, h, 2);
  a.emplace(std::move(e1));
  a.emplace(std::move(e2));
  return internal::collisionNode<K, V>(h, a.finish());
}
/// \addtogroup vantrel_map_lazy
/// @{

/// The one-entry map of k and the cell v (stored as it is, deferred or not). One hash of k;
/// allocates the entry.
template <class K, class V>
[[nodiscard]] HashMap<K, V> singleton(const K& k, std::type_identity_t<hs::Lazy<V>> v) {
  const KeyHash h = internal::hash(k);
  return internal::leafNode<K, V>(h, k, std::move(v));
}
/// The one-entry map of k and the value v in a new, evaluated cell (an rvalue is moved there). One
/// hash of k; allocates the entry with its value.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> singleton(const K& k, U&& v) {
  const KeyHash h = internal::hash(k);
  return internal::inlineLeaf<K, V>(h, k, std::forward<U>(v));
}

/// @}
// ---- Whole-map tests -----------------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{

/// Whether the map is empty; O(1).
template <class K, class V>
[[nodiscard]] bool null(const HashMap<K, V>& m) noexcept {
  return internal::kindOf(m) == Kind::Empty;
}
/// The number of entries; O(n), walks every node, allocates nothing.
template <class K, class V>
[[nodiscard]] std::int64_t size(const HashMap<K, V>& m) noexcept {
  switch (internal::kindOf(m)) {
    case Kind::Empty:
      return 0;
    case Kind::Leaf:
      return 1;
    case Kind::Collision:
      return internal::entriesOf(m).size();
    default: {
      std::int64_t n = 0;
      for (const HashMap<K, V>& c : internal::childrenOf(m)) n += internal::size(c);
      return n;
    }
  }
}

/// @}
// ---- Lookup results ------------------------------------------------------------------------

// A search result that also says where the key sits: -1 for a plain `Leaf`, else the entry's
// index in the `Collision` array.
template <class V>
class LookupRes {
 public:
  static LookupRes Absent() { return LookupRes(); }
  static LookupRes Present(hs::Lazy<V> v, std::int64_t position) {
    return LookupRes(std::move(v), position);
  }
  bool present() const noexcept { return value_.has_value(); }
  const hs::Lazy<V>& value() const { return *value_; }
  std::int64_t position() const noexcept { return position_; }

 private:
  LookupRes() = default;
  LookupRes(hs::Lazy<V> v, std::int64_t p) : value_(std::move(v)), position_(p) {}
  std::optional<hs::Lazy<V>> value_;
  std::int64_t position_ = 0;
};
template <class V>
std::optional<hs::Lazy<V>> lookupResToMaybe(const LookupRes<V>& r) {
  if (!r.present()) return std::nullopt;
  return r.value();
}

// ---- 32-slot child arrays ------------------------------------------------------------------

// A new `Full` node: a 32-slot copy of the array with slot i holding x.
template <class K, class V>
HashMap<K, V> update32(const Children<K, V>& a, std::int64_t i, HashMap<K, V> x) {
  assert(a.size() >= 32 && i >= 0 && i < 32);
  return internal::full<K, V>(internal::copyUpdate(Kind::Full, fullBitmap, a.slots(), 32,
                                                   static_cast<std::uint32_t>(i), std::move(x)));
}
template <class K, class V>
HashMap<K, V> update32M(const Children<K, V>& a, std::int64_t i, HashMap<K, V> x) {
  return internal::update32<K, V>(a, i, std::move(x));
}
template <class K, class V, class F>
HashMap<K, V> update32With_(const Children<K, V>& a, std::int64_t i, F&& f) {
  HashMap<K, V> x = std::forward<F>(f)(a[static_cast<std::size_t>(i)]);
  return internal::update32<K, V>(a, i, std::move(x));
}

// ---- Collision entry arrays ----------------------------------------------------------------

// The position of the first entry whose key equals k (k on the left of ==), or none.
template <class K, class V>
std::optional<std::int64_t> indexOf(const K& k, const Entries<K, V>& a) {
  for (std::uint32_t i = 0; i < a.size(); ++i)
    if (k == a[i].key) return static_cast<std::int64_t>(i);
  return std::nullopt;
}

// A new collision node of the same hash: the entry of an equal key replaced at its position by
// (k, f(k, v, stored value)) with the caller's key, or (k, v) appended last. f is called now and
// returns the cell to store.
template <class K, class V, class F>
HashMap<K, V> updateOrSnocWithKey(F&& f, const K& k, const hs::Lazy<V>& v, const Entries<K, V>& a) {
  const std::uint32_t n = a.size();
  for (std::uint32_t i = 0; i < n; ++i) {
    if (k == a[i].key) {
      hs::Lazy<V> r = f(k, v, a[i].value);
      return internal::collisionNode<K, V>(
          a.word,
          internal::copyUpdate(Kind::Collision, a.word, a.slots(), n, i, L<K, V>{k, std::move(r)}));
    }
  }
  return internal::collisionNode<K, V>(
      a.word, internal::copyInsert(Kind::Collision, a.word, a.slots(), n, n, L<K, V>{k, v}));
}

// The entry of an equal key with its value replaced by f(stored value), keyed by the caller's
// key; the collision node itself when the key is absent or (unless `Always`) f gives back the very
// stored cell.
template <bool Always, class K, class V, class F>
HashMap<K, V> updateWithCell(F&& f, const K& k, const HashMap<K, V>& node) {
  const Entries<K, V>& a = internal::entriesOf(node);
  const std::uint32_t n = a.size();
  for (std::uint32_t i = 0; i < n; ++i) {
    if (k == a[i].key) {
      hs::Lazy<V> r = f(a[i].value);
      if (!Always && hs::ptrEq(r, a[i].value)) return node;
      return internal::collisionNode<K, V>(
          a.word,
          internal::copyUpdate(Kind::Collision, a.word, a.slots(), n, i, L<K, V>{k, std::move(r)}));
    }
  }
  return node;
}
template <class K, class V, class F>
HashMap<K, V> updateWithU(F&& f, const K& k, const HashMap<K, V>& node) {
  return internal::updateWithCell<false, K, V>(std::forward<F>(f), k, node);
}

// Merges a2 into a1: a1's entries first (a key also in a2 keeps a1's key and gets
// f(a1 key, a1 value, a2 value)), then a2's new keys in a2's order, as the same records. Always a
// new node. Every a2 key is searched in a1 (a2 key on the left) before any value is combined.
template <class K, class V, class F>
HashMap<K, V> updateOrConcatWithKey(F&& f, const Entries<K, V>& a1, const Entries<K, V>& a2) {
  const std::uint32_t n1 = a1.size(), n2 = a2.size();
  std::vector<std::int64_t> where(n2);
  std::uint32_t fresh = 0;
  for (std::uint32_t i = 0; i < n2; ++i) {
    const std::optional<std::int64_t> j = internal::indexOf<K, V>(a2[i].key, a1);
    where[i] = j ? *j : -1;
    if (!j) ++fresh;
  }
  std::vector<std::optional<hs::Lazy<V>>> combined(n1);
  for (std::uint32_t i = 0; i < n2; ++i)
    if (where[i] >= 0) {
      const L<K, V>& e1 = a1[static_cast<std::size_t>(where[i])];
      combined[static_cast<std::size_t>(where[i])] = f(e1.key, e1.value, a2[i].value);
    }
  EntryBuilder<K, V> out(Kind::Collision, a1.word, n1 + fresh);
  for (std::uint32_t j = 0; j < n1; ++j) {
    if (combined[j])
      out.emplace(L<K, V>{a1[j].key, std::move(*combined[j])});
    else
      out.emplace(a1[j]);
  }
  for (std::uint32_t i = 0; i < n2; ++i)
    if (where[i] < 0) out.emplace(a2[i]);
  return internal::collisionNode<K, V>(a1.word, out.finish());
}

}  // namespace internal

template <class K, class V>
std::int64_t HashMap<K, V>::size() const noexcept {
  return internal::size(*this);
}

}  // namespace vantrel
