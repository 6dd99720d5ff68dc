// Structural capabilities: two-sided and one-sided mapping, folding and traversal, combination,
// the applicative and monad that gather first values with their semigroup, swap and
// re-association.
//
// As a container in its second type, `Ambrel a` holds at most one element: none in This, the
// second value in That and Ambrel. Computed fields are stored deferred; a caller's function
// receives field values, or the field cells under hs::onCells. Where a rule returns its input,
// the result is the input's cell, also at a changed type.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "ambrel/ambrel/type.hpp"
#include "hs/assoc.hpp"
#include "hs/bifunctor.hpp"
#include "hs/call.hpp"
#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/monad.hpp"
#include "hs/semigroup.hpp"

/// \addtogroup ambrel_ambrel
/// @{

/// `Ambrel<A, B>` is AmbrelTag2 applied to A and B.
template <class A, class B>
struct hs::TagOf2<ambrel::Ambrel<A, B>> {
  /// \privatesection
  using type = ambrel::AmbrelTag2;
  using first_type = A;
  using second_type = B;
};

namespace ambrel::internal {

// A field as a caller's function takes it: the cell under hs::onCells, else its value.
template <class F, class X>
[[nodiscard]] decltype(auto) arg(const hs::Lazy<X>& c) {
  if constexpr (hs::isOnCells<F>)
    return (c);
  else
    return (c.force());
}
// The callable behind a possibly hs::onCells-marked function.
template <class F>
[[nodiscard]] decltype(auto) target(F& f) {
  if constexpr (hs::isOnCells<F>)
    return (f.fn);
  else
    return (f);
}
// f of one field, called now.
template <class F, class X>
[[nodiscard]] decltype(auto) callOn(F& f, const hs::Lazy<X>& c) {
  return std::invoke(internal::target(f), internal::arg<std::remove_cvref_t<F>>(c));
}

// The deferred l <> r of two fields (left operand on the left).
template <class A>
[[nodiscard]] hs::Lazy<A> combined(const hs::Lazy<A>& l, const hs::Lazy<A>& r) {
  return hs::Lazy<A>::apply([](const A& x, const A& y) { return hs::mappend(x, y); }, l, r);
}

// The rows of the applicative table: x's constructor decides, y is asked for only when x is not
// This, and second(xs, ys) makes the result's second value from the two second cells.
template <class R, class A, class X, class Rest, class Second>
[[nodiscard]] R applied(const Ambrel<A, X>& x, Rest&& rest, Second&& second) {
  using V = typename R::second_type;
  const Node& nx = Access::node(x);
  if (nx.index == 0) return internal::view<R>(x);
  const auto y = rest();
  using Y = typename std::remove_cvref_t<decltype(y)>::second_type;
  const Node& ny = Access::node(y);
  const hs::Lazy<X>& xs = nx.there.template get<X>();
  if (nx.index == 1) {
    if (ny.index == 0) return internal::view<R>(y);
    hs::Lazy<V> v = second(xs, ny.there.template get<Y>());
    if (ny.index == 1) return internal::makeThat<A, V>(std::move(v));
    return R(ny.here.template get<A>(), std::move(v));
  }
  const hs::Lazy<A>& a = nx.here.template get<A>();
  if (ny.index == 0) return internal::makeThis<A, V>(internal::combined(a, ny.here.template get<A>()));
  hs::Lazy<V> v = second(xs, ny.there.template get<Y>());
  if (ny.index == 1) return R(a, std::move(v));
  return R(internal::combined(a, ny.here.template get<A>()), std::move(v));
}

// The first value a of m's Ambrel joined with the result k gave for it.
template <class A, class MY>
[[nodiscard]] MY joined(const hs::Lazy<A>& a, const MY& r) {
  using Y = typename MY::second_type;
  const Node& n = Access::node(r);
  if (n.index == 0) return internal::makeThis<A, Y>(internal::combined(a, n.here.template get<A>()));
  if (n.index == 1) return MY(a, n.there.template get<Y>());
  return MY(internal::combined(a, n.here.template get<A>()), n.there.template get<Y>());
}

}  // namespace ambrel::internal

