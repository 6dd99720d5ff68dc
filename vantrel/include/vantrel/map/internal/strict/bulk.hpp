// Value-strict bulk construction: a fold into a private accumulator with the in-place inserts,
// every stored value evaluated first.
#pragma once

#include <initializer_list>
#include <ranges>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/insert.hpp"
#include "vantrel/map/internal/strict/single.hpp"

namespace vantrel::internal::strict {

// Adds (k, v) to a map that nobody but the caller can reach, overwriting child slots in place. A
// present key gets f(k, v, stored value), called now and evaluated (v left alone when f takes
// cells); v is evaluated where it is stored alone.
template <class K, class V, class F>
HashMap<K, V> unsafeInsertWithKey(F&& f, const std::type_identity_t<K>& k,
                                  const std::type_identity_t<hs::Lazy<V>>& v,
                                  const HashMap<K, V>& m) {
  const KeyHash h = internal::hash(k);
  CombineStrict<K, V, std::remove_reference_t<F>> p{h, k, v, f};
  return internal::insertWalk<Walk::Private>(h, k, 0, m, p);
}

/// \addtogroup vantrel_map_strict
/// @{
/// \name Construction
/// @{

/// The map of the range's pairs, (K, V) or (K, hs::Lazy<V>), a later pair replacing an earlier
/// pair of an equal key. Each value is
/// evaluated, in list order, before its key is hashed; a failing value fails the whole build,
/// even when a later pair of the same key would replace it.
/// Costs as the lazy fromList, plus the evaluation of every value.
template <std::ranges::input_range R>
[[nodiscard]] HashMap<KeyOf<R>, ValueOf<R>> fromList(const R& pairs) {
  return internal::insertPairs<KeyOf<R>, ValueOf<R>>(pairs, [](const auto& v) { v.force(); });
}
/// The same for a braced list of (key, cell) pairs.
template <class K, class V>
[[nodiscard]] HashMap<K, V> fromList(std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs) {
  return strict::fromList<std::initializer_list<std::pair<K, hs::Lazy<V>>>>(pairs);
}

/// As fromList; a key met again gets f(key of the later pair, new, accumulated), evaluated. The
/// new value of such a pair is left alone when f takes cells.
/// f is called when the key is met again. Costs as the lazy fromList, plus the evaluation of every
/// stored value.
template <class F, std::ranges::input_range R>
[[nodiscard]] HashMap<KeyOf<R>, ValueOf<R>> fromListWithKey(F f, const R& pairs) {
  using K = KeyOf<R>;
  using V = ValueOf<R>;
  return internal::foldPairs<K, V>(
      pairs, [&f](const K& k, const hs::Lazy<V>& v, const HashMap<K, V>& acc) {
        return strict::unsafeInsertWithKey<K, V>(f, k, v, acc);
      });
}
/// The same for a braced list of (key, cell) pairs.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> fromListWithKey(F f, std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs) {
  return strict::fromListWithKey<F, std::initializer_list<std::pair<K, hs::Lazy<V>>>>(std::move(f),
                                                                                      pairs);
}

/// As fromListWithKey with f(new, accumulated).
/// Costs as fromListWithKey.
template <class F, std::ranges::input_range R>
[[nodiscard]] HashMap<KeyOf<R>, ValueOf<R>> fromListWith(F f, const R& pairs) {
  using K = KeyOf<R>;
  using V = ValueOf<R>;
  auto combine = hs::onCells([&f](const K&, const hs::Lazy<V>& x, const hs::Lazy<V>& y) {
    return hs::callToCell<V>(f, x, y);
  });
  return strict::fromListWithKey(combine, pairs);
}
/// The same for a braced list of (key, cell) pairs.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> fromListWith(F f, std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs) {
  return strict::fromListWith<F, std::initializer_list<std::pair<K, hs::Lazy<V>>>>(std::move(f),
                                                                                   pairs);
}

/// @}
/// @}
}  // namespace vantrel::internal::strict
