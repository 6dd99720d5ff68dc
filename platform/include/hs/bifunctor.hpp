/// \defgroup hs_bifunctor hs/bifunctor.hpp
/// \ingroup hsplatform
/// Structures over two element types (pairs, Either, ...): two-sided mapping, folding, non-empty
/// folding and traversal, keyed on two-parameter type-constructor tags.
///
/// A two-parameter tag is a type with a nested `template <class A, class B> using apply = ...;`
/// (`PairTag2::apply<int, char>` is `std::pair<int, char>`); `TagOf2<P<A, B>>` gives the tag and
/// the two element types of a concrete type, as `TagOf` does for one-parameter tags.
#pragma once

#include <type_traits>
#include <utility>

#include "hs/either.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/semigroup.hpp"

namespace hs {
/// \addtogroup hs_bifunctor
/// @{

/// std::pair as a two-parameter type constructor.
struct PairTag2 {
  /// `std::pair<A, B>`.
  template <class A, class B>
  using apply = std::pair<A, B>;
};
/// Either as a two-parameter type constructor.
struct EitherTag2 {
  /// `Either<A, B>`.
  template <class A, class B>
  using apply = Either<A, B>;
};

/// The two-parameter tag of a concrete type: specialise with `type` (the tag), `first_type` and
/// `second_type`.
template <class PAB>
struct TagOf2;
/// `std::pair<A, B>` is PairTag2 applied to A and B.
template <class A, class B>
struct TagOf2<std::pair<A, B>> {
  /// \privatesection
  using type = PairTag2;
  using first_type = A;
  using second_type = B;
};
/// `Either<A, B>` is EitherTag2 applied to A and B.
template <class A, class B>
struct TagOf2<Either<A, B>> {
  /// \privatesection
  using type = EitherTag2;
  using first_type = A;
  using second_type = B;
};
/// The two-parameter tag of PAB (reference and const removed).
template <class PAB>
using TagOf2T = typename TagOf2<std::remove_cvref_t<PAB>>::type;
/// The first element type of PAB.
template <class PAB>
using FirstOf = typename TagOf2<std::remove_cvref_t<PAB>>::first_type;
/// The second element type of PAB.
template <class PAB>
using SecondOf = typename TagOf2<std::remove_cvref_t<PAB>>::second_type;

/// A concrete type that names its two-parameter tag.
template <class PAB>
concept Tagged2 = requires { typename TagOf2T<PAB>; };

/// Two-sided mapping, per two-parameter tag: specialise with `bimap(f, g, p)`, optionally
/// `first(f, p)` and `second(g, p)`.
template <class Tag2>
struct Bifunctor;
/// Two-sided folding, per two-parameter tag: specialise with `bifoldMap<M>(f, g, p)`,
/// `bifoldr(f, g, z, p)`, `bifoldl(f, g, z, p)`, optionally `bifold(p)`. The lazy folds follow
/// foldr's and foldl's protocol (hs/foldable.hpp): bifoldr's functions receive (element,
/// const hs::Lazy<Z>& rest), bifoldl's (const hs::Lazy<Z>& init, element), the deferred part
/// computed only if they demand it.
template <class Tag2>
struct Bifoldable;
/// Two-sided folding of structures that always hold an element, per two-parameter tag: specialise
/// with `bifoldMap1<S>(f, g, p)`, optionally `bifold1(p)`.
template <class Tag2>
struct Bifoldable1;
/// Two-sided traversal, per two-parameter tag: specialise with `bitraverse(f, g, p)`, the
/// applicative deduced from the functions' results.
template <class Tag2>
struct Bitraversable;

namespace detail {
// The identity function, returning a copy.
struct Same {
  template <class X>
  X operator()(const X& x) const {
    return x;
  }
};
}  // namespace detail

/// f applied to the first side, g to the second, by the tag's Bifunctor instance.
template <class F, class G, class P>
[[nodiscard]] auto bimap(F&& f, G&& g, const P& p) {
  return Bifunctor<TagOf2T<P>>::bimap(std::forward<F>(f), std::forward<G>(g), p);
}
/// The first side mapped: the instance's own `first`, else bimap with the identity (which copies
/// the second side).
template <class F, Tagged2 P>
[[nodiscard]] auto first(F&& f, const P& p) {
  using B = Bifunctor<TagOf2T<P>>;
  if constexpr (requires { B::first(f, p); })
    return B::first(std::forward<F>(f), p);
  else
    return B::bimap(std::forward<F>(f), detail::Same{}, p);
}
/// The second side mapped: the instance's own `second`, else bimap with the identity (which copies
/// the first side).
template <class G, Tagged2 P>
[[nodiscard]] auto second(G&& g, const P& p) {
  using B = Bifunctor<TagOf2T<P>>;
  if constexpr (requires { B::second(g, p); })
    return B::second(std::forward<G>(g), p);
  else
    return B::bimap(detail::Same{}, std::forward<G>(g), p);
}

/// f of each first-side element and g of each second-side element combined in the monoid M, in
/// the structure's order.
template <class M, class F, class G, class P>
[[nodiscard]] M bifoldMap(F&& f, G&& g, const P& p) {
  return Bifoldable<TagOf2T<P>>::template bifoldMap<M>(std::forward<F>(f), std::forward<G>(g), p);
}
/// Lazy right fold: f for first-side elements, g for second-side ones, each given the element and
/// the deferred fold of the rest, which runs only if demanded.
template <class F, class G, class Z, class P>
[[nodiscard]] Z bifoldr(F&& f, G&& g, Z z, const P& p) {
  return Bifoldable<TagOf2T<P>>::bifoldr(std::forward<F>(f), std::forward<G>(g), std::move(z), p);
}
/// Lazy left fold: f for first-side elements, g for second-side ones, each given the deferred fold
/// of what comes before, which runs only if demanded, and the element.
template <class F, class G, class Z, class P>
[[nodiscard]] Z bifoldl(F&& f, G&& g, Z z, const P& p) {
  return Bifoldable<TagOf2T<P>>::bifoldl(std::forward<F>(f), std::forward<G>(g), std::move(z), p);
}
/// Both sides (of one monoid type) combined: the instance's own, else bifoldMap of the identity.
template <class P>
[[nodiscard]] auto bifold(const P& p) {
  using B = Bifoldable<TagOf2T<P>>;
  using M = FirstOf<P>;
  if constexpr (requires { B::bifold(p); })
    return B::bifold(p);
  else
    return B::template bifoldMap<M>(detail::Same{}, detail::Same{}, p);
}

/// f of each first-side element and g of each second-side element combined in the semigroup S,
/// in the structure's order; no neutral element is needed.
template <class S, class F, class G, class P>
[[nodiscard]] S bifoldMap1(F&& f, G&& g, const P& p) {
  return Bifoldable1<TagOf2T<P>>::template bifoldMap1<S>(std::forward<F>(f), std::forward<G>(g),
                                                         p);
}
/// Both sides (of one semigroup type) combined: the instance's own, else bifoldMap1 of the
/// identity.
template <class P>
[[nodiscard]] auto bifold1(const P& p) {
  using B = Bifoldable1<TagOf2T<P>>;
  using S = FirstOf<P>;
  if constexpr (requires { B::bifold1(p); })
    return B::bifold1(p);
  else
    return B::template bifoldMap1<S>(detail::Same{}, detail::Same{}, p);
}

/// f over the first-side elements and g over the second-side ones, the results gathered in the
/// applicative of their results, the effects in the structure's order.
template <class F, class G, class P>
[[nodiscard]] auto bitraverse(F&& f, G&& g, const P& p) {
  return Bitraversable<TagOf2T<P>>::bitraverse(std::forward<F>(f), std::forward<G>(g), p);
}
/// The effects the structure holds on both sides, run in its order.
template <class P>
[[nodiscard]] auto bisequence(const P& p) {
  return Bitraversable<TagOf2T<P>>::bitraverse(detail::Same{}, detail::Same{}, p);
}

// ---- Pairs: the first component, then the second ------------------------------------------

/// f of the first component (called first), g of the second.
template <>
struct Bifunctor<PairTag2> {
  /// \privatesection
  template <class F, class G, class A, class B>
  [[nodiscard]] static auto bimap(F&& f, G&& g, const std::pair<A, B>& p) {
    using C = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    using D = std::remove_cvref_t<std::invoke_result_t<G&, const B&>>;
    C c = f(p.first);
    return std::pair<C, D>(std::move(c), g(p.second));
  }
};
/// The first component, then the second.
template <>
struct Bifoldable<PairTag2> {
  /// f(a) <> g(b), f called first.
  template <class M, class F, class G, class A, class B>
  [[nodiscard]] static M bifoldMap(F&& f, G&& g, const std::pair<A, B>& p) {
    M a = M(f(p.first));
    return hs::mappend<M>(a, M(g(p.second)));
  }
  /// f(a, deferred g(b, z)); the deferred cell holds copies of g, b and z.
  template <class F, class G, class Z, class A, class B>
  [[nodiscard]] static Z bifoldr(F f, G g, Z z, const std::pair<A, B>& p) {
    Lazy<Z> rest = Lazy<Z>::defer([g, b = p.second, z = std::move(z)]() mutable -> Z {
      return g(b, Lazy<Z>(std::move(z)));
    });
    return f(p.first, rest);
  }
  /// g(deferred f(z, a), b); the deferred cell holds copies of f, a and z.
  template <class F, class G, class Z, class A, class B>
  [[nodiscard]] static Z bifoldl(F f, G g, Z z, const std::pair<A, B>& p) {
    Lazy<Z> init = Lazy<Z>::defer([f, a = p.first, z = std::move(z)]() mutable -> Z {
      return f(Lazy<Z>(std::move(z)), a);
    });
    return g(init, p.second);
  }
};
/// f(a) <> g(b), f called first.
template <>
struct Bifoldable1<PairTag2> {
  /// \privatesection
  template <class S, class F, class G, class A, class B>
  [[nodiscard]] static S bifoldMap1(F&& f, G&& g, const std::pair<A, B>& p) {
    S a = S(f(p.first));
    return hs::mappend<S>(a, S(g(p.second)));
  }
};
/// The effect of the first component before that of the second; g runs only when the
/// applicative needs the second (not after an absent first result).
template <>
struct Bitraversable<PairTag2> {
  /// \privatesection
  template <class F, class G, class A, class B>
  [[nodiscard]] static auto bitraverse(F&& f, G&& g, const std::pair<A, B>& p) {
    using FC = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    using FD = std::remove_cvref_t<std::invoke_result_t<G&, const B&>>;
    using C = ElementOf<FC>;
    using D = ElementOf<FD>;
    return hs::liftA2([](const C& c, const D& d) { return std::pair<C, D>(c, d); }, f(p.first),
                      [&]() -> FD { return g(p.second); });
  }
};

// ---- Either: the one side present ---------------------------------------------------------

/// f of a Left's payload or g of a Right's; the other function is not called.
template <>
struct Bifunctor<EitherTag2> {
  /// \privatesection
  template <class F, class G, class A, class B>
  [[nodiscard]] static auto bimap(F&& f, G&& g, const Either<A, B>& e) {
    using C = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    using D = std::remove_cvref_t<std::invoke_result_t<G&, const B&>>;
    if (e.isLeft()) return Either<C, D>(hs::Left(f(e.left())));
    return Either<C, D>(hs::Right(g(e.right())));
  }
};
/// The one payload: f of a Left's, g of a Right's; the lazy folds pass z as an evaluated cell.
template <>
struct Bifoldable<EitherTag2> {
  /// \privatesection
  template <class M, class F, class G, class A, class B>
  [[nodiscard]] static M bifoldMap(F&& f, G&& g, const Either<A, B>& e) {
    if (e.isLeft()) return M(f(e.left()));
    return M(g(e.right()));
  }
  template <class F, class G, class Z, class A, class B>
  [[nodiscard]] static Z bifoldr(F&& f, G&& g, Z z, const Either<A, B>& e) {
    if (e.isLeft()) return f(e.left(), Lazy<Z>(std::move(z)));
    return g(e.right(), Lazy<Z>(std::move(z)));
  }
  template <class F, class G, class Z, class A, class B>
  [[nodiscard]] static Z bifoldl(F&& f, G&& g, Z z, const Either<A, B>& e) {
    if (e.isLeft()) return f(Lazy<Z>(std::move(z)), e.left());
    return g(Lazy<Z>(std::move(z)), e.right());
  }
};
/// f of a Left's payload or g of a Right's.
template <>
struct Bifoldable1<EitherTag2> {
  /// \privatesection
  template <class S, class F, class G, class A, class B>
  [[nodiscard]] static S bifoldMap1(F&& f, G&& g, const Either<A, B>& e) {
    if (e.isLeft()) return S(f(e.left()));
    return S(g(e.right()));
  }
};
/// The effect of the one payload, its result put back on its side.
template <>
struct Bitraversable<EitherTag2> {
  /// \privatesection
  template <class F, class G, class A, class B>
  [[nodiscard]] static auto bitraverse(F&& f, G&& g, const Either<A, B>& e) {
    using C = ElementOf<std::invoke_result_t<F&, const A&>>;
    using D = ElementOf<std::invoke_result_t<G&, const B&>>;
    using E = Either<C, D>;
    if (e.isLeft()) return hs::fmap([](const C& c) { return E(hs::Left(c)); }, f(e.left()));
    return hs::fmap([](const D& d) { return E(hs::Right(d)); }, g(e.right()));
  }
};

/// @}
}  // namespace hs