// ---- Mapping --------------------------------------------------------------------------------

/// Two-sided mapping: each function's result is a deferred field of the new value, f called on
/// the first value and g on the second when they are demanded.
template <>
struct hs::Bifunctor<ambrel::AmbrelTag2> {
  /// Always a new value of the same constructor.
  template <class F, class G, class A, class B>
  [[nodiscard]] static auto bimap(F&& f, G&& g, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    using C = I::ResultOf<F, A>;
    using D = I::ResultOf<G, B>;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0)
      return I::makeThis<C, D>(hs::deferCall<C>(std::decay_t<F>(f), n.here.template get<A>()));
    if (n.index == 1)
      return I::makeThat<C, D>(hs::deferCall<D>(std::decay_t<G>(g), n.there.template get<B>()));
    return ambrel::Ambrel<C, D>(hs::deferCall<C>(std::decay_t<F>(f), n.here.template get<A>()),
                                hs::deferCall<D>(std::decay_t<G>(g), n.there.template get<B>()));
  }
  /// That: the input itself.
  template <class F, class A, class B>
  [[nodiscard]] static auto first(F&& f, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    using C = I::ResultOf<F, A>;
    using R = ambrel::Ambrel<C, B>;
    const I::Node& n = I::Access::node(t);
    if (n.index == 1) return I::view<R>(t);
    hs::Lazy<C> c = hs::deferCall<C>(std::decay_t<F>(f), n.here.template get<A>());
    if (n.index == 0) return I::makeThis<C, B>(std::move(c));
    return R(std::move(c), n.there.template get<B>());
  }
  /// This: the input itself; g is never called for it.
  template <class G, class A, class B>
  [[nodiscard]] static auto second(G&& g, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    using D = I::ResultOf<G, B>;
    using R = ambrel::Ambrel<A, D>;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0) return I::view<R>(t);
    hs::Lazy<D> d = hs::deferCall<D>(std::decay_t<G>(g), n.there.template get<B>());
    if (n.index == 1) return I::makeThat<A, D>(std::move(d));
    return R(n.here.template get<A>(), std::move(d));
  }
};

/// Mapping the second value: second of the Bifunctor.
template <class A>
struct hs::Functor<ambrel::AmbrelTag<A>> {
  /// This: the input itself; otherwise the second value replaced by the deferred f(b).
  template <class F, class B>
  [[nodiscard]] static auto fmap(F&& f, const ambrel::Ambrel<A, B>& t) {
    return hs::Bifunctor<ambrel::AmbrelTag2>::second(std::forward<F>(f), t);
  }
  /// This: the input itself; otherwise the second value replaced by x.
  template <class X, class B>
  [[nodiscard]] static auto replaceValues(const X& x, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    using V = I::PlainT<X>;
    using R = ambrel::Ambrel<A, V>;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0) return I::view<R>(t);
    if (n.index == 1) return I::makeThat<A, V>(hs::Lazy<V>(x));
    return R(n.here.template get<A>(), hs::Lazy<V>(x));
  }
};

// ---- Two-sided folding ----------------------------------------------------------------------

