// Value-strict transformations of every value: each walk rebuilds the trie with the same keys,
// hashes and places, evaluating every new value before its node is built. The caller's function
// runs in trie order, through hs::call (values by default, cells under hs::onCells).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/call.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "vantrel/map/internal/bulk.hpp"
#include "vantrel/map/internal/nodes.hpp"

namespace vantrel::internal::strict {

namespace detail {

// What hs::call gives back for f and the arguments, and the value type it stores: the value, or
// the value of a returned cell.
template <class F, class... A>
using CallResult =
    std::remove_cvref_t<decltype(hs::call(std::declval<F&>(), std::declval<const A&>()...))>;
template <class R>
using StoredValue = typename StripLazy<std::remove_cvref_t<R>>::type;

// Every node rebuilt with the same shape; g maps a record to its new, evaluated cell.
template <class K, class V, class V2, class G>
HashMap<K, V2> mapWalk(G& g, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Leaf: {
      const L<K, V>& e = internal::leafOf(t);
      hs::Lazy<V2> r = g(e);
      return internal::leafNode<K, V2>(internal::wordOf(t), e.key, std::move(r));
    }
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Children<K, V>& a = internal::childrenOf(t);
      ChildBuilder<K, V2> out(internal::kindOf(t), internal::wordOf(t), a.size());
      for (const HashMap<K, V>& c : a) out.emplace(detail::mapWalk<K, V, V2>(g, c));
      if (internal::kindOf(t) == Kind::Full) return internal::full<K, V2>(out.finish());
      return internal::bitmapIndexed<K, V2>(internal::wordOf(t), out.finish());
    }
    case Kind::Collision: {
      const Entries<K, V>& a = internal::entriesOf(t);
      EntryBuilder<K, V2> out(Kind::Collision, a.word, a.size());
      for (const L<K, V>& e : a) {
        hs::Lazy<V2> r = g(e);
        out.emplace(L<K, V2>{e.key, std::move(r)});
      }
      return internal::collisionNode<K, V2>(a.word, out.finish());
    }
    default:
      return HashMap<K, V2>();
  }
}

// The records g keeps (g gives an optional evaluated cell), the nodes left small collapsed: an
// emptied node disappears and a lone `Leaf` or `Collision` takes its parent's place.
template <class K, class V, class V2, class G>
HashMap<K, V2> mapMaybeWalk(G& g, const HashMap<K, V>& t) {
  switch (internal::kindOf(t)) {
    case Kind::Leaf: {
      const L<K, V>& e = internal::leafOf(t);
      std::optional<hs::Lazy<V2>> r = g(e);
      if (!r) return HashMap<K, V2>();
      return internal::leafNode<K, V2>(internal::wordOf(t), e.key, std::move(*r));
    }
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Children<K, V>& a = internal::childrenOf(t);
      const std::uint32_t n = a.size();
      // The kept children wait here, so the new node is allocated at its final size.
      std::array<HashMap<K, V2>, maxChildren> local;
      std::vector<HashMap<K, V2>> spill;  // only for a node larger than any valid one
      HashMap<K, V2>* kept = local.data();
      if (n > local.size()) {
        spill.resize(n);
        kept = spill.data();
      }
      ChildBitmap bits = internal::wordOf(t), bitmap = internal::wordOf(t);
      std::uint32_t j = 0;
      for (std::uint32_t i = 0; i < n; ++i) {
        const ChildBitmap bit = bits & (~bits + 1);
        bits &= bits - 1;
        HashMap<K, V2> r = detail::mapMaybeWalk<K, V, V2>(g, a[i]);
        if (internal::kindOf(r) == Kind::Empty)
          bitmap &= ~bit;
        else
          kept[j++] = std::move(r);
      }
      if (j == 0) return HashMap<K, V2>();
      if (j == 1 && internal::isLeafOrCollision(kept[0])) return std::move(kept[0]);
      ChildBuilder<K, V2> out(Kind::BitmapIndexed, bitmap, j);
      for (std::uint32_t i = 0; i < j; ++i) out.emplace(std::move(kept[i]));
      if (j == static_cast<std::uint32_t>(maxChildren)) return internal::full<K, V2>(out.finish());
      return internal::bitmapIndexed<K, V2>(bitmap, out.finish());
    }
    case Kind::Collision: {
      const Entries<K, V>& a = internal::entriesOf(t);
      const KeyHash h = a.word;
      const std::uint32_t n = a.size();
      EntryBuilder<K, V2> out(Kind::Collision, h, n);
      for (const L<K, V>& e : a) {
        std::optional<hs::Lazy<V2>> r = g(e);
        if (r) out.emplace(L<K, V2>{e.key, std::move(*r)});
      }
      const std::uint32_t j = out.built();
      if (j == 0) return HashMap<K, V2>();
      if (j == n) return internal::collisionNode<K, V2>(h, out.finish());
      const HashMap<K, V2> kept = internal::collisionNode<K, V2>(h, out.finishShort());
      const Entries<K, V2>& b = internal::entriesOf(kept);
      if (j == 1) return internal::leafNode<K, V2>(h, b[0]);
      return internal::collisionNode<K, V2>(h,
                                            internal::copyBlock(Kind::Collision, h, b.slots(), j));
    }
    default:
      return HashMap<K, V2>();
  }
}

