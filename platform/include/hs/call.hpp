/// \defgroup hs_call hs/call.hpp
/// \ingroup hsplatform
/// Calling a caller's function on stored values. By default a function receives the values
/// themselves: the library forces the cells first. Wrapped with `hs::onCells`, it receives the
/// cells unforced instead, and may return a cell, whose identity is then kept.
#pragma once

#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "hs/lazy.hpp"

namespace hs {
/// \addtogroup hs_call
/// @{

/// A function marked as taking cells: what hs::onCells returns.
template <class F>
struct OnCells {
  F fn;  ///< The function.
};
/// Marks f as taking and returning cells (hs::Lazy) rather than values; f is moved or copied in.
template <class F>
[[nodiscard]] OnCells<std::decay_t<F>> onCells(F&& f) {
  return {std::forward<F>(f)};
}

/// Whether F is a function marked with onCells.
template <class F>
struct IsOnCells : std::false_type {};
/// A marked function.
template <class F>
struct IsOnCells<OnCells<F>> : std::true_type {};
/// Whether F, without reference and const, is a function marked with onCells.
template <class F>
inline constexpr bool isOnCells = IsOnCells<std::remove_cvref_t<F>>::value;

namespace detail {
template <class A>
[[nodiscard]] decltype(auto) asValue(const A& a) {
  if constexpr (IsLazy<A>::value)
    return a.force();
  else
    return (a);
}
template <class V, class R>
[[nodiscard]] V resultValue(R&& r) {
  if constexpr (IsLazy<std::remove_cvref_t<R>>::value)
    return r.force();
  else
    return V(std::forward<R>(r));
}
}  // namespace detail

/// Calls f now: with the cells among the arguments unforced when f is marked onCells, otherwise
/// with every cell forced first (which may run their deferred computations).
template <class F, class... A>
[[nodiscard]] decltype(auto) call(F& f, const A&... a) {
  if constexpr (hs::isOnCells<F>)
    return std::invoke(f.fn, a...);
  else
    return std::invoke(f, detail::asValue(a)...);
}

/// A function's result as a cell: a returned cell is kept as it is (its identity matters), a
/// returned value goes into a new evaluated cell (one allocation).
template <class V, class R>
[[nodiscard]] Lazy<V> toCell(R&& r) {
  if constexpr (std::is_same_v<std::remove_cvref_t<R>, Lazy<V>>)
    return std::forward<R>(r);
  else
    return Lazy<V>(V(std::forward<R>(r)));
}

/// Calls f now (as call does) and returns its result as a cell (as toCell does).
template <class V, class F, class... A>
[[nodiscard]] Lazy<V> callToCell(F& f, const A&... a) {
  return hs::toCell<V>(hs::call(f, a...));
}

/// The deferred application of f to leading plain arguments and to cells; nothing runs until the
/// result is demanded, and then at most once. Allocates the result's cell, which holds f, the
/// arguments and the cells until it runs. When f takes values, the cells are forced first without
/// recursion, so chains of such applications force in constant stack.
template <class V, class F, class... P, class... C>
[[nodiscard]] Lazy<V> deferCallWith(F f, std::tuple<P...> prefix, Lazy<C>... cells) {
  if constexpr (hs::isOnCells<F>) {
    return Lazy<V>::defer([f = std::move(f), prefix = std::move(prefix), cells...]() mutable -> V {
      return std::apply(
          [&](const P&... p) -> V { return detail::resultValue<V>(std::invoke(f.fn, p..., cells...)); },
          prefix);
    });
  } else {
    return Lazy<V>::apply(
        [f = std::move(f), prefix = std::move(prefix)](const C&... vals) mutable -> V {
          return std::apply(
              [&](const P&... p) -> V { return detail::resultValue<V>(std::invoke(f, p..., vals...)); },
              prefix);
        },
        std::move(cells)...);
  }
}
/// deferCallWith without leading plain arguments.
template <class V, class F, class... C>
[[nodiscard]] Lazy<V> deferCall(F f, Lazy<C>... cells) {
  return hs::deferCallWith<V>(std::move(f), std::tuple<>{}, std::move(cells)...);
}

/// @}
}  // namespace hs
