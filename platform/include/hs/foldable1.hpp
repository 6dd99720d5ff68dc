/// \defgroup hs_foldable1 hs/foldable1.hpp
/// \ingroup hsplatform
/// Folds of structures that always hold at least one element, keyed on type-constructor tags (see
/// hs/functor.hpp), so they need no start value and never fail for emptiness.
///
/// A structure joins by specialising `Foldable1<Tag>` (an empty specialisation will do) on top of
/// its Foldable instance; every operation is the instance's own when it has one, with the front
/// door's signature, and otherwise defined over the elements in order (`hs::toList`, so at its
/// cost: every element reached, and a new vector unless the structure stores one). The lazy
/// folds pass the deferred part as an hs::Lazy, as foldr and foldl do.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/list.hpp"
#include "hs/semigroup.hpp"

namespace hs {
/// \addtogroup hs_foldable1
/// @{

/// Non-empty folding, per tag: specialise (an empty specialisation will do), optionally with any
/// of: `fold1`, `foldMap1<S>`, `foldMap1_<S>`, `toNonEmpty`, `maximum`, `minimum`, `head`, `last`,
/// `foldrMap1`, `foldlMap1_`, `foldlMap1`, `foldrMap1_`.
template <class Tag>
struct Foldable1;

/// A tag that has joined (specialised Foldable1, before this is first asked). The front doors
/// take only structures over one: the defaults over the elements would read past an empty
/// structure.
template <class Tag>
concept Foldable1Tag = requires { sizeof(Foldable1<Tag>); };
/// A structure whose tag has joined Foldable1.
template <class TA>
concept Foldable1Type = Tagged<TA> && Foldable1Tag<TagOfT<TA>>;

namespace detail {
template <class TA>
using Foldable1Of = Foldable1<TagOfT<TA>>;

// g(x_i, deferred fold of the elements after i), f(x_last) at the end.
template <class B, class F, class G, class A>
[[nodiscard]] B foldrMap1From(const std::shared_ptr<const std::vector<A>>& xs, std::size_t i, const F& f,
                const G& g) {
  if (i + 1 == xs->size()) return f((*xs)[i]);
  Lazy<B> rest = Lazy<B>::defer([xs, i, f, g]() -> B { return hs::detail::foldrMap1From<B>(xs, i + 1, f, g); });
  return g((*xs)[i], rest);
}
// g(deferred fold of the elements before i, x_i), f(x_0) at the start.
template <class B, class F, class G, class A>
[[nodiscard]] B foldlMap1To(const std::shared_ptr<const std::vector<A>>& xs, std::size_t i, const F& f,
              const G& g) {
  if (i == 0) return f((*xs)[0]);
  Lazy<B> init = Lazy<B>::defer([xs, i, f, g]() -> B { return hs::detail::foldlMap1To<B>(xs, i - 1, f, g); });
  return g(init, (*xs)[i]);
}
}  // namespace detail

/// f x0 <> (f x1 <> (... <> f xn)), n mappends; f is called in element order, and every result
/// is kept (in one vector) until the combination starts.
template <class S, class F, Foldable1Type TA>
[[nodiscard]] S foldMap1(F&& f, const TA& t) {
  if constexpr (requires { detail::Foldable1Of<TA>::template foldMap1<S>(f, t); }) {
    return detail::Foldable1Of<TA>::template foldMap1<S>(f, t);
  } else {
    const auto& xs = hs::toList(t);
    std::vector<S> parts;
    parts.reserve(xs.size());
    for (const auto& x : xs) parts.push_back(S(f(x)));
    return detail::mappendRight(parts);
  }
}
/// The elements themselves combined as foldMap1 does.
template <Foldable1Type TA>
[[nodiscard]] auto fold1(const TA& t) {
  using S = ElementOf<TA>;
  if constexpr (requires { detail::Foldable1Of<TA>::fold1(t); })
    return detail::Foldable1Of<TA>::fold1(t);
  else
    return hs::foldMap1<S>([](const S& x) -> const S& { return x; }, t);
}
/// The strict combination from the left: ((f x0 <> f x1) <> f x2) <> ...
template <class S, class F, Foldable1Type TA>
[[nodiscard]] S foldMap1_(F&& f, const TA& t) {
  if constexpr (requires { detail::Foldable1Of<TA>::template foldMap1_<S>(f, t); }) {
    return detail::Foldable1Of<TA>::template foldMap1_<S>(f, t);
  } else {
    const auto& xs = hs::toList(t);
    S acc = S(f(xs[0]));
    for (std::size_t i = 1; i < xs.size(); ++i) acc = hs::mappend<S>(acc, S(f(xs[i])));
    return acc;
  }
}
/// The elements as a non-empty list (by default a new, fully built list of copies).
template <Foldable1Type TA>
[[nodiscard]] auto toNonEmpty(const TA& t) {
  using A = ElementOf<TA>;
  if constexpr (requires { detail::Foldable1Of<TA>::toNonEmpty(t); }) {
    return detail::Foldable1Of<TA>::toNonEmpty(t);
  } else {
    const auto& xs = hs::toList(t);
    return NonEmpty<A>{xs[0], List<A>(std::vector<A>(xs.begin() + 1, xs.end()))};
  }
}
/// The largest element by the element type's < (of equal ones the later, as max keeps its second
/// argument), folded from the left.
template <Foldable1Type TA>
[[nodiscard]] auto maximum1(const TA& t) {
  if constexpr (requires { detail::Foldable1Of<TA>::maximum(t); }) {
    return detail::Foldable1Of<TA>::maximum(t);
  } else {
    const auto& xs = hs::toList(t);
    std::size_t best = 0;
    for (std::size_t i = 1; i < xs.size(); ++i)
      if (!(xs[i] < xs[best])) best = i;
    return ElementOf<TA>(xs[best]);
  }
}
/// The smallest element by the element type's < (of equal ones the earlier).
template <Foldable1Type TA>
[[nodiscard]] auto minimum1(const TA& t) {
  if constexpr (requires { detail::Foldable1Of<TA>::minimum(t); }) {
    return detail::Foldable1Of<TA>::minimum(t);
  } else {
    const auto& xs = hs::toList(t);
    std::size_t best = 0;
    for (std::size_t i = 1; i < xs.size(); ++i)
      if (xs[i] < xs[best]) best = i;
    return ElementOf<TA>(xs[best]);
  }
}
/// The first element (a copy).
template <Foldable1Type TA>
[[nodiscard]] auto head(const TA& t) {
  if constexpr (requires { detail::Foldable1Of<TA>::head(t); })
    return detail::Foldable1Of<TA>::head(t);
  else
    return ElementOf<TA>(hs::toList(t).front());
}
/// The last element (a copy).
template <Foldable1Type TA>
[[nodiscard]] auto last(const TA& t) {
  if constexpr (requires { detail::Foldable1Of<TA>::last(t); })
    return detail::Foldable1Of<TA>::last(t);
  else
    return ElementOf<TA>(hs::toList(t).back());
}
/// Lazy right fold: g(x0, deferred g(x1, ... f(x_last))); f maps the last element, g receives
/// (element, const hs::Lazy<B>&). By default over a shared copy of the elements, one cell per
/// deferred part run; forcing the whole fold nests one call per element.
template <class F, class G, Foldable1Type TA>
[[nodiscard]] auto foldrMap1(F&& f, G&& g, const TA& t) {
  using A = ElementOf<TA>;
  using B = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
  if constexpr (requires { detail::Foldable1Of<TA>::foldrMap1(f, g, t); }) {
    return detail::Foldable1Of<TA>::foldrMap1(f, g, t);
  } else {
    const auto xs = std::make_shared<const std::vector<A>>(hs::toList(t));
    return detail::foldrMap1From<B>(xs, 0, std::decay_t<F>(f), std::decay_t<G>(g));
  }
}
/// Strict left fold from f(x0): acc = g(acc, x), in a loop.
template <class F, class G, Foldable1Type TA>
[[nodiscard]] auto foldlMap1_(F&& f, G&& g, const TA& t) {
  using A = ElementOf<TA>;
  using B = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
  if constexpr (requires { detail::Foldable1Of<TA>::foldlMap1_(f, g, t); }) {
    return detail::Foldable1Of<TA>::foldlMap1_(f, g, t);
  } else {
    const auto& xs = hs::toList(t);
    B acc = f(xs[0]);
    for (std::size_t i = 1; i < xs.size(); ++i) acc = g(std::move(acc), xs[i]);
    return acc;
  }
}
/// Lazy left fold: g(deferred fold of all but the last, x_last), f(x0) at the start; g receives
/// (const hs::Lazy<B>&, element). Costs as foldrMap1.
template <class F, class G, Foldable1Type TA>
[[nodiscard]] auto foldlMap1(F&& f, G&& g, const TA& t) {
  using A = ElementOf<TA>;
  using B = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
  if constexpr (requires { detail::Foldable1Of<TA>::foldlMap1(f, g, t); }) {
    return detail::Foldable1Of<TA>::foldlMap1(f, g, t);
  } else {
    const auto xs = std::make_shared<const std::vector<A>>(hs::toList(t));
    return detail::foldlMap1To<B>(xs, xs->size() - 1, std::decay_t<F>(f), std::decay_t<G>(g));
  }
}
/// Strict right fold from f(x_last): acc = g(x, acc), in a loop.
template <class F, class G, Foldable1Type TA>
[[nodiscard]] auto foldrMap1_(F&& f, G&& g, const TA& t) {
  using A = ElementOf<TA>;
  using B = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
  if constexpr (requires { detail::Foldable1Of<TA>::foldrMap1_(f, g, t); }) {
    return detail::Foldable1Of<TA>::foldrMap1_(f, g, t);
  } else {
    const auto& xs = hs::toList(t);
    B acc = f(xs.back());
    for (std::size_t i = xs.size() - 1; i > 0; --i) acc = g(xs[i - 1], std::move(acc));
    return acc;
  }
}

// ---- Instances -----------------------------------------------------------------------------

/// Walks the list cell by cell, as the Foldable instance does: `head` and `toNonEmpty` force
/// nothing; `foldrMap1` hands g the fold of the rest deferred (forcing one cell ahead, to tell the
/// last element), `foldMap1` and `fold1` stop at the first result that absorbs what follows (see
/// Semigroup). `foldMap1_`, `foldlMap1_`, `last`, `maximum1` and `minimum1` reach every element
/// in constant stack and extra memory, `foldrMap1_` as the Foldable instance's `foldr_` does, and
/// the lazy `foldlMap1` is the default (a copy of every element).
template <>
struct Foldable1<NonEmptyTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static A head(const NonEmpty<A>& xs) {
    return xs.head;
  }
  template <class A>
  [[nodiscard]] static NonEmpty<A> toNonEmpty(const NonEmpty<A>& xs) {
    return xs;
  }
  template <class S, class F, class A>
  [[nodiscard]] static S foldMap1(F&& f, const NonEmpty<A>& xs) {
    auto parts = detail::foldMapParts<S>(f, detail::listElements(xs));
    return detail::mappendRight(parts);
  }
  template <class S, class F, class A>
  [[nodiscard]] static S foldMap1_(F&& f, const NonEmpty<A>& xs) {
    S acc = S(f(xs.head));
    detail::ListAccess::visitWhile(xs.tail, [&](const A& x) {
      acc = hs::mappend<S>(acc, S(f(x)));
      return true;
    });
    return acc;
  }
  template <class A>
  [[nodiscard]] static A maximum(const NonEmpty<A>& xs) {
    return detail::ListFolds::maximum(xs);
  }
  template <class A>
  [[nodiscard]] static A minimum(const NonEmpty<A>& xs) {
    return detail::ListFolds::minimum(xs);
  }
  template <class A>
  [[nodiscard]] static A last(const NonEmpty<A>& xs) {
    const A* at = &xs.head;
    detail::ListAccess::visitWhile(xs.tail, [&at](const A& x) {
      at = &x;
      return true;
    });
    return *at;
  }
  template <class F, class G, class A>
  [[nodiscard]] static auto foldrMap1(F&& f, G&& g, const NonEmpty<A>& xs) {
    using B = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    auto fs = std::make_shared<std::decay_t<F>>(f);
    auto gs = std::make_shared<std::decay_t<G>>(g);
    return detail::foldrMap1List<B>(fs, gs, xs.head, xs.tail);
  }
  template <class F, class G, class A>
  [[nodiscard]] static auto foldlMap1_(F&& f, G&& g, const NonEmpty<A>& xs) {
    using B = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    B acc = f(xs.head);
    detail::ListAccess::visitWhile(xs.tail, [&](const A& x) {
      acc = g(std::move(acc), x);
      return true;
    });
    return acc;
  }
  template <class F, class G, class A>
  [[nodiscard]] static auto foldrMap1_(F&& f, G&& g, const NonEmpty<A>& xs) {
    using B = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    std::optional<B> acc;
    detail::listElements(xs).visitBackwards([&](const A& x) {
      if (acc)
        acc = g(x, std::move(*acc));
      else
        acc.emplace(f(x));
    });
    return B(std::move(*acc));
  }
};
/// The one value, by the defaults.
template <>
struct Foldable1<IdentityTag> {};

/// @}
}  // namespace hs
