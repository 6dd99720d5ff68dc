/// \defgroup hs_functor hs/functor.hpp
/// \ingroup hsplatform
/// Functors and applicatives, keyed on type-constructor tags, and the platform's own functors
/// (Identity, Const, Writer, State).
///
/// A type constructor is a tag type with a nested `template <class X> using apply = ...;`
/// (`MaybeTag::apply<int>` is `std::optional<int>`). `TagOf<F<A>>` finds the tag and the element
/// type of a concrete type, so an applicative can be deduced from the result type of a caller's
/// function. The second operand of `liftA2` is passed as a callable that produces it, and an
/// applicative demands it only when it needs it: an absent optional never runs the rest. The
/// element type of a result is the function's result type without reference and const, so a
/// function that returns a reference stores a copy of what it names.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/internal/instance.hpp"
#include "hs/list.hpp"
#include "hs/semigroup.hpp"
#include "hs/stack.hpp"

namespace hs {
/// \addtogroup hs_functor
/// @{

// ---- The functors of the platform ----------------------------------------------------------

/// A value and no effect: the functor that only applies functions.
template <class A>
struct Identity {
  A value;  ///< The value.
  friend bool operator==(const Identity&, const Identity&) = default;
};
/// A functor that carries only a monoid value; its element type is a phantom.
template <class M, class A>
struct Const {
  M value;  ///< The carried value.
  friend bool operator==(const Const&, const Const&) = default;
};
/// A value with an accumulated log; effects combine the logs in order.
template <class W, class A>
struct Writer {
  A value;  ///< The value.
  W log;    ///< The log so far.
  friend bool operator==(const Writer&, const Writer&) = default;
};
/// A computation threading a state: from the state before to (value, state after). Nothing runs
/// until it is called; a computation built on it holds it through one shared copy.
template <class S, class A>
struct State {
  std::function<std::pair<A, S>(S)> run;  ///< The computation.
  /// Runs the computation from state s. Nested binds run nested: each run goes through the stack
  /// helper, so their depth is bounded by memory.
  std::pair<A, S> operator()(S s) const {
    return hs::withStack([&] { return run(std::move(s)); });
  }
};

/// Identity as a type constructor.
struct IdentityTag {
  /// `Identity<X>`.
  template <class X>
  using apply = Identity<X>;
};
/// std::optional as a type constructor: absent is the failure that stops a computation.
struct MaybeTag {
  /// `std::optional<X>`.
  template <class X>
  using apply = std::optional<X>;
};
/// std::vector as a type constructor: the list of every result.
struct ListTag {
  /// `std::vector<X>`.
  template <class X>
  using apply = std::vector<X>;
};
/// The lazy list (hs::List) as a type constructor.
struct LazyListTag {
  /// `List<X>`.
  template <class X>
  using apply = List<X>;
};
/// The non-empty list (hs::NonEmpty) as a type constructor.
struct NonEmptyTag {
  /// `NonEmpty<X>`.
  template <class X>
  using apply = NonEmpty<X>;
};
/// Const of monoid M as a type constructor.
template <class M>
struct ConstTag {
  /// `Const<M, X>`.
  template <class X>
  using apply = Const<M, X>;
};
/// Writer of log W as a type constructor.
template <class W>
struct WriterTag {
  /// `Writer<W, X>`.
  template <class X>
  using apply = Writer<W, X>;
};
/// State of S as a type constructor.
template <class S>
struct StateTag {
  /// `State<S, X>`.
  template <class X>
  using apply = State<S, X>;
};

/// The tag and the element type of a concrete functor type: specialise with `type` (the tag) and
/// `value_type` (the element type).
template <class FA>
struct TagOf;
/// `Identity<A>` is IdentityTag applied to A.
template <class A>
struct TagOf<Identity<A>> {
  /// \privatesection
  using type = IdentityTag;
  using value_type = A;
};
/// `std::optional<A>` is MaybeTag applied to A.
template <class A>
struct TagOf<std::optional<A>> {
  /// \privatesection
  using type = MaybeTag;
  using value_type = A;
};
/// `std::vector<A>` is ListTag applied to A.
template <class A>
struct TagOf<std::vector<A>> {
  /// \privatesection
  using type = ListTag;
  using value_type = A;
};
/// `List<A>` is LazyListTag applied to A.
template <class A>
struct TagOf<List<A>> {
  /// \privatesection
  using type = LazyListTag;
  using value_type = A;
};
/// `NonEmpty<A>` is NonEmptyTag applied to A.
template <class A>
struct TagOf<NonEmpty<A>> {
  /// \privatesection
  using type = NonEmptyTag;
  using value_type = A;
};
/// `Const<M, A>` is `ConstTag<M>` applied to A.
template <class M, class A>
struct TagOf<Const<M, A>> {
  /// \privatesection
  using type = ConstTag<M>;
  using value_type = A;
};
/// `Writer<W, A>` is `WriterTag<W>` applied to A.
template <class W, class A>
struct TagOf<Writer<W, A>> {
  /// \privatesection
  using type = WriterTag<W>;
  using value_type = A;
};
/// `State<S, A>` is `StateTag<S>` applied to A.
template <class S, class A>
struct TagOf<State<S, A>> {
  /// \privatesection
  using type = StateTag<S>;
  using value_type = A;
};
/// The tag of FA (reference and const removed).
template <class FA>
using TagOfT = typename TagOf<std::remove_cvref_t<FA>>::type;
/// The element type of FA.
template <class FA>
using ElementOf = typename TagOf<std::remove_cvref_t<FA>>::value_type;

/// A concrete type that names its tag (keeps the generic front doors out of overload sets where
/// argument-dependent lookup brings them in for other types).
template <class FA>
concept Tagged = requires { typename TagOfT<FA>; };

/// Mapping, per tag: specialise with `fmap(f, fa)`, optionally `replaceValues(x, fa)`.
template <class Tag>
struct Functor;
/// Application, per tag: specialise with `pure<A>(a)` and `liftA2(f, fa, rest)`, where rest()
/// gives the second operand and is called only when the applicative needs it. An instance whose
/// combined values nest (a chain of closures) may also give `traverseVector(f, xs)`, the
/// traversal of a list in one step, which hs::traverseVector then uses.
template <class Tag>
struct Applicative;

namespace detail {
// Whether FA names its tag, and whether Tag has a Functor instance; where not, the build stops at
// the one message.
template <class FA>
constexpr bool requireTag() {
  static_assert(Tagged<FA>,
                "this type names no type-constructor tag: specialise hs::TagOf<F<A>> with "
                "`using type =` the tag and `using value_type = A` (an example: "
                "examples/readme/morvet.cpp)");
  return Tagged<FA>;
}
template <class Tag>
constexpr bool requireFunctor() {
  static_assert(hasInstance<Functor<Tag>>,
                "this type constructor has no mapping: specialise hs::Functor<Tag> with "
                "static auto fmap(f, const F<A>&), giving the F of f's results (an example: "
                "examples/readme/morvet.cpp)");
  return hasInstance<Functor<Tag>>;
}
// What mapping f over fa gives: the F of f's results.
template <class Tag, class F, class FA>
using Mapped =
    typename Tag::template apply<std::remove_cvref_t<std::invoke_result_t<F&, const ElementOf<FA>&>>>;
// fmap by the Functor instance of Tag, for callers that know the tag of fa's type.
template <class Tag, class F, class FA>
[[nodiscard]] auto fmapOf(F&& f, FA&& fa) {
  if constexpr (detail::requireFunctor<Tag>())
    return Functor<Tag>::fmap(std::forward<F>(f), std::forward<FA>(fa));
  else if constexpr (requires { typename Mapped<Tag, F, FA>; })
    return detail::rejected<Mapped<Tag, F, FA>>();
}
}  // namespace detail

/// f applied to every element of fa, by the Functor instance of fa's tag (a type without a tag or
/// the tag without an instance stops the build at one message naming hs::TagOf or hs::Functor);
/// the instance says when f runs (at once, or on demand for a lazy list). The results are values
/// (copies where f returns a reference).
template <class F, class FA>
[[nodiscard]] auto fmap(F&& f, FA&& fa) {
  if constexpr (detail::requireTag<std::remove_cvref_t<FA>>())
    return detail::fmapOf<TagOfT<FA>>(std::forward<F>(f), std::forward<FA>(fa));
}
/// Every element replaced by x (`<$`): the instance's own `replaceValues` when it has one, else
/// fmap of a function returning a copy of x.
template <class X, class FA>
[[nodiscard]] auto replaceValues(const X& x, const FA& fa) {
  if constexpr (!detail::requireTag<FA>())
    return;
  else if constexpr (requires { Functor<TagOfT<FA>>::replaceValues(x, fa); })
    return Functor<TagOfT<FA>>::replaceValues(x, fa);
  else
    return hs::fmap([x](const auto&) { return x; }, fa);
}
/// a in the applicative of Tag, with no effect.
template <class Tag, class A>
[[nodiscard]] auto pure(A&& a) {
  return Applicative<Tag>::template pure<std::remove_cvref_t<A>>(std::forward<A>(a));
}
/// f of the values of fa and of rest(), the effects of fa first; rest is called at most once, and
/// only when the applicative needs the second operand. The results are values (copies where f
/// returns a reference).
template <class F, class FA, class Rest>
[[nodiscard]] auto liftA2(F&& f, FA&& fa, Rest&& rest) {
  return Applicative<TagOfT<FA>>::liftA2(std::forward<F>(f), std::forward<FA>(fa),
                                         std::forward<Rest>(rest));
}

// ---- Instances -----------------------------------------------------------------------------

/// f of the value.
template <>
struct Functor<IdentityTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&& f, const Identity<A>& x) {
    return Identity<std::remove_cvref_t<std::invoke_result_t<F&, const A&>>>{f(x.value)};
  }
};
/// The values combined; rest is always called.
template <>
struct Applicative<IdentityTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static Identity<A> pure(A a) {
    return {std::move(a)};
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const Identity<A>& x, Rest&& rest) {
    auto y = rest();
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&, decltype(y.value)>>;
    return Identity<R>{f(x.value, y.value)};
  }
};