/// Two-sided folding over the present values, the first before the second.
template <>
struct hs::Bifoldable<ambrel::AmbrelTag2> {
  /// f a, g b, or mappend (f a) (g b), f called first.
  template <class M, class F, class G, class A, class B>
  [[nodiscard]] static M bifoldMap(F&& f, G&& g, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0) return M(I::callOn(f, n.here.template get<A>()));
    if (n.index == 1) return M(I::callOn(g, n.there.template get<B>()));
    const M left(I::callOn(f, n.here.template get<A>()));
    return hs::mappend<M>(left, M(I::callOn(g, n.there.template get<B>())));
  }
  /// f(a, z), g(b, z), or f(a, deferred g(b, z)).
  template <class F, class G, class Z, class A, class B>
  [[nodiscard]] static Z bifoldr(F&& f, G&& g, Z z, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0)
      return Z(std::invoke(I::target(f), I::arg<std::decay_t<F>>(n.here.template get<A>()),
                           hs::Lazy<Z>(std::move(z))));
    const hs::Lazy<B>& b = n.there.template get<B>();
    if (n.index == 1)
      return Z(std::invoke(I::target(g), I::arg<std::decay_t<G>>(b), hs::Lazy<Z>(std::move(z))));
    const hs::Lazy<Z> rest =
        hs::Lazy<Z>::defer([g = std::decay_t<G>(g), b, z = std::move(z)]() mutable -> Z {
          return Z(std::invoke(I::target(g), I::arg<std::decay_t<G>>(b), hs::Lazy<Z>(z)));
        });
    return Z(std::invoke(I::target(f), I::arg<std::decay_t<F>>(n.here.template get<A>()), rest));
  }
  /// f(z, a), g(z, b), or g(deferred f(z, a), b).
  template <class F, class G, class Z, class A, class B>
  [[nodiscard]] static Z bifoldl(F&& f, G&& g, Z z, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    const I::Node& n = I::Access::node(t);
    if (n.index == 1)
      return Z(std::invoke(I::target(g), hs::Lazy<Z>(std::move(z)),
                           I::arg<std::decay_t<G>>(n.there.template get<B>())));
    const hs::Lazy<A>& a = n.here.template get<A>();
    if (n.index == 0)
      return Z(std::invoke(I::target(f), hs::Lazy<Z>(std::move(z)), I::arg<std::decay_t<F>>(a)));
    const hs::Lazy<Z> init =
        hs::Lazy<Z>::defer([f = std::decay_t<F>(f), a, z = std::move(z)]() mutable -> Z {
          return Z(std::invoke(I::target(f), hs::Lazy<Z>(z), I::arg<std::decay_t<F>>(a)));
        });
    return Z(std::invoke(I::target(g), init, I::arg<std::decay_t<G>>(n.there.template get<B>())));
  }
  /// a, b, or a <> b, forced.
  template <class A>
  [[nodiscard]] static A bifold(const ambrel::Ambrel<A, A>& t) {
    namespace I = ambrel::internal;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0) return n.here.template get<A>().force();
    if (n.index == 1) return n.there.template get<A>().force();
    return hs::mappend(n.here.template get<A>().force(), n.there.template get<A>().force());
  }
};

/// Non-empty two-sided folding: every value holds at least one side.
template <>
struct hs::Bifoldable1<ambrel::AmbrelTag2> {
  /// f a, g b, or f a <> g b.
  template <class S, class F, class G, class A, class B>
  [[nodiscard]] static S bifoldMap1(F&& f, G&& g, const ambrel::Ambrel<A, B>& t) {
    return hs::Bifoldable<ambrel::AmbrelTag2>::bifoldMap<S>(std::forward<F>(f),
                                                            std::forward<G>(g), t);
  }
  /// a, b, or a <> b, forced.
  template <class A>
  [[nodiscard]] static A bifold1(const ambrel::Ambrel<A, A>& t) {
    return hs::Bifoldable<ambrel::AmbrelTag2>::bifold(t);
  }
};

// ---- Folding the element (the second value of That and Ambrel) ------------------------------

