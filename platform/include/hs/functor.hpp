// Functors and applicatives, keyed on type-constructor tags.
//
// A type constructor is a tag type with a nested `template <class X> using apply = ...;`
// (`MaybeTag::apply<int>` is `std::optional<int>`). `TagOf<F<A>>` finds the tag and the element
// type of a concrete type, so an applicative can be deduced from the result type of a caller's
// function. The second operand of `liftA2` is passed as a callable that produces it, and an
// applicative demands it only when it needs it: an absent optional never runs the rest.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "hs/list.hpp"
#include "hs/semigroup.hpp"
#include "hs/stack.hpp"

namespace hs {

// ---- The functors of the platform ----------------------------------------------------------

template <class A>
struct Identity {
  A value;
  friend bool operator==(const Identity&, const Identity&) = default;
};
// A functor that carries only a monoid value; its element type is a phantom.
template <class M, class A>
struct Const {
  M value;
  friend bool operator==(const Const&, const Const&) = default;
};
// A value with an accumulated log; effects combine the logs in order.
template <class W, class A>
struct Writer {
  A value;
  W log;
  friend bool operator==(const Writer&, const Writer&) = default;
};
// A computation threading a state: from the state before to (value, state after).
template <class S, class A>
struct State {
  std::function<std::pair<A, S>(S)> run;
  // Nested binds run nested: each run goes through the stack helper.
  std::pair<A, S> operator()(S s) const {
    return hs::withStack([&] { return run(std::move(s)); });
  }
};

struct IdentityTag {
  template <class X>
  using apply = Identity<X>;
};
struct MaybeTag {
  template <class X>
  using apply = std::optional<X>;
};
struct ListTag {
  template <class X>
  using apply = std::vector<X>;
};
// The lazy list (hs::List) and the non-empty list (hs::NonEmpty).
struct LazyListTag {
  template <class X>
  using apply = List<X>;
};
struct NonEmptyTag {
  template <class X>
  using apply = NonEmpty<X>;
};
template <class M>
struct ConstTag {
  template <class X>
  using apply = Const<M, X>;
};
template <class W>
struct WriterTag {
  template <class X>
  using apply = Writer<W, X>;
};
template <class S>
struct StateTag {
  template <class X>
  using apply = State<S, X>;
};

// The tag and the element type of a concrete functor type.
template <class FA>
struct TagOf;
template <class A>
struct TagOf<Identity<A>> {
  using type = IdentityTag;
  using value_type = A;
};
template <class A>
struct TagOf<std::optional<A>> {
  using type = MaybeTag;
  using value_type = A;
};
template <class A>
struct TagOf<std::vector<A>> {
  using type = ListTag;
  using value_type = A;
};
template <class A>
struct TagOf<List<A>> {
  using type = LazyListTag;
  using value_type = A;
};
template <class A>
struct TagOf<NonEmpty<A>> {
  using type = NonEmptyTag;
  using value_type = A;
};
template <class M, class A>
struct TagOf<Const<M, A>> {
  using type = ConstTag<M>;
  using value_type = A;
};
template <class W, class A>
struct TagOf<Writer<W, A>> {
  using type = WriterTag<W>;
  using value_type = A;
};
template <class S, class A>
struct TagOf<State<S, A>> {
  using type = StateTag<S>;
  using value_type = A;
};
template <class FA>
using TagOfT = typename TagOf<std::remove_cvref_t<FA>>::type;
template <class FA>
using ElementOf = typename TagOf<std::remove_cvref_t<FA>>::value_type;

// A concrete type that names its tag (keeps the generic front doors out of overload sets where
// argument-dependent lookup brings them in for other types).
template <class FA>
concept Tagged = requires { typename TagOfT<FA>; };

// Specialise per tag: `fmap(f, fa)`, optionally `replaceValues(x, fa)`.
template <class Tag>
struct Functor;
// Specialise per tag: `pure<A>(a)` and `liftA2(f, fa, rest)`, where rest() gives the second
// operand and is called only when the applicative needs it. An instance whose combined values
// nest (a chain of closures) may also give `traverseVector(f, xs)`, the traversal of a list in
// one step, which hs::traverseVector then uses.
template <class Tag>
struct Applicative;

template <class F, class FA>
[[nodiscard]] auto fmap(F&& f, FA&& fa) {
  return Functor<TagOfT<FA>>::fmap(std::forward<F>(f), std::forward<FA>(fa));
}
// Every element replaced by x (`<$`): the instance's own `replaceValues` when it has one, else
// fmap of a function returning a copy of x.
template <class X, class FA>
[[nodiscard]] auto replaceValues(const X& x, const FA& fa) {
  using Tag = TagOfT<FA>;
  if constexpr (requires { Functor<Tag>::replaceValues(x, fa); })
    return Functor<Tag>::replaceValues(x, fa);
  else
    return hs::fmap([x](const auto&) { return x; }, fa);
}
template <class Tag, class A>
[[nodiscard]] auto pure(A&& a) {
  return Applicative<Tag>::template pure<std::remove_cvref_t<A>>(std::forward<A>(a));
}
template <class F, class FA, class Rest>
[[nodiscard]] auto liftA2(F&& f, FA&& fa, Rest&& rest) {
  return Applicative<TagOfT<FA>>::liftA2(std::forward<F>(f), std::forward<FA>(fa),
                                         std::forward<Rest>(rest));
}

// ---- Instances -----------------------------------------------------------------------------

template <>
struct Functor<IdentityTag> {
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&& f, const Identity<A>& x) {
    return Identity<std::invoke_result_t<F&, const A&>>{f(x.value)};
  }
};
template <>
struct Applicative<IdentityTag> {
  template <class A>
  [[nodiscard]] static Identity<A> pure(A a) {
    return {std::move(a)};
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const Identity<A>& x, Rest&& rest) {
    auto y = rest();
    return Identity<std::invoke_result_t<F&, const A&, decltype(y.value)>>{f(x.value, y.value)};
  }
};