/// f of a present value; absent stays absent and f is not called.
template <>
struct Functor<MaybeTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&& f, const std::optional<A>& x) {
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    if (!x) return std::optional<R>();
    return std::optional<R>(f(*x));
  }
};
/// Present when both operands are; rest is not called after an absent left operand.
template <>
struct Applicative<MaybeTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static std::optional<A> pure(A a) {
    return std::optional<A>(std::move(a));
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const std::optional<A>& x, Rest&& rest) {
    using FB = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using B = typename FB::value_type;
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&, const B&>>;
    if (!x) return std::optional<R>();
    const FB y = rest();
    if (!y) return std::optional<R>();
    return std::optional<R>(f(*x, *y));
  }
};

/// f of every element in order, into a new vector of the same length.
template <>
struct Functor<ListTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&& f, const std::vector<A>& xs) {
    std::vector<std::remove_cvref_t<std::invoke_result_t<F&, const A&>>> out;
    out.reserve(xs.size());
    for (const A& x : xs) out.push_back(f(x));
    return out;
  }
};
/// Every combination of results, each an independent value, in a new vector of the product of
/// the lengths. The rest is computed once, and only when the left operand has a result.
template <>
struct Applicative<ListTag> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static std::vector<A> pure(A a) {
    std::vector<A> out;
    out.push_back(std::move(a));
    return out;
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const std::vector<A>& xs, Rest&& rest) {
    using FB = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using B = typename FB::value_type;
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&, const B&>>;
    std::vector<R> out;
    if (xs.empty()) return out;
    const FB ys = rest();
    out.reserve(xs.size() * ys.size());
    for (const A& x : xs)
      for (const auto& y : ys) out.push_back(f(x, y));
    return out;
  }
};

