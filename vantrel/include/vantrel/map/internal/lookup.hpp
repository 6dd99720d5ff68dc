// Lookups: one allocation-free walk down the key's hash path.
#pragma once

#include <cstdint>
#include <optional>
#include <type_traits>

#include "hs/error.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/sites.hpp"
#include "vantrel/package.hpp"

namespace vantrel::internal {

// Where a key's record was found: the record itself (null when absent) and its position, -1 for a
// plain `Leaf`, else the index in the `Collision` array.
template <class K, class V>
struct Found {
  const L<K, V>* record = nullptr;
  std::int64_t position = -1;
  explicit operator bool() const noexcept { return record != nullptr; }
};

// The walk under every lookup, from the node m at level s. The key asked for is the left operand
// of ==; hashes are compared first, so == runs only between keys of equal hash.
template <class K, class V>
Found<K, V> lookupFrom(KeyHash h, const K& k, LevelShift s, const HashMap<K, V>& m) {
  const HashMap<K, V>* t = &m;
  for (;;) {
    switch (internal::kindOf(*t)) {
      case Kind::Empty:
        return {};
      case Kind::BitmapIndexed: {
        const ChildBitmap b = internal::wordOf(*t), bit = mask(h, s);
        if ((b & bit) == 0) return {};
        t = &internal::childrenOf(*t)[static_cast<std::size_t>(sparseIndex(b, bit))];
        s = nextShift(s);
        break;
      }
      case Kind::Full:
        t = &internal::childrenOf(*t)[static_cast<std::size_t>(index(h, s))];
        s = nextShift(s);
        break;
      case Kind::Leaf: {
        const L<K, V>& r = internal::leafOf(*t);
        if (internal::wordOf(*t) == h && k == r.key) return {&r, -1};
        return {};
      }
      case Kind::Collision: {
        if (internal::wordOf(*t) != h) return {};
        const Entries<K, V>& a = internal::entriesOf(*t);
        for (std::uint32_t i = 0; i < a.size(); ++i)
          if (k == a[i].key) return {&a[i], static_cast<std::int64_t>(i)};
        return {};
      }
      default:
        return {};
    }
  }
}

template <class K, class V>
Found<K, V> lookupRecordCollisionU(KeyHash h, const K& k, const HashMap<K, V>& m) {
  return internal::lookupFrom(h, k, 0, m);
}

// The stored cell of the key, or null; computes the key's hash once.
template <class K, class V>
const hs::Lazy<V>* lookupU(const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  const Found<K, V> f = internal::lookupRecordCollisionU(h, k, m);
  return f ? &f.record->value : nullptr;
}

template <class K, class V>
LookupRes<V> lookupRecordCollision(KeyHash h, const std::type_identity_t<K>& k,
                                   const HashMap<K, V>& m) {
  const Found<K, V> f = internal::lookupRecordCollisionU(h, k, m);
  if (!f) return LookupRes<V>::Absent();
  return LookupRes<V>::Present(f.record->value, f.position);
}

template <class K, class V>
std::optional<hs::Lazy<V>> lookup_(KeyHash h, const std::type_identity_t<K>& k,
                                   const HashMap<K, V>& m) {
  const Found<K, V> f = internal::lookupRecordCollisionU(h, k, m);
  if (!f) return std::nullopt;
  return f.record->value;
}

/// \addtogroup vantrel_map_lazy
/// @{

/// The stored value's cell (still deferred if it was stored deferred), or none. One hash of k,
/// O(log n) expected; copies the cell's handle (one count), allocates nothing, forces nothing.
template <class K, class V>
[[nodiscard]] std::optional<hs::Lazy<V>> lookup(const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  if (const hs::Lazy<V>* v = internal::lookupU(k, m)) return *v;
  return std::nullopt;
}
/// The stored cell itself, or null: no handle is copied, so no count is touched. The pointer is
/// valid while the map (or any map sharing the record) lives.
/// One hash of k, O(log n) expected; allocates nothing, forces nothing.
template <class K, class V>
[[nodiscard]] const hs::Lazy<V>* lookupCell(const std::type_identity_t<K>& k,
                                          const HashMap<K, V>& m) {
  return internal::lookupU<K, V>(k, m);
}
/// Whether k has an entry. One hash of k, O(log n) expected; allocates nothing, forces nothing.
template <class K, class V>
[[nodiscard]] bool member(const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  return internal::lookupU(k, m) != nullptr;
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
  if (const hs::Lazy<V>* v = internal::lookupU(k, m)) return *v;
  return def;
}
/// findWithDefault under its other name.
template <class K, class V>
[[nodiscard]] hs::Lazy<V> lookupDefault(std::type_identity_t<hs::Lazy<V>> def, const std::type_identity_t<K>& k,
                          const HashMap<K, V>& m) {
  return internal::findWithDefault(std::move(def), k, m);
}
/// @}

[[noreturn]] void keyNotFound(const hs::CallStack& caller);

/// \addtogroup vantrel_map_lazy
/// @{

/// The stored value's cell; a program error when the key is absent. The error's call stack is the
/// caller's with this site pushed on it, or the caller's unchanged when it is frozen.
/// One hash of k, O(log n) expected; allocates nothing on a hit, forces nothing.
template <class K, class V>
[[nodiscard]] hs::Lazy<V> at(const HashMap<K, V>& m, const std::type_identity_t<K>& k,
               const hs::CallStack& caller = {}) {
  if (const hs::Lazy<V>* v = internal::lookupU(k, m)) return *v;
  keyNotFound(caller);
}
/// @}

}  // namespace vantrel::internal
