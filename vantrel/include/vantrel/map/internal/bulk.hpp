// Bulk construction from lists: a fold into a private accumulator with the in-place inserts, so a
// list of n pairs is built without copying a path per pair.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
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
          bool Carried = (std::is_trivially_copyable_v<K> && std::is_trivially_copyable_v<V> &&
                          sizeof(K) + sizeof(V) <= 16)>
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

// The keys of pairs of one hash in the order they first came, each with its last pair.
template <class I>
void bulkKept(const I* items, std::size_t n, std::vector<const I*>& kept) {
  kept.clear();
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
}
template <class K, class V, class I>
HashMap<K, V> bulkCollision(const std::vector<const I*>& kept) {
  const KeyHash h = kept[0]->h;
  EntryBuilder<K, V> out(Kind::Collision, h, static_cast<std::uint32_t>(kept.size()));
  for (const I* q : kept) out.emplace(L<K, V>{q->key(), internal::handleOfValue<V>(q->value())});
  return internal::collisionNode<K, V>(h, out.finish());
}
template <class I>
bool bulkOneHash(const I* items, std::size_t n) noexcept {
  for (std::size_t i = 1; i < n; ++i)
    if (items[i].h != items[0].h) return false;
  return true;
}

// The branch node of n pairs of more than one hash that agree on the chunks above level s, from
// items (scratch has room for as many and takes their order for the level below: the two swap
// roles each level). Pairs of different hashes differ in some chunk, so this stops by the last
// level.
template <class K, class V, class I>
HashMap<K, V> bulkBranch(I* items, I* scratch, std::size_t n, LevelShift s) {
  std::size_t at[maxChildren + 1] = {};
  for (std::size_t i = 0; i < n; ++i) ++at[internal::index(items[i].h, s) + 1];
  for (std::int64_t c = 1; c <= maxChildren; ++c) at[c] += at[c - 1];
  std::size_t fill[maxChildren];
  std::memcpy(fill, at, sizeof(fill));
  for (std::size_t i = 0; i < n; ++i) scratch[fill[internal::index(items[i].h, s)]++] = items[i];
  // Each chunk is a record (one key) or a sub-node (a collision, or a branch below).
  const I* rec[maxChildren];
  HashMap<K, V> subs[maxChildren];
  std::uint32_t word = 0, data = 0, nsub = 0;
  std::vector<const I*> kept;
  for (std::int64_t c = 0; c < maxChildren; ++c) {
    const std::size_t k = at[c + 1] - at[c];
    if (k == 0) continue;
    const auto bit = std::uint32_t{1} << c;
    word |= bit;
    I* group = scratch + at[c];
    if (k == 1) {
      rec[c] = group;
      data |= bit;
    } else if (internal::bulkOneHash(group, k)) {
      internal::bulkKept(group, k, kept);
      if (kept.size() == 1) {
        rec[c] = kept[0];
        data |= bit;
      } else {
        subs[nsub++] = internal::bulkCollision<K, V>(kept);
      }
    } else {
      subs[nsub++] = internal::bulkBranch<K, V>(group, items + at[c], k, nextShift(s));
    }
  }
  BranchBuilder<K, V> out(word, data, nsub, static_cast<std::uint32_t>(std::popcount(data)));
  for (std::uint32_t i = 0; i < nsub; ++i) out.sub(std::move(subs[i]));
  for (std::uint32_t rest = data; rest != 0; rest &= rest - 1) {
    const I* r = rec[std::countr_zero(rest)];
    out.rec(rest & (~rest + 1), r->h, r->key(), internal::slotOfValue<V>(r->value()));
  }
  return out.finish();
}

// The same for any n pairs: a record, a collision node or a branch node.
template <class K, class V, class I>
Child<K, V> bulkBuild(I* items, I* scratch, std::size_t n, LevelShift s) {
  if (!internal::bulkOneHash(items, n)) return Child<K, V>(internal::bulkBranch<K, V>(items, scratch, n, s));
  std::vector<const I*> kept;
  internal::bulkKept(items, n, kept);
  if (kept.size() != 1) return Child<K, V>(internal::bulkCollision<K, V>(kept));
  return Child<K, V>::made(kept[0]->h, kept[0]->key(), internal::slotOfValue<V>(kept[0]->value()));
}

