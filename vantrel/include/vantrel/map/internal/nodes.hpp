// The trie: node kinds, the map handle, the branch node layout (records and sub-nodes in one
// block), hash-path arithmetic, node builders and the helpers that search and rewrite the entry
// arrays of collision nodes.
#pragma once

#include <bit>
#include <cassert>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/call.hpp"
#include "hs/hashable.hpp"
#include "hs/internal/count.hpp"
#include "hs/lazy.hpp"
#include "hs/unit.hpp"
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

// A key and its value handle (a value held in the handle, or a cell, possibly deferred): the
// entries of collision nodes and the pair of a leaf node.
template <class K, class V>
struct L {
  K key;
  hs::Lazy<V> value;
};

// A `Leaf` that is a node of its own: the root of a map of one entry, or (inside a branch, in its
// sub-node run) a leaf whose pair cannot be a record (see `recordable`).
template <class K, class V>
struct LeafNode : Object {
  // The pair made in place from the key and the handle, so that a throwing key leaves the handle
  // with its caller.
  template <class KA>
  LeafNode(KeyHash h, KA&& k, hs::Lazy<V>&& v)
      : Object(Kind::Leaf, h), pair{std::forward<KA>(k), std::move(v)} {}
  L<K, V> pair;
};

// ---- Records: the leaves that live in their branch node --------------------------------------

// How a record keeps its value. A set's (unit) records keep nothing: the value is the one shared
// unit cell. Numbers, enumerations and pointers keep the value itself, or, when it has a cell that
// must stay (deferred, or a caller's), a counted pointer to that cell; the branch node marks which
// (its `boxed` bitmap). Other values keep a handle to their cell.
enum class SlotKind : std::uint8_t { Unit, Plain, Cell };
template <class V>
inline constexpr SlotKind slotKind = std::is_same_v<V, hs::Unit>     ? SlotKind::Unit
                                     : hs::detail::unboxable<V> ? SlotKind::Plain
                                                                     : SlotKind::Cell;

template <class V, SlotKind = slotKind<V>>
struct Slot {};
template <class V>
struct Slot<V, SlotKind::Plain> {
  Slot() noexcept : cell(nullptr) {}
  union {
    V value;
    hs::detail::Cell<V>* cell;
  };
};
template <class V>
struct Slot<V, SlotKind::Cell> {
  hs::Lazy<V> value;
};

// A leaf as a record of its parent branch: the stored hash, the key and the value slot.
template <class K, class V>
struct Rec {
  KeyHash hash;
  K key;
  [[no_unique_address]] Slot<V> slot;
};

// Whether the leaves of these types live as records in their parents (else every leaf is a node
// of its own): records of at most the default alignment and of a size that keeps a branch node
// addressable by its 16-bit record offset.
template <class K, class V>
inline constexpr bool recordable =
    alignof(Rec<K, V>) <= alignof(std::max_align_t) && sizeof(Rec<K, V>) <= 1024;

// Records of plain data: copied, moved and shifted as their bytes; only boxed cells are counted.
template <class K, class V>
inline constexpr bool plainRecords = std::is_trivially_copyable_v<K> && slotKind<V> != SlotKind::Cell;

// A record's value slot, with the count of a boxed cell, before it is placed into a record.
template <class V>
class OwnedSlot {
 public:
  OwnedSlot() noexcept
    requires(slotKind<V> != SlotKind::Cell)
  = default;
  explicit OwnedSlot(hs::Lazy<V> v) noexcept
    requires(slotKind<V> == SlotKind::Cell)
      : s{std::move(v)} {}
  OwnedSlot(OwnedSlot&& o) noexcept : s(std::move(o.s)), boxed(std::exchange(o.boxed, false)) {}
  OwnedSlot& operator=(OwnedSlot&& o) noexcept {
    if (this != &o) {
      drop();
      s = std::move(o.s);
      boxed = std::exchange(o.boxed, false);
    }
    return *this;
  }
  ~OwnedSlot() { drop(); }

  // The slot's contents leave with the record: the count goes with them.
  Slot<V> take() noexcept {
    boxed = false;
    return std::move(s);
  }

  Slot<V> s;
  bool boxed = false;

 private:
// g++ 12 takes the slot of a child's disengaged optional record for one being dropped.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
  void drop() noexcept {
    if constexpr (slotKind<V> == SlotKind::Plain)
      if (boxed) hs::detail::release(s.cell);
  }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
};

// Whether a record can keep this handle: a unit record keeps only the shared unit cell.
template <class V>
bool representable(const hs::Lazy<V>& v) noexcept {
  if constexpr (slotKind<V> == SlotKind::Unit)
    return hs::ptrEq(v, hs::unitCell());
  else
    return true;
}

// The slot of a plain value (a value has no identity to keep).
template <class V, class X>
OwnedSlot<V> slotOfValue(X&& x) {
  if constexpr (slotKind<V> == SlotKind::Unit) {
    return OwnedSlot<V>();
  } else if constexpr (slotKind<V> == SlotKind::Plain) {
    OwnedSlot<V> o;
    o.s.value = V(std::forward<X>(x));
    return o;
  } else {
    return OwnedSlot<V>(hs::Lazy<V>(V(std::forward<X>(x))));
  }
}
// The slot of a handle someone else holds too: a value held in the handle is copied, a cell is
// kept (its identity may matter). Unit records need the shared unit cell (see representable).
template <class V>
OwnedSlot<V> slotOfCell(const hs::Lazy<V>& v) noexcept {
  if constexpr (slotKind<V> == SlotKind::Unit) {
    return OwnedSlot<V>();
  } else if constexpr (slotKind<V> == SlotKind::Plain) {
    OwnedSlot<V> o;
    if (v.isUnboxed()) {
      o.s.value = v.force();
    } else {
      o.s.cell = hs::detail::cellOf(v);
      hs::detail::retain(o.s.cell);
      o.boxed = true;
    }
    return o;
  } else {
    return OwnedSlot<V>(v);
  }
}
// The slot of a handle nobody else holds: an evaluated cell held by this handle alone gives its
// value up, since nobody else ever saw the cell.
template <class V>
OwnedSlot<V> slotOfOwned(hs::Lazy<V>&& v) noexcept {
  if constexpr (slotKind<V> == SlotKind::Plain) {
    if (!v.isUnboxed())
      if (V* x = hs::detail::cellOf(v)->soleValue()) return internal::slotOfValue<V>(*x);
    return internal::slotOfCell<V>(v);
  } else if constexpr (slotKind<V> == SlotKind::Cell) {
    return OwnedSlot<V>(std::move(v));
  } else {
    return OwnedSlot<V>();
  }
}

