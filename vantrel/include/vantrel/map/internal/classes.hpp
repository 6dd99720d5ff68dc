// The map's other class capabilities: conversion from and to lists, deep evaluation, the
// generic-programming description and the embedding of records into generated code. Outside the
// library a map is presented as `fromList` applied to its pairs in trie order.
#pragma once

#include <cstdint>
#include <optional>
#include <ranges>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/call.hpp"
#include "hs/data.hpp"
#include "hs/islist.hpp"
#include "hs/nfdata.hpp"
#include "hs/th/lift.hpp"
#include "hs/unit.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/fold.hpp"
#include "vantrel/map/internal/iterate.hpp"
#include "vantrel/map/internal/nodes.hpp"
#include "vantrel/package.hpp"

namespace vantrel::internal {

// ---- Deep evaluation -----------------------------------------------------------------------

template <class K, class V>
hs::Unit rnf(const HashMap<K, V>& m);

namespace detail {

template <class F, class G, class R>
void rnfRecord(F& f, G& g, const R& r) {
  hs::call(f, r.key);
  hs::call(g, r.value);
}

// Every key, then its value, in trie order. Allocates nothing.
template <class F, class G, class K, class V>
void rnfWalk(F& f, G& g, const Ref<K, V>& c) {
  switch (c.kind()) {
    case Kind::Empty:
      return;
    case Kind::Leaf:
      internal::withEntry(c, [&](const Entry<K, V>& e) { detail::rnfRecord(f, g, e); });
      return;
    case Kind::Collision:
      for (const L<K, V>& r : internal::entriesOf(*c.node)) detail::rnfRecord(f, g, r);
      return;
    default:
      internal::forEachChild(internal::branchOf(*c.node), [&](ChildBitmap, const Ref<K, V>& d) {
        detail::rnfWalk(f, g, d);
        return true;
      });
      return;
  }
}

}  // namespace detail

/// \addtogroup vantrel_map_classes
/// @{

/// f on every key and g on every value (g receives the forced value, or the cell when wrapped
/// with hs::onCells), key before value, in trie order.
/// O(n), allocates nothing of its own; forces what f and g force.
template <class F, class G, class K, class V>
hs::Unit liftRnf2(F&& f, G&& g, const HashMap<K, V>& m) {
  detail::rnfWalk(f, g, Ref<K, V>::of(m));
  return hs::unit;
}
/// As liftRnf2 with the key type's own deep evaluation for the keys.
template <class G, class K, class V>
hs::Unit liftRnf(G&& g, const HashMap<K, V>& m) {
  hs::Rnf f;
  detail::rnfWalk(f, g, Ref<K, V>::of(m));
  return hs::unit;
}
/// Keys and values deep-evaluated with their own NFData (a value's cell forced first).
/// O(n), allocates nothing of its own; evaluates every key and value fully.
template <class K, class V>
hs::Unit rnf(const HashMap<K, V>& m) {
  hs::Rnf own;
  detail::rnfWalk(own, own, Ref<K, V>::of(m));
  return hs::unit;
}
/// @}

template <class F, class G, class K, class V>
hs::Unit liftRnf2(F&& f, G&& g, const L<K, V>& r) {
  detail::rnfRecord(f, g, r);
  return hs::unit;
}
template <class G, class K, class V>
hs::Unit liftRnf(G&& g, const L<K, V>& r) {
  hs::Rnf f;
  detail::rnfRecord(f, g, r);
  return hs::unit;
}
template <class K, class V>
hs::Unit rnf(const L<K, V>& r) {
  hs::Rnf own;
  detail::rnfRecord(own, own, r);
  return hs::unit;
}

// ---- Generic programming -------------------------------------------------------------------

// The data type "Vantrel.Map.Internal.HashMap", whose one constructor is `fromList`.
const hs::data::DataType& hashMapDataType();
// The constructor "fromList": no field names, prefix.
const hs::data::Constr& fromListConstr();
// The program error of a constructor other than `fromList` given to gunfold.
[[noreturn]] void gunfoldError();

}  // namespace vantrel::internal

/// \addtogroup vantrel_map_classes
/// @{

/// A map is the constructor `fromList` applied to one field, its pair list (values forced: the
/// generic view has no deferred values).
/// The field's list of pairs is built (O(n)) whenever the view is taken apart.
template <class K, class V>
struct hs::Data<vantrel::HashMap<K, V>> {
  /// \privatesection
  using T = vantrel::HashMap<K, V>;
  using Pairs = std::vector<std::pair<K, V>>;