// The trie of pairs that can be reached by position: the hashes in input order, then the
// positions sorted by the first two chunks, and each of those 1024 groups gathered into a small
// buffer and built below the second level. The large arrays hold 12 bytes per pair, not two
// arrays of items: fresh pages cost more than the sorting.
template <class K, class V, class R>
HashMap<K, V> bulkFromPositions(const R& pairs, std::size_t n) {
  using P = std::remove_reference_t<std::ranges::range_reference_t<const R&>>;
  using I = BulkItem<P>;
  constexpr std::size_t groups = maxChildren * maxChildren;
  auto at = std::ranges::begin(pairs);
  const std::unique_ptr<KeyHash[]> hashes(new KeyHash[n]);
  std::vector<std::size_t> start(groups + 1, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const KeyHash h = internal::hash(std::get<0>(at[static_cast<std::ptrdiff_t>(i)]));
    hashes[i] = h;
    ++start[(h & subkeyMask) * maxChildren + ((h >> bitsPerSubkey) & subkeyMask) + 1];
  }
  std::size_t widest = 0;
  for (std::size_t g = 1; g <= groups; ++g) {
    widest = std::max(widest, start[g]);
    start[g] += start[g - 1];
  }
  const std::unique_ptr<std::uint32_t[]> order(new std::uint32_t[n]);
  {
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < n; ++i) {
      const KeyHash h = hashes[i];
      order[fill[(h & subkeyMask) * maxChildren + ((h >> bitsPerSubkey) & subkeyMask)]++] =
          static_cast<std::uint32_t>(i);
    }
  }
  std::vector<I> items, scratch;
  items.reserve(widest);
  scratch.reserve(widest);
  Child<K, V> top[maxChildren];
  ChildBitmap topBits = 0;
  std::uint32_t ntop = 0;
  for (std::size_t c0 = 0; c0 < maxChildren; ++c0) {
    Child<K, V> kids[maxChildren];
    ChildBitmap bits = 0;
    std::uint32_t nkids = 0;
    for (std::size_t c1 = 0; c1 < maxChildren; ++c1) {
      const std::size_t g = c0 * maxChildren + c1;
      if (start[g] == start[g + 1]) continue;
      items.clear();
      for (std::size_t j = start[g]; j < start[g + 1]; ++j)
        items.emplace_back(hashes[order[j]], at[static_cast<std::ptrdiff_t>(order[j])]);
      scratch.assign(items.size(), items[0]);
      bits |= ChildBitmap{1} << c1;
      kids[nkids++] = internal::bulkBuild<K, V>(items.data(), scratch.data(), items.size(),
                                                2 * bitsPerSubkey);
    }
    if (nkids == 0) continue;
    topBits |= ChildBitmap{1} << c0;
    top[ntop++] = internal::collapse<K, V>(bits, kids, nkids);
  }
  return internal::collapse<K, V>(topBits, top, ntop).toMap();
}

template <class K, class V, class R>
HashMap<K, V> bulkFromList(const R& pairs) {
  using P = std::remove_reference_t<std::ranges::range_reference_t<const R&>>;
  using I = BulkItem<P>;
  if constexpr (std::ranges::random_access_range<const R&> && std::ranges::sized_range<const R&>) {
    const auto n = static_cast<std::size_t>(std::ranges::size(pairs));
    if (n == 0) return HashMap<K, V>();
    if (n <= 0xFFFFFFFFU) return internal::bulkFromPositions<K, V>(pairs, n);
  }
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
/// \name Construction
/// @{

/// The map of the range's pairs, (K, V) or (K, hs::Lazy<V>); a later pair replaces an earlier pair
/// of an equal key. The pairs' second components are stored as given (a cell stays deferred). One hash per pair
/// and O(log n) expected per pair; built in place in a map nobody else sees, so no path is copied
/// per pair: allocates the entries and the branch nodes of the result (a node that grows is
/// reallocated). Plain values under keys whose hash and == are the language's (numbers, pointers,
/// std::string) are sorted into their chunks instead, O(n) per level, in two arrays of n items (a
/// hash with the pair or a pointer to it): every node is allocated once, at its final size. When
/// a hash or == throws, nothing is left behind.
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
/// @}
}  // namespace vantrel::internal

namespace vantrel {

template <class K, class V>
HashMap<K, V>::HashMap(std::initializer_list<std::pair<K, hs::Lazy<V>>> pairs)
    : HashMap(internal::fromList<K, V>(pairs)) {}

}  // namespace vantrel
