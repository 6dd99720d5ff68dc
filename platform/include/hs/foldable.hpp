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

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/call.hpp"
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
// parts[0] <> (parts[1] <> (... <> parts[n-1])): n - 1 mappends; parts must not be empty.
template <class M>
[[nodiscard]] M mappendRight(std::vector<M>& parts) {
  M acc = std::move(parts.back());
  for (std::size_t i = parts.size() - 1; i > 0; --i) acc = hs::mappend<M>(parts[i - 1], acc);
  return acc;
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
    return detail::mappendRight(parts);
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
/// calling f, none is a program error (foldr1Empty). The lazy lists also take f marked with
/// hs::onCells: it then receives (element, const hs::Lazy<A>&), the deferred fold of the rest,
/// and the fold stops where f does not force it.
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

namespace detail {
// The elements of a lazy list, or of a non-empty one with its head first, walked in a loop over
// the cells, which stay alive in the list: nothing is counted or copied.
template <class A>
struct ListElements {
  const A* first;  // the head of a non-empty list; null for a lazy list
  const List<A>* rest;

  // visit(x) for the elements in order while it answers true; whether it reached the end.
  template <class V>
  bool visitWhile(V&& visit) const {
    if (first != nullptr && !visit(*first)) return false;
    return ListAccess::visitWhile(*rest, visit);
  }
  // The first element and the list after it, or two nulls; forces at most the first cell.
  [[nodiscard]] std::pair<const A*, const List<A>*> front() const {
    if (first != nullptr) return {first, rest};
    const ListNode<A>& c = ListAccess::cell(*rest).force();
    if (!c.cons) return {nullptr, nullptr};
    return {&c.cons->head, &c.cons->tail};
  }
  // visit(x) for the elements from the last to the first. Every cell is forced first, by a walk
  // that marks every stretch-th cell; each stretch between marks is then walked again, its
  // addresses kept in one buffer. Extra memory: one address per stretch, and the buffer.
  template <class V>
  void visitBackwards(V&& visit) const {
    constexpr std::size_t stretch = 1024;  // shorter ones cost more than the walks themselves
    std::vector<const ListNode<A>*> marks;
    std::size_t k = 0;
    for (const ListNode<A>* c = &ListAccess::cell(*rest).force(); c->cons; c = &next(*c), ++k)
      if (k % stretch == 0) marks.push_back(c);
    std::vector<const A*> at(k < stretch ? k : stretch);
    for (std::size_t m = marks.size(); m > 0; --m) {
      std::size_t n = 0;
      for (const ListNode<A>* c = marks[m - 1]; n < stretch && c->cons; c = &next(*c))
        at[n++] = &c->cons->head;
      while (n > 0) visit(*at[--n]);
    }
    if (first != nullptr) visit(*first);
  }

 private:
  [[nodiscard]] static const ListNode<A>& next(const ListNode<A>& c) {
    return ListAccess::cell(c.cons->tail).force();
  }
};
template <class A>
[[nodiscard]] ListElements<A> listElements(const List<A>& xs) noexcept {
  return {nullptr, &xs};
}
template <class A>
[[nodiscard]] ListElements<A> listElements(const NonEmpty<A>& xs) noexcept {
  return {&xs.head, &xs.tail};
}

// The deferred foldr of xs onto z: forcing it forces xs's first cell (a dependency, so a chain of
// producers under it forces in constant stack) and calls f once. A list known to end here hands
// over z itself.
template <class Z, class F, class A>
[[nodiscard]] Lazy<Z> foldrList(const std::shared_ptr<const F>& f, const Lazy<Z>& z, const List<A>& xs) {
  const Lazy<ListNode<A>>& cell = ListAccess::cell(xs);
  if (cell.evaluated() && !cell.force().cons) return z;
  return Lazy<Z>::apply(
      [f, z](const ListNode<A>& c) -> Z {
        if (!c.cons) return z.force();
        return (*f)(c.cons->head, detail::foldrList<Z>(f, z, c.cons->tail));
      },
      cell);
}
// g(x, deferred fold of rest), or f(x) when rest is empty: rest's first cell is forced to tell.
// f and g are pointers to the functions, shared by the deferred cells.
template <class B, class FP, class GP, class A>
[[nodiscard]] B foldrMap1List(const FP& f, const GP& g, const A& x, const List<A>& rest) {
  if (!ListAccess::cell(rest).force().cons) return (*f)(x);
  const Lazy<B> deferred = Lazy<B>::defer([f, g, rest]() -> B {
    const auto& c = *ListAccess::cell(rest).force().cons;
    return detail::foldrMap1List<B>(f, g, c.head, c.tail);
  });
  return (*g)(x, deferred);
}
// A copy of its argument (foldr1's first step from the last element).
struct CopyOf {
  template <class A>
  [[nodiscard]] A operator()(const A& x) const {
    return x;
  }
};
inline constexpr CopyOf copyOf{};

// M(f(x)) for the elements in order, up to the first result that absorbs what follows it.
template <class M, class F, class A>
[[nodiscard]] std::vector<M> foldMapParts(F& f, const ListElements<A>& e) {
  std::vector<M> parts;
  e.visitWhile([&](const A& x) {
    parts.push_back(M(f(x)));
    return !detail::absorbing(parts.back());
  });
  return parts;
}

// The folds of the lazy list and of the non-empty list (T is either), each a walk over the
// cells as far as its answer needs; the lazy left fold is the default.
struct ListFolds {
  template <class T>
  [[nodiscard]] static std::vector<ElementOf<T>> toList(const T& t) {
    std::vector<ElementOf<T>> out;
    detail::listElements(t).visitWhile([&out](const ElementOf<T>& x) {
      out.push_back(x);
      return true;
    });
    return out;
  }
  template <class F, class Z, class T>
  [[nodiscard]] static Z foldr(const F& f, Z z, const T& t) {
    const auto [x, rest] = detail::listElements(t).front();
    if (x == nullptr) return z;
    auto shared = std::make_shared<const std::decay_t<F>>(f);
    return f(*x, detail::foldrList<Z>(shared, Lazy<Z>(std::move(z)), *rest));
  }
  template <class F, class Z, class T>
  [[nodiscard]] static Z foldl_(F&& f, Z z, const T& t) {
    detail::listElements(t).visitWhile([&](const ElementOf<T>& x) {
      z = f(std::move(z), x);
      return true;
    });
    return z;
  }
  template <class F, class Z, class T>
  [[nodiscard]] static Z foldr_(F&& f, Z z, const T& t) {
    detail::listElements(t).visitBackwards([&](const ElementOf<T>& x) { z = f(x, std::move(z)); });
    return z;
  }
  template <class M, class F, class T>
  [[nodiscard]] static M foldMap(F&& f, const T& t) {
    auto parts = detail::foldMapParts<M>(f, detail::listElements(t));
    if (parts.empty()) return hs::mempty<M>();
    return detail::mappendRight(parts);
  }
  template <class M, class F, class T>
  [[nodiscard]] static M foldMap_(F&& f, const T& t) {
    M acc = hs::mempty<M>();
    detail::listElements(t).visitWhile([&](const ElementOf<T>& x) {
      acc = hs::mappend<M>(acc, M(f(x)));
      return true;
    });
    return acc;
  }
  template <class T>
  [[nodiscard]] static std::int64_t length(const T& t) {
    std::int64_t n = 0;
    detail::listElements(t).visitWhile([&n](const ElementOf<T>&) {
      ++n;
      return true;
    });
    return n;
  }
  template <class X, class T>
  [[nodiscard]] static bool elem(const X& x, const T& t) {
    return !detail::listElements(t).visitWhile([&x](const ElementOf<T>& y) { return !(x == y); });
  }
  template <class T>
  [[nodiscard]] static auto sum(const T& t) {
    ElementOf<T> acc(0);
    detail::listElements(t).visitWhile([&acc](const ElementOf<T>& x) {
      acc = acc + x;
      return true;
    });
    return acc;
  }
  template <class T>
  [[nodiscard]] static auto product(const T& t) {
    ElementOf<T> acc(1);
    detail::listElements(t).visitWhile([&acc](const ElementOf<T>& x) {
      acc = acc * x;
      return true;
    });
    return acc;
  }
  // Of equal elements the last: each one not less than the best so far replaces it.
  template <class T>
  [[nodiscard]] static auto maximum(const T& t) {
    return ListFolds::extreme(t, hs::maximumEmpty,
                              [](const auto& y, const auto& best) { return !(y < best); });
  }
  // Of equal elements the first.
  template <class T>
  [[nodiscard]] static auto minimum(const T& t) {
    return ListFolds::extreme(t, hs::minimumEmpty,
                              [](const auto& y, const auto& best) { return y < best; });
  }
  template <class F, class T>
  [[nodiscard]] static auto foldr1(F&& f, const T& t) {
    using A = ElementOf<T>;
    const auto e = detail::listElements(t);
    if constexpr (hs::isOnCells<F>) {
      const auto [x, rest] = e.front();
      if (x == nullptr) hs::foldr1Empty();
      auto g = std::make_shared<const std::decay_t<decltype(f.fn)>>(f.fn);
      return detail::foldrMap1List<A>(&detail::copyOf, g, *x, *rest);
    } else {
      std::optional<A> acc;
      e.visitBackwards([&](const A& x) {
        if (acc)
          acc = f(x, std::move(*acc));
        else
          acc.emplace(x);
      });
      if (!acc) hs::foldr1Empty();
      return A(std::move(*acc));
    }
  }
  template <class F, class T>
  [[nodiscard]] static auto foldl1(F&& f, const T& t) {
    const auto [x, rest] = detail::listElements(t).front();
    if (x == nullptr) hs::foldl1Empty();
    ElementOf<T> acc = *x;
    ListAccess::visitWhile(*rest, [&](const ElementOf<T>& y) {
      acc = f(std::move(acc), y);
      return true;
    });
    return acc;
  }

 private:
  // The first element, replaced by each later one for which replaces(later, best) holds; empty()
  // for an empty list.
  template <class T, class R>
  [[nodiscard]] static ElementOf<T> extreme(const T& t, void (*empty)(), R replaces) {
    const auto [x, rest] = detail::listElements(t).front();
    if (x == nullptr) empty();
    const ElementOf<T>* best = x;
    ListAccess::visitWhile(*rest, [&](const ElementOf<T>& y) {
      if (replaces(y, *best)) best = &y;
      return true;
    });
    return *best;
  }
};
}  // namespace detail

/// Walks the list cell by cell, in a loop, as far as the answer needs, forcing cells only then:
/// `null` forces the first cell, `elem` stops at the first equal element, `foldr` hands f the
/// fold of the rest deferred (one cell, made as the one before runs) and `foldr1` likewise under
/// hs::onCells, `foldMap` (and `fold`) stop at the first result that absorbs what follows (see
/// Semigroup). The strict folds, `length`, `sum`, `product`, `maximum`, `minimum` and `foldl1`
/// reach every element (they never return for an endless list) in constant stack and extra
/// memory, except that the right-to-left ones (`foldr_`, the strict `foldr1`) force the whole
/// list first and keep one address per 1024 elements; `foldMap` keeps one result per element it
/// reaches, the lazy `foldl` and `toList` a copy of every element.
template <>
struct Foldable<LazyListTag> : detail::ListFolds {
  /// \privatesection
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
/// As the lazy list, over the head and then the tail; null is false without looking.
template <>
struct Foldable<NonEmptyTag> : detail::ListFolds {
  /// \privatesection
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
