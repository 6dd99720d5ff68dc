// Mapping, folding, non-empty folding, traversal and deep evaluation of Ambrel1, each handed to
// the inner functors' own capabilities, the F part before the G part. The elements of a value are
// those of its F part, then those of its G part.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "ambrel/functor/type.hpp"
#include "hs/foldable.hpp"
#include "hs/foldable1.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/nfdata.hpp"
#include "hs/semigroup.hpp"

/// \addtogroup ambrel_functor
/// @{

namespace ambrel::internal::one {

// foldr c over xs from a deferred start value, which is demanded only where c demands the rest
// at the last element (or at once when xs is empty).
template <class Z, class C, class XS>
[[nodiscard]] Z foldrOnto(const C& c, const hs::Lazy<Z>& start, const XS& xs) {
  using L = hs::Lazy<Z>;
  auto step = [c](const auto& x, const hs::Lazy<L>& rest) -> L {
    const L r = L::defer([rest]() -> Z { return rest.force().force(); });
    return L(Z(c(x, r)));
  };
  return hs::foldr(step, start, xs).force();
}

// foldl c over xs from a deferred start value, which is demanded only where c demands the
// accumulator at the first element (or at once when xs is empty).
template <class Z, class C, class XS>
[[nodiscard]] Z foldlOnto(const C& c, const hs::Lazy<Z>& start, const XS& xs) {
  using L = hs::Lazy<Z>;
  auto step = [c](const hs::Lazy<L>& init, const auto& x) -> L {
    const L acc = L::defer([init]() -> Z { return init.force().force(); });
    return L(Z(c(acc, x)));
  };
  return hs::foldl(step, start, xs).force();
}

// The greatest element: the kept one gives way unless it is greater than or equal to the next, so
// of equal ones the first stays. The least likewise, with less than or equal.
template <class V>
[[nodiscard]] auto extreme(const V& v, bool greatest) {
  const auto xs = hs::toList(v);
  if (xs.empty()) {
    if (greatest) hs::maximumEmpty();
    hs::minimumEmpty();
  }
  std::size_t best = 0;
  for (std::size_t i = 1; i < xs.size(); ++i)
    if (greatest ? !(xs[best] >= xs[i]) : !(xs[best] <= xs[i])) best = i;
  return xs[best];
}

// x <$ p through the tag's own <$ when it has one.
template <class Tag, class X, class P>
[[nodiscard]] auto replacedWith(const X& x, const P& p) {
  if constexpr (requires { hs::Functor<Tag>::replaceValues(x, p); })
    return hs::Functor<Tag>::replaceValues(x, p);
  else
    return hs::detail::fmapOf<Tag>([x](const auto&) { return x; }, p);
}

}  // namespace ambrel::internal::one

// ---- Mapping --------------------------------------------------------------------------------

/// Mapping through the inner functors.
template <class F, class G>
struct hs::Functor<ambrel::Ambrel1Tag<F, G>> {
  /// The same constructor; each present part a deferred fmap of the old part.
  template <class H, class A>
  [[nodiscard]] static auto fmap(H h, const ambrel::Ambrel1<F, G, A>& v) {
    using B = std::remove_cvref_t<std::invoke_result_t<H&, const A&>>;
    using R = ambrel::Ambrel1<F, G, B>;
    using FA = typename F::template apply<A>;
    using GA = typename G::template apply<A>;
    const auto& n = ambrel::internal::one::Access::node(v);
    auto fpart = [&] {
      return hs::Lazy<typename R::FA>::apply([h](const FA& x) { return hs::detail::fmapOf<F>(h, x); }, *n.f);
    };
    auto gpart = [&] {
      return hs::Lazy<typename R::GA>::apply([h](const GA& y) { return hs::detail::fmapOf<G>(h, y); }, *n.g);
    };
    if (n.index == 0) return R(ambrel::This1Value<typename R::FA>(fpart()));
    if (n.index == 1) return R(ambrel::That1Value<typename R::GA>(gpart()));
    return R(fpart(), gpart());
  }
  /// Likewise with each part's own <$.
  template <class X, class A>
  [[nodiscard]] static auto replaceValues(const X& x, const ambrel::Ambrel1<F, G, A>& v) {
    namespace O = ambrel::internal::one;
    using R = ambrel::Ambrel1<F, G, X>;
    using FA = typename F::template apply<A>;
    using GA = typename G::template apply<A>;
    const auto& n = O::Access::node(v);
    auto fpart = [&] {
      return hs::Lazy<typename R::FA>::apply([x](const FA& p) { return O::replacedWith<F>(x, p); }, *n.f);
    };
    auto gpart = [&] {
      return hs::Lazy<typename R::GA>::apply([x](const GA& p) { return O::replacedWith<G>(x, p); }, *n.g);
    };
    if (n.index == 0) return R(ambrel::This1Value<typename R::FA>(fpart()));
    if (n.index == 1) return R(ambrel::That1Value<typename R::GA>(gpart()));
    return R(fpart(), gpart());
  }
};

