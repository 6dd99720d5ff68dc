// Value-strict operations on one key. Every value is evaluated before the node that holds it is
// built, so a failing value surfaces from the operation itself and no node is left holding it.
//
// A caller's function is called through hs::call: it receives values (the cells forced first), or
// cells when wrapped with hs::onCells; what it gives back (a value or a cell) is evaluated before
// it is stored. The walks run bottom-up, so a failure leaves nothing built.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/delete.hpp"
#include "vantrel/map/internal/insert.hpp"
#include "vantrel/map/internal/lookup.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/strict/errors.hpp"

namespace vantrel::internal::strict {

// ---- Collision entry arrays ----------------------------------------------------------------

// A new collision node of the same hash: the first entry with k == stored key replaced by
// (k, f(k, v, stored value)), with the caller's key, or (k, v) appended last. f's result is
// evaluated; v only when it is appended (f on cells receives it as it is).
template <class K, class V, class F>
HashMap<K, V> updateOrSnocWithKey(F&& f, const std::type_identity_t<K>& k,
                                  const std::type_identity_t<hs::Lazy<V>>& v,
                                  const Entries<K, V>& a) {
  const std::uint32_t n = a.size();
  for (std::uint32_t i = 0; i < n; ++i) {
    if (k == a[i].key) {
      hs::Lazy<V> r = hs::callToCell<V>(f, k, v, a[i].value);
      r.force();
      return internal::collisionNode<K, V>(
          a.word,
          internal::copyUpdate(Kind::Collision, a.word, a.slots(), n, i, L<K, V>{k, std::move(r)}));
    }
  }
  v.force();
  return internal::collisionNode<K, V>(
      a.word, internal::copyInsert(Kind::Collision, a.word, a.slots(), n, n, L<K, V>{k, v}));
}

// The first entry with k == stored key, its value replaced by f(stored value), evaluated, and its
// key by the caller's: always a new node, even when f gives back the stored cell. The collision
// node itself when the key is absent.
template <class K, class V, class F>
HashMap<K, V> updateWith(F&& f, const std::type_identity_t<K>& k, const HashMap<K, V>& node) {
  auto cellFn = [&f](const hs::Lazy<V>& y) {
    hs::Lazy<V> r = hs::callToCell<V>(f, y);
    r.force();
    return r;
  };
  return internal::updateWithCell<true, K, V>(cellFn, k, node);
}

// ---- Construction and insertion ------------------------------------------------------------

/// \addtogroup vantrel_map_strict
/// @{
/// \name Construction
/// @{

/// The one-entry map of k and the cell v, evaluated first (then the key is hashed); the cell itself
/// is stored. One hash of k; allocates the entry.
template <class K, class V>
[[nodiscard]] HashMap<K, V> singleton(const K& k, std::type_identity_t<hs::Lazy<V>> v) {
  v.force();
  return internal::singleton<K, V>(k, std::move(v));
}

/// The one-entry map of k and the value v in a new, evaluated cell: the lazy interface's own.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> singleton(const K& k, U&& v) {
  return internal::singleton<K, V>(k, std::forward<U>(v));
}

/// @}
/// \name Updates
/// @{

/// k mapped to the cell v, evaluated before the key is hashed; the cell itself is stored. The very
/// cell already stored for the key gives back the map itself. Costs as the lazy insert.
template <class K, class V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, const std::type_identity_t<hs::Lazy<V>>& v,
                     const HashMap<K, V>& m) {
  v.force();
  return internal::insert<K, V>(k, v, m);
}
/// The same for a map the caller gives up (updated in place where nothing else holds it). A
/// failing value leaves the caller's map as it was.
template <class K, class V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, const std::type_identity_t<hs::Lazy<V>>& v,
                     HashMap<K, V>&& m) {
  v.force();
  return internal::insert<K, V>(k, v, std::move(m));
}

/// The same with a value, evaluated already: the lazy insert of a value.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, U&& v,
                                   const HashMap<K, V>& m) {
  return internal::insert<K, V>(k, std::forward<U>(v), m);
}
/// The same for a map the caller gives up.
template <class K, class V, class U>
  requires std::same_as<std::remove_cvref_t<U>, V>
[[nodiscard]] HashMap<K, V> insert(const std::type_identity_t<K>& k, U&& v, HashMap<K, V>&& m) {
  return internal::insert<K, V>(k, std::forward<U>(v), std::move(m));
}
/// @}
/// @}

