/// \defgroup hs_foldable hs/foldable.hpp
/// \ingroup hsplatform
/// Foldable and traversable structures, keyed on type-constructor tags (see hs/functor.hpp).
///
/// A Foldable instance gives at least `toList`; every other method of the front doors below is
/// taken from the instance when it has its own, and otherwise defined over `toList`, so the
/// defaults cost what the instance's toList costs (nothing for a stored vector, a new vector of
/// every element otherwise) and reach every element first. The lazy folds hand the fold of the
/// rest to the caller's function as a deferred cell (an hs::Lazy): a function that ignores it
/// never computes it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/error.hpp"
#include "hs/functor.hpp"
#include "hs/internal/instance.hpp"
#include "hs/lazy.hpp"
#include "hs/semigroup.hpp"

namespace hs {
/// \addtogroup hs_foldable
/// @{

/// Raises the program error (no call stack) of foldr1 over an empty structure.
[[noreturn]] void foldr1Empty();
/// Raises the program error (no call stack) of foldl1 over an empty structure.
[[noreturn]] void foldl1Empty();
/// Raises the program error (no call stack) of maximum over an empty structure.
[[noreturn]] void maximumEmpty();
/// Raises the program error (no call stack) of minimum over an empty structure.
[[noreturn]] void minimumEmpty();

/// Folding, per tag: specialise with `template <class A> static std::vector<A> toList(const F<A>&)`
/// (a const reference to a stored vector will do), optionally any of the methods below with the
/// front door's signature: `foldr`, `foldl`, `foldr_`, `foldl_`, `foldMap<M>`, `foldMap_<M>`,
/// `fold`, `foldr1`, `foldl1`, `null`, `length`, `elem`, `maximum`, `minimum`, `sum`, `product`.
template <class Tag>
struct Foldable;
/// Traversal, per tag: specialise with `traverse(f, ta)`, the applicative deduced from f's result.
template <class Tag>
struct Traversable;

namespace detail {
// Whether Tag has a Foldable (a Traversable) instance; where it has none, the build stops at the
// one message.
template <class Tag>
constexpr bool requireFoldable() {
  static_assert(hasInstance<Foldable<Tag>>,
                "this type constructor has no folding: specialise hs::Foldable<Tag> with "
                "static std::vector<A> toList(const F<A>&) (an example: "
                "hs::Foldable<morvet::ListFTag<A>> in morvet/include/morvet/list_f.hpp)");
  return hasInstance<Foldable<Tag>>;
}
// What traversing ta with f gives: the structure of the values of f's results, in their
// applicative.
template <class F, class TA>
using TraverseStep = std::remove_cvref_t<std::invoke_result_t<F&, const ElementOf<TA>&>>;
template <class Tag, class F, class TA>
using Traversed = typename TagOfT<TraverseStep<F, TA>>::template apply<
    typename Tag::template apply<ElementOf<TraverseStep<F, TA>>>>;
template <class Tag>
constexpr bool requireTraversable() {
  static_assert(hasInstance<Traversable<Tag>>,
                "this type constructor has no traversal: specialise hs::Traversable<Tag> with "
                "static auto traverse(f, const F<A>&), giving the applicative of f's results (an "
                "example: hs::Traversable<morvet::ListFTag<A>> in morvet/include/morvet/list_f.hpp)");
  return hasInstance<Traversable<Tag>>;
}
}  // namespace detail

/// The elements in order: a reference to them when the structure stores them as a vector, else a
/// new vector. The other folds come here for what the instance does not give itself, so a type
/// without a tag or the tag without a Foldable instance stops the build here, at one message
/// naming hs::TagOf or hs::Foldable.
template <class TA>
[[nodiscard]] decltype(auto) toList(const TA& t) {
  if constexpr (detail::requireTag<TA>()) {
    if constexpr (detail::requireFoldable<TagOfT<TA>>())
      return Foldable<TagOfT<TA>>::toList(t);
    else
      return detail::rejected<std::vector<ElementOf<TA>>>();
  }
}

namespace detail {
template <class TA>
using FoldableOf = Foldable<TagOfT<TA>>;

template <class TA>
[[nodiscard]] std::shared_ptr<const std::vector<ElementOf<TA>>> sharedElements(const TA& t) {
  return std::make_shared<const std::vector<ElementOf<TA>>>(hs::toList(t));
}
// The fold of elements i.. over z, deferred: built one cell per element as it is demanded.
template <class Z, class F, class A>
[[nodiscard]] Lazy<Z> foldrRest(const F& f, const Lazy<Z>& z, std::shared_ptr<const std::vector<A>> xs,
                  std::size_t i) {
  if (i == xs->size()) return z;
  return Lazy<Z>::defer(
      [f, z, xs, i]() -> Z { return f((*xs)[i], detail::foldrRest<Z>(f, z, xs, i + 1)); });
}
// The fold of elements ..i-1 over z, deferred likewise.
template <class Z, class F, class A>
[[nodiscard]] Lazy<Z> foldlInit(const F& f, const Lazy<Z>& z, std::shared_ptr<const std::vector<A>> xs,
                  std::size_t i) {
  if (i == 0) return z;
  return Lazy<Z>::defer(
      [f, z, xs, i]() -> Z { return f(detail::foldlInit<Z>(f, z, xs, i - 1), (*xs)[i - 1]); });
}
}  // namespace detail

/// Lazy right fold: f(x0, deferred fold of the rest); z when empty. f receives (element,
/// const hs::Lazy<Z>&). By default the elements are first copied into one shared vector and each
/// deferred rest is one cell, made when the one before it runs. Forcing the whole rest nests one
/// call per element; use foldr_ for long structures whose every element is needed.
template <class F, class Z, class TA>
[[nodiscard]] Z foldr(const F& f, Z z, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::foldr(f, z, t); }) {
    return detail::FoldableOf<TA>::foldr(f, std::move(z), t);
  } else {
    const auto xs = detail::sharedElements(t);
    if (xs->empty()) return z;
    return f((*xs)[0], detail::foldrRest<Z>(f, Lazy<Z>(std::move(z)), xs, 1));
  }
}
/// Lazy left fold: f(deferred fold of all but the last, last); z when empty. f receives
/// (const hs::Lazy<Z>&, element). Costs as foldr: a shared copy of the elements, one cell per
/// deferred part run, and one nested call per element when the whole fold is forced.
template <class F, class Z, class TA>
[[nodiscard]] Z foldl(const F& f, Z z, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::foldl(f, z, t); }) {
    return detail::FoldableOf<TA>::foldl(f, std::move(z), t);
  } else {
    const auto xs = detail::sharedElements(t);
    if (xs->empty()) return z;
    const std::size_t n = xs->size();
    return f(detail::foldlInit<Z>(f, Lazy<Z>(std::move(z)), xs, n - 1), (*xs)[n - 1]);
  }
}
/// Strict left fold from the first element: acc = f(acc, x), in a loop.
template <class F, class Z, class TA>
[[nodiscard]] Z foldl_(F&& f, Z z, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::foldl_(f, z, t); }) {
    return detail::FoldableOf<TA>::foldl_(f, std::move(z), t);
  } else {
    for (const auto& x : hs::toList(t)) z = f(std::move(z), x);
    return z;
  }
}
/// Strict right fold from the last element: acc = f(x, acc), in a loop.
template <class F, class Z, class TA>
[[nodiscard]] Z foldr_(F&& f, Z z, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::foldr_(f, z, t); }) {
    return detail::FoldableOf<TA>::foldr_(f, std::move(z), t);
  } else {
    const auto& xs = hs::toList(t);
    for (std::size_t i = xs.size(); i > 0; --i) z = f(xs[i - 1], std::move(z));
    return z;
  }
}
/// f of each element combined from the right, f x0 <> (f x1 <> (... <> f xn-1)): n - 1 mappends,
/// mempty only for an empty structure. f is called in element order, and every result is kept
/// (in one vector) until the combination starts.
template <class M, class F, class TA>
[[nodiscard]] M foldMap(F&& f, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::template foldMap<M>(f, t); }) {
    return detail::FoldableOf<TA>::template foldMap<M>(f, t);
  } else {
    const auto& xs = hs::toList(t);
    if (xs.empty()) return hs::mempty<M>();
    std::vector<M> parts;
    parts.reserve(xs.size());
    for (const auto& x : xs) parts.push_back(M(f(x)));
    M acc = std::move(parts.back());
    for (std::size_t i = parts.size() - 1; i > 0; --i) acc = hs::mappend<M>(parts[i - 1], acc);
    return acc;
  }
}
/// The strict monoidal fold from the left: ((mempty <> f x0) <> f x1) <> ..., n mappends.
template <class M, class F, class TA>
[[nodiscard]] M foldMap_(F&& f, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::template foldMap_<M>(f, t); }) {
    return detail::FoldableOf<TA>::template foldMap_<M>(f, t);
  } else {
    M acc = hs::mempty<M>();
    for (const auto& x : hs::toList(t)) acc = hs::mappend<M>(acc, M(f(x)));
    return acc;
  }
}
/// The elements themselves combined as foldMap does.
template <class TA>
[[nodiscard]] auto fold(const TA& t) {
  using M = ElementOf<TA>;
  if constexpr (requires { detail::FoldableOf<TA>::fold(t); })
    return detail::FoldableOf<TA>::fold(t);
  else
    return hs::foldMap<M>([](const M& x) -> const M& { return x; }, t);
}
/// Whether the structure has no element.
template <class TA>
[[nodiscard]] bool null(const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::null(t); })
    return detail::FoldableOf<TA>::null(t);
  else
    return hs::toList(t).empty();
}
/// The number of elements.
template <class TA>
[[nodiscard]] std::int64_t length(const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::length(t); })
    return detail::FoldableOf<TA>::length(t);
  else
    return static_cast<std::int64_t>(hs::toList(t).size());
}
/// Whether x == e for some element e, tried in order (x the left operand), stopping at the first
/// true.
template <class A, class TA>
[[nodiscard]] bool elem(const A& x, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::elem(x, t); }) {
    return detail::FoldableOf<TA>::elem(x, t);
  } else {
    for (const auto& y : hs::toList(t))
      if (x == y) return true;
    return false;
  }
}
/// 0 + x0 + x1 + ..., from the left.
template <class TA>
[[nodiscard]] auto sum(const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::sum(t); }) {
    return detail::FoldableOf<TA>::sum(t);
  } else {
    ElementOf<TA> acc(0);
    for (const auto& x : hs::toList(t)) acc = acc + x;
    return acc;
  }
}
/// 1 * x0 * x1 * ..., from the left.
template <class TA>
[[nodiscard]] auto product(const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::product(t); }) {
    return detail::FoldableOf<TA>::product(t);
  } else {
    ElementOf<TA> acc(1);
    for (const auto& x : hs::toList(t)) acc = acc * x;
    return acc;
  }
}
/// The largest element by <; of equal ones the last (max keeps its second argument). A single
/// element is returned without a comparison; none is a program error (maximumEmpty).
template <class TA>
[[nodiscard]] auto maximum(const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::maximum(t); }) {
    return detail::FoldableOf<TA>::maximum(t);
  } else {
    const auto& xs = hs::toList(t);
    if (xs.empty()) hs::maximumEmpty();
    std::size_t best = 0;
    for (std::size_t i = 1; i < xs.size(); ++i)
      if (!(xs[i] < xs[best])) best = i;
    return ElementOf<TA>(xs[best]);
  }
}
/// The smallest element by <; of equal ones the first (min keeps its first argument); none is a
/// program error (minimumEmpty).
template <class TA>
[[nodiscard]] auto minimum(const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::minimum(t); }) {
    return detail::FoldableOf<TA>::minimum(t);
  } else {
    const auto& xs = hs::toList(t);
    if (xs.empty()) hs::minimumEmpty();
    std::size_t best = 0;
    for (std::size_t i = 1; i < xs.size(); ++i)
      if (xs[i] < xs[best]) best = i;
    return ElementOf<TA>(xs[best]);
  }
}
/// f(x0, f(x1, ... xn-1)), strictly from the right in a loop; a single element is returned without
/// calling f, none is a program error (foldr1Empty).
template <class F, class TA>
[[nodiscard]] auto foldr1(F&& f, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::foldr1(f, t); }) {
    return detail::FoldableOf<TA>::foldr1(f, t);
  } else {
    const auto& xs = hs::toList(t);
    if (xs.empty()) hs::foldr1Empty();
    ElementOf<TA> acc = xs.back();
    for (std::size_t i = xs.size() - 1; i > 0; --i) acc = f(xs[i - 1], std::move(acc));
    return acc;
  }
}
/// f(... f(x0, x1) ..., xn-1), strictly from the left in a loop; a single element is returned
/// without calling f, none is a program error (foldl1Empty).
template <class F, class TA>
[[nodiscard]] auto foldl1(F&& f, const TA& t) {
  if constexpr (requires { detail::FoldableOf<TA>::foldl1(f, t); }) {
    return detail::FoldableOf<TA>::foldl1(f, t);
  } else {
    const auto& xs = hs::toList(t);
    if (xs.empty()) hs::foldl1Empty();
    ElementOf<TA> acc = xs[0];
    for (std::size_t i = 1; i < xs.size(); ++i) acc = f(std::move(acc), xs[i]);
    return acc;
  }
}

