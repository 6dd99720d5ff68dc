// Lookups: one allocation-free walk down the key's hash path.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>

#include "hs/error.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/sites.hpp"
#include "vantrel/package.hpp"

namespace vantrel::internal {

// Where a key's pair was found: a record of a branch or a pair (of a leaf node or a collision),
// and its position, -1 for a `Leaf`, else the index in the `Collision` array. Valid while the
// node that holds it lives.
template <class K, class V>
struct Found {
  const Rec<K, V>* rec = nullptr;
  bool boxed = false;
  const L<K, V>* pair = nullptr;
  std::int64_t position = -1;

  explicit operator bool() const noexcept { return rec != nullptr || pair != nullptr; }
  const K& key() const noexcept { return rec ? rec->key : pair->key; }
  const V& force() const {
    if (rec) return internal::recordValue(*rec, boxed);
    return pair->value.force();
  }
  // The stored value as a handle: a value held in place is copied (no count), a cell shared.
  hs::Lazy<V> handle() const noexcept {
    if (rec) return internal::recordHandle(*rec, boxed);
    return pair->value;
  }
  LazyView<V> view() const noexcept {
    if (rec) return LazyView<V>(rec->slot, boxed);
    return LazyView<V>(pair->value);
  }
  [[nodiscard]] bool holds(const hs::Lazy<V>& v) const noexcept {
    if (rec) return internal::recordHolds(*rec, boxed, v);
    return hs::ptrEq(pair->value, v);
  }
};

// The walk under every lookup and erase, from the node m at level s: onBranch(node, chunk bit) is
// told each branch node the key's path meets, before its chunk is read. Hashes are compared first
// (a record's tag before its stored hash), so == runs only between keys of equal hash; the key
// asked for is the left operand of ==, except against a leaf's or record's key with `StoredLeft`.
template <bool StoredLeft, class K, class V, class F>
Found<K, V> searchFrom(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& m, F&& onBranch) {
  auto same = [&k](const K& stored) {
    if constexpr (StoredLeft)
      return stored == k;
    else
      return k == stored;
  };
  const std::uint8_t tag = Branch<K, V>::tagOf(h);
  // The hash's chunks from level s on, five bits a level.
  KeyHash q = s < 64 ? h >> s : 0;
  const HashMap<K, V>* t = &m;
  for (;;) {
    switch (internal::kindOf(*t)) {
      case Kind::Full:
        if (internal::branchOf(*t).data == 0) {
          // Sub-nodes alone, all 32 of them, from the header's next word: the chunk is the index.
          const Branch<K, V>& a = internal::branchOf(*t);
          onBranch(*t, ChildBitmap{1} << (q & subkeyMask));
          t = &a.subs()[q & subkeyMask];
          q >>= bitsPerSubkey;
          break;
        }
        [[fallthrough]];
      case Kind::BitmapIndexed: {
        const Branch<K, V>& a = internal::branchOf(*t);
        const ChildBitmap bit = ChildBitmap{1} << (q & subkeyMask);
        q >>= bitsPerSubkey;
        onBranch(*t, bit);
        if ((a.data & bit) != 0) {
          const auto ri = std::popcount(a.data & (static_cast<std::uint32_t>(bit) - 1));
          if ((a.tags()[ri] & Branch<K, V>::tagMask) != tag) return {};
          const Rec<K, V>& r = a.recs()[ri];
          if (r.hash == h && same(r.key)) return {&r, a.boxedRec(static_cast<std::uint32_t>(ri)), nullptr, -1};
          return {};
        }
        if ((a.word & bit) == 0) return {};
        t = &a.subAt(bit);
        break;
      }
      case Kind::Leaf: {
        const L<K, V>& r = internal::leafOf(*t);
        if (internal::wordOf(*t) == h && same(r.key)) return {nullptr, false, &r, -1};
        return {};
      }
      case Kind::Collision: {
        if (internal::wordOf(*t) != h) return {};
        const Entries<K, V>& a = internal::entriesOf(*t);
        for (std::uint32_t i = 0; i < a.size(); ++i)
          if (k == a[i].key) return {nullptr, false, &a[i], static_cast<std::int64_t>(i)};
        return {};
      }
      default:
        return {};
    }
  }
}
template <class K, class V>
Found<K, V> lookupFrom(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& m) {
  return internal::searchFrom<false>(h, k, s, m, [](const HashMap<K, V>&, ChildBitmap) noexcept {});
}

template <class K, class V>
Found<K, V> lookupRecordCollisionU(KeyHash h, const K& k, const HashMap<K, V>& m) {
  return internal::lookupFrom(h, k, 0, m);
}

// The pair of the key k (hash h, stored in the probing node) in the logical subtree t whose level
// is s: the lookup walk, started below the root.
template <class K, class V>
Found<K, V> probeFrom(KeyHash h, const K& k, LevelShift s, const Ref<K, V>& t) {
  if (t.rec == nullptr) return internal::lookupFrom(h, k, s, *t.node);
  if (t.rec->hash == h && k == t.rec->key) return {t.rec, t.boxed, nullptr, -1};
  return {};
}

// The key's pair, or nothing; computes the key's hash once.
template <class K, class V>
Found<K, V> lookupU(const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  return internal::lookupRecordCollisionU(h, k, m);
}

template <class K, class V>
LookupRes<V> lookupRecordCollision(KeyHash h, const std::type_identity_t<K>& k,
                                   const HashMap<K, V>& m) {
  const Found<K, V> f = internal::lookupRecordCollisionU(h, k, m);
  if (!f) return LookupRes<V>::Absent();
  return LookupRes<V>::Present(f.handle(), f.position);
}

template <class K, class V>
std::optional<hs::Lazy<V>> lookup_(KeyHash h, const std::type_identity_t<K>& k,
                                   const HashMap<K, V>& m) {
  const Found<K, V> f = internal::lookupRecordCollisionU(h, k, m);
  if (!f) return std::nullopt;
  return f.handle();
}

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Queries
/// @{

/// The stored value, or none: its cell (still deferred if it was stored deferred), or, for a
/// small plain value the map holds in place, a handle holding a copy of the value (no allocation,
/// no count, no identity). One hash of k, O(log n) expected; copies a cell's handle (one count),
/// allocates nothing, forces nothing.
template <class K, class V>
[[nodiscard]] std::optional<hs::Lazy<V>> lookup(const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  if (const Found<K, V> f = internal::lookupU<K, V>(k, m)) return f.handle();
  return std::nullopt;
}

/// What lookupCell answers: the stored value as a handle that counts nothing, or nothing. It reads
/// like a pointer to the handle (`*p`, `p->`, `p == nullptr`) and is valid while the map (or any
/// map sharing the pair) lives.
template <class V>
class CellRef {
 public:
  /// Nothing.
  CellRef() noexcept = default;
  /// Nothing, written as a null pointer.
  CellRef(std::nullptr_t) noexcept {}  // NOLINT: reads as a null pointer
  // The stored value v (lookupCell's own; not in the reference).
  /// \cond
  explicit CellRef(const LazyView<V>& v) noexcept : v_(v) {}
  /// \endcond

