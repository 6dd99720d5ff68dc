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
    S acc = std::move(parts.back());
    for (std::size_t i = parts.size() - 1; i > 0; --i) acc = hs::mappend<S>(parts[i - 1], acc);
    return acc;
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

/// The head is at hand and the right fold walks the rest lazily, so both work on an endless list;
/// the other operations force the whole list (the defaults).
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
  template <class F, class G, class A>
  [[nodiscard]] static auto foldrMap1(F&& f, G&& g, const NonEmpty<A>& xs) {
    using B = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    return from<B>(std::make_shared<std::decay_t<F>>(f), std::make_shared<std::decay_t<G>>(g),
                   xs.head, xs.tail);
  }

 private:
  template <class B, class F, class G, class A>
  [[nodiscard]] static B from(const std::shared_ptr<F>& f, const std::shared_ptr<G>& g, const A& x,
                const List<A>& rest) {
    auto next = rest.uncons();
    if (!next) return (*f)(x);
    Lazy<B> deferred = Lazy<B>::defer([f, g, next = std::move(*next)]() -> B {
      return from<B>(f, g, next.first, next.second);
    });
    return (*g)(x, deferred);
  }
};
/// The one value, by the defaults.
template <>
struct Foldable1<IdentityTag> {};

/// @}
}  // namespace hs
