// Monads, keyed on type-constructor tags (see functor.hpp). A monad's return is its applicative's
// pure; its bind takes the next computation as a function of the value, so a computation that
// has no value (an absent optional, a Left) never calls it.
#pragma once

#include <type_traits>
#include <utility>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/semigroup.hpp"

namespace hs {

// Specialise per tag: `bind(ma, k)`, where k takes the value (a const reference) and returns the
// next computation; optionally `then(ma, mb)`.
template <class Tag>
struct Monad;

// m >>= k
template <Tagged MA, class K>
auto bind(const MA& ma, K&& k) {
  return Monad<TagOfT<MA>>::bind(ma, std::forward<K>(k));
}
// m >> m2: m's effects, then m2's, with m2's value.
template <Tagged MA, class MB>
auto then(const MA& ma, const MB& mb) {
  using Tag = TagOfT<MA>;
  if constexpr (requires { Monad<Tag>::then(ma, mb); })
    return Monad<Tag>::then(ma, mb);
  else
    return Monad<Tag>::bind(ma, [mb](const auto&) -> MB { return mb; });  // a state runs it later
}
// return: the applicative's pure.
template <class Tag, class A>
auto return_(A&& a) {
  return hs::pure<Tag>(std::forward<A>(a));
}
// A monad whose bind runs its first computation later (a state) says so with a member type
// `delays` and gives `delay(make)`: the computation make() gives, made when it first runs.
template <class Tag>
concept DelayingMonad = requires { typename Monad<Tag>::delays; };
// The computation make() gives, as a deferred value that the monad demands when its bind needs
// its first computation: when it runs for a delaying monad, at once for the others.
template <class Tag, class Make>
auto delayM(Make make) {
  if constexpr (DelayingMonad<Tag>)
    return Monad<Tag>::delay(std::move(make));
  else
    return make();
}
// The monadic traversal and sequence: the traversal in the monad's applicative, whose effects
// run in element order (see traverse).
template <class F, class TA>
auto mapM(F&& f, const TA& t) {
  return hs::traverse(std::forward<F>(f), t);
}
template <class TA>
auto sequence(const TA& t) {
  return hs::sequenceA(t);
}

// ---- Instances -----------------------------------------------------------------------------

template <>
struct Monad<IdentityTag> {
  template <class A, class K>
  static auto bind(const Identity<A>& m, K&& k) {
    return k(m.value);
  }
};

template <>
struct Monad<MaybeTag> {
  template <class A, class K>
  static auto bind(const std::optional<A>& m, K&& k) {
    using MB = std::remove_cvref_t<std::invoke_result_t<K&, const A&>>;
    if (!m) return MB();
    return MB(k(*m));
  }
};

// Every result of k for every value, in order.
template <>
struct Monad<ListTag> {
  template <class A, class K>
  static auto bind(const std::vector<A>& m, K&& k) {
    using MB = std::remove_cvref_t<std::invoke_result_t<K&, const A&>>;
    MB out;
    for (const A& x : m) {
      MB ys = k(x);
      out.insert(out.end(), std::make_move_iterator(ys.begin()), std::make_move_iterator(ys.end()));
    }
    return out;
  }
};

// The log of m, then the log of the computation k makes.
template <class W>
struct Monad<WriterTag<W>> {
  template <class A, class K>
  static auto bind(const Writer<W, A>& m, K&& k) {
    using MB = std::remove_cvref_t<std::invoke_result_t<K&, const A&>>;
    MB next = k(m.value);
    return MB{std::move(next.value), hs::mappend(m.log, next.log)};
  }
};

// Running the result runs m, then k of its value from the state m left.
template <class S>
struct Monad<StateTag<S>> {
  template <class A, class K>
  static auto bind(const State<S, A>& m, K k) {
    using MB = std::remove_cvref_t<std::invoke_result_t<K&, const A&>>;
    using B = ElementOf<MB>;
    return State<S, B>{[m = detail::shareState(m), k](S s) mutable -> std::pair<B, S> {
      auto [a, s1] = (*m)(std::move(s));
      return k(a)(std::move(s1));
    }};
  }
  // Made on the first run, and kept.
  using delays = void;
  template <class Make>
  static auto delay(Make make) {
    using MA = std::remove_cvref_t<std::invoke_result_t<Make&>>;
    return MA{[cell = Lazy<MA>::defer(std::move(make))](S s) { return cell.force()(std::move(s)); }};
  }
};

}  // namespace hs