// ---- Folding --------------------------------------------------------------------------------

/// Folding through the inner functors: the elements of the F part, then those of the G part.
template <class F, class G>
struct hs::Foldable<ambrel::Ambrel1Tag<F, G>> {
  /// The F part's elements, then the G part's, in a new vector.
  template <class A>
  [[nodiscard]] static std::vector<A> toList(const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    std::vector<A> out;
    if (n.f)
      for (const A& x : hs::toList(n.f->force())) out.push_back(x);
    if (n.g)
      for (const A& x : hs::toList(n.g->force())) out.push_back(x);
    return out;
  }
  /// mappend of the two parts' foldMap, the F part's first.
  template <class M, class H, class A>
  [[nodiscard]] static M foldMap(H&& h, const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.index == 0) return hs::foldMap<M>(h, n.f->force());
    if (n.index == 1) return hs::foldMap<M>(h, n.g->force());
    const M left = hs::foldMap<M>(h, n.f->force());
    return hs::mappend<M>(left, hs::foldMap<M>(h, n.g->force()));
  }
  /// F's foldr over the F part, from the deferred foldr of the G part.
  template <class C, class Z, class A>
  [[nodiscard]] static Z foldr(const C& c, Z z, const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.index == 0) return hs::foldr(c, std::move(z), n.f->force());
    if (n.index == 1) return hs::foldr(c, std::move(z), n.g->force());
    const hs::Lazy<Z> start = hs::Lazy<Z>::defer(
        [c, z = std::move(z), g = *n.g]() -> Z { return hs::foldr(c, z, g.force()); });
    return ambrel::internal::one::foldrOnto<Z>(c, start, n.f->force());
  }
  /// G's foldl over the G part, from the deferred foldl of the F part.
  template <class C, class Z, class A>
  [[nodiscard]] static Z foldl(const C& c, Z z, const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.index == 0) return hs::foldl(c, std::move(z), n.f->force());
    if (n.index == 1) return hs::foldl(c, std::move(z), n.g->force());
    const hs::Lazy<Z> start = hs::Lazy<Z>::defer(
        [c, z = std::move(z), f = *n.f]() -> Z { return hs::foldl(c, z, f.force()); });
    return ambrel::internal::one::foldlOnto<Z>(c, start, n.g->force());
  }
  /// The F part is asked first; a non-empty F part answers at once.
  template <class A>
  [[nodiscard]] static bool null(const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.f && !hs::null(n.f->force())) return false;
    return !n.g || hs::null(n.g->force());
  }
  /// The F part is searched first; the G part only when the element is not there.
  template <class X, class A>
  [[nodiscard]] static bool elem(const X& x, const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.f && hs::elem(x, n.f->force())) return true;
    return n.g && hs::elem(x, n.g->force());
  }
  /// @{
  /// Over both parts' elements; no element at all fails as an empty structure.
  template <class A>
  [[nodiscard]] static A maximum(const ambrel::Ambrel1<F, G, A>& v) {
    return ambrel::internal::one::extreme(v, true);
  }
  template <class A>
  [[nodiscard]] static A minimum(const ambrel::Ambrel1<F, G, A>& v) {
    return ambrel::internal::one::extreme(v, false);
  }
  /// @}
};

/// Every value has an element when both inner functors' values always have one; otherwise there
/// are no non-empty folds.
template <class F, class G>
  requires hs::Foldable1Tag<F> && hs::Foldable1Tag<G>
