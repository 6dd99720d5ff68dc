// Value-strict unions: the map module's union walk, with every combined value computed at once
// and evaluated before the node that holds it is built. Values that only one map holds are carried
// over as they stand, except the value of a `Leaf` appended to the other map's collision array,
// which the module's collision helper evaluates. No key is hashed.
#pragma once

#include "hs/call.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/map/internal/strict/errors.hpp"
#include "vantrel/map/internal/strict/single.hpp"
#include "vantrel/map/internal/union.hpp"

namespace vantrel::internal::strict {

// The stored hash of a `Leaf` or `Collision`; any other node is a program error.
template <class K, class V>
KeyHash leafHashCode(const Ref<K, V>& t) {
  if (t.kind() != Kind::Leaf && t.kind() != Kind::Collision) leafHashCodeError();
  return t.hash();
}
template <class K, class V>
KeyHash leafHashCode(const HashMap<K, V>& t) {
  return strict::leafHashCode(Ref<K, V>::of(t));
}

// The walk's policy: g(kept key, left cell, right cell) is called now and its result evaluated;
// the walk's unreachable pairings raise the module's errors.
template <class G>
struct UnionStrict : UnionCombine<G, false> {
  template <class K, class V>
  static KeyHash sideHash(const Ref<K, V>& t) {
    return strict::leafHashCode(t);
  }
  [[noreturn]] static void unmatched() { unionNoMatchError(); }
  // The module's own collision helper: a combined value or an appended one is evaluated.
  template <class F, class K, class V>
  static HashMap<K, V> snoc(F&& f, const K& k, const hs::Lazy<V>& v, const Entries<K, V>& a) {
    return strict::updateOrSnocWithKey<K, V>(hs::onCells(std::forward<F>(f)), k, v, a);
  }
};

/// \addtogroup vantrel_map_strict
/// @{
/// \name Combination
/// @{

/// Every key of either map; a key of both gets f(kept key, left value, right value), called during
/// the walk and evaluated. The kept key is the left one, or in one shape of the two maps the right
/// map's equal key. A failing f fails the union, and nothing of it is left. Costs as the lazy
/// union_, plus one call of f and one evaluation per common key.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> unionWithKey(F f, const HashMap<K, V>& m1, const HashMap<K, V>& m2) {
  auto g = [&f](const K& k, const hs::Lazy<V>& x1, const hs::Lazy<V>& x2) {
    hs::Lazy<V> r = hs::callToCell<V>(f, k, x1, x2);
    r.force();
    return r;
  };
  const UnionStrict<decltype(g)> p{{g}};
  return internal::unionMaps<K, V>(p, m1, m2);
}

/// As unionWithKey with f(left value, right value).
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> unionWith(F f, const HashMap<K, V>& m1, const HashMap<K, V>& m2) {
  auto g = [&f](const K&, const hs::Lazy<V>& x1, const hs::Lazy<V>& x2) {
    hs::Lazy<V> r = hs::callToCell<V>(f, x1, x2);
    r.force();
    return r;
  };
  const UnionStrict<decltype(g)> p{{g}};
  return internal::unionMaps<K, V>(p, m1, m2);
}
/// @}
/// @}

}  // namespace vantrel::internal::strict