/// Maps on demand: nothing runs at the call; f runs for an element when its cell is first
/// produced, one new cell per element reached. f is shared by the cells.
template <>
struct Functor<LazyListTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto fmap(F f, const List<A>& xs) {
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    return detail::ListAccess::map<R>(std::make_shared<F>(std::move(f)), xs);
  }
};
/// The head is mapped at once, the rest on demand (as for the lazy list).
template <>
struct Functor<NonEmptyTag> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto fmap(F f, const NonEmpty<A>& xs) {
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    auto shared = std::make_shared<F>(std::move(f));
    R head((*shared)(xs.head));
    return NonEmpty<R>{std::move(head), detail::ListAccess::map<R>(shared, xs.tail)};
  }
};

/// The carried value unchanged; f is never called.
template <class M>
struct Functor<ConstTag<M>> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&&, const Const<M, A>& x) {
    return Const<M, std::remove_cvref_t<std::invoke_result_t<F&, const A&>>>{x.value};
  }
};
/// pure carries mempty; liftA2 combines the carried values with mappend, rest always called and f
/// never.
template <class M>
struct Applicative<ConstTag<M>> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static Const<M, A> pure(A) {
    return {hs::mempty<M>()};
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&&, const Const<M, A>& x, Rest&& rest) {
    using FB = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using B = typename TagOf<FB>::value_type;
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&, const B&>>;
    return Const<M, R>{hs::mappend(x.value, rest().value)};
  }
};