// The insert walk's handling of a present key for the combining inserts: f(key, new, stored) is
// called at once and its result evaluated; the new value is evaluated only where it is stored
// alone. Every match gives a new node, so no level above ever gets its own child back.
template <class K, class V, class F>
struct CombineStrict {
  KeyHash h;
  const K& k;
  const hs::Lazy<V>& v;
  F& f;
  In<V> fresh() const {
    v.force();
    return In<V>::cell(v);
  }
  std::optional<In<V>> leafMatch(const Ref<K, V>& y) const {
    const LazyView<V> stored = y.view();
    hs::Lazy<V> r = hs::callToCell<V>(f, k, v, stored.get());
    r.force();
    return In<V>::owned(std::move(r));
  }
  HashMap<K, V> collision(const HashMap<K, V>& t) const {
    return strict::updateOrSnocWithKey<K, V>(f, k, v, internal::entriesOf(t));
  }
};

/// \addtogroup vantrel_map_strict
/// @{
/// \name Updates
/// @{

/// Absent key: k mapped to v, evaluated. Present key: k mapped to f(v, stored value), evaluated; v
/// itself is left alone there unless f takes values. Every node on the path is new. f is called
/// now. One hash of k, O(log n) expected; copies the key's path and allocates the entry.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> insertWith(F f, const std::type_identity_t<K>& k,
                         const std::type_identity_t<hs::Lazy<V>>& v, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  auto combine = hs::onCells([&f](const K&, const hs::Lazy<V>& x, const hs::Lazy<V>& y) {
    return hs::callToCell<V>(f, x, y);
  });
  CombineStrict<K, V, decltype(combine)> p{h, k, v, combine};
  return internal::insertWalk<Walk::Persistent>(h, k, 0, m, p);
}

// ---- Adjustment ----------------------------------------------------------------------------

/// The key's value replaced by f(stored value), evaluated, under the given key. A new map whenever
/// the key's path exists, even when f gives back the stored cell; the map itself only when the
/// walk stops at the root.
/// f is called now. One hash of k, O(log n) expected; copies the key's path when it exists.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> adjust(F f, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  auto cellFn = [&f](const hs::Lazy<V>& y) {
    hs::Lazy<V> r = hs::callToCell<V>(f, y);
    r.force();
    return r;
  };
  return internal::adjustWalk<true, K, V>(cellFn, h, k, 0, m);
}

// ---- Alteration ----------------------------------------------------------------------------

/// f decides from the lookup (an optional value, or an optional cell under hs::onCells); a present
/// answer is evaluated before it is stored. Nothing for an absent key, or the very stored cell for
/// a present one, gives back the map itself.
/// f is called now. Costs as the lazy alter.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> alter(F f, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  const Found<K, V> found = internal::lookupRecordCollisionU(h, k, m);
  std::optional<LazyView<V>> current;
  if (found) current.emplace(found.view());
  const std::optional<hs::Lazy<V>> answer =
      internal::decideOptional<V>(f, current ? &current->get() : nullptr);
  if (answer) answer->force();
  return internal::alterDecide(found, answer, h, k, m);
}

/// alter with f applied to a present value only; f is not called for an absent key.
/// Costs as the lazy alter.
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
  if (answer) answer->force();
  return internal::alterDecide(found, answer, h, k, m);
}

// ---- Functorial alteration -----------------------------------------------------------------

/// The map after g decided, inside g's functor; a present answer is evaluated when the functor's
/// mapping applies the decision. Under hs::onCells g receives the lookup as a deferred cell, shared
/// with the decision, so a g that ignores it never runs the lookup; otherwise g receives the
/// optional value.
/// Costs as the lazy alterF.
template <class K, class V, class G>
auto alterF(G g, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  return internal::alterFWith<true, K, V>(std::move(g), k, m);
}
/// @}
/// @}

// As alterF with the lookup made at once, before g runs; the decision is alter's.
template <class K, class V, class G>
auto alterFEager(G g, const std::type_identity_t<K>& k, const HashMap<K, V>& m) {
  return internal::alterFEagerWith<true, K, V>(std::move(g), k, m);
}

// alterFEager, its two leading arguments ignored.
template <class K, class V, class A, class B, class G>
auto alterFWeird(const A&, const B&, G g, const std::type_identity_t<K>& k,
                 const HashMap<K, V>& m) {
  return strict::alterFEager<K, V>(std::move(g), k, m);
}

}  // namespace vantrel::internal::strict