/// Folding as a container of at most one element: none in This, the second value in That and
/// Ambrel (forced when it is used). Constant time; nothing is allocated beyond the result.
template <class A>
struct hs::Foldable<ambrel::AmbrelTag<A>> {
  /// @{
  /// Over the element, or none for This (the fold's empty case: z, mempty, 0 or 1).
  template <class B>
  [[nodiscard]] static std::vector<B> toList(const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return {};
    return {t.there().force()};
  }
  template <class B>
  [[nodiscard]] static auto fold(const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return hs::mempty<B>();
    return hs::mappend(t.there().force(), hs::mempty<B>());
  }
  template <class M, class F, class B>
  [[nodiscard]] static M foldMap(F&& f, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return hs::mempty<M>();
    const M x(ambrel::internal::callOn(f, t.there()));
    return hs::mappend<M>(x, hs::mempty<M>());
  }
  template <class M, class F, class B>
  [[nodiscard]] static M foldMap_(F&& f, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return hs::mempty<M>();
    const M e = hs::mempty<M>();
    return hs::mappend<M>(e, M(ambrel::internal::callOn(f, t.there())));
  }
  template <class F, class Z, class B>
  [[nodiscard]] static Z foldr(const F& f, Z z, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return z;
    return Z(std::invoke(f, t.there().force(), hs::Lazy<Z>(std::move(z))));
  }
  template <class F, class Z, class B>
  [[nodiscard]] static Z foldr_(F&& f, Z z, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return z;
    return Z(std::invoke(f, t.there().force(), std::move(z)));
  }
  template <class F, class Z, class B>
  [[nodiscard]] static Z foldl(const F& f, Z z, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return z;
    return Z(std::invoke(f, hs::Lazy<Z>(std::move(z)), t.there().force()));
  }
  template <class F, class Z, class B>
  [[nodiscard]] static Z foldl_(F&& f, Z z, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return z;
    return Z(std::invoke(f, std::move(z), t.there().force()));
  }
  /// @}
  /// The element itself; f is never called.
  template <class F, class B>
  [[nodiscard]] static B foldr1(F&&, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) hs::foldr1Empty();
    return t.there().force();
  }
  /// The element itself; f is never called.
  template <class F, class B>
  [[nodiscard]] static B foldl1(F&&, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) hs::foldl1Empty();
    return t.there().force();
  }
  /// Whether t is This.
  template <class B>
  [[nodiscard]] static bool null(const ambrel::Ambrel<A, B>& t) {
    return t.index() == 0;
  }
  /// 0 for This, else 1.
  template <class B>
  [[nodiscard]] static std::int64_t length(const ambrel::Ambrel<A, B>& t) {
    return t.index() == 0 ? 0 : 1;
  }
  /// x == b, the given value on the left.
  template <class X, class B>
  [[nodiscard]] static bool elem(const X& x, const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) return false;
    return x == t.there().force();
  }
  /// @{
  /// The element; This fails as an empty structure.
  template <class B>
  [[nodiscard]] static B maximum(const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) hs::maximumEmpty();
    return t.there().force();
  }
  template <class B>
  [[nodiscard]] static B minimum(const ambrel::Ambrel<A, B>& t) {
    if (t.index() == 0) hs::minimumEmpty();
    return t.there().force();
  }
  /// @}
  /// @{
  /// 0 + b or 1 * b; 0 or 1 for This.
  template <class B>
  [[nodiscard]] static B sum(const ambrel::Ambrel<A, B>& t) {
    B zero(0);
    if (t.index() == 0) return zero;
    return zero + t.there().force();
  }
  template <class B>
  [[nodiscard]] static B product(const ambrel::Ambrel<A, B>& t) {
    B one(1);
    if (t.index() == 0) return one;
    return one * t.there().force();
  }
  /// @}
};

// ---- Traversal ------------------------------------------------------------------------------