// A record in place: the value by any road, and the handle that gives it.
template <class K, class V>
const V& recordValue(const Rec<K, V>& r, bool boxed) {
  if constexpr (slotKind<V> == SlotKind::Unit) {
    (void)r;
    (void)boxed;
    return hs::unitCell().force();
  } else if constexpr (slotKind<V> == SlotKind::Plain) {
    if (boxed) return r.slot.cell->get();
    return r.slot.value;
  } else {
    (void)boxed;
    return r.slot.value.force();
  }
}
template <class K, class V>
hs::Lazy<V> recordHandle(const Rec<K, V>& r, bool boxed) noexcept {
  if constexpr (slotKind<V> == SlotKind::Unit) {
    (void)r;
    (void)boxed;
    return hs::unitCell();
  } else if constexpr (slotKind<V> == SlotKind::Plain) {
    if (!boxed) return hs::Lazy<V>::unboxed(r.slot.value);
    hs::detail::retain(r.slot.cell);
    return hs::detail::adoptCell<V>(r.slot.cell);
  } else {
    (void)boxed;
    return r.slot.value;
  }
}
// Whether the record holds the very cell v.
template <class K, class V>
bool recordHolds(const Rec<K, V>& r, bool boxed, const hs::Lazy<V>& v) noexcept {
  if constexpr (slotKind<V> == SlotKind::Unit) {
    (void)r;
    (void)boxed;
    return hs::ptrEq(v, hs::unitCell());
  } else if constexpr (slotKind<V> == SlotKind::Plain) {
    return boxed && static_cast<const void*>(r.slot.cell) == v.identity();
  } else {
    (void)boxed;
    return hs::ptrEq(r.slot.value, v);
  }
}
template <class K, class V>
OwnedSlot<V> recordSlotCopy(const Rec<K, V>& r, bool boxed) noexcept {
  if constexpr (slotKind<V> == SlotKind::Unit) {
    (void)r;
    (void)boxed;
    return OwnedSlot<V>();
  } else if constexpr (slotKind<V> == SlotKind::Plain) {
    OwnedSlot<V> o;
    o.s = r.slot;
    o.boxed = boxed;
    if (boxed) hs::detail::retain(o.s.cell);
    return o;
  } else {
    (void)boxed;
    return OwnedSlot<V>(r.slot.value);
  }
}

// A record's value as a handle without a count of its own, valid while the record lives: what a
// caller's function on cells is handed.
template <class V>
class LazyView {
 public:
  LazyView() noexcept = default;
  explicit LazyView(const hs::Lazy<V>& l) noexcept : p_(&l) {}
  LazyView(const Slot<V>& s, bool boxed) noexcept { reset(s, boxed); }
  LazyView(const LazyView& o) noexcept : p_(o.p_) { std::memcpy(buf_, o.buf_, sizeof(buf_)); }
  LazyView& operator=(const LazyView& o) noexcept {
    p_ = o.p_;
    std::memcpy(buf_, o.buf_, sizeof(buf_));
    return *this;
  }

  const hs::Lazy<V>& get() const noexcept {
    if constexpr (slotKind<V> == SlotKind::Plain)
      if (p_ == nullptr) return *std::launder(reinterpret_cast<const hs::Lazy<V>*>(buf_));
    return *p_;
  }

  // The view of another handle or slot, made where the view stands (an iterator moving on builds
  // no view to copy).
  void reset(const hs::Lazy<V>& l) noexcept { p_ = &l; }
  void reset(const Slot<V>& s, bool boxed) noexcept {
    if constexpr (slotKind<V> == SlotKind::Unit) {
      (void)s;
      (void)boxed;
      p_ = &hs::unitCell();
    } else if constexpr (slotKind<V> == SlotKind::Plain) {
      p_ = nullptr;
      // Never destroyed: the borrowed cell's count is not this handle's.
      if (boxed)
        ::new (static_cast<void*>(buf_)) hs::Lazy<V>(hs::detail::adoptCell<V>(s.cell));
      else
        ::new (static_cast<void*>(buf_)) hs::Lazy<V>(hs::Lazy<V>::unboxed(s.value));
    } else {
      (void)boxed;
      p_ = &s.value;
    }
  }

 private:
  const hs::Lazy<V>* p_ = nullptr;
  alignas(hs::Lazy<V>) unsigned char buf_[slotKind<V> == SlotKind::Plain ? sizeof(hs::Lazy<V>) : 1] = {};
};

/// \addtogroup vantrel_map_lazy
/// @{

/// A pair as the library's folds, traversals and iteration hand it over: the key, and the value as
/// a handle. Valid while the pair's node lives (an iterator's pair, until the iterator moves on).
template <class K, class V>
struct Entry {
  const K& key;              ///< The stored key.
  const hs::Lazy<V>& value;  ///< The stored value's handle; `*value` forces it.
};
/// @}

// ---- Branch nodes ------------------------------------------------------------------------------
//
// A `BitmapIndexed` or `Full` node is one block: a 20-byte header (count, kind, sub-node count,
// record offset, the logical bitmap `word`, the record bitmap `data`), one tag byte per record in
// chunk order (see recordTag) up to the next word, the sub-node handles from there in chunk
// order, free room, and the records packed at the end of the block in chunk order. A chunk of
// `data` holds a record (that chunk's `Leaf`); the other chunks of `word` hold sub-nodes
// (`Collision` nodes, deeper branches and leaves that cannot be records). A lookup finds its
// chunk's tag beside the header, so a key that is not there costs the header's line and not the
// record's. Adding a sub-node takes room from the front of the free space, adding a record from
// its back (and a word from the front when its tag needs one), so a node owned by one walk grows
// without moving its record run.

// The byte of a record's hash that its branch keeps beside the header. Every bit of the hash goes
// into it: the records of one node share their low bits (their path) up to their chunk.
constexpr std::uint8_t recordTag(KeyHash h) noexcept {
  return static_cast<std::uint8_t>((h * 0xFF51AFD7ED558CCDULL) >> 56);
}

struct BranchHead : Object {
  BranchHead(Kind k, std::uint64_t w) noexcept : Object(k, w) {}
  std::uint32_t data = 0;
  // The first four record tags; the others follow (see Branch).
  std::uint8_t firstTags[4] = {};
};
static_assert(sizeof(BranchHead) == 24);

template <class K, class V>
struct Branch : BranchHead {
  using Map = HashMap<K, V>;
  using R = Rec<K, V>;
  static constexpr std::size_t tagsAt = sizeof(BranchHead) - sizeof(firstTags);
  static constexpr std::size_t recSize = sizeof(R);
  static constexpr std::size_t recAlign = alignof(R) < alignof(void*) ? alignof(void*) : alignof(R);
  // A record of a plain value holds a counted cell instead where its tag's top bit says so; the
  // other seven bits are the hash's. Other records are never boxed: their tags are eight bits.
  static constexpr std::uint8_t boxedFlag = slotKind<V> == SlotKind::Plain ? 0x80 : 0;
  static constexpr std::uint8_t tagMask = static_cast<std::uint8_t>(~boxedFlag);
  static constexpr std::uint8_t tagOf(KeyHash h) noexcept { return internal::recordTag(h) & tagMask; }
  // The stored tag byte of a record.
  static constexpr std::uint8_t tagByte(KeyHash h, bool boxed) noexcept {
    return static_cast<std::uint8_t>(tagOf(h) | (boxed ? boxedFlag : 0));
  }
  // Where the sub-node run starts in a branch of n records: the word after their tags (the bytes
  // between are zero).
  static constexpr std::size_t subsFor(std::uint32_t n) noexcept {
    return (tagsAt + n + sizeof(Map) - 1) / sizeof(Map) * sizeof(Map);
  }

