/// \defgroup hs_monad hs/monad.hpp
/// \ingroup hsplatform
/// Monads, keyed on type-constructor tags (see hs/functor.hpp). A monad's return is its
/// applicative's pure; its bind takes the next computation as a function of the value, so a
/// computation that has no value (an absent optional, a Left) never calls it.
#pragma once

#include <type_traits>
#include <utility>
#include <vector>

#include "hs/foldable.hpp"
#include "hs/functor.hpp"
#include "hs/lazy.hpp"
#include "hs/semigroup.hpp"

namespace hs {
/// \addtogroup hs_monad
/// @{

/// Sequencing, per tag: specialise with `bind(ma, k)`, where k takes the value (a const
/// reference) and returns the next computation; optionally `then(ma, mb)`.
template <class Tag>
struct Monad;

/// m >>= k: the computation k makes from m's value, after m's effects, by the tag's instance.
template <Tagged MA, class K>
[[nodiscard]] auto bind(const MA& ma, K&& k) {
  return Monad<TagOfT<MA>>::bind(ma, std::forward<K>(k));
}
/// m >> m2: m's effects, then m2's, with m2's value (by default bind with a function returning a
/// copy of m2).
template <Tagged MA, class MB>
[[nodiscard]] auto then(const MA& ma, const MB& mb) {
  using Tag = TagOfT<MA>;
  if constexpr (requires { Monad<Tag>::then(ma, mb); })
    return Monad<Tag>::then(ma, mb);
  else
    return Monad<Tag>::bind(ma, [mb](const auto&) -> MB { return mb; });  // a state runs it later
}
/// return: a in the monad of Tag with no effect (the applicative's pure).
template <class Tag, class A>
[[nodiscard]] auto return_(A&& a) {
  return hs::pure<Tag>(std::forward<A>(a));
}
/// A monad whose bind runs its first computation later (a state) says so with a member type
/// `delays` and gives `delay(make)`: the computation make() gives, made when it first runs.
template <class Tag>
concept DelayingMonad = requires { typename Monad<Tag>::delays; };
/// The computation make() gives, as a deferred value that the monad demands when its bind needs
/// its first computation: when it runs for a delaying monad, at once for the others.
template <class Tag, class Make>
[[nodiscard]] auto delayM(Make make) {
  if constexpr (DelayingMonad<Tag>)
    return Monad<Tag>::delay(std::move(make));
  else
    return make();
}
/// The monadic traversal: traverse in the monad's applicative, whose effects run in element order.
template <class F, class TA>
[[nodiscard]] auto mapM(F&& f, const TA& t) {
  return hs::traverse(std::forward<F>(f), t);
}
/// The monadic sequence: sequenceA in the monad's applicative.
template <class TA>
[[nodiscard]] auto sequence(const TA& t) {
  return hs::sequenceA(t);
}

// ---- Instances -----------------------------------------------------------------------------

/// k of the value.
template <>
struct Monad<IdentityTag> {
  /// \privatesection
  template <class A, class K>
  [[nodiscard]] static auto bind(const Identity<A>& m, K&& k) {
    return k(m.value);
  }
};

/// k of a present value; absent stays absent and k is not called.
template <>
struct Monad<MaybeTag> {
  /// \privatesection
  template <class A, class K>
  [[nodiscard]] static auto bind(const std::optional<A>& m, K&& k) {
    using MB = std::remove_cvref_t<std::invoke_result_t<K&, const A&>>;
    if (!m) return MB();
    return MB(k(*m));
  }
};

/// Every result of k for every value, in order, moved into one new vector.
template <>
struct Monad<ListTag> {
  /// \privatesection
  template <class A, class K>
  [[nodiscard]] static auto bind(const std::vector<A>& m, K&& k) {
    using MB = std::remove_cvref_t<std::invoke_result_t<K&, const A&>>;
    MB out;
    for (const A& x : m) {
      MB ys = k(x);
      out.insert(out.end(), std::make_move_iterator(ys.begin()), std::make_move_iterator(ys.end()));
    }
    return out;
  }
};

/// The log of m, then the log of the computation k makes.
template <class W>
struct Monad<WriterTag<W>> {
  /// \privatesection
  template <class A, class K>
  [[nodiscard]] static auto bind(const Writer<W, A>& m, K&& k) {
    using MB = std::remove_cvref_t<std::invoke_result_t<K&, const A&>>;
    MB next = k(m.value);
    return MB{std::move(next.value), hs::mappend(m.log, next.log)};
  }
};

/// Running the result runs m, then k of its value from the state m left; binding runs nothing
/// and holds m in one shared copy.
template <class S>
struct Monad<StateTag<S>> {
  /// \privatesection
  template <class A, class K>
  [[nodiscard]] static auto bind(const State<S, A>& m, K k) {
    using MB = std::remove_cvref_t<std::invoke_result_t<K&, const A&>>;
    using B = ElementOf<MB>;
    return State<S, B>{[m = detail::shareState(m), k](S s) mutable -> std::pair<B, S> {
      auto [a, s1] = (*m)(std::move(s));
      return k(a)(std::move(s1));
    }};
  }
  /// \publicsection
  /// Marks the state monad as delaying (DelayingMonad).
  using delays = void;
  /// The computation make() gives, made on its first run (at most once) and kept.
  template <class Make>
  [[nodiscard]] static auto delay(Make make) {
    using MA = std::remove_cvref_t<std::invoke_result_t<Make&>>;
    return MA{[cell = Lazy<MA>::defer(std::move(make))](S s) { return cell.force()(std::move(s)); }};
  }
};

/// @}
}  // namespace hs
