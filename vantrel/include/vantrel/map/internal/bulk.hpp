// Bulk construction from lists: a fold into a private accumulator with the in-place inserts, so a
// list of n pairs is built without copying a path per pair.
#pragma once

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <ranges>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

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

// ---- Building from all the pairs at once ----------------------------------------------------
//
// Where the keys' hash and == have no effect a caller can see, the pairs are sorted into their
// chunks level by level and every node is made once, at its final size: no node grows, none is
// copied or freed on the way. The result is the one the inserts one by one would give (the same
// shape; in a collision the keys in the order they first came, each with its last pair).

// A pair on its way to its node, with its hash: plain keys and values travel with it (they are
// read in hash order, where the pairs themselves would be reached at random), others are pointed
// to.
template <class P, class K = std::remove_cvref_t<std::tuple_element_t<0, std::remove_cv_t<P>>>,
          class V = std::remove_cvref_t<std::tuple_element_t<1, std::remove_cv_t<P>>>,
          bool Carried = std::is_trivially_copyable_v<K> && std::is_trivially_copyable_v<V> &&
                         sizeof(K) + sizeof(V) <= 16>
struct BulkItem {
  KeyHash h;
  const P* p;
  BulkItem(KeyHash hh, const P& pp) noexcept : h(hh), p(&pp) {}
  const K& key() const noexcept { return std::get<0>(*p); }
  const V& value() const noexcept { return std::get<1>(*p); }
};
template <class P, class K, class V>
struct BulkItem<P, K, V, true> {
  KeyHash h;
  K k;
  V v;
  BulkItem(KeyHash hh, const P& pp) noexcept : h(hh), k(std::get<0>(pp)), v(std::get<1>(pp)) {}
  const K& key() const noexcept { return k; }
  const V& value() const noexcept { return v; }
};

// Whether a range of pairs can be built this way: keys whose calls are quiet, leaves that are
// records, plain values, and pairs that stay where they are while the build reads them.
template <class K, class V, class R>
inline constexpr bool bulkBuildable =
    quietKey<K> && recordable<K, V> && std::ranges::forward_range<const R&> &&
    std::is_lvalue_reference_v<std::ranges::range_reference_t<const R&>> &&
    !hs::IsLazy<std::remove_cvref_t<std::tuple_element_t<1, PairOf<R>>>>::value;

// The pairs of one hash: a record when their keys are all equal, else a collision node.
template <class K, class V, class I>
Child<K, V> bulkSameHash(const I* items, std::size_t n) {
  const KeyHash h = items[0].h;
  // The keys in the order they first came, each with its last pair.
  std::vector<const I*> kept;
  for (std::size_t i = 0; i < n; ++i) {
    bool seen = false;
    for (const I*& q : kept)
      if (q->key() == items[i].key()) {
        q = &items[i];
        seen = true;
        break;
      }
    if (!seen) kept.push_back(&items[i]);
  }
  if (kept.size() == 1)
    return Child<K, V>::made(h, kept[0]->key(), internal::slotOfValue<V>(kept[0]->value()));
  EntryBuilder<K, V> out(Kind::Collision, h, static_cast<std::uint32_t>(kept.size()));
  for (const I* q : kept) out.emplace(L<K, V>{q->key(), internal::handleOfValue<V>(q->value())});
  return Child<K, V>(internal::collisionNode<K, V>(h, out.finish()));
}

// The subtree of n pairs that agree on the chunks above level s, from items (scratch has room
// for as many and takes their order for the level below: the two swap roles each level).
template <class K, class V, class I>
Child<K, V> bulkBuild(I* items, I* scratch, std::size_t n, LevelShift s) {
  if (n == 1)
    return Child<K, V>::made(items[0].h, items[0].key(), internal::slotOfValue<V>(items[0].value()));
  bool same = true;
  for (std::size_t i = 1; i < n && same; ++i) same = items[i].h == items[0].h;
  if (same) return internal::bulkSameHash<K, V>(items, n);
  // Pairs of different hashes differ in some chunk of the hash, so this stops by the last level.
  std::size_t at[maxChildren + 1] = {};
  for (std::size_t i = 0; i < n; ++i) ++at[internal::index(items[i].h, s) + 1];
  for (std::int64_t c = 1; c <= maxChildren; ++c) at[c] += at[c - 1];
  std::size_t fill[maxChildren];
  std::memcpy(fill, at, sizeof(fill));
  for (std::size_t i = 0; i < n; ++i) scratch[fill[internal::index(items[i].h, s)]++] = items[i];
  Child<K, V> kids[maxChildren];
  ChildBitmap b = 0;
  std::uint32_t m = 0;
  for (std::int64_t c = 0; c < maxChildren; ++c) {
    const std::size_t k = at[c + 1] - at[c];
    if (k == 0) continue;
    b |= ChildBitmap{1} << c;
    kids[m++] = internal::bulkBuild<K, V>(scratch + at[c], items + at[c], k, nextShift(s));
  }
  return Child<K, V>(internal::branchOf<K, V>(b, kids, m));
}

template <class K, class V, class R>
HashMap<K, V> bulkFromList(const R& pairs) {
  using P = std::remove_reference_t<std::ranges::range_reference_t<const R&>>;
  using I = BulkItem<P>;
  std::vector<I> items;
  if constexpr (std::ranges::sized_range<const R&>) items.reserve(std::ranges::size(pairs));
  for (const auto& p : pairs) items.emplace_back(internal::hash(std::get<0>(p)), p);
  if (items.empty()) return HashMap<K, V>();
  std::vector<I> scratch(items.size(), items[0]);
  return internal::bulkBuild<K, V>(items.data(), scratch.data(), items.size(), 0).toMap();
}

// The pairs put in one by one with the in-place insert, a later pair replacing an earlier pair
// of an equal key; pairs of plain values build their leaves straight from the values. `before`
// sees each cell first.
template <class K, class V, class R, class Before>
HashMap<K, V> insertPairs(const R& pairs, Before&& before) {
  if constexpr (bulkBuildable<K, V, R>) {
    return internal::bulkFromList<K, V>(pairs);
  } else if constexpr (hs::IsLazy<std::remove_cvref_t<std::tuple_element_t<1, PairOf<R>>>>::value) {
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