  std::uint8_t* tags() noexcept { return reinterpret_cast<std::uint8_t*>(this) + tagsAt; }
  const std::uint8_t* tags() const noexcept {
    return reinterpret_cast<const std::uint8_t*>(this) + tagsAt;
  }
  [[nodiscard]] std::size_t subsAt() const noexcept { return subsFor(nrec()); }
  Map* subs() noexcept {
    return std::launder(reinterpret_cast<Map*>(reinterpret_cast<std::byte*>(this) + subsAt()));
  }
  const Map* subs() const noexcept {
    return std::launder(
        reinterpret_cast<const Map*>(reinterpret_cast<const std::byte*>(this) + subsAt()));
  }
  R* recs() noexcept {
    return std::launder(reinterpret_cast<R*>(reinterpret_cast<std::byte*>(this) + offset));
  }
  const R* recs() const noexcept {
    return std::launder(
        reinterpret_cast<const R*>(reinterpret_cast<const std::byte*>(this) + offset));
  }
  [[nodiscard]] std::uint32_t nsub() const noexcept { return small; }
  [[nodiscard]] std::uint32_t nrec() const noexcept {
    return static_cast<std::uint32_t>(std::popcount(data));
  }
  [[nodiscard]] std::uint32_t size() const noexcept { return nsub() + nrec(); }
  // The chunks of sub-nodes (valid nodes: the bitmap without the records).
  [[nodiscard]] std::uint32_t nodes() const noexcept {
    return static_cast<std::uint32_t>(word) & ~data;
  }
  // The free bytes between the two runs.
  [[nodiscard]] std::size_t room() const noexcept { return offset - (subsAt() + nsub() * sizeof(Map)); }
  // The bytes the tags take from the free room when one more record comes (none or a word).
  [[nodiscard]] std::size_t tagGrowth() const noexcept { return subsFor(nrec() + 1) - subsAt(); }
  // Whether one more record fits in the free room, with its tag.
  [[nodiscard]] bool roomForRecord() const noexcept { return room() >= recSize + tagGrowth(); }

  // The record and sub-node of a chunk bit (which must be one of them).
  const R& recAt(ChildBitmap bit) const noexcept {
    return recs()[std::popcount(data & (static_cast<std::uint32_t>(bit) - 1))];
  }
  const Map& subAt(ChildBitmap bit) const noexcept {
    return subs()[std::popcount(nodes() & (static_cast<std::uint32_t>(bit) - 1))];
  }
  // Whether the i-th record, or that of a chunk bit, holds a counted cell.
  [[nodiscard]] bool boxedRec(std::uint32_t i) const noexcept { return (tags()[i] & boxedFlag) != 0; }
  [[nodiscard]] bool boxedAt(ChildBitmap bit) const noexcept {
    if constexpr (boxedFlag == 0) return false;
    return boxedRec(static_cast<std::uint32_t>(std::popcount(data & (static_cast<std::uint32_t>(bit) - 1))));
  }
  // The chunks of the records that hold counted cells.
  [[nodiscard]] std::uint32_t boxed() const noexcept {
    if constexpr (boxedFlag == 0) {
      return 0;
    } else {
      // The tag run is read a word at a time (its padding is zero) to see whether any is boxed.
      const auto* p = reinterpret_cast<const unsigned char*>(this);
      std::uint32_t head;
      std::memcpy(&head, p + tagsAt, sizeof(head));
      std::uint64_t any = head;
      for (std::size_t at = sizeof(BranchHead); at < subsAt(); at += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + at, sizeof(w));
        any |= w;
      }
      if ((any & 0x8080808080808080ULL) == 0) return 0;
      std::uint32_t out = 0, i = 0;
      for (std::uint32_t rest = data; rest != 0; rest &= rest - 1, ++i)
        if (boxedRec(i)) out |= rest & (~rest + 1);
      return out;
    }
  }
};

// A branch block for nsub sub-nodes and nrec records, with at least `extra` bytes of free room;
// what the allocator's rounding would leave unused goes to the free room too (blocks come in
// 16-byte steps after a one-word header). Only the header is made.
template <class K, class V>
Branch<K, V>* allocateBranch(Kind kind, std::uint64_t word, std::uint32_t data,
                             std::uint32_t nsub, std::uint32_t nrec, std::size_t extra = 0) {
  using B = Branch<K, V>;
  assert(static_cast<std::uint32_t>(std::popcount(data)) == nrec && "a record per bit of data");
  const std::size_t need = B::subsFor(nrec) + nsub * sizeof(HashMap<K, V>) + extra;
  std::size_t off = (need + B::recAlign - 1) / B::recAlign * B::recAlign;
  const std::size_t bytes = off + nrec * B::recSize;
  const std::size_t usable = (bytes + sizeof(void*) + 15) / 16 * 16 - sizeof(void*);
  const std::size_t top = usable - nrec * B::recSize;
  const std::size_t off2 = top / B::recAlign * B::recAlign;
  if (off2 > off && off2 <= 0xFFFF) off = off2;
  assert(off <= 0xFFFF && "a branch node beyond its 16-bit record offset");
  void* raw = ::operator new(off + nrec * B::recSize);
  auto* b = ::new (raw) BranchHead(kind, word);
  b->small = static_cast<std::uint8_t>(nsub);
  b->offset = static_cast<std::uint16_t>(off);
  b->data = data;
  // The header's tags are zero already; the words of tags after it too.
  for (std::size_t at = sizeof(BranchHead); at < B::subsFor(nrec); at += sizeof(std::uint64_t))
    std::memset(static_cast<std::byte*>(raw) + at, 0, sizeof(std::uint64_t));
  return static_cast<B*>(b);
}

