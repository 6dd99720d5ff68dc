// Value-strict intersections and the combining difference: the map module's intersection walk and
// difference fold, with every value they store evaluated before the node that holds it is built.
#pragma once

#include "hs/call.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/difference.hpp"
#include "vantrel/map/internal/intersection.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal::strict {

/// \addtogroup vantrel_map_strict
/// @{
/// \name Combination
/// @{

/// The keys of both maps, each with f(kept key, first value, second value), called during the walk
/// and evaluated. The kept key is the first map's, or in some shapes of the two maps the second
/// map's equal key. Costs as the lazy intersection, plus one call of f and one evaluation per
/// common key.
template <class F, class K, class V1, class V2,
          class V3 = CallResult<F, K, hs::Lazy<V1>, hs::Lazy<V2>>>
[[nodiscard]] HashMap<K, V3> intersectionWithKey(F f, const HashMap<K, V1>& m1, const HashMap<K, V2>& m2) {
  auto now = [&f](const K& k, const hs::Lazy<V1>& x1, const hs::Lazy<V2>& x2) {
    hs::Lazy<V3> r = hs::callToCell<V3>(f, k, x1, x2);
    r.force();
    return r;
  };
  const IntersectPolicy<V3, decltype(now), false> p{now};
  return internal::intersectMaps<V3>(p, m1, m2);
}

/// As intersectionWithKey with f(first value, second value).
template <class F, class K, class V1, class V2,
          class V3 = CallResult<F, hs::Lazy<V1>, hs::Lazy<V2>>>
[[nodiscard]] HashMap<K, V3> intersectionWith(F f, const HashMap<K, V1>& m1, const HashMap<K, V2>& m2) {
  auto now = [&f](const K&, const hs::Lazy<V1>& x1, const hs::Lazy<V2>& x2) {
    hs::Lazy<V3> r = hs::callToCell<V3>(f, x1, x2);
    r.force();
    return r;
  };
  const IntersectPolicy<V3, decltype(now), false> p{now};
  return internal::intersectMaps<V3>(p, m1, m2);
}

/// A new map of the first map's keys, each kept with its own value, evaluated, when the second map
/// lacks it, else decided by f(first value, second value): absent drops it, present gives its new
/// value, evaluated. f is called once per common key, in the first map's trie order (values, or
/// cells and an optional cell under hs::onCells).
/// Costs as the lazy differenceWith, plus the evaluation of every stored value.
template <class K, class V, class W, class F>
[[nodiscard]] HashMap<K, V> differenceWith(F f, const HashMap<K, V>& m1, const HashMap<K, W>& m2) {
  return internal::differenceWithFold<true, K, V, W>(f, m1, m2);
}

/// @}
/// @}
}  // namespace vantrel::internal::strict