/// Traversal of the at most one element.
template <class A>
struct hs::Traversable<ambrel::AmbrelTag<A>> {
  /// This: the input itself, wrapped with the applicative's pure; f is not called.
  template <class F, class B>
  [[nodiscard]] static auto traverse(F&& f, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    using FC = std::remove_cvref_t<decltype(I::callOn(f, std::declval<const hs::Lazy<B>&>()))>;
    using C = hs::ElementOf<FC>;
    using R = ambrel::Ambrel<A, C>;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0) return hs::pure<hs::TagOfT<FC>>(I::view<R>(t));
    const FC fc = I::callOn(f, n.there.template get<B>());
    if (n.index == 1)
      return hs::fmap([](const C& c) { return I::makeThat<A, C>(hs::Lazy<C>(c)); }, fc);
    return hs::fmap([a = n.here.template get<A>()](const C& c) { return R(a, hs::Lazy<C>(c)); },
                    fc);
  }
};

/// Two-sided traversal, the first value's action before the second's.
template <>
struct hs::Bitraversable<ambrel::AmbrelTag2> {
  /// The effect of f a before that of g b.
  template <class F, class G, class A, class B>
  [[nodiscard]] static auto bitraverse(F&& f, G&& g, const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    using FC = std::remove_cvref_t<decltype(I::callOn(f, std::declval<const hs::Lazy<A>&>()))>;
    using FD = std::remove_cvref_t<decltype(I::callOn(g, std::declval<const hs::Lazy<B>&>()))>;
    using C = hs::ElementOf<FC>;
    using D = hs::ElementOf<FD>;
    using R = ambrel::Ambrel<C, D>;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0)
      return hs::fmap([](const C& c) { return I::makeThis<C, D>(hs::Lazy<C>(c)); },
                      FC(I::callOn(f, n.here.template get<A>())));
    if (n.index == 1)
      return hs::fmap([](const D& d) { return I::makeThat<C, D>(hs::Lazy<D>(d)); },
                      FD(I::callOn(g, n.there.template get<B>())));
    const hs::Lazy<B>& b = n.there.template get<B>();
    return hs::liftA2([](const C& c, const D& d) { return R(hs::Lazy<C>(c), hs::Lazy<D>(d)); },
                      FC(I::callOn(f, n.here.template get<A>())),
                      [&]() -> FD { return I::callOn(g, b); });
  }
};

// ---- Combination ----------------------------------------------------------------------------

/// Every side that either operand holds; a side both hold is combined (deferred), the left
/// operand's value on the left. There is no neutral element.
template <class A, class B>
struct hs::Semigroup<ambrel::Ambrel<A, B>> {
  /// \privatesection
  [[nodiscard]] static ambrel::Ambrel<A, B> mappend(const ambrel::Ambrel<A, B>& x, const ambrel::Ambrel<A, B>& y) {
    namespace I = ambrel::internal;
    const I::Node& nx = I::Access::node(x);
    const I::Node& ny = I::Access::node(y);
    std::optional<hs::Lazy<A>> here = side<A>(nx.index != 1, nx.here, ny.index != 1, ny.here);
    std::optional<hs::Lazy<B>> there = side<B>(nx.index != 0, nx.there, ny.index != 0, ny.there);
    if (!there) return I::makeThis<A, B>(std::move(*here));
    if (!here) return I::makeThat<A, B>(std::move(*there));
    return ambrel::Ambrel<A, B>(std::move(*here), std::move(*there));
  }

 private:
  template <class X>
  [[nodiscard]] static std::optional<hs::Lazy<X>> side(bool inX, const ambrel::internal::Slot& sx, bool inY,
                                         const ambrel::internal::Slot& sy) {
    if (inX && inY) return ambrel::internal::combined(sx.get<X>(), sy.get<X>());
    if (inX) return sx.get<X>();
    if (inY) return sy.get<X>();
    return std::nullopt;
  }
};

// ---- Application and sequencing (first values joined with A's semigroup) --------------------