// Copies of n records, counting up their boxed cells (chunk bits `bits`, lowest first, give each
// record's place in the boxed bitmap). A key's copy may throw: the records made so far are
// destroyed again.
template <class K, class V>
void copyRecords(Rec<K, V>* dst, const Rec<K, V>* src, std::uint32_t n, std::uint32_t bits,
                 std::uint32_t boxed) {
  if constexpr (plainRecords<K, V>) {
    if (n != 0) std::memcpy(static_cast<void*>(dst), static_cast<const void*>(src), sizeof(Rec<K, V>) * n);
    if constexpr (slotKind<V> == SlotKind::Plain) {
      if ((bits & boxed) != 0) {
        std::uint32_t rest = bits;
        for (std::uint32_t i = 0; i < n; ++i, rest &= rest - 1)
          if ((boxed & rest & (~rest + 1)) != 0) hs::detail::retain(src[i].slot.cell);
      }
    }
  } else {
    std::uint32_t i = 0;
    try {
      std::uint32_t rest = bits;
      for (; i < n; ++i, rest &= rest - 1) {
        ::new (static_cast<void*>(dst + i)) Rec<K, V>(src[i]);
        if constexpr (slotKind<V> == SlotKind::Plain)
          if ((boxed & rest & (~rest + 1)) != 0) hs::detail::retain(src[i].slot.cell);
      }
    } catch (...) {
      std::uint32_t rest = bits;
      for (std::uint32_t j = 0; j < i; ++j, rest &= rest - 1) {
        if constexpr (slotKind<V> == SlotKind::Plain)
          if ((boxed & rest & (~rest + 1)) != 0) hs::detail::release(dst[j].slot.cell);
        dst[j].~Rec();
      }
      throw;
    }
  }
}
// Destroys n records, counting down their boxed cells.
template <class K, class V>
void destroyRecords(Rec<K, V>* r, std::uint32_t n, std::uint32_t bits, std::uint32_t boxed) noexcept {
  if constexpr (slotKind<V> == SlotKind::Plain) {
    if ((bits & boxed) != 0) {
      std::uint32_t rest = bits;
      for (std::uint32_t i = 0; i < n; ++i, rest &= rest - 1)
        if ((boxed & rest & (~rest + 1)) != 0) hs::detail::release(r[i].slot.cell);
    }
  }
  if constexpr (!std::is_trivially_destructible_v<Rec<K, V>>)
    for (std::uint32_t i = n; i > 0; --i) r[i - 1].~Rec();
}
// Moves n records to dst, which does not overlap them or lies below them (the source is left
// without records): as bytes when they are plain data, else one by one (keys that move without a
// throw only).
template <class K, class V>
void relocateRecords(Rec<K, V>* dst, Rec<K, V>* src, std::uint32_t n) noexcept {
  if constexpr (plainRecords<K, V>) {
    if (n != 0) std::memmove(static_cast<void*>(dst), static_cast<const void*>(src), sizeof(Rec<K, V>) * n);
  } else {
    static_assert(std::is_nothrow_move_constructible_v<Rec<K, V>>);
    for (std::uint32_t i = 0; i < n; ++i) {
      ::new (static_cast<void*>(dst + i)) Rec<K, V>(std::move(src[i]));
      src[i].~Rec();
    }
  }
}
// The same for a destination above the source (overlap allowed): from the last record down.
template <class K, class V>
void relocateRecordsUp(Rec<K, V>* dst, Rec<K, V>* src, std::uint32_t n) noexcept {
  if constexpr (plainRecords<K, V>) {
    if (n != 0) std::memmove(static_cast<void*>(dst), static_cast<const void*>(src), sizeof(Rec<K, V>) * n);
  } else {
    for (std::uint32_t i = n; i > 0; --i) {
      ::new (static_cast<void*>(dst + i - 1)) Rec<K, V>(std::move(src[i - 1]));
      src[i - 1].~Rec();
    }
  }
}
// Whether an owned node may shift its records in place.
template <class K, class V>
inline constexpr bool movableRecords =
    plainRecords<K, V> || std::is_nothrow_move_constructible_v<Rec<K, V>>;

// In a node nobody else holds: opens the record slot of chunk bit b (not a record yet) for a
// record of hash h, boxed or not, and gives the slot, where the caller then puts the record. The
// node must have room for it (roomForRecord): the records before it move down one slot, the
// sub-nodes up a word when the tags need one, and the tags after it up one.
template <class K, class V>
Rec<K, V>* openRecordInPlace(Branch<K, V>& a, std::uint32_t b, KeyHash h, bool boxed) noexcept {
  using B = Branch<K, V>;
  assert(a.roomForRecord() && (a.data & b) == 0);
  const std::uint32_t n = a.nrec();
  const auto ri = static_cast<std::uint32_t>(std::popcount(a.data & (b - 1)));
  auto* base = reinterpret_cast<std::byte*>(&a);
  const std::size_t s0 = B::subsFor(n), s1 = B::subsFor(n + 1);
  if (s1 != s0) std::memmove(base + s1, base + s0, a.nsub() * sizeof(HashMap<K, V>));
  std::uint8_t* t = a.tags();
  std::memmove(t + ri + 1, t + ri, n - ri);
  t[ri] = B::tagByte(h, boxed);
  std::memset(t + n + 1, 0, s1 - B::tagsAt - (n + 1));
  Rec<K, V>* old = a.recs();
  internal::relocateRecords<K, V>(old - 1, old, ri);
  a.offset = static_cast<std::uint16_t>(a.offset - B::recSize);
  a.data |= b;
  return a.recs() + ri;
}
// The reverse for the record of chunk bit b, already destroyed: the records before it move up
// into its slot, the tags after it down one, the sub-nodes down a word when the tags free one.
template <class K, class V>
void closeRecordInPlace(Branch<K, V>& a, std::uint32_t b) noexcept {
  using B = Branch<K, V>;
  assert((a.data & b) != 0);
  const std::uint32_t n = a.nrec();
  const auto ri = static_cast<std::uint32_t>(std::popcount(a.data & (b - 1)));
  Rec<K, V>* r = a.recs();
  internal::relocateRecordsUp<K, V>(r + 1, r, ri);
  a.offset = static_cast<std::uint16_t>(a.offset + B::recSize);
  std::uint8_t* t = a.tags();
  std::memmove(t + ri, t + ri + 1, n - ri - 1);
  t[n - 1] = 0;
  auto* base = reinterpret_cast<std::byte*>(&a);
  if (const std::size_t s0 = B::subsFor(n), s1 = B::subsFor(n - 1); s1 != s0)
    std::memmove(base + s1, base + s0, a.nsub() * sizeof(HashMap<K, V>));
  a.data &= ~b;
}

// Copies n sub-node handles, counting each up.
template <class K, class V>
void copySubs(HashMap<K, V>* dst, const HashMap<K, V>* src, std::uint32_t n) noexcept;

// Builds a branch node run by run: the sub-nodes (which cannot fail), then the records, each run
// in chunk order. If a record's key copy throws, what was built is destroyed and the block freed.
template <class K, class V>
class BranchBuilder {
 public:
  using B = Branch<K, V>;
  BranchBuilder(std::uint64_t word, std::uint32_t data, std::uint32_t nsub, std::uint32_t nrec,
                std::size_t extra = 0)
      : b_(internal::allocateBranch<K, V>(word == fullBitmap ? Kind::Full : Kind::BitmapIndexed,
                                          word, data, nsub, nrec, extra)) {}
  BranchBuilder(const BranchBuilder&) = delete;
  BranchBuilder& operator=(const BranchBuilder&) = delete;
  ~BranchBuilder() {
    if (b_ == nullptr) return;
    HashMap<K, V>* s = b_->subs();
    for (std::uint32_t i = 0; i < subs_; ++i) s[i].~HashMap();
    internal::destroyRecords<K, V>(b_->recs(), recs_, b_->data, boxed_);
    ::operator delete(static_cast<void*>(b_));
  }

  // The next sub-node.
  void sub(HashMap<K, V>&& c) noexcept;
  void sub(const HashMap<K, V>& c) noexcept;
  void subs(const HashMap<K, V>* src, std::uint32_t n) noexcept {
    internal::copySubs<K, V>(b_->subs() + subs_, src, n);
    subs_ += n;
  }
  // The next record, at chunk bit `bit`, from a key and a slot (the slot is taken only once the
  // key is made).
  template <class KA>
  void rec(ChildBitmap bit, KeyHash h, KA&& k, OwnedSlot<V>&& s) {
    Rec<K, V>* r = b_->recs() + recs_;
    const bool boxed = s.boxed;
    // The slot is taken after the key is made: a throwing key leaves it with its owner.
    ::new (static_cast<void*>(r)) Rec<K, V>{h, std::forward<KA>(k), s.take()};
    if (boxed) boxed_ |= static_cast<std::uint32_t>(bit);
    b_->tags()[recs_++] = B::tagByte(h, boxed);
  }
  // Copies of the n records of branch a from its `from`-th, whose chunks `bits` hold them (lowest
  // first), with a's boxed map; their tags come along.
  void recs(const B& a, std::uint32_t from, std::uint32_t n, std::uint32_t bits, std::uint32_t boxed) {
    internal::copyRecords<K, V>(b_->recs() + recs_, a.recs() + from, n, bits, boxed);
    tags(a, from, n, bits & boxed);
  }
  void rec(ChildBitmap bit, const Rec<K, V>& r, bool boxed) {
    const auto b = static_cast<std::uint32_t>(bit);
    internal::copyRecords<K, V>(b_->recs() + recs_, &r, 1, b, boxed ? b : 0);
    if (boxed) boxed_ |= b;
    b_->tags()[recs_++] = B::tagByte(r.hash, boxed);
  }
  // Takes over the same records of a node that is about to be freed (bytes or moves, see
  // relocateRecords); the source must then forget them.
  void relocate(B& a, std::uint32_t from, std::uint32_t n, std::uint32_t bits, std::uint32_t boxed) noexcept {
    internal::relocateRecords<K, V>(b_->recs() + recs_, a.recs() + from, n);
    tags(a, from, n, bits & boxed);
  }
  void relocateSubs(HashMap<K, V>* src, std::uint32_t n) noexcept {
    if (n != 0)
      std::memcpy(static_cast<void*>(b_->subs() + subs_), static_cast<const void*>(src),
                  sizeof(HashMap<K, V>) * n);
    subs_ += n;
  }