  /// Whether a value was found.
  explicit operator bool() const noexcept { return v_.has_value(); }
  /// The value's handle.
  const hs::Lazy<V>& operator*() const noexcept { return v_->get(); }
  /// The value's handle.
  const hs::Lazy<V>* operator->() const noexcept { return &v_->get(); }
  /// Whether nothing was found.
  friend bool operator==(const CellRef& a, std::nullptr_t) noexcept { return !a.v_; }

 private:
  std::optional<LazyView<V>> v_;
};

/// The stored value in place, or nothing: no handle is copied, so no count is touched. Valid
/// while the map (or any map sharing the pair) lives.
/// One hash of k, O(log n) expected; allocates nothing, forces nothing.
template <class K, class V>
[[nodiscard]] CellRef<V> lookupCell(const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  if (const Found<K, V> f = internal::lookupU<K, V>(k, m)) return CellRef<V>(f.view());
  return nullptr;
}
/// Whether k has an entry. One hash of k, O(log n) expected; allocates nothing, forces nothing.
template <class K, class V>
[[nodiscard]] bool member(const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  return static_cast<bool>(internal::lookupU<K, V>(k, m));
}
/// `lookup` with the arguments swapped.
template <class K, class V>
[[nodiscard]] std::optional<hs::Lazy<V>> find(const HashMap<K, V>& m, const std::type_identity_t<K>& k) {
  return internal::lookup(k, m);
}
/// The stored value's cell, or def when k is absent. One hash of k, O(log n) expected; allocates
/// nothing, forces nothing (def included).
template <class K, class V>
[[nodiscard]] hs::Lazy<V> findWithDefault(std::type_identity_t<hs::Lazy<V>> def, const std::type_identity_t<K>& k,
                            const HashMap<K, V>& m) {
  if (const Found<K, V> f = internal::lookupU<K, V>(k, m)) return f.handle();
  return def;
}
/// findWithDefault under its other name.
template <class K, class V>
[[nodiscard]] hs::Lazy<V> lookupDefault(std::type_identity_t<hs::Lazy<V>> def, const std::type_identity_t<K>& k,
                          const HashMap<K, V>& m) {
  return internal::findWithDefault(std::move(def), k, m);
}
/// @}
/// @}

[[noreturn]] void keyNotFound(const hs::CallStack& caller);

/// \addtogroup vantrel_map_lazy
/// @{
/// \name Queries
/// @{

/// The stored value (as lookup gives it); a program error when the key is absent. The error's
/// call stack is the caller's with this site pushed on it, or the caller's unchanged when it is
/// frozen. One hash of k, O(log n) expected; allocates nothing on a hit, forces nothing.
template <class K, class V>
[[nodiscard]] hs::Lazy<V> at(const HashMap<K, V>& m, const std::type_identity_t<K>& k,
               const hs::CallStack& caller = {}) {
  if (const Found<K, V> f = internal::lookupU<K, V>(k, m)) return f.handle();
  keyNotFound(caller);
}
/// @}
/// @}

}  // namespace vantrel::internal