/// f over the elements in order, the results gathered in the applicative of f's result, by the
/// Traversable instance of t's tag (a type without a tag or the tag without an instance stops the
/// build at one message naming hs::TagOf or hs::Traversable).
template <class F, class TA>
[[nodiscard]] auto traverse(F&& f, const TA& t) {
  if constexpr (detail::requireTag<TA>()) {
    if constexpr (detail::requireTraversable<TagOfT<TA>>())
      return Traversable<TagOfT<TA>>::traverse(std::forward<F>(f), t);
    else if constexpr (requires { typename detail::Traversed<TagOfT<TA>, F, TA>; })
      return detail::rejected<detail::Traversed<TagOfT<TA>, F, TA>>();
  }
}
/// The effects the structure holds, run in element order, their results gathered (traverse of a
/// function returning a copy of each element).
template <class TA>
[[nodiscard]] auto sequenceA(const TA& t) {
  return hs::traverse([](const auto& x) { return x; }, t);
}

namespace detail {
// The results gathered so far by a traversal, as a persistent list that grows at its end: a
// step adds one node and shares the rest, so a traversal costs one node per element and result
// (the list applicative's results share their common prefixes) and each result becomes a vector
// of its own only at the end.
template <class B>
struct Gathered {
  struct Node {
    B last;
    mutable std::shared_ptr<const Node> init;
    std::size_t size;
    Node(B b, std::shared_ptr<const Node> before)
        : last(std::move(b)), init(std::move(before)), size(init ? init->size + 1 : 1) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // Unlinks a long chain node by node rather than by nested destructors.
    ~Node() {
      std::shared_ptr<const Node> p = std::move(init);
      while (p && p.use_count() == 1) {
        std::shared_ptr<const Node> next = std::move(p->init);
        p = std::move(next);
      }
    }
  };
  std::shared_ptr<const Node> nodes;