// An immutable list grown at its end: the results of a node's element actions so far. Every
// result an applicative makes holds its own list, sharing the common prefix with the others.
template <class T>
struct Snoc {
  Snoc(std::shared_ptr<const Snoc> i, T x) : init(std::move(i)), last(std::move(x)) {}
  Snoc(const Snoc&) = delete;
  Snoc& operator=(const Snoc&) = delete;
  // Frees a long unshared prefix without recursing.
  ~Snoc() {
    std::shared_ptr<const Snoc> p = std::move(init);
    while (p && p.use_count() == 1) p = std::move(p->init);
  }
  mutable std::shared_ptr<const Snoc> init;
  T last;
};
template <class T>
using SnocList = std::shared_ptr<const Snoc<T>>;

// Calls put(i, element i) for the n elements of the list, in order.
template <class T, class Put>
void unsnoc(const SnocList<T>& xs, std::uint32_t n, Put&& put) {
  std::array<const T*, maxChildren> local;
  std::vector<const T*> spill;
  const T** at = local.data();
  if (n > local.size()) {
    spill.resize(n);
    at = spill.data();
  }
  std::uint32_t i = n;
  for (const Snoc<T>* p = xs.get(); p != nullptr && i > 0; p = p->init.get()) at[--i] = &p->last;
  for (std::uint32_t j = 0; j < n; ++j) put(*at[j]);
}

// The actions of n elements combined from the first: the applicative runs element i's effects
// before element i + 1's, and builds element i's action (element(i)) only when it needs it.
template <class Tag, class T, class Element>
auto chain(std::uint32_t n, Element&& element) {
  using Acc = typename Tag::template apply<SnocList<T>>;
  Acc acc = hs::pure<Tag>(SnocList<T>());
  for (std::uint32_t i = 0; i < n; ++i)
    acc = hs::liftA2(
        [](const SnocList<T>& xs, const T& x) { return std::make_shared<const Snoc<T>>(xs, x); },
        acc, [&element, i]() { return element(i); });
  return acc;
}

// The action of one node. Closures that the applicative may run later hold the nodes they read.
template <class Tag, class V2, class F, class K, class V>
auto traverseNode(F& f, const HashMap<K, V>& t) -> typename Tag::template apply<HashMap<K, V2>> {
  using Out = HashMap<K, V2>;
  switch (internal::kindOf(t)) {
    case Kind::Leaf: {
      const L<K, V>& e = internal::leafOf(t);
      return hs::fmap(
          [t](const auto& r) {
            hs::Lazy<V2> c = hs::toCell<V2>(r);
            c.force();
            return internal::leafNode<K, V2>(internal::wordOf(t), internal::leafOf(t).key,
                                             std::move(c));
          },
          hs::call(f, e.key, e.value));
    }
    case Kind::BitmapIndexed:
    case Kind::Full: {
      const Children<K, V>& a = internal::childrenOf(t);
      const std::uint32_t n = a.size();
      auto children = detail::chain<Tag, Out>(
          n, [&f, &a](std::uint32_t i) { return detail::traverseNode<Tag, V2>(f, a[i]); });
      const Kind kind = internal::kindOf(t);
      const ChildBitmap b = internal::wordOf(t);
      return hs::fmap(
          [kind, b, n](const SnocList<Out>& xs) {
            ChildBuilder<K, V2> out(kind, b, n);
            detail::unsnoc<Out>(xs, n, [&out](const Out& c) { out.emplace(c); });
            if (kind == Kind::Full) return internal::full<K, V2>(out.finish());
            return internal::bitmapIndexed<K, V2>(b, out.finish());
          },
          children);
    }
    case Kind::Collision: {
      const Entries<K, V>& a = internal::entriesOf(t);
      const std::uint32_t n = a.size();
      auto values = detail::chain<Tag, hs::Lazy<V2>>(n, [&f, &a](std::uint32_t i) {
        return hs::fmap(
            [](const auto& r) {
              hs::Lazy<V2> c = hs::toCell<V2>(r);
              c.force();
              return c;
            },
            hs::call(f, a[i].key, a[i].value));
      });
      return hs::fmap(
          [t, n](const SnocList<hs::Lazy<V2>>& xs) {
            const Entries<K, V>& old = internal::entriesOf(t);
            EntryBuilder<K, V2> out(Kind::Collision, old.word, n);
            std::uint32_t i = 0;
            detail::unsnoc<hs::Lazy<V2>>(xs, n, [&](const hs::Lazy<V2>& v) {
              out.emplace(L<K, V2>{old[i].key, v});
              ++i;
            });
            return internal::collisionNode<K, V2>(old.word, out.finish());
          },
          values);
    }
    default:
      return hs::pure<Tag>(Out());
  }
}

}  // namespace detail