  static auto fromListFn() {
    return [](Pairs xs) { return vantrel::internal::fromList(xs); };
  }
  static Pairs pairList(const T& m) {
    Pairs out;
    out.reserve(static_cast<std::size_t>(vantrel::internal::size(m)));
    for (const auto& r : m) out.emplace_back(r.key, r.value.force());
    return out;
  }

  static hs::data::Constr toConstr(const T&) { return vantrel::internal::fromListConstr(); }
  static hs::data::DataType dataTypeOf() { return vantrel::internal::hashMapDataType(); }
  template <class Kf, class Z>
  static hs::data::ContextOf<Z, T> gfoldl(Kf&& k, Z&& z, const T& m) {
    return k(z(fromListFn()), pairList(m));
  }
  template <class Kf, class Z>
  static hs::data::ContextOf<Z, T> gunfold(Kf&& k, Z&& z, const hs::data::Constr& c) {
    if (hs::data::constrIndex(c) != 1) vantrel::internal::gunfoldError();
    return k(z(fromListFn()), std::type_identity<Pairs>{});
  }
  template <class Tag, class R, class F>
  static std::optional<R> dataCast1(F& f) {
    return hs::data::gcast1<T, V, Tag, R>(f);
  }
  template <class Tag, class R, class F>
  static std::optional<R> dataCast2(F& f) {
    return hs::data::gcast2<T, K, V, Tag, R>(f);
  }
};

// ---- Deep evaluation and list conversion as platform capabilities ---------------------------

/// Deep evaluation (hs::rnf): the map's rnf.
template <class K, class V>
struct hs::NFData<vantrel::HashMap<K, V>> {
  /// \privatesection
  static void rnf(const vantrel::HashMap<K, V>& m) { vantrel::internal::rnf(m); }
};
/// Lifted deep evaluation: the map's liftRnf.
template <class K, class V>
struct hs::NFData1<vantrel::HashMap<K, V>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const vantrel::HashMap<K, V>& m) {
    vantrel::internal::liftRnf(std::forward<R>(r), m);
  }
};
/// Two-sided lifted deep evaluation: the map's liftRnf2.
template <class K, class V>
struct hs::NFData2<vantrel::HashMap<K, V>> {
  /// \privatesection
  template <class R1, class R2>
  static void liftRnf2(R1&& r1, R2&& r2, const vantrel::HashMap<K, V>& m) {
    vantrel::internal::liftRnf2(std::forward<R1>(r1), std::forward<R2>(r2), m);
  }
};
template <class K, class V>
struct hs::NFData<vantrel::internal::L<K, V>> {
  static void rnf(const vantrel::internal::L<K, V>& r) { vantrel::internal::rnf(r); }
};

/// List embedding: fromList and fromListN of (key, cell) pairs (a later pair wins), toList as the
/// pairs in trie order with the stored cells; O(n) each way.
template <class K, class V>
struct hs::IsList<vantrel::HashMap<K, V>> {
  /// \privatesection
  using Item = std::pair<K, hs::Lazy<V>>;
  static vantrel::HashMap<K, V> fromList(const std::vector<Item>& items) {
    return vantrel::internal::fromList(items);
  }
  static vantrel::HashMap<K, V> fromListN(std::int64_t n, const std::vector<Item>& items) {
    return vantrel::internal::fromListN(n, items);
  }
  static std::vector<Item> toList(const vantrel::HashMap<K, V>& m) {
    return vantrel::internal::toList(m);
  }
};
/// @}

// ---- Embedding -----------------------------------------------------------------------------

// A record rebuilds as `L k $! v`: the constructor, the key, their application, the operator,
// the value, the infix application, in that order.
template <class K, class V>
struct hs::Lift<vantrel::internal::L<K, V>> {
  static hs::th::TExp<vantrel::internal::L<K, V>> liftTyped(hs::th::Quote& q,
                                                            const vantrel::internal::L<K, V>& r) {
    hs::th::Exp con =
        hs::th::conE(q, hs::th::mkNameG_d(vantrel::packageId(), "Vantrel.Map.Internal", "L"));
    hs::th::Exp key = hs::th::lift(q, r.key);
    hs::th::Exp left = hs::th::appE(q, std::move(con), std::move(key));
    hs::th::Exp op = hs::th::varE(q, hs::th::mkNameG_v("base", "GHC.Base", "$!"));
    hs::th::Exp value = hs::th::lift(q, r.value.force());
    return {hs::th::infixApp(q, std::move(left), std::move(op), std::move(value))};
  }
};