  HashMap<K, V> finish() noexcept;
  B* block() noexcept { return b_; }

 private:
  // The tags (with their boxed flags) of the n records just placed from a, whose boxed chunks
  // are `boxed`.
  void tags(const B& a, std::uint32_t from, std::uint32_t n, std::uint32_t boxed) noexcept {
    if (n != 0) std::memcpy(b_->tags() + recs_, a.tags() + from, n);
    boxed_ |= boxed;
    recs_ += n;
  }

  B* b_;
  std::uint32_t subs_ = 0, recs_ = 0, boxed_ = 0;
};

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
    if (p->kind != internal::Kind::Empty) hs::internal::countUp(p->refs);
  }
  static void release(internal::Object* p) noexcept {
    if (p->kind != internal::Kind::Empty && hs::internal::countDown(p->refs))
      destroy(p);
  }
  // Drops n handles of a block being freed, last first. The thread test is read once for the
  // steps up to the next node freed: freeing runs the caller's destructors, which may start the
  // process's first thread.
  static void dropSubs(HashMap* s, std::uint32_t n) noexcept {
    for (std::uint32_t i = n; i > 0;) {
      const bool single = hs::internal::singleThreaded();
      for (;;) {
        internal::Object* c = s[--i].p_;
        if (c->kind != internal::Kind::Empty && hs::internal::countDown(c->refs, single)) {
          destroy(c);
          break;
        }
        if (i == 0) return;
      }
    }
  }
  // Out of line: with the free inlined into every release, g++ 12 takes a later use of another
  // node's count for a use of the freed one (-Wuse-after-free).
  [[gnu::noinline]] static void destroy(internal::Object* p) noexcept {
    switch (p->kind) {
      case internal::Kind::Leaf:
        delete static_cast<internal::LeafNode<K, V>*>(p);
        break;
      case internal::Kind::BitmapIndexed:
      case internal::Kind::Full: {
        auto* b = static_cast<internal::Branch<K, V>*>(p);
        dropSubs(b->subs(), b->nsub());
        internal::destroyRecords<K, V>(b->recs(), b->nrec(), b->data, b->boxed());
        b->~Branch();
        ::operator delete(static_cast<void*>(b));
        break;
      }
      case internal::Kind::Collision:
        internal::Block<internal::L<K, V>>::destroy(static_cast<internal::Block<internal::L<K, V>>*>(p));
        break;
      default:
        break;
    }
  }

  internal::Object* p_;
};
/// @}

namespace internal {

template <class K, class V>
using Entries = Block<L<K, V>>;

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
  // Gives up the handle's node without counting it down (the count goes with the pointer).
  template <class K, class V>
  static Object* release(HashMap<K, V>& m) noexcept {
    return std::exchange(m.p_, emptyObject);
  }
};

template <class K, class V>
void copySubs(HashMap<K, V>* dst, const HashMap<K, V>* src, std::uint32_t n) noexcept {
  // The handles first as words, then the counts: one length of stores, one run of increments (no
  // caller's code runs inside it, so one thread test serves the run).
  if (n == 0) return;
  std::memcpy(static_cast<void*>(dst), static_cast<const void*>(src), sizeof(HashMap<K, V>) * n);
  const bool single = hs::internal::singleThreaded();
  for (std::uint32_t i = 0; i < n; ++i) hs::internal::countUp(Node::object(src[i])->refs, single);
}

template <class K, class V>
void BranchBuilder<K, V>::sub(HashMap<K, V>&& c) noexcept {
  ::new (static_cast<void*>(b_->subs() + subs_)) HashMap<K, V>(std::move(c));
  ++subs_;
}
template <class K, class V>
void BranchBuilder<K, V>::sub(const HashMap<K, V>& c) noexcept {
  ::new (static_cast<void*>(b_->subs() + subs_)) HashMap<K, V>(c);
  ++subs_;
}
template <class K, class V>
HashMap<K, V> BranchBuilder<K, V>::finish() noexcept {
  assert(subs_ == b_->nsub() && recs_ == b_->nrec());
  return Node::adopt<K, V>(std::exchange(b_, nullptr));
}