// A map of the same keys with every value replaced by f(value), evaluated. No node of the input is
// reused; the first failing call or value ends the walk.
template <class F, class K, class V>
[[nodiscard]] auto map(F f, const HashMap<K, V>& m) {
  using V2 = detail::StoredValue<detail::CallResult<F, hs::Lazy<V>>>;
  auto g = [&f](const L<K, V>& e) {
    hs::Lazy<V2> r = hs::callToCell<V2>(f, e.value);
    r.force();
    return r;
  };
  return detail::mapWalk<K, V, V2>(g, m);
}
// As map with f(key, value).
template <class F, class K, class V>
[[nodiscard]] auto mapWithKey(F f, const HashMap<K, V>& m) {
  using V2 = detail::StoredValue<detail::CallResult<F, K, hs::Lazy<V>>>;
  auto g = [&f](const L<K, V>& e) {
    hs::Lazy<V2> r = hs::callToCell<V2>(f, e.key, e.value);
    r.force();
    return r;
  };
  return detail::mapWalk<K, V, V2>(g, m);
}

// The pairs for which f(value) gives a value (or a cell), that value evaluated; the others dropped.
template <class F, class K, class V>
[[nodiscard]] auto mapMaybe(F f, const HashMap<K, V>& m) {
  using Answer = detail::CallResult<F, hs::Lazy<V>>;
  using V2 = detail::StoredValue<typename Answer::value_type>;
  auto g = [&f](const L<K, V>& e) -> std::optional<hs::Lazy<V2>> {
    Answer r = hs::call(f, e.value);
    if (!r) return std::nullopt;
    hs::Lazy<V2> c = hs::toCell<V2>(std::move(*r));
    c.force();
    return c;
  };
  return detail::mapMaybeWalk<K, V, V2>(g, m);
}
// As mapMaybe with f(key, value).
template <class F, class K, class V>
[[nodiscard]] auto mapMaybeWithKey(F f, const HashMap<K, V>& m) {
  using Answer = detail::CallResult<F, K, hs::Lazy<V>>;
  using V2 = detail::StoredValue<typename Answer::value_type>;
  auto g = [&f](const L<K, V>& e) -> std::optional<hs::Lazy<V2>> {
    Answer r = hs::call(f, e.key, e.value);
    if (!r) return std::nullopt;
    hs::Lazy<V2> c = hs::toCell<V2>(std::move(*r));
    c.force();
    return c;
  };
  return detail::mapMaybeWalk<K, V, V2>(g, m);
}

// f(key, value) gives an action of the applicative deduced from its result type; the actions run
// in trie order and yield the map of their results, each evaluated before its node is built. How
// often the rest runs after an action (never for an absent optional, once per result for a list)
// is the applicative's choice.
template <class F, class K, class V>
auto traverseWithKey(F f, const HashMap<K, V>& m) {
  using Action = detail::CallResult<F, K, hs::Lazy<V>>;
  using Tag = hs::TagOfT<Action>;
  using V2 = detail::StoredValue<hs::ElementOf<Action>>;
  if (internal::kindOf(m) == Kind::Empty) return hs::pure<Tag>(HashMap<K, V2>());
  return detail::traverseNode<Tag, V2>(f, m);
}

}  // namespace vantrel::internal::strict