  [[nodiscard]] Gathered snoc(B b) const { return {std::make_shared<const Node>(std::move(b), nodes)}; }
  [[nodiscard]] std::vector<B> toVector() const {
    const std::size_t n = nodes ? nodes->size : 0;
    std::vector<const B*> in(n);
    std::size_t i = n;
    for (const Node* p = nodes.get(); p != nullptr; p = p->init.get()) in[--i] = &p->last;
    std::vector<B> out;
    out.reserve(n);
    for (const B* b : in) out.push_back(*b);
    return out;
  }
};
}  // namespace detail

namespace detail {
template <class G, class B, class F, class A>
[[nodiscard]] auto traverseGathered(F& f, const std::vector<A>& xs) {
  using Acc = Gathered<B>;
  auto acc = hs::pure<G>(Acc{});
  for (const A& x : xs)
    acc = hs::liftA2([](const Acc& done, const B& b) { return done.snoc(b); }, acc,
                     [&]() { return f(x); });
  return hs::fmap([](const Acc& done) { return done.toVector(); }, acc);
}
}  // namespace detail

/// f over the elements in order, the results gathered in the applicative of f's result. The
/// effects are combined with liftA2 from the first element on, one step per element and without
/// recursion; f runs in element order, and not at all after an optional's absent value. The
/// results gathered so far are a shared list, one node per element and result (the list
/// applicative's results share their common prefixes), each copied into a vector of its own only
/// at the end. The list applicative gives every combination as an independent vector. An
/// applicative with its own traverseVector (State) is given the whole traversal.
template <class F, class A>
[[nodiscard]] auto traverseVector(F&& f, const std::vector<A>& xs) {
  using FB = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
  using G = TagOfT<FB>;
  using B = ElementOf<FB>;
  if constexpr (requires { Applicative<G>::traverseVector(f, xs); })
    return Applicative<G>::traverseVector(f, xs);
  else
    return detail::traverseGathered<G, B>(f, xs);
}