/// Application: the first values of the function and the argument joined with A's semigroup
/// (deferred); a This stops the application.
template <class A>
struct hs::Applicative<ambrel::AmbrelTag<A>> {
  /// That x.
  template <class X>
  [[nodiscard]] static ambrel::Ambrel<A, X> pure(X x) {
    return ambrel::internal::makeThat<A, X>(hs::Lazy<X>(std::move(x)));
  }
  /// fmap f x <*> y; a This x is returned itself, without asking for y.
  template <class F, class X, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const ambrel::Ambrel<A, X>& x, Rest&& rest) {
    namespace I = ambrel::internal;
    using MY = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using Y = typename MY::second_type;
    using V = I::ResultOf<F, X, Y>;
    return I::applied<ambrel::Ambrel<A, V>>(
        x, rest, [&f](const hs::Lazy<X>& xs, const hs::Lazy<Y>& ys) {
          return hs::deferCall<V>(std::decay_t<F>(f), xs, ys);
        });
  }
};

/// Sequencing: the first values joined with A's semigroup (deferred), like the Applicative.
template <class A>
struct hs::Monad<ambrel::AmbrelTag<A>> {
  /// This: the input itself (k not called); That x: k x itself; Ambrel a x: k x joined with a.
  template <class X, class K>
  [[nodiscard]] static auto bind(const ambrel::Ambrel<A, X>& m, K&& k) {
    namespace I = ambrel::internal;
    using MY = I::ResultOf<K, X>;
    const I::Node& n = I::Access::node(m);
    if (n.index == 0) return I::view<MY>(m);
    MY r = I::callOn(k, n.there.template get<X>());
    if (n.index == 1) return r;
    return I::joined(n.here.template get<A>(), r);
  }
  /// m >>= \_ -> m2: m's second value is never looked at.
  template <class X, class MY>
  [[nodiscard]] static MY then(const ambrel::Ambrel<A, X>& m, const MY& m2) {
    namespace I = ambrel::internal;
    const I::Node& n = I::Access::node(m);
    if (n.index == 0) return I::view<MY>(m);
    if (n.index == 1) return m2;
    return I::joined(n.here.template get<A>(), m2);
  }
};

namespace ambrel {
/// \addtogroup ambrel_ambrel
/// @{

/// mf <*> mx: mx is evaluated only when mf is not This.
template <class A, class Fn, class X>
[[nodiscard]] auto ap(const Ambrel<A, Fn>& mf, const Ambrel<A, X>& mx) {
  using V = std::remove_cvref_t<std::invoke_result_t<const Fn&, const X&>>;
  return internal::applied<Ambrel<A, V>>(
      mf, [&] { return mx; }, [](const hs::Lazy<Fn>& fs, const hs::Lazy<X>& xs) {
        return hs::Lazy<V>::apply([](const Fn& g, const X& x) -> V { return g(x); }, fs, xs);
      });
}
/// a1 *> a2: a1 itself when it is This; otherwise the applicative's constructor and first value,
/// with a2's second value (a1's is never looked at).
template <class A, class X, class Y>
[[nodiscard]] Ambrel<A, Y> apRight(const Ambrel<A, X>& a1, const Ambrel<A, Y>& a2) {
  return internal::applied<Ambrel<A, Y>>(
      a1, [&] { return a2; }, [](const hs::Lazy<X>&, const hs::Lazy<Y>& ys) { return ys; });
}
/// a1 <* a2: likewise, with a1's second value (a2's is never looked at).
template <class A, class X, class Y>
[[nodiscard]] Ambrel<A, X> apLeft(const Ambrel<A, X>& a1, const Ambrel<A, Y>& a2) {
  return internal::applied<Ambrel<A, X>>(
      a1, [&] { return a2; }, [](const hs::Lazy<X>& xs, const hs::Lazy<Y>&) { return xs; });
}

/// @}
}  // namespace ambrel

// ---- Swap and re-association ----------------------------------------------------------------