template <>
struct Functor<MaybeTag> {
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&& f, const std::optional<A>& x) {
    using R = std::invoke_result_t<F&, const A&>;
    if (!x) return std::optional<R>();
    return std::optional<R>(f(*x));
  }
};
template <>
struct Applicative<MaybeTag> {
  template <class A>
  [[nodiscard]] static std::optional<A> pure(A a) {
    return std::optional<A>(std::move(a));
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const std::optional<A>& x, Rest&& rest) {
    using FB = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using R = std::invoke_result_t<F&, const A&, const typename FB::value_type&>;
    if (!x) return std::optional<R>();
    const FB y = rest();
    if (!y) return std::optional<R>();
    return std::optional<R>(f(*x, *y));
  }
};

// The list applicative: every combination of results, each an independent value. The rest is
// computed once, and only when the left operand has a result.
template <>
struct Functor<ListTag> {
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&& f, const std::vector<A>& xs) {
    std::vector<std::invoke_result_t<F&, const A&>> out;
    out.reserve(xs.size());
    for (const A& x : xs) out.push_back(f(x));
    return out;
  }
};
template <>
struct Applicative<ListTag> {
  template <class A>
  [[nodiscard]] static std::vector<A> pure(A a) {
    std::vector<A> out;
    out.push_back(std::move(a));
    return out;
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const std::vector<A>& xs, Rest&& rest) {
    using FB = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using R = std::invoke_result_t<F&, const A&, const typename FB::value_type&>;
    std::vector<R> out;
    if (xs.empty()) return out;
    const FB ys = rest();
    out.reserve(xs.size() * ys.size());
    for (const A& x : xs)
      for (const auto& y : ys) out.push_back(f(x, y));
    return out;
  }
};