/// The vector itself: toList returns a reference to it, so the defaults copy nothing.
template <>
struct Foldable<ListTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static const std::vector<A>& toList(const std::vector<A>& xs) {
    return xs;
  }
};
/// traverseVector.
template <>
struct Traversable<ListTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto traverse(F&& f, const std::vector<A>& xs) {
    return hs::traverseVector(std::forward<F>(f), xs);
  }
};

/// No element or one; toList copies it into a new vector.
template <>
struct Foldable<MaybeTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static std::vector<A> toList(const std::optional<A>& x) {
    if (!x) return {};
    return {*x};
  }
};
/// Absent gives pure absent without calling f; present gives f's effect with its result put back
/// in an optional.
template <>
struct Traversable<MaybeTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto traverse(F&& f, const std::optional<A>& x) {
    using FB = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    using B = ElementOf<FB>;
    if (!x) return hs::pure<TagOfT<FB>>(std::optional<B>());
    return hs::fmap([](const B& b) { return std::optional<B>(b); }, f(*x));
  }
};

/// Every fold but null forces the whole list into a new vector first (toList), so it never returns
/// for an endless list, the lazy folds included; null forces the first cell only.
template <>
struct Foldable<LazyListTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static std::vector<A> toList(const List<A>& xs) {
    return xs.toVector();
  }
  template <class A>
  [[nodiscard]] static bool null(const List<A>& xs) {
    return xs.null();
  }
};
/// traverseVector over every element (the whole list is forced first), the results as a new list.
template <>
struct Traversable<LazyListTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto traverse(F&& f, const List<A>& xs) {
    using B = ElementOf<std::invoke_result_t<F&, const A&>>;
    return hs::fmap([](const std::vector<B>& ys) { return List<B>(ys); },
                    hs::traverseVector(std::forward<F>(f), xs.toVector()));
  }
};
/// As the lazy list: every fold but null forces the whole tail into a new vector first; null is
/// false without looking.
template <>
struct Foldable<NonEmptyTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static std::vector<A> toList(const NonEmpty<A>& xs) {
    return xs.toVector();
  }
  template <class A>
  [[nodiscard]] static bool null(const NonEmpty<A>&) {
    return false;
  }
};
/// The effects of the head first, then those of the rest in order (the whole tail is forced first).
template <>
struct Traversable<NonEmptyTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto traverse(F&& f, const NonEmpty<A>& xs) {
    using B = ElementOf<std::invoke_result_t<F&, const A&>>;
    return hs::fmap(
        [](const std::vector<B>& ys) {
          return NonEmpty<B>{ys[0], List<B>(std::vector<B>(ys.begin() + 1, ys.end()))};
        },
        hs::traverseVector(std::forward<F>(f), xs.toVector()));
  }
};

/// The one value; toList copies it into a new vector.
template <>
struct Foldable<IdentityTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static std::vector<A> toList(const Identity<A>& x) {
    return {x.value};
  }
};

/// @}
}  // namespace hs
