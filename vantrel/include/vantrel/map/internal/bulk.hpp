// Bulk construction from lists: a fold into a private accumulator with the in-place inserts, so a
// list of n pairs is built without copying a path per pair.
#pragma once

#include <initializer_list>
#include <iterator>
#include <ranges>
#include <tuple>
#include <type_traits>
#include <utility>

#include "hs/call.hpp"
#include "vantrel/map/internal/insert.hpp"

namespace vantrel::internal {

template <class T>
struct StripLazy {
  using type = T;
};
template <class T>
struct StripLazy<hs::Lazy<T>> {
  using type = T;
};

// The key and value types of a range of pairs whose second component is a value or a cell.
template <class R>
using PairOf = std::remove_cvref_t<std::ranges::range_reference_t<const R&>>;
template <class R>
using KeyOf = std::remove_cvref_t<std::tuple_element_t<0, PairOf<R>>>;
template <class R>
using ValueOf = typename StripLazy<std::remove_cvref_t<std::tuple_element_t<1, PairOf<R>>>>::type;

// Folds the pairs into the accumulator with `step(key, cell, acc)`. If a caller's hash or ==
// throws part-way, the accumulator is dropped: nothing half-built escapes.
template <class K, class V, class R, class Step>
HashMap<K, V> foldPairs(const R& pairs, Step&& step) {
  HashMap<K, V> acc;
  for (const auto& p : pairs) {
    const auto& [k, v] = p;
    const hs::Lazy<V> cell(v);
    acc = step(k, cell, acc);
  }
  return acc;
}

// The pairs put in one by one with the in-place insert, a later pair replacing an earlier pair
// of an equal key; pairs of plain values build their leaves straight from the values. `before`
// sees each cell first.
template <class K, class V, class R, class Before>
HashMap<K, V> insertPairs(const R& pairs, Before&& before) {
  if constexpr (hs::IsLazy<std::remove_cvref_t<std::tuple_element_t<1, PairOf<R>>>>::value) {
    return internal::foldPairs<K, V>(
        pairs, [&before](const K& k, const hs::Lazy<V>& v, const HashMap<K, V>& acc) {
          before(v);
          return internal::unsafeInsert<K, V>(k, v, acc);
        });
  } else {
    HashMap<K, V> acc;
    for (const auto& p : pairs) {
      const auto& [k, v] = p;
      acc = internal::unsafeInsertValue<K, V>(k, v, acc);
    }
    return acc;
  }
}

/// \addtogroup vantrel_map_lazy
/// @{

/// The map of the pairs; a later pair replaces an earlier pair of an equal key. The pairs' second
/// components may be values or cells, stored as given (a cell stays deferred). One hash per pair
/// and O(log n) expected per pair; built in place in a map nobody else sees, so no path is copied
/// per pair: allocates the entries and the branch nodes of the result (a node that grows is
/// reallocated). When a hash or == throws, nothing is left behind.
template <std::ranges::input_range R>
[[nodiscard]] HashMap<KeyOf<R>, ValueOf<R>> fromList(const R& pairs) {
  return internal::insertPairs<KeyOf<R>, ValueOf<R>>(pairs, [](const auto&) {});
}
/// The same for a braced list of (key, cell) pairs.
template <class K, class V>
[[nodiscard]] HashMap<K, V> fromList(std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs) {
  return internal::foldPairs<K, V>(pairs,
                                   [](const K& k, const hs::Lazy<V>& v, const HashMap<K, V>& acc) {
                                     return internal::unsafeInsert<K, V>(k, v, acc);
                                   });
}

/// As fromList; the values of an equal key combine into the deferred f(new, old).
/// Costs as fromList, plus per repeated key the deferred combination, which holds a copy of f;
/// f is not called here.
template <class F, std::ranges::input_range R>
[[nodiscard]] HashMap<KeyOf<R>, ValueOf<R>> fromListWith(F f, const R& pairs) {
  using K = KeyOf<R>;
  using V = ValueOf<R>;
  auto combine = [&f](const K&, const hs::Lazy<V>& n, const hs::Lazy<V>& o) {
    return hs::deferCall<V>(f, n, o);
  };
  return internal::foldPairs<K, V>(pairs,
                                   [&](const K& k, const hs::Lazy<V>& v, const HashMap<K, V>& acc) {
                                     return internal::unsafeInsertWithKey<K, V>(combine, k, v, acc);
                                   });
}
/// The same for a braced list of (key, cell) pairs.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> fromListWith(F f, std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs) {
  return internal::fromListWith<F, std::initializer_list<std::pair<K, hs::Lazy<V>>>>(std::move(f),
                                                                                     pairs);
}

/// As fromListWith, the combination the deferred f(key of the later pair, new, old).
/// Costs as fromListWith.
template <class F, std::ranges::input_range R>
[[nodiscard]] HashMap<KeyOf<R>, ValueOf<R>> fromListWithKey(F f, const R& pairs) {
  using K = KeyOf<R>;
  using V = ValueOf<R>;
  auto combine = [&f](const K& k, const hs::Lazy<V>& n, const hs::Lazy<V>& o) {
    return hs::deferCallWith<V>(f, std::tuple<K>(k), n, o);
  };
  return internal::foldPairs<K, V>(pairs,
                                   [&](const K& k, const hs::Lazy<V>& v, const HashMap<K, V>& acc) {
                                     return internal::unsafeInsertWithKey<K, V>(combine, k, v, acc);
                                   });
}
/// The same for a braced list of (key, cell) pairs.
template <class K, class V, class F>
[[nodiscard]] HashMap<K, V> fromListWithKey(F f, std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs) {
  return internal::fromListWithKey<F, std::initializer_list<std::pair<K, hs::Lazy<V>>>>(
      std::move(f), pairs);
}

// toList (the pairs in trie order, values as their stored cells) is in fold.hpp.
/// fromList; the count is not used, so a wrong one changes nothing.
template <std::ranges::input_range R>
[[nodiscard]] HashMap<KeyOf<R>, ValueOf<R>> fromListN(std::int64_t, const R& pairs) {
  return internal::fromList(pairs);
}
/// The same for a braced list of (key, cell) pairs.
template <class K, class V>
[[nodiscard]] HashMap<K, V> fromListN(std::int64_t, std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs) {
  return internal::fromList<K, V>(pairs);
}

/// @}
}  // namespace vantrel::internal

namespace vantrel {

template <class K, class V>
HashMap<K, V>::HashMap(std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs)
    : HashMap(internal::fromList<K, V>(pairs)) {}

}  // namespace vantrel