/// Swapping the sides: This a and That a trade places, Ambrel a b becomes Ambrel b a.
template <>
struct hs::Swap<ambrel::AmbrelTag2> {
  /// Always a new value; the fields are shared.
  template <class A, class B>
  [[nodiscard]] static ambrel::Ambrel<B, A> swap(const ambrel::Ambrel<A, B>& t) {
    namespace I = ambrel::internal;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0) return I::makeThat<B, A>(n.here.template get<A>());
    if (n.index == 1) return I::makeThis<B, A>(n.there.template get<B>());
    return ambrel::Ambrel<B, A>(n.there.template get<B>(), n.here.template get<A>());
  }
};

/// Re-association of nested values.
template <>
struct hs::Assoc<ambrel::AmbrelTag2> {
  /// Ambrel (Ambrel a b) c to Ambrel a (Ambrel b c); the inner value is evaluated where present.
  template <class A, class B, class C>
  [[nodiscard]] static ambrel::Ambrel<A, ambrel::Ambrel<B, C>> assoc(
      const ambrel::Ambrel<ambrel::Ambrel<A, B>, C>& t) {
    namespace I = ambrel::internal;
    using BC = ambrel::Ambrel<B, C>;
    using R = ambrel::Ambrel<A, BC>;
    const I::Node& n = I::Access::node(t);
    if (n.index == 1) return I::makeThat<A, BC>(hs::Lazy<BC>(I::view<BC>(t)));
    const ambrel::Ambrel<A, B>& inner = n.here.template get<ambrel::Ambrel<A, B>>().force();
    const I::Node& i = I::Access::node(inner);
    if (n.index == 0) {
      if (i.index == 0) return I::view<R>(inner);
      const hs::Lazy<B>& b = i.there.template get<B>();
      if (i.index == 1) return I::makeThat<A, BC>(hs::Lazy<BC>(I::makeThis<B, C>(b)));
      return R(i.here.template get<A>(), hs::Lazy<BC>(I::makeThis<B, C>(b)));
    }
    const hs::Lazy<C>& c = n.there.template get<C>();
    if (i.index == 0) return R(i.here.template get<A>(), hs::Lazy<BC>(I::makeThat<B, C>(c)));
    const hs::Lazy<B>& b = i.there.template get<B>();
    if (i.index == 1) return I::makeThat<A, BC>(hs::Lazy<BC>(BC(b, c)));
    return R(i.here.template get<A>(), hs::Lazy<BC>(BC(b, c)));
  }
  /// Ambrel a (Ambrel b c) to Ambrel (Ambrel a b) c; the inner value is evaluated where present.
  template <class A, class B, class C>
  [[nodiscard]] static ambrel::Ambrel<ambrel::Ambrel<A, B>, C> unassoc(
      const ambrel::Ambrel<A, ambrel::Ambrel<B, C>>& t) {
    namespace I = ambrel::internal;
    using AB = ambrel::Ambrel<A, B>;
    using R = ambrel::Ambrel<AB, C>;
    const I::Node& n = I::Access::node(t);
    if (n.index == 0) return I::makeThis<AB, C>(hs::Lazy<AB>(I::view<AB>(t)));
    const ambrel::Ambrel<B, C>& inner = n.there.template get<ambrel::Ambrel<B, C>>().force();
    const I::Node& i = I::Access::node(inner);
    if (n.index == 1) {
      if (i.index == 1) return I::view<R>(inner);
      const hs::Lazy<B>& b = i.here.template get<B>();
      if (i.index == 0) return I::makeThis<AB, C>(hs::Lazy<AB>(I::makeThat<A, B>(b)));
      return R(hs::Lazy<AB>(I::makeThat<A, B>(b)), i.there.template get<C>());
    }
    const hs::Lazy<A>& a = n.here.template get<A>();
    if (i.index == 1) return R(hs::Lazy<AB>(I::makeThis<A, B>(a)), i.there.template get<C>());
    const hs::Lazy<B>& b = i.here.template get<B>();
    if (i.index == 0) return I::makeThis<AB, C>(hs::Lazy<AB>(AB(a, b)));
    return R(hs::Lazy<AB>(AB(a, b)), i.there.template get<C>());
  }
};

/// @}