template <class K, class V>
Kind kindOf(const HashMap<K, V>& m) noexcept {
  return Node::object(m)->kind;
}
// The stored hash of a `Leaf` or `Collision`, the bitmap of a branch node (`Full`: all ones).
template <class K, class V>
std::uint64_t wordOf(const HashMap<K, V>& m) noexcept {
  return Node::object(m)->word;
}
// The pair of a `Leaf` node.
template <class K, class V>
const L<K, V>& leafOf(const HashMap<K, V>& m) noexcept {
  return static_cast<const LeafNode<K, V>*>(Node::object(m))->pair;
}
template <class K, class V>
Branch<K, V>& branchOf(const HashMap<K, V>& m) noexcept {
  return *static_cast<Branch<K, V>*>(Node::object(m));
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
template <class K, class V>
bool soleHolder(const HashMap<K, V>& m) noexcept {
  return Node::object(m)->refs.load(std::memory_order_acquire) == 1;
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
// Types whose == is the equality of their bytes: integers (characters and bool among them),
// pointers, and enumerations without an == of their own (one is found as the walks' == finds it).
template <class T>
concept ownEq = requires(const T& a) { operator==(a, a); };
template <class T>
inline constexpr bool bitwiseEq =
    std::is_integral_v<T> || std::is_pointer_v<T> || (std::is_enum_v<T> && !ownEq<T>);

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

// ---- Logical children --------------------------------------------------------------------------

// A node of the logical trie as the walks read it: a node of its own, or a record of a branch
// (a `Leaf`). Valid while the node that holds it lives.
template <class K, class V>
struct Ref {
  const HashMap<K, V>* node = nullptr;
  const Rec<K, V>* rec = nullptr;
  bool boxed = false;

  static Ref of(const HashMap<K, V>& m) noexcept { return Ref{&m, nullptr, false}; }
  static Ref record(const Rec<K, V>& r, bool b) noexcept { return Ref{nullptr, &r, b}; }

  [[nodiscard]] bool isRecord() const noexcept { return rec != nullptr; }
  [[nodiscard]] Kind kind() const noexcept { return rec ? Kind::Leaf : internal::kindOf(*node); }
  [[nodiscard]] bool isLeaf() const noexcept { return rec || internal::kindOf(*node) == Kind::Leaf; }
  // The stored hash of a leaf or collision.
  [[nodiscard]] KeyHash hash() const noexcept { return rec ? rec->hash : internal::wordOf(*node); }
  // A leaf's key and value.
  const K& key() const noexcept { return rec ? rec->key : internal::leafOf(*node).key; }
  const V& force() const {
    if (rec) return internal::recordValue(*rec, boxed);
    return internal::leafOf(*node).value.force();
  }
  hs::Lazy<V> handle() const noexcept {
    if (rec) return internal::recordHandle(*rec, boxed);
    return internal::leafOf(*node).value;
  }
  LazyView<V> view() const noexcept {
    if (rec) return LazyView<V>(rec->slot, boxed);
    return LazyView<V>(internal::leafOf(*node).value);
  }
  [[nodiscard]] bool holds(const hs::Lazy<V>& v) const noexcept {
    if (rec) return internal::recordHolds(*rec, boxed, v);
    return hs::ptrEq(internal::leafOf(*node).value, v);
  }
  OwnedSlot<V> slotCopy() const noexcept {
    if (rec) return internal::recordSlotCopy(*rec, boxed);
    return internal::slotOfCell<V>(internal::leafOf(*node).value);
  }
  // A leaf that a record can hold (a record, or a leaf node whose handle a record can keep).
  [[nodiscard]] bool recordFit() const noexcept {
    if constexpr (!recordable<K, V>) return false;
    return rec || (internal::kindOf(*node) == Kind::Leaf &&
                   internal::representable(internal::leafOf(*node).value));
  }
};

// The logical child of a branch at a chunk bit set in its bitmap.
template <class K, class V>
Ref<K, V> childAt(const Branch<K, V>& a, ChildBitmap bit) noexcept {
  if ((a.data & bit) != 0) return Ref<K, V>::record(a.recAt(bit), a.boxedAt(bit));
  return Ref<K, V>::of(a.subAt(bit));
}
// The children of a branch in chunk order: f(chunk bit, child); stops when f answers false.
template <class K, class V, class F>
bool forEachChild(const Branch<K, V>& a, F&& f) {
  const std::uint32_t data = a.data;
  const Rec<K, V>* r = a.recs();
  const HashMap<K, V>* s = a.subs();
  const std::uint32_t n = a.size();
  ChildBitmap rest = static_cast<std::uint32_t>(a.word);
  for (std::uint32_t i = 0, ri = 0; i < n; ++i) {
    // Beyond the bitmap (only in tries built invalid on purpose) a child has no chunk of its own.
    const ChildBitmap bit = rest != 0 ? (rest & (~rest + 1)) : 0;
    rest &= rest - 1;
    Ref<K, V> c;
    if ((data & bit) != 0) {
      c = Ref<K, V>::record(r[ri], a.boxedRec(ri));
      ++ri;
    } else {
      c = Ref<K, V>::of(*s++);
    }
    if (!f(bit, c)) return false;
  }
  return true;
}
// The i-th child of a branch in chunk order (i below the branch's size).
template <class K, class V>
Ref<K, V> nthChild(const Branch<K, V>& a, std::uint32_t i) noexcept {
  std::uint32_t rest = static_cast<std::uint32_t>(a.word);
  for (std::uint32_t j = 0; j < i; ++j) rest &= rest - 1;
  const std::uint32_t bit = rest & (~rest + 1);
  if (bit == 0) {
    // Beyond the bitmap (only in tries built invalid on purpose): the sub-nodes after the others.
    return Ref<K, V>::of(a.subs()[i - a.nrec()]);
  }
  return internal::childAt(a, bit);
}
// The entry of a record or a collision's pair, for the folds.
template <class K, class V, class F>
decltype(auto) withEntry(const Ref<K, V>& c, F&& f) {
  const LazyView<V> v = c.view();
  const Entry<K, V> e{c.key(), v.get()};
  return std::forward<F>(f)(e);
}

// ---- Node builders -------------------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Construction
/// @{

/// The empty map; O(1), allocates nothing.
template <class K, class V>
[[nodiscard]] const HashMap<K, V>& empty() noexcept {
  static const HashMap<K, V> e;
  return e;
}
/// @}
/// @}

// A leaf node (the root of a one-entry map, or a leaf that cannot be a record).
template <class K, class V, class KA>
HashMap<K, V> leafObject(KeyHash h, KA&& k, hs::Lazy<V>&& v) {
  return Node::adopt<K, V>(new LeafNode<K, V>(h, std::forward<KA>(k), std::move(v)));
}
template <class K, class V>
HashMap<K, V> leafNode(KeyHash h, L<K, V> pair) {
  return internal::leafObject<K, V>(h, std::move(pair.key), std::move(pair.value));
}
template <class K, class V>
HashMap<K, V> leafNode(KeyHash h, const K& k, hs::Lazy<V> v) {
  return internal::leafObject<K, V>(h, k, std::move(v));
}
// The leaf node of a child: a record becomes a node of its own, a leaf node is itself.
template <class K, class V>
HashMap<K, V> leafNodeOf(const Ref<K, V>& c) {
  if (!c.rec) return *c.node;
  return internal::leafObject<K, V>(c.rec->hash, c.rec->key, c.handle());
}
// A handle for a new leaf's value: the handle as it is, or the value.
template <class V>
hs::Lazy<V> handleOfValue(const V& v) {
  if constexpr (slotKind<V> == SlotKind::Plain)
    return hs::Lazy<V>::unboxed(v);
  else if constexpr (slotKind<V> == SlotKind::Unit)
    return hs::unitCell();
  else
    return hs::Lazy<V>(v);
}
template <class V>
hs::Lazy<V> handleOfValue(V&& v) {
  if constexpr (slotKind<V> == SlotKind::Plain)
    return hs::Lazy<V>::unboxed(v);
  else if constexpr (slotKind<V> == SlotKind::Unit)
    return hs::unitCell();
  else
    return hs::Lazy<V>(std::move(v));
}
// The handle an owned handle gives a leaf node: its value, when nobody else holds its evaluated
// cell, else the handle.
template <class V>
hs::Lazy<V> ownedHandle(hs::Lazy<V>&& v) noexcept {
  if constexpr (slotKind<V> == SlotKind::Plain) {
    if (!v.isUnboxed())
      if (V* x = hs::detail::cellOf(v)->soleValue()) return hs::Lazy<V>::unboxed(*x);
  }
  return std::move(v);
}

// A value for a new record that no cell holds yet. With `Move` it is moved from, once: a walk
// builds one record from it.
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

// The value sources of the walks, as a slot, as a handle, and as a leaf node.
template <class V>
OwnedSlot<V> slotOf(const hs::Lazy<V>& v) noexcept {
  return internal::slotOfCell<V>(v);
}
template <class V, bool Move>
OwnedSlot<V> slotOf(FreshValue<V, Move> x) {
  return internal::slotOfValue<V>(x.take());
}
template <class V>
hs::Lazy<V> handleOf(const hs::Lazy<V>& v) noexcept {
  return v;
}
template <class V, bool Move>
hs::Lazy<V> handleOf(FreshValue<V, Move> x) {
  return internal::handleOfValue<V>(x.take());
}
template <class V>
bool fitsRecord(const hs::Lazy<V>& v) noexcept {
  return internal::representable(v);
}
template <class V, bool Move>
bool fitsRecord(FreshValue<V, Move>) noexcept {
  return true;
}
template <class K, class V, class X>
HashMap<K, V> leafNode(KeyHash h, const K& k, X&& x)
  requires(!std::is_same_v<std::remove_cvref_t<X>, hs::Lazy<V>> &&
           !std::is_same_v<std::remove_cvref_t<X>, L<K, V>>)
{
  return internal::leafObject<K, V>(h, k, internal::handleOf<V>(std::forward<X>(x)));
}

// A caller's function's result as a handle: a returned cell is kept as it is (its identity
// matters), a returned value is held in place where it can be.
template <class V, class R>
hs::Lazy<V> resultHandle(R&& r) {
  if constexpr (std::is_same_v<std::remove_cvref_t<R>, hs::Lazy<V>>) {
    if constexpr (std::is_rvalue_reference_v<R&&>)
      return internal::ownedHandle<V>(std::move(r));
    else
      return r;
  } else {
    return internal::handleOfValue<V>(V(std::forward<R>(r)));
  }
}
template <class K, class V, class R>
HashMap<K, V> resultLeaf(KeyHash h, const K& k, R&& r) {
  return internal::leafObject<K, V>(h, k, internal::resultHandle<V>(std::forward<R>(r)));
}

// ---- Owned children: what the building walks hand back ----------------------------------------

// A child of a branch being built: nothing, a node (a leaf node among them), a record made for it
// (hash, key, slot), or a record or leaf of a live trie to be copied.
template <class K, class V>
class Child {
 public:
  using mapped_type = V;
  Child() noexcept = default;
  Child(HashMap<K, V> n) noexcept : node_(std::move(n)) {}  // NOLINT: a node is a child
  static Child copyOf(const Ref<K, V>& r) noexcept {
    Child c;
    c.ref_ = r;
    c.hasRef_ = true;
    return c;
  }
  template <class KA>
  static Child made(KeyHash h, KA&& k, OwnedSlot<V>&& s) {
    Child c;
    if constexpr (std::is_same_v<MadeSlot, std::optional<Made>>)
      c.made_.emplace(h, std::forward<KA>(k), std::move(s));
    else
      c.made_ = std::make_unique<Made>(h, std::forward<KA>(k), std::move(s));
    return c;
  }
  Child(Child&&) noexcept = default;
  Child& operator=(Child&&) noexcept = default;

  [[nodiscard]] bool none() const noexcept {
    return !hasRef_ && !made_ && internal::kindOf(node_) == Kind::Empty;
  }
  // Whether it is a `Leaf` or a `Collision` (what rises into a parent left with only it).
  [[nodiscard]] bool leafOrCollision() const noexcept {
    if (made_) return true;
    if (hasRef_) return ref_.kind() == Kind::Leaf || ref_.kind() == Kind::Collision;
    return internal::isLeafOrCollision(node_);
  }
  // Whether it goes into the record run of its parent.
  [[nodiscard]] bool asRecord() const noexcept {
    if constexpr (!recordable<K, V>) return false;
    if (made_) return true;
    if (hasRef_) return ref_.recordFit();
    return Ref<K, V>::of(node_).recordFit();
  }
  // Puts the child into the builder at chunk bit (a record or a sub-node, as asRecord says).
  void put(BranchBuilder<K, V>& out, ChildBitmap bit) {
    if (made_) {
      out.rec(bit, made_->h, std::move(made_->key), std::move(made_->slot));
    } else if (hasRef_) {
      if (ref_.rec)
        out.rec(bit, *ref_.rec, ref_.boxed);
      else if (asRecord())
        out.rec(bit, ref_.hash(), ref_.key(), ref_.slotCopy());
      else
        out.sub(*ref_.node);
    } else if (asRecord()) {
      const Ref<K, V> r = Ref<K, V>::of(node_);
      out.rec(bit, r.hash(), r.key(), r.slotCopy());
    } else {
      out.sub(std::move(node_));
    }
  }
  // Makes the record of a child that goes into the record run (see asRecord) at `at`.
  Rec<K, V>* emplaceRecord(void* at, bool& boxed) {
    if (made_) {
      boxed = made_->slot.boxed;
      return ::new (at) Rec<K, V>{made_->h, std::move(made_->key), made_->slot.take()};
    }
    const Ref<K, V> r = hasRef_ ? ref_ : Ref<K, V>::of(node_);
    if (r.rec) {
      boxed = r.boxed;
      internal::copyRecords<K, V>(static_cast<Rec<K, V>*>(at), r.rec, 1, 1, boxed ? 1 : 0);
      return std::launder(static_cast<Rec<K, V>*>(at));
    }
    OwnedSlot<V> s = r.slotCopy();
    boxed = s.boxed;
    return ::new (at) Rec<K, V>{r.hash(), r.key(), s.take()};
  }
  // The child as a map of its own (a record becomes a leaf node).
  HashMap<K, V> toMap() && {
    if (made_) return internal::leafObject<K, V>(made_->h, std::move(made_->key), made_->handle());
    if (hasRef_) return internal::leafNodeOf(ref_);
    return std::move(node_);
  }
  // The stored hash of a leaf or collision.
  [[nodiscard]] KeyHash hash() const noexcept {
    if (made_) return made_->h;
    if (hasRef_) return ref_.hash();
    return internal::wordOf(node_);
  }

 private:
  struct Made {
    template <class KA>
    Made(KeyHash hh, KA&& k, OwnedSlot<V>&& s) : h(hh), key(std::forward<KA>(k)), slot(std::move(s)) {}
    KeyHash h;
    K key;
    OwnedSlot<V> slot;
    hs::Lazy<V> handle() {
      if constexpr (slotKind<V> == SlotKind::Unit) {
        return hs::unitCell();
      } else if constexpr (slotKind<V> == SlotKind::Plain) {
        const bool b = slot.boxed;
        Slot<V> s = slot.take();
        if (!b) return hs::Lazy<V>::unboxed(s.value);
        return hs::detail::adoptCell<V>(s.cell);
      } else {
        return std::move(slot.s.value);
      }
    }
  };
  // A made record whose key may throw when moved stays in place while the child is handed on.
  using MadeSlot = std::conditional_t<std::is_nothrow_move_constructible_v<K> &&
                                          std::is_nothrow_move_assignable_v<K>,
                                      std::optional<Made>, std::unique_ptr<Made>>;
  HashMap<K, V> node_;
  Ref<K, V> ref_;
  bool hasRef_ = false;
  MadeSlot made_;
};

// The child of a new pair whose handle the walk owns: a record where a record can keep it, else a
// leaf node.
template <class K, class V, class KA>
Child<K, V> leafChild(KeyHash h, KA&& k, hs::Lazy<V>&& v) {
  if (recordable<K, V> && internal::representable(v))
    return Child<K, V>::made(h, std::forward<KA>(k), internal::slotOfOwned<V>(std::move(v)));
  return Child<K, V>(internal::leafObject<K, V>(h, std::forward<KA>(k), internal::ownedHandle<V>(std::move(v))));
}

// The child for a caller's function's result (see resultHandle): a returned cell kept, a value
// held in its record where it can be.
template <class K, class V, class R>
Child<K, V> resultChild(KeyHash h, const K& k, R&& r) {
  if constexpr (std::is_same_v<std::remove_cvref_t<R>, hs::Lazy<V>>) {
    hs::Lazy<V> v = std::forward<R>(r);
    return internal::leafChild<K, V>(h, k, std::move(v));
  } else if constexpr (recordable<K, V>) {
    return Child<K, V>::made(h, k, internal::slotOfValue<V>(V(std::forward<R>(r))));
  } else {
    return Child<K, V>(internal::resultLeaf<K, V>(h, k, std::forward<R>(r)));
  }
}

// A new branch node over the children of the chunks of b, in chunk order (none may be nothing).
template <class K, class V>
HashMap<K, V> branchOf(ChildBitmap b, Child<K, V>* kids, std::uint32_t n, std::size_t extra = 0) {
  std::uint32_t data = 0, nrec = 0;
  ChildBitmap rest = b;
  for (std::uint32_t i = 0; i < n; ++i, rest &= rest - 1)
    if (kids[i].asRecord()) {
      data |= static_cast<std::uint32_t>(rest & (~rest + 1));
      ++nrec;
    }
  BranchBuilder<K, V> out(b, data, n - nrec, nrec, extra);
  rest = b;
  for (std::uint32_t i = 0; i < n; ++i, rest &= rest - 1)
    if (!kids[i].asRecord()) kids[i].put(out, rest & (~rest + 1));
  rest = b;
  for (std::uint32_t i = 0; i < n; ++i, rest &= rest - 1)
    if (kids[i].asRecord()) kids[i].put(out, rest & (~rest + 1));
  return out.finish();
}
// A branch of the same chunks over f(child) for the children of a, in chunk order.
template <class W, class K, class V, class F>
Child<K, W> mapBranch(const Branch<K, V>& a, F&& f) {
  Child<K, W> kids[maxChildren];
  std::uint32_t n = 0;
  internal::forEachChild(a, [&](ChildBitmap, const Ref<K, V>& c) {
    kids[n++] = f(c);
    return n < maxChildren;  // more only in tries built invalid on purpose
  });
  return Child<K, W>(internal::branchOf<K, W>(a.word, kids, n));
}
// The children of the chunks of b, nothing dropped (its chunk cleared), shaped as the trie
// wants: nothing, the one leaf or collision left (as it is, so that a record stays a record in
// the parent), or a branch node.
template <class K, class V>
Child<K, V> collapse(ChildBitmap b, Child<K, V>* kids, std::uint32_t n) {
  std::uint32_t j = 0;
  ChildBitmap kept = 0, rest = b;
  for (std::uint32_t i = 0; i < n; ++i, rest &= rest - 1) {
    if (kids[i].none()) continue;
    kept |= rest & (~rest + 1);
    if (j != i) kids[j] = std::move(kids[i]);
    ++j;
  }
  if (j == 0) return Child<K, V>();
  if (j == 1 && kids[0].leafOrCollision()) return std::move(kids[0]);
  return Child<K, V>(internal::branchOf<K, V>(kept, kids, j));
}

// A node of one child (a branch, or a leaf or collision at the level's chunk) at chunk bit b.
template <class K, class V>
HashMap<K, V> oneChild(ChildBitmap b, Child<K, V> child) {
  return internal::branchOf<K, V>(b, &child, 1);
}
// The smallest subtree that separates t1 and t2 of different hashes h1 and h2, both placed
// unchanged: one-child nodes for the levels where their chunks agree, above a two-child node at
// the first level where they differ, lower chunk first. Never `Full`.
template <class K, class V>
HashMap<K, V> joinDifferentHashes(LevelShift s, KeyHash h1, KeyHash h2, Child<K, V> t1,
                                  Child<K, V> t2) {
  assert(h1 != h2 && "two nodes of one hash cannot be separated");
  const ChildBitmap b1 = mask(h1, s), b2 = mask(h2, s);
  if (b1 == b2)
    return internal::oneChild<K, V>(
        b1, internal::joinDifferentHashes<K, V>(nextShift(s), h1, h2, std::move(t1), std::move(t2)));
  Child<K, V> kids[2];
  if (b1 < b2) {
    kids[0] = std::move(t1);
    kids[1] = std::move(t2);
  } else {
    kids[0] = std::move(t2);
    kids[1] = std::move(t1);
  }
  return internal::branchOf<K, V>(b1 | b2, kids, 2);
}
template <class K, class V>
HashMap<K, V> collision(KeyHash h, L<K, V> e1, L<K, V> e2) {
  BlockBuilder<L<K, V>> a(Kind::Collision, h, 2);
  a.emplace(std::move(e1));
  a.emplace(std::move(e2));
  return Node::adopt<K, V>(a.finish());
}
template <class K, class V>
HashMap<K, V> collisionNode(KeyHash h, Entries<K, V>* a) noexcept {
  a->kind = Kind::Collision;
  a->word = h;
  return Node::adopt<K, V>(a);
}
template <class K, class V>
using EntryBuilder = BlockBuilder<L<K, V>>;

// The pair of a leaf child, for a collision array.
template <class K, class V>
L<K, V> pairOf(const Ref<K, V>& c) {
  if (c.rec) return L<K, V>{c.rec->key, c.handle()};
  return internal::leafOf(*c.node);
}

// Whether x, of type X&&, is a value its caller hands over that lives in a cell of its own once
// stored (not in place), so that it can be given back should a later step fail after it moved.
template <class V, class X>
inline constexpr bool givesBack = !std::is_lvalue_reference_v<X> && std::is_same_v<X, V> &&
                                  slotKind<V> == SlotKind::Cell &&
                                  std::is_nothrow_move_assignable_v<V>;

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Construction
/// @{

/// The one-entry map of k and the cell v (stored as it is, deferred or not). One hash of k;
/// allocates the entry.
template <class K, class V>
[[nodiscard]] HashMap<K, V> singleton(const K& k, std::type_identity_t<hs::Lazy<V>> v) {
  const KeyHash h = internal::hash(k);
  return internal::leafObject<K, V>(h, k, std::move(v));
}
/// The one-entry map of k and the value v: a small plain value is held in the entry itself, any
/// other in a new, evaluated cell (an rvalue is moved there). One hash of k; allocates the entry
/// (and the cell, if any).
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> singleton(const K& k, U&& v) {
  const KeyHash h = internal::hash(k);
  hs::Lazy<V> cell = internal::handleOfValue<V>(std::forward<U>(v));
  if constexpr (givesBack<V, U>) {
    // A value handed over goes back to its caller when the key's copy fails.
    try {
      return internal::leafObject<K, V>(h, k, std::move(cell));
    } catch (...) {
      if (V* x = hs::detail::cellOf(cell)->soleValue()) v = std::move(*x);
      throw;
    }
  } else {
    return internal::leafObject<K, V>(h, k, std::move(cell));
  }
}

/// @}
/// @}
// ---- Whole-map tests -----------------------------------------------------------------------

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Queries
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
      const Branch<K, V>& a = internal::branchOf(m);
      std::int64_t n = a.nrec();
      const HashMap<K, V>* s = a.subs();
      for (std::uint32_t i = 0; i < a.nsub(); ++i) n += internal::size(s[i]);
      return n;
    }
  }
}

/// @}
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