/// f of the value; the log is copied.
template <class W>
struct Functor<WriterTag<W>> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&& f, const Writer<W, A>& x) {
    return Writer<W, std::remove_cvref_t<std::invoke_result_t<F&, const A&>>>{f(x.value), x.log};
  }
};
/// pure logs mempty; liftA2 combines the values and appends the logs, the left one first.
template <class W>
struct Applicative<WriterTag<W>> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static Writer<W, A> pure(A a) {
    return {std::move(a), hs::mempty<W>()};
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const Writer<W, A>& x, Rest&& rest) {
    const auto y = rest();
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&, decltype(y.value)>>;
    return Writer<W, R>{f(x.value, y.value), hs::mappend(x.log, y.log)};
  }
};

namespace detail {
// A computation held by the computations built on it. Shared, not copied: a copy of a
// std::function copies what it holds, so nested binds copied by value would cost the depth of
// the nesting on every copy.
template <class S, class A>
[[nodiscard]] std::shared_ptr<const State<S, A>> shareState(State<S, A> m) {
  return std::make_shared<const State<S, A>>(std::move(m));
}
}  // namespace detail

/// A new computation that runs x and applies f to its value; x is held in one shared copy, not
/// run.
template <class S>
struct Functor<StateTag<S>> {
  /// \privatesection
  template <class F, class A>
  [[nodiscard]] static auto fmap(F f, const State<S, A>& x) {
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    return State<S, R>{[f, x = detail::shareState(x)](S s) mutable -> std::pair<R, S> {
      auto [a, s2] = (*x)(std::move(s));
      return {f(a), std::move(s2)};
    }};
  }
};
/// Running the combination runs the left computation first, then the rest with the state it
/// left. (Producing the rest's computation runs nothing, so it is produced at once.)
template <class S>
struct Applicative<StateTag<S>> {
  /// \privatesection
  template <class A>
  [[nodiscard]] static State<S, A> pure(A a) {
    return {[a](S s) { return std::pair<A, S>{a, std::move(s)}; }};
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F f, const State<S, A>& x, Rest&& rest) {
    using FB = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using B = typename TagOf<FB>::value_type;
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&, const B&>>;
    auto y = detail::shareState(FB(rest()));
    return State<S, R>{[f, x = detail::shareState(x), y](S s) mutable -> std::pair<R, S> {
      auto [a, s1] = (*x)(std::move(s));
      auto [b, s2] = (*y)(std::move(s1));
      return {f(a, b), std::move(s2)};
    }};
  }
  /// \publicsection
  /// A list traversal as one computation that runs the elements' computations in a loop (a chain
  /// of liftA2 steps would nest one call and one destructor per element): f is called for every
  /// element at once, in order, and the computations are kept in one shared vector.
  template <class F, class A>
  [[nodiscard]] static auto traverseVector(F& f, const std::vector<A>& xs) {
    using FB = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    using B = typename TagOf<FB>::value_type;
    std::vector<FB> steps;
    steps.reserve(xs.size());
    for (const A& x : xs) steps.push_back(f(x));
    return State<S, std::vector<B>>{
        [steps = std::make_shared<const std::vector<FB>>(std::move(steps))](S s) -> std::pair<std::vector<B>, S> {
          std::vector<B> out;
          out.reserve(steps->size());
          for (const FB& step : *steps) {
            auto [b, next] = step(std::move(s));
            out.push_back(std::move(b));
            s = std::move(next);
          }
          return {std::move(out), std::move(s)};
        }};
  }
};

/// @}
}  // namespace hs