struct hs::Foldable1<ambrel::Ambrel1Tag<F, G>> {
  /// The two parts' foldMap1 joined with `<>`, the F part's first.
  template <class S, class H, class A>
  [[nodiscard]] static S foldMap1(H&& h, const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.index == 0) return hs::foldMap1<S>(h, n.f->force());
    if (n.index == 1) return hs::foldMap1<S>(h, n.g->force());
    const S left = hs::foldMap1<S>(h, n.f->force());
    return hs::mappend<S>(left, hs::foldMap1<S>(h, n.g->force()));
  }
  /// F's ordinary foldr c over the F part, from the deferred foldrMap1 of the G part.
  template <class H, class C, class A>
  [[nodiscard]] static auto foldrMap1(H&& h, C&& c, const ambrel::Ambrel1<F, G, A>& v) {
    using B = std::remove_cvref_t<std::invoke_result_t<H&, const A&>>;
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.index == 0) return B(hs::foldrMap1(h, c, n.f->force()));
    if (n.index == 1) return B(hs::foldrMap1(h, c, n.g->force()));
    const hs::Lazy<B> start = hs::Lazy<B>::defer(
        [h = std::decay_t<H>(h), c = std::decay_t<C>(c), g = *n.g]() -> B {
          return hs::foldrMap1(h, c, g.force());
        });
    return ambrel::internal::one::foldrOnto<B>(std::decay_t<C>(c), start, n.f->force());
  }
  /// G's ordinary foldl c over the G part, from the deferred foldlMap1 of the F part.
  template <class H, class C, class A>
  [[nodiscard]] static auto foldlMap1(H&& h, C&& c, const ambrel::Ambrel1<F, G, A>& v) {
    using B = std::remove_cvref_t<std::invoke_result_t<H&, const A&>>;
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.index == 0) return B(hs::foldlMap1(h, c, n.f->force()));
    if (n.index == 1) return B(hs::foldlMap1(h, c, n.g->force()));
    const hs::Lazy<B> start = hs::Lazy<B>::defer(
        [h = std::decay_t<H>(h), c = std::decay_t<C>(c), f = *n.f]() -> B {
          return hs::foldlMap1(h, c, f.force());
        });
    return ambrel::internal::one::foldlOnto<B>(std::decay_t<C>(c), start, n.g->force());
  }
  /// The F part's head (the G part's for That1).
  template <class A>
  [[nodiscard]] static A head(const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    return n.index == 1 ? A(hs::head(n.g->force())) : A(hs::head(n.f->force()));
  }
  /// The G part's last (the F part's for This1).
  template <class A>
  [[nodiscard]] static A last(const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    return n.index == 0 ? A(hs::last(n.f->force())) : A(hs::last(n.g->force()));
  }
};

// ---- Traversal ------------------------------------------------------------------------------

/// Traversal through the inner functors.
template <class F, class G>
struct hs::Traversable<ambrel::Ambrel1Tag<F, G>> {
  /// The F part's effects, then the G part's; the result keeps the constructor.
  template <class H, class A>
  [[nodiscard]] static auto traverse(H&& h, const ambrel::Ambrel1<F, G, A>& v) {
    using FB = std::remove_cvref_t<std::invoke_result_t<H&, const A&>>;
    using B = hs::ElementOf<FB>;
    using R = ambrel::Ambrel1<F, G, B>;
    using RF = typename R::FA;
    using RG = typename R::GA;
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.index == 0)
      return hs::fmap([](const RF& x) { return R(ambrel::This1Value<RF>(x)); }, hs::traverse(h, n.f->force()));
    if (n.index == 1)
      return hs::fmap([](const RG& y) { return R(ambrel::That1Value<RG>(y)); }, hs::traverse(h, n.g->force()));
    const hs::Lazy<typename G::template apply<A>> g = *n.g;
    return hs::liftA2([](const RF& x, const RG& y) { return R(x, y); }, hs::traverse(h, n.f->force()),
                      [&] { return hs::traverse(h, g.force()); });
  }
};

// ---- Deep evaluation ------------------------------------------------------------------------

/// Deep evaluation: the value, then its parts deeply, the F part first.
template <class F, class G, class A>
struct hs::NFData<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  static void rnf(const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.f) hs::rnf(*n.f);
    if (n.g) hs::rnf(*n.g);
  }
};
/// Deep evaluation through the inner functors' liftRnf, the elements by r.
template <class F, class G, class A>
struct hs::NFData1<ambrel::Ambrel1<F, G, A>> {
  /// \privatesection
  template <class R>
  static void liftRnf(R&& r, const ambrel::Ambrel1<F, G, A>& v) {
    const auto& n = ambrel::internal::one::Access::node(v);
    if (n.f) hs::liftRnf(r, n.f->force());
    if (n.g) hs::liftRnf(r, n.g->force());
  }
};

/// @}