// The lazy list maps on demand: f runs for an element when its cell is first produced.
template <>
struct Functor<LazyListTag> {
  template <class F, class A>
  [[nodiscard]] static auto fmap(F f, const List<A>& xs) {
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    return detail::ListAccess::map<R>(std::make_shared<F>(std::move(f)), xs);
  }
};
// The head is mapped at once, the rest on demand.
template <>
struct Functor<NonEmptyTag> {
  template <class F, class A>
  [[nodiscard]] static auto fmap(F f, const NonEmpty<A>& xs) {
    using R = std::remove_cvref_t<std::invoke_result_t<F&, const A&>>;
    auto shared = std::make_shared<F>(std::move(f));
    R head((*shared)(xs.head));
    return NonEmpty<R>{std::move(head), detail::ListAccess::map<R>(shared, xs.tail)};
  }
};

template <class M>
struct Functor<ConstTag<M>> {
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&&, const Const<M, A>& x) {
    return Const<M, std::invoke_result_t<F&, const A&>>{x.value};
  }
};
template <class M>
struct Applicative<ConstTag<M>> {
  template <class A>
  [[nodiscard]] static Const<M, A> pure(A) {
    return {hs::mempty<M>()};
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&&, const Const<M, A>& x, Rest&& rest) {
    using FB = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using B = typename TagOf<FB>::value_type;
    return Const<M, std::invoke_result_t<F&, const A&, const B&>>{hs::mappend(x.value, rest().value)};
  }
};

template <class W>
struct Functor<WriterTag<W>> {
  template <class F, class A>
  [[nodiscard]] static auto fmap(F&& f, const Writer<W, A>& x) {
    return Writer<W, std::invoke_result_t<F&, const A&>>{f(x.value), x.log};
  }
};
template <class W>
struct Applicative<WriterTag<W>> {
  template <class A>
  [[nodiscard]] static Writer<W, A> pure(A a) {
    return {std::move(a), hs::mempty<W>()};
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F&& f, const Writer<W, A>& x, Rest&& rest) {
    const auto y = rest();
    return Writer<W, std::invoke_result_t<F&, const A&, decltype(y.value)>>{
        f(x.value, y.value), hs::mappend(x.log, y.log)};
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

template <class S>
struct Functor<StateTag<S>> {
  template <class F, class A>
  [[nodiscard]] static auto fmap(F f, const State<S, A>& x) {
    using R = std::invoke_result_t<F&, const A&>;
    return State<S, R>{[f, x = detail::shareState(x)](S s) mutable -> std::pair<R, S> {
      auto [a, s2] = (*x)(std::move(s));
      return {f(a), std::move(s2)};
    }};
  }
};
// State: running the combination runs the left computation first, then the rest with the state it
// left. (Producing the rest's computation runs nothing, so it is produced at once.)
template <class S>
struct Applicative<StateTag<S>> {
  template <class A>
  [[nodiscard]] static State<S, A> pure(A a) {
    return {[a](S s) { return std::pair<A, S>{a, std::move(s)}; }};
  }
  template <class F, class A, class Rest>
  [[nodiscard]] static auto liftA2(F f, const State<S, A>& x, Rest&& rest) {
    using FB = std::remove_cvref_t<std::invoke_result_t<Rest&>>;
    using B = typename TagOf<FB>::value_type;
    using R = std::invoke_result_t<F&, const A&, const B&>;
    auto y = detail::shareState(FB(rest()));
    return State<S, R>{[f, x = detail::shareState(x), y](S s) mutable -> std::pair<R, S> {
      auto [a, s1] = (*x)(std::move(s));
      auto [b, s2] = (*y)(std::move(s1));
      return {f(a, b), std::move(s2)};
    }};
  }
  // A list traversal as one computation that runs the elements' computations in a loop: a chain
  // of liftA2 steps would nest one call (and one destructor) per element.
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

}  // namespace hs
